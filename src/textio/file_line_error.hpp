// A fault in a file the companion programs read, named by the file and,
// when known, the line: "FILE:LINE: WHAT", or "FILE: WHAT" for line 0.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace hfd {

class FileLineError : public std::runtime_error {
 public:
  FileLineError(std::string file, long line, const std::string& what)
      : std::runtime_error(line > 0 ? file + ":" + std::to_string(line) + ": " + what : file + ": " + what),
        file_(std::move(file)),
        line_(line) {}
  const std::string& file() const { return file_; }
  long line() const { return line_; }  // 1-based; 0: the file as a whole

 private:
  std::string file_;
  long line_;
};

}  // namespace hfd
