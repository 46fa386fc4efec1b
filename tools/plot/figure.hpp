// The picture of one set of result files: its panels, axes, colour bar and
// labels, planned for a size in pixels and drawn on any cairo surface.
//
//   hfd::plot::Figure fig = hfd::plot::Plan(input, options);    // layout, time span, columns
//   auto folds = hfd::plot::MakeFolds(fig, input, options);     // then fold every block into them
//   hfd::plot::FinishPlan(fig, folds, options);                 // ranges that follow the data
//   hfd::plot::Draw(cr, fig, folds, options);                   // onto a cairo_t of that size
//
// Each station gives one group of panels, one group under another on one time
// axis. Spectra give two spectrogram panels (5006 kHz above 8006 kHz) and,
// with the peak series of the same blocks, a trace of the peak frequency over
// each (in its channel's colour) and a short S4Indx panel below. A peak series
// alone gives peak frequency, peak level and (.max) S4Indx against time. Where
// the frequency of zero Doppler shift is known, the right-hand axis of the
// spectrograms and peak-frequency panels gives the shift; sunrise and sunset
// at the ground, 100 km and 300 km are thin labelled lines.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "colormap.hpp"
#include "drawing.hpp"
#include "fold.hpp"
#include "results/result_files.hpp"
#include "time_axis.hpp"

namespace hfd::plot {

struct Mark {
  int64_t utc_ms;
  std::string label;
};

// The zone of the bottom time axis, the title's date and the day stack's days;
// the other zone is shown on the top axis.
enum class TimeZone { kJst, kUtc };
inline int64_t ZoneOffsetMs(TimeZone z) { return z == TimeZone::kUtc ? 0 : kJstOffsetMs; }

// A block's length: N samples of 10 ms (N = 1024 when no file tells).
inline int64_t BlockMsOf(int32_t data_length) { return (data_length > 0 ? data_length : 1024) * 10LL; }

struct PlotOptions {
  std::optional<double> fmin, fmax;  // Hz; default 0-12 (spectrogram), 4-12 (peak frequency)
  std::optional<double> vmin, vmax;  // dBuV; default 5th and 99.5th percentile
  Colormap colormap = Colormap::kViridis;
  int width = 1600, height = 900;
  std::optional<std::string> title;
  std::vector<Mark> marks;
  bool trace = true;
  std::optional<int64_t> from_ms, to_ms;
  std::optional<std::string> stations_file;  // --stations: the registry to use
  std::optional<double> zero_hz;             // --zero: the frequency of zero shift, Hz
  bool sun = true;                           // sunrise and sunset lines (--no-sun leaves them out)
  TimeZone zone = TimeZone::kJst;            // --time jst|utc
  bool vector = false;  // SVG or PDF: the spectrogram at one image column per block, one row per bin
};

struct SunLine {
  int64_t utc_ms;
  bool sunrise;
  int height_km;  // 0, 100 or 300
};

// What one station gives the picture.
struct StationPlan {
  std::string code;   // "SGD"; empty when the file names do not say
  std::string name;   // its label ("Sugadaira"), or the code
  bool spectrum = false, peaks = false, scint = false;  // .spc; .max or .qdr; .max
  std::array<std::optional<double>, 2> zero_hz;        // Hz of zero shift per channel
  std::vector<SunLine> sun;  // in time order
};

struct PlotInput {
  std::vector<StationPlan> stations;
  int32_t data_length = 0;                // N; 0 when no file tells (1024 is taken)
  int64_t first_ms = 0, last_ms = 0;      // the first block's start, the last block's end
};

enum class PanelKind { kSpectrogram, kPeakFrequency, kPeakLevel, kScintillation };

struct Panel {
  PanelKind kind;
  int station;        // index into PlotInput::stations
  int channel;        // 0 (5006 kHz) or 1 (8006 kHz) for a spectrogram; -1: both
  Rect r;             // the data area, whole pixels
  double ymin, ymax;  // value at the bottom and top edge
  std::optional<double> zero_hz;  // the right-hand shift axis (spectrograms, peak frequency)
};

struct Figure {
  int width = 0, height = 0;
  TimeAxis axis;
  int64_t block_ms = 0;
  std::vector<Panel> panels;  // top to bottom
  std::vector<StationPlan> stations;
  Rect colorbar;              // w == 0 without one
  double vmin = 0, vmax = 0;  // the colour bar's range
  std::string title;
  double scale = 1;           // of fonts, margins and lines
  int64_t zone_ms = 0;        // the bottom axis's zone ahead of UTC; the top axis has the other
  ColumnGrid spectrum_grid;   // the columns blocks are folded into
  ColumnGrid line_grid;
};

// The blocks of one station, folded into a figure's columns.
struct StationFolds {
  std::optional<SpectrumFold> spectrum;
  std::optional<PeakFold> peaks;
};

// Nothing to draw: no block in the span asked for, or a size too small.
class PlotError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Figure Plan(const PlotInput& in, const PlotOptions& opt);
// Empty folds of every station, on the figure's columns. Throws PlotError
// when no frequency bin of the files lies in --fmin/--fmax.
std::vector<StationFolds> MakeFolds(const Figure& fig, const PlotInput& in, const PlotOptions& opt);
// The colour range and the ranges of the line panels from the folded blocks.
// Throws PlotError when no block lies in the span.
void FinishPlan(Figure& fig, const std::vector<StationFolds>& folds, const PlotOptions& opt);

// A colour range [lo, hi] found from the data, with --vmin and --vmax put in
// its place; one of them alone moves the other end when they would cross.
void TakeLevelOptions(const PlotOptions& opt, double& lo, double& hi);
void Draw(cairo_t* cr, const Figure& fig, const std::vector<StationFolds>& folds, const PlotOptions& opt);

// The colour of a channel's lines, its traces and its legend entry.
extern const double kChannelColour[2][3];

// The blank colour of the data areas (ARGB32): where no block lies.
inline constexpr uint32_t kBlank = 0xffffffffu;

}  // namespace hfd::plot
