// The console: records shown with their carriage-control character, prompts
// that keep the line open, and answer lines read from standard input.
//
// When standard input and output are both terminals they share one line state
// (an answer ends the line it was typed on). When either is redirected, output
// keeps its own state: nothing is written before a read, and the record after
// a prompt continues the prompt's line with its first character shown.
//
//   Console con(0, 1, Console::DetectShared(0, 1));
//   kPrompt.Write(con, {" *** data length: "});  std::string_view line; con.ReadLine(line);
#pragma once

#include <cstddef>
#include <string_view>

#include "textio/format.hpp"
#include "textio/int_reader.hpp"

namespace hfd {

class Console final : public RecordSink {
 public:
  Console(int inFd, int outFd, bool shared);
  static bool DetectShared(int inFd, int outFd);

  void PutRecord(std::string_view record, bool advance) override;

  // Reads one answer line (without its line end), waiting while a
  // non-blocking input has none yet. Returns None, EndOfInput (end of the
  // input, or a line ending in Ctrl-Z) or DeviceFailure.
  ReadError ReadLine(std::string_view& line);

  // Writes the pending output, waiting while a non-blocking output is full.
  // Returns false when standard output failed (WriteError() says why). A
  // stop request that interrupts a write ends the console: what it could not
  // write, and everything after, is dropped.
  bool Flush();
  // End of the run: the final line end when a line is pending, then flush.
  bool Finish();

  // When set, a read that a signal interrupts (or that starts after the flag
  // became non-zero) returns Interrupted instead of waiting for a line.
  void WatchStopFlag(const volatile int* flag) { stop_ = flag; }
  bool WriteFailed() const { return writeError_ != 0; }
  int WriteError() const { return writeError_; }  // errno of the first failed write

  bool LinePending() const { return linePending_; }
  bool PromptOpen() const { return promptOpen_; }

 private:
  void Raw(const char* p, size_t n);
  bool Stopping() const { return stop_ && *stop_; }
  // Waits until `fd` is ready for `events`; false when a stop came first.
  bool WaitReady(int fd, short events);
  int in_, out_;
  bool shared_;
  bool outIsTty_;
  bool linePending_ = false;
  bool promptOpen_ = false;
  int writeError_ = 0;
  bool ended_ = false;  // a stop interrupted a write: nothing more is written
  const volatile int* stop_ = nullptr;
  static constexpr size_t kOutSize = 1 << 16;
  static constexpr size_t kInSize = 4096;
  size_t outUsed_ = 0;
  char outBuf_[kOutSize];
  char inBuf_[kInSize];
  size_t inStart_ = 0, inEnd_ = 0;
  bool inEof_ = false;
  char line_[kInSize];
};

}  // namespace hfd
