// The ends of a run other than the normal one: the fatal report and the stop.
//
// An unrecoverable input, file or arithmetic failure ends the run with the
// report on standard error (CR LF, "run-time error F6101: READ(CON)", CR LF,
// "- " and a one-line description, CR LF) and exit status 1, after every
// result file it keeps has been flushed and closed and the console's open
// line ended. A stop request ends the run by its signal with the same files
// kept whole; a file that cannot be kept whole at a stop is the fatal write
// report instead. Running out of memory is the ALLOCATE report, F6700.
// A run among several (options with several folders) may end by RunFailed
// thrown after the report instead, so that the next run goes on.
//
//   FatalReport report(console, 2); report.Keep(unit3, unit4);
//   report.InputFailure(ReadError::BadChar, "CON");  // does not return
#pragma once

#include <string_view>

#include "textio/console.hpp"
#include "textio/fatal_handler.hpp"
#include "textio/result_file.hpp"

namespace hfd {

// Thrown after the report by a FatalReport told to, once the run's files are
// closed; the arithmetic report, made in a signal handler, always exits.
struct RunFailed {};

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

  // Reports end this run by throwing RunFailed instead of the process.
  void ThrowAfterReport() { throw_ = true; }

  [[noreturn]] void FileFailure(Statement what, std::string_view unit, int errnum) override;
  [[noreturn]] void OpenRefused(std::string_view unit, const char* why) override;
  [[noreturn]] void InputFailure(ReadError e, std::string_view unit) override;
  [[noreturn]] void MathFailure(int number, const char* description);
  [[noreturn]] void MemoryFailure();

  bool StopRequested() const override;
  // Flushes and closes the kept files (whole lines only reach them), writes
  // out the records already shown unless a stop cut the console short, and
  // ends the process by the stop signal (a second one ends it at once).
  [[noreturn]] void StopForSignal() override;

 private:
  // The F report of a statement on a unit, such as ": OPEN(unit)".
  [[noreturn]] void UnitReport(Statement what, std::string_view unit, int number,
                               const char* description);
  [[noreturn]] void Report(char letter, int number, std::string_view statement,
                           std::string_view description, bool mayThrow = true);
  Console& console_;
  ResultFile* keep_[2] = {nullptr, nullptr};
  int err_;
  bool throw_ = false;
};

// The ALLOCATE report of a run that could not even be set up.
[[noreturn]] void ReportMemoryFailure(int errFd);
// The report of a failed file operation outside any run (nothing to keep),
// such as "F6422: WRITE(CON)"; exit status 1.
[[noreturn]] void ReportFileFailure(int errFd, Statement what, std::string_view unit, int errnum);

}  // namespace hfd
