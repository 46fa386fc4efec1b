// A result file: created (or replaced) for sequential writing, buffering
// whole records, each ended by CR LF; any failed write or close is reported
// through the FatalHandler, never ignored.
//
// Only a regular file is written, never through a symbolic link, and only
// while this run holds its exclusive lock: a second run on the same folder
// ends with the open report instead of mixing its lines in. The old content
// is cut only once the lock is held, and never after a stop request. Files
// written together are first all opened and locked, then all cut: a refusal
// of one leaves the others as they were (one it created is removed again).
//
//   ResultFile out(fatal); out.Create("200803151230SGD.spc");
//   a.Open("x.spc"); b.Open("x.max"); ResultFile::Cut(a, b);  // a pair
//   FormatPlan("(a)").Write(out, {"a line"}); out.Close();
#pragma once

#include <cstdint>
#include <string_view>

#include "textio/fatal_handler.hpp"
#include "textio/format.hpp"

namespace hfd {

class ResultFile final : public RecordSink {
 public:
  explicit ResultFile(FatalHandler& fatal) : fatal_(fatal) {}
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ~ResultFile() { Abandon(); }

  // Creates or truncates the file; failure is fatal (OPEN). At a stop
  // request the run ends instead, the file untouched.
  void Create(std::string_view name) {
    Open(name);
    Cut();
  }
  // The first half of Create: opens (creating it when missing), checks and
  // locks the file, its content still whole; a refusal is fatal (OPEN).
  void Open(std::string_view name);
  // The second half: cuts the old content; the file is then written. At a
  // stop request the run ends instead, the file whole.
  void Cut() { Cut(*this, nullptr); }
  // Cuts both files of a pair, or (at a stop request) neither.
  static void Cut(ResultFile& a, ResultFile* b);
  bool IsOpen() const { return fd_ >= 0; }
  std::string_view Name() const { return {name_, nameLen_}; }
  // Open, but no longer named in any folder (deleted meanwhile).
  bool Unlinked() const;

  void PutRecord(std::string_view record, bool advance) override;
  // Writes out the buffer; failure is fatal (WRITE).
  void Flush();
  // Flushes and closes; failure is fatal (WRITE or CLOSE). No-op when not open.
  void Close();
  // Best effort flush and close for the fatal path: never reports, returns
  // false when something could not be written.
  bool Abandon();

 private:
  static constexpr size_t kBufSize = 1 << 18;
  FatalHandler& fatal_;
  int fd_ = -1;
  char name_[256] = {};
  size_t nameLen_ = 0;
  size_t used_ = 0;
  size_t lastEnd_ = 0;        // buffer index just after the last whole record
  uint64_t fileBytes_ = 0;    // bytes already in the file
  uint64_t fileLastEnd_ = 0;  // file offset just after its last whole record
  bool created_ = false;      // Open made the file
  bool cut_ = false;          // Cut done: the file holds this run's lines
  char buf_[kBufSize];
  bool WriteOut(int& err);
  void CutNow();
};

}  // namespace hfd
