// The ends of a run other than the normal one: the fatal report and the stop.
//
// An unrecoverable input, file or arithmetic failure ends the run with the
// report on standard error (CR LF, "run-time error F6101: READ(CON)", CR LF,
// "- " and a one-line description, CR LF) and exit status 1, after every
// result file it keeps has been flushed and closed and the console's open
// line ended. A stop request ends the run by its signal with the same files
// kept whole.
//
//   FatalReport report(console, 2); report.Keep(unit3, unit4);
//   report.InputFailure(ReadError::BadChar, "CON");  // does not return
#pragma once

#include <string_view>

#include "textio/console.hpp"
#include "textio/fatal_handler.hpp"
#include "textio/result_file.hpp"

namespace hfd {

class FatalReport final : public FatalHandler {
 public:
  FatalReport(Console& console, int errFd) : console_(console), err_(errFd) {}
  FatalReport(const FatalReport&) = delete;
  FatalReport& operator=(const FatalReport&) = delete;
  ~FatalReport();

  // The result files that every end of the run keeps whole.
  void Keep(ResultFile& a, ResultFile& b) {
    keep_[0] = &a;
    keep_[1] = &b;
  }

  [[noreturn]] void FileFailure(Statement what, std::string_view unit, int errnum) override;
  [[noreturn]] void InputFailure(ReadError e, std::string_view unit) override;
  [[noreturn]] void MathFailure(int number, const char* description);

  bool StopRequested() const override;
  // Flushes and closes the kept files (whole lines only reach them), writes
  // nothing more to the console than the records already shown, and ends the
  // process by the stop signal.
  [[noreturn]] void StopForSignal() override;

 private:
  [[noreturn]] void Report(char letter, int number, std::string_view statement,
                           std::string_view description);
  Console& console_;
  ResultFile* keep_[2] = {nullptr, nullptr};
  int err_;
};

}  // namespace hfd
