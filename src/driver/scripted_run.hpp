// A run driven by the command line: the dialogue is answered from the
// options, once for every folder (and, with --select, once for every selected
// recording), exactly as if the answers had been typed there.
//
// The console transcript is that of the answered dialogue; with --quiet it is
// replaced by one line per recording on standard output and, when standard
// error is a terminal, a progress line there.
//
//   int main(int argc, char** argv) {
//     return argc > 1 ? RunCommandLine(argc, argv, AnalysisPath::Fast) : RunProgram(...); }
#pragma once

#include "analysis/spectrum_plan.hpp"

namespace hfd {

// Parses, checks the folders and selections, runs. Returns the exit status:
// 0 when every selected recording was processed, 1 when one could not be
// opened (a fatal run error ends the process with 1 at once), 2 for a usage
// error (reported before anything is written).
int RunCommandLine(int argc, const char* const* argv, AnalysisPath path);

}  // namespace hfd
