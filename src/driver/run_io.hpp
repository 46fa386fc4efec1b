// The I/O of one run, put together from the rooms that own each part: the
// console (textio), the recording's four units (input), and the fatal report
// and stop (runtime) that keep the result files whole at every end.
//
//   RunIo io(0, 1, 2); io.InstallSignalHandlers();
//   int32_t mode = 0; io.ReadListInt(mode);
#pragma once

#include <cstdint>

#include "input/recording.hpp"
#include "runtime/fatal_report.hpp"
#include "textio/answers.hpp"
#include "textio/console.hpp"

namespace hfd {

struct RunIo : RecordingFiles {
  RunIo(int inFd = 0, int outFd = 1, int errFd = 2);
  RunIo(const RunIo&) = delete;
  RunIo& operator=(const RunIo&) = delete;

  Console console;
  FatalReport fatal;

  // Traps and stop signals for this run (see runtime/signals.hpp).
  void InstallSignalHandlers();
  bool StopRequested() const { return fatal.StopRequested(); }
  [[noreturn]] void StopForSignal() { fatal.StopForSignal(); }

  void ReadListInt(int32_t& target) { hfd::ReadListInt(console, fatal, target); }
  void ReadFormattedInts(const FormatPlan& format, int32_t* targets, int count) {
    hfd::ReadFormattedInts(console, fatal, format, targets, count);
  }

  // Normal end of the run: closes the units, ends the console, returns the
  // exit status 0. A console that could not be written ends the run with the
  // WRITE(CON) report instead (all result files are complete by then).
  int Finish();
};

}  // namespace hfd
