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

#include <string>
#include <vector>

#include "analysis/spectrum_plan.hpp"
#include "driver/batch.hpp"

namespace hfd {

// Parses, checks the folders and selections, runs. Returns the exit status:
// 0 when every selected recording was processed, 1 when one could not be
// opened (a fatal run error ends the process with 1 at once), 2 for a usage
// error (reported before anything is written).
int RunCommandLine(int argc, const char* const* argv, AnalysisPath path);

// Writes all of `text` to `fd`, waiting for a non-blocking one; a failure on
// standard output is reported at the end of the run.
void WriteAll(int fd, const std::string& text);

// The recordings a folder lists, in the options' order (every one, no limit
// of 500); false, with the reason, when the folder cannot be listed.
bool ListFolder(const char* dir, std::vector<std::string>& out, std::string& why);
// Says on standard error that the folder `path` could not be listed, and why.
void ReportUnlisted(const std::string& path, const std::string& why);

// Makes `path` the current folder: an absolute one directly, a relative one
// from the folder `originFd` (the starting folder, opened by path only; -1
// when it could not be, `originErr` saying why). False with errno set.
bool EnterFolder(int originFd, int originErr, const std::string& path);

}  // namespace hfd
