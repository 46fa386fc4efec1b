// The picture of one set of result files: its panels, axes, colour bar and
// labels, planned for a size in pixels and drawn on any cairo surface.
//
//   hfd::plot::Figure fig = hfd::plot::Plan(data, options);   // layout and ranges
//   hfd::plot::Draw(cr, fig, data, options);                    // onto a cairo_t of that size
//
// A spectrum series gives two spectrogram panels (5006 kHz above 8006 kHz)
// and, with the peak series of the same blocks, a trace of the peak frequency
// over each and a short S4Indx panel below. A peak series alone gives peak
// frequency, peak level and (when the file holds it) S4Indx against time.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "colormap.hpp"
#include "drawing.hpp"
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
};

struct FigureData {
  const results::SpectrumSeries* spectrum = nullptr;
  const results::PeakSeries* peaks = nullptr;  // beside the spectrum, or alone
};

enum class PanelKind { kSpectrogram, kPeakFrequency, kPeakLevel, kScintillation };

struct Panel {
  PanelKind kind;
  int channel;        // 0 (5006 kHz) or 1 (8006 kHz) for a spectrogram; -1: both
  Rect r;             // the data area, whole pixels
  double ymin, ymax;  // value at the bottom and top edge
};

struct Figure {
  int width = 0, height = 0;
  TimeAxis axis;
  int64_t block_ms = 0;
  std::vector<Panel> panels;  // top to bottom
  Rect colorbar;              // w == 0 without one
  double vmin = 0, vmax = 0;  // the colour bar's range
  std::string title;
  double scale = 1;           // of fonts and margins
  bool date_labels = false;   // tick labels of two lines
};

// Nothing to draw: no block in the span asked for, or a size too small.
class PlotError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Figure Plan(const FigureData& data, const PlotOptions& opt);
void Draw(cairo_t* cr, const Figure& fig, const FigureData& data, const PlotOptions& opt);

// The blank colour of the data areas (ARGB32): where no block lies.
inline constexpr uint32_t kBlank = 0xffffffffu;

}  // namespace hfd::plot
