// A picture kept current while the analyser writes its result files:
// hfdoppler-plot --every SECONDS [--last DURATION].
//
// The files named may be glob patterns ('*SGD.spc'), expanded anew before
// every drawing, so the next day's files are drawn without a restart. With
// --every the program stays: it draws at once, then again whenever the files
// matched have grown (or others appear), looking at most once every SECONDS
// (woken by the file system's change notification where it has one, else by
// the timer). Each drawing is made by a child process, so a failed drawing
// leaves the last good picture and memory stays flat; the picture is replaced
// atomically. SIGINT, SIGTERM or SIGHUP end the program by that signal, the
// last good picture kept and no temporary file left. With --last the span
// shown is the DURATION before the newest block of the most recently
// written file.
//
//   hfd::plot::LiveOptions live;
//   hfd::plot::SetLiveOption(live, "every", "60", Usage);  // for each --every, --last
//   hfd::plot::PrepareDrawing(live, files, opt);  // with --every: returns only to draw
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "figure.hpp"

namespace hfd::plot {

struct LiveOptions {
  double every_s = 0;              // 0: draw once
  std::optional<int64_t> last_ms;  // the span shown: so long before the newest block
};

// Sets --every SECONDS (name "every") or --last DURATION (name "last";
// DURATION: a number and s, m, h or d, like 6h); a bad value goes to `usage`
// (which does not return).
void SetLiveOption(LiveOptions& live, const std::string& name, const std::string& value,
                   const std::function<void(const std::string&)>& usage);

// Expands the patterns in `files` and, with --last, sets opt.from_ms. With
// --every it serves until a stop and returns only in a child process that
// is to draw once; a file it cannot read for --last throws ReadError as the
// drawing would. Under a memory limit (RLIMIT_AS, RLIMIT_DATA) one drawing
// is made by a child process too: the font libraries cannot recover from
// running out of memory, the parent then says so (status 1).
void PrepareDrawing(const LiveOptions& live, std::vector<std::string>& files, PlotOptions& opt);

}  // namespace hfd::plot
