#include "driver/run_io.hpp"

#include "runtime/signals.hpp"

namespace hfd {

// The units' result files report through `fatal`, constructed after them:
// they only keep the reference until a failure.
RunIo::RunIo(int inFd, int outFd, int errFd)
    : RecordingFiles(fatal),
      console(inFd, outFd, Console::DetectShared(inFd, outFd)),
      fatal(console, errFd) {
  fatal.Keep(unit3, unit4);
}

void RunIo::InstallSignalHandlers() {
  hfd::InstallSignalHandlers(fatal);
  console.WatchStopFlag(StopFlag());
}

int RunIo::Finish() {
  CloseUnits();
  if (!console.Finish()) fatal.FileFailure(Statement::Write, "CON", console.WriteError());
  return 0;
}

}  // namespace hfd
