// The time window of a recording: from its start to midnight, or the start
// and end times the operator types (hhmmss) for every recording.
//
//   SettleTimeWindow(io, opt.ITimeWindow, rec);
//   // rec.RecStart.Secs, rec.WinStart.Secs, rec.WinEnd.Secs are set
#pragma once

#include <cstdint>

#include "driver/run_io.hpp"
#include "recording/time_stamp.hpp"
#include "input/recording.hpp"

namespace hfd {

void SettleTimeWindow(RunIo& io, int32_t ITimeWindow, RecordingState& rec);

}  // namespace hfd
