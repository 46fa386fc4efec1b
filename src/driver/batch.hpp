// The batch driver: options, listing, selection, and for every selected
// recording the opening, time window and block-step loop in which each block
// is read, analysed and written.
//
//   RunIo io; return RunBatch(io, AnalysisPath::Fast);
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "analysis/spectrum_plan.hpp"
#include "driver/options.hpp"
#include "driver/run_io.hpp"
#include "input/recording.hpp"

namespace hfd {

// Told what a run does to each selected recording, for summaries and progress
// shown beside the console (it never writes to the console itself).
class RunObserver {
 public:
  // Before the opening, with the name as listed.
  virtual void RecordingChosen(std::string_view) {}
  // After the opening: rec.IOpenStatus is 1 when neither channel file opened.
  virtual void RecordingOpened(const RecordingState& rec) = 0;
  // Before the first block step, with the most blocks the window allows.
  virtual void BlocksPlanned(const RecordingState& rec, const RunOptions& opt, int32_t NcMax) = 0;
  // After the records of an analysed block are written.
  virtual void BlockWritten() = 0;
  // After the recording's files are closed.
  virtual void RecordingClosed() = 0;

 protected:
  ~RunObserver() = default;
};

// The choice of recordings made by a run's options instead of the selection
// answer: the listing then holds every recording found (no limit of 500),
// the selection prompt is shown but not read, and any listed recording can be
// chosen (the 500th too, which the answer 500 cannot name).
class RunSelection {
 public:
  // After the listing (also one that is empty or failed): the numbers
  // (1-based) of the recordings to process, in order; none ends the run there.
  virtual void Choose(const NameTable& names, std::vector<int32_t>& numbers) = 0;

 protected:
  ~RunSelection() = default;
};

// Asked before the records of every analysed block are read, in a run that
// follows recordings while they are written: returns true once every open
// channel file holds records 1 .. lastRecord (or when the recording is to end
// the way a batch run ends it, on a failed read), false when the recording
// ends here. Given one, the run also writes each block's lines out as the
// block completes.
class RecordWait {
 public:
  virtual bool AwaitRecords(RunIo& io, const RecordingState& rec, int64_t lastRecord) = 0;

 protected:
  ~RecordWait() = default;
};

// The whole run on the given I/O, in the current directory (recordings are
// found and result files written there). Returns the exit status.
int RunBatch(RunIo& io, AnalysisPath path, RunObserver* observer = nullptr,
             RunSelection* selection = nullptr, RecordWait* wait = nullptr);

// The program: a run on the process's standard streams in the current
// directory, floating-point traps on.
int RunProgram(AnalysisPath path);

}  // namespace hfd
