// The batch driver: options, listing, selection, and for every selected
// recording the opening, time window and block-step loop in which each block
// is read, analysed and written.
//
//   IoSystem io; return RunBatch(io, ".", AnalysisPath::Fast);
#pragma once

#include "analysis/spectrum_plan.hpp"
#include "textio/io_system.hpp"

namespace hfd {

// The whole run on the given I/O system, in `directory` (recordings are found
// and result files written there). Returns the exit status.
int RunBatch(IoSystem& io, AnalysisPath path);

// The program: a run on the process's standard streams in the current
// directory, floating-point traps on.
int RunProgram(AnalysisPath path);

}  // namespace hfd
