// The result files of a picture: grouped by station, looked over for their
// span and data length, then read again block by block into the picture's
// folds, keeping nothing outside the span.
//
//   hfd::plot::Picture pic = hfd::plot::Prepare(files, opt, registry, note);
//   hfd::plot::Draw(cr, pic.fig, pic.folds, opt);
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "figure.hpp"
#include "results/result_files.hpp"
#include "stations/registry.hpp"

namespace hfd::plot {

struct SourceFile {
  std::string path;
  results::Kind kind;
  int64_t first_ms = 0, last_ms = 0;  // starts of its first and last block
  bool beside = false;                // a .max found beside a .spc, not given
};

struct StationFiles {
  std::string code;
  std::vector<SourceFile> spectra, peaks;  // each in time order
};

struct Sources {
  std::vector<StationFiles> stations;  // in the order of their first file given
  PlotInput input;                     // stations with code, kinds and the span; no names yet
};

// The peak summary file beside a .spc file: the same name, ending in .max.
inline std::string PeakBeside(const std::string& spc) { return spc.substr(0, spc.size() - 4) + ".max"; }

// Told what the picture leaves out: a file's incomplete end, a station not
// in the registry (one line of text each).
using Note = std::function<void(const std::string& text)>;

// Notes a file's incomplete end ("FILE: incomplete end (an interrupted run?):
// 3 lines left out"); nothing when no line was left out.
void Incomplete(const Note& note, const std::string& file, long lines);

// Sorts the files by station code and kind. When no .max or .qdr is given,
// the .max beside each .spc (same name) joins it; one that cannot be used
// (unreadable, empty, of another data length) is left out with a note. Reads
// the first and last block of every file. Throws results::ReadError for a file
// that cannot be read, .qdr files beside .spc or .max files, data lengths that
// differ, and files of one station and kind whose blocks overlap in time.
Sources Survey(const std::vector<std::string>& files, const Note& note);

// Each station's name, zero frequency (--zero before the registry) and, unless
// --no-sun, its sunrise and sunset at 0, 100 and 300 km over the span (at the
// reflection point; none over spans of more than kSunDays days).
inline constexpr int64_t kSunDays = 20;
void Describe(PlotInput& in, const stations::Registry& reg, const PlotOptions& opt, const Note& note);

// Reads every file again and folds its blocks within the figure's span.
void FoldAll(const Sources& src, const Figure& fig, std::vector<StationFolds>& folds);

// All of it: survey, describe, plan, fold, finish the plan.
struct Picture {
  Sources src;
  Figure fig;
  std::vector<StationFolds> folds;
};
Picture Prepare(const std::vector<std::string>& files, const PlotOptions& opt, const stations::Registry& reg,
                const Note& note);

}  // namespace hfd::plot
