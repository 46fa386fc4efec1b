// The options dialogue and the analysis constants of a run.
//
// Asks for the output mode, the data length and whether a time window is
// wanted, and sets every constant derived from them once for the whole run.
//
//   RunOptions opt; RunOptionsDialogue(io, opt);
//   // opt.IOutFMT is 1 or 2, opt.NData one of 512, 1024, 2048, 4096
#pragma once

#include <cstdint>

#include "driver/run_io.hpp"
#include "recording/vocabulary.hpp"

namespace hfd {

struct RunOptions {
  int32_t IOutFMT = 0;   // 1: amplitude file; 2: spectrum and peak summary files
  int32_t NData = 0;     // samples per analysis block and channel
  int32_t NData2 = 0;    // 2 * NData
  double dt = 0.0;       // sampling interval, s
  double dFreq = 0.0;    // half the bin spacing, Hz
  int32_t IWindow = 0;   // taper window type (2: Hann)
  double SampleScale = 0.0;
  int32_t NChannel = 0;
  int32_t NRecSample = 0;
  double TBlock = 0.0;   // duration of one block, s
  int32_t IBlockLength = 0;
  int32_t ITimeWindow = 0;  // 0: no window; otherwise ask per recording
};

void RunOptionsDialogue(RunIo& io, RunOptions& opt);

}  // namespace hfd
