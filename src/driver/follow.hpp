// Runs that follow recordings while the receiver writes them (--follow).
//
// Every recording is an answered dialogue run of its own, as with --select;
// its blocks wait for their records instead of ending the recording where the
// data end. A recording ends at the end of its window (midnight without one),
// when no record has come for the idle time, or on a stop; its result files
// are then those a batch run over the recording as it is would write. Each
// block's lines reach the result files as the block completes.
//
// With --all the one folder is served until a stop: it is listed again after
// every recording, and recordings not yet taken by this run are taken in name
// order (a folder without any is waited on). With --select the run ends when
// the selected recordings have ended.
//
// Log lines, on standard output with --quiet (else standard error):
//   DIR/20080501000000SGD-0.BIN: started
//   DIR/20080501000000SGD-0.BIN: ended after 8437 blocks (end of window)
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "driver/batch.hpp"
#include "driver/command_line.hpp"

namespace hfd {

struct FollowFolder {
  std::string path;                   // as given
  std::string prefix;                 // shown before names: "" or the path and a slash
  std::vector<std::string> selected;  // --select: listed names, in listing order
};

// Runs the dialogue in the current folder (folder `index` of the list) for
// the recording `name`, with `log` and `wait`; returns its exit status.
using FollowedRun = std::function<int(size_t index, const std::string& name, RunObserver& log,
                                      RecordWait& wait)>;

// The checked command line's follow run over `folders`, entered from
// `originFd` (the starting folder, see EnterFolder). Returns 0, or 1 when a
// recording could not be opened, a followed file failed (truncated,
// replaced, deleted) or a served folder went away; a stop ends the process
// by its signal.
int RunFollowing(const CommandLine& cl, const std::vector<FollowFolder>& folders, int originFd,
                 int originErr, const FollowedRun& run);

}  // namespace hfd
