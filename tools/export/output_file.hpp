// An output file written under a temporary name in its own folder and
// renamed to its name only when complete; abandoned (removed) otherwise.
//
//   OutputFile out("day.csv");          // creates ".day.csv.XXXXXX" beside it
//   out.Append("a,b\n"); out.Commit();   // renamed to day.csv
#pragma once

#include <string>
#include <string_view>

namespace hfd::exporter {

// A write that failed: the message names the file.
struct WriteError {
  std::string what;
};

class OutputFile {
 public:
  explicit OutputFile(std::string path);  // throws WriteError
  ~OutputFile();                          // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }
  // The temporary name, for writers that open it themselves (netCDF): call
  // CloseForOthers() first.
  const std::string& temp_path() const { return temp_; }
  void CloseForOthers();

  // Buffered appends; room(n) gives a place for n characters, Advance(n) keeps them.
  void Append(std::string_view s);
  char* Room(size_t n) {
    if (buf_.size() - used_ < n) Flush();
    return buf_.data() + used_;
  }
  void Advance(size_t n) { used_ += n; }

  void Commit();  // flushes, closes and renames; throws WriteError

 private:
  void Flush();
  [[noreturn]] void Fail(const char* step);

  std::string path_, temp_;
  std::string buf_;
  size_t used_ = 0;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace hfd::exporter
