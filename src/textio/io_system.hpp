// The I/O layer of a run: the console, the four file units, the answer
// readers and the fatal error report.
//
// Units 1 and 2 are the channel files of the recording being processed, unit
// 3 the amplitude or spectrum file and unit 4 the peak summary file. Any
// unrecoverable input, file or arithmetic failure ends the run through
// Fatal*: every result file is flushed and closed first, the report goes to
// standard error, and the exit status is 1.
//
//   IoSystem io; io.InstallTraps();
//   int32_t mode = 0; io.ReadListInt(mode);
#pragma once

#include <cstdint>
#include <string_view>

#include "textio/console.hpp"
#include "textio/files.hpp"
#include "textio/format.hpp"
#include "textio/int_reader.hpp"

namespace hfd {

class IoSystem final : public FatalHandler {
 public:
  IoSystem(int inFd = 0, int outFd = 1, int errFd = 2);
  IoSystem(const IoSystem&) = delete;
  IoSystem& operator=(const IoSystem&) = delete;
  ~IoSystem();

  Console console;
  ChannelFile unit1, unit2;
  ResultFile unit3, unit4;

  // Enables the invalid, divide-by-zero and overflow traps and routes them
  // (SIGFPE) to the MATH report; catches SIGINT and SIGTERM as a stop
  // request; ignores SIGPIPE and SIGXFSZ so that a failed write is reported
  // as such. Only one IoSystem may have them installed.
  void InstallSignalHandlers();

  // A stop signal (SIGINT, SIGTERM) has arrived.
  bool StopRequested() const;
  // Ends the run for the stop signal: flushes and closes the result files
  // (whole lines only reach them), writes nothing more to the console than
  // the records already shown, and ends the process by that signal.
  [[noreturn]] void StopForSignal();

  // One list-directed integer answer from the console (blank lines are
  // skipped; a null value or slash keeps the target). Fatal on error.
  void ReadListInt(int32_t& target);
  // One console line read by a format of I descriptors, e.g. "(3i2)".
  void ReadFormattedInts(const FormatPlan& format, int32_t* targets, int count);
  // An internal read: the record is the character variable itself.
  void ReadInternalInts(std::string_view record, const FormatPlan& format, int32_t* targets,
                        int count);

  // Closes units 1 to 4 in order; result-file failures are fatal.
  void CloseUnits();
  // Normal end of the run: closes the units, ends the console, returns the
  // exit status 0. A console that could not be written ends the run with the
  // WRITE(CON) report instead (all result files are complete by then).
  int Finish();

  [[noreturn]] void FileFailure(Statement what, std::string_view unit, int errnum) override;
  [[noreturn]] void InputFailure(ReadError e, std::string_view unit);
  [[noreturn]] void MathFailure(int number, const char* description);

 private:
  [[noreturn]] void Report(char letter, int number, std::string_view statement,
                           std::string_view description);
  int err_;
  bool handlersInstalled_ = false;
};

}  // namespace hfd
