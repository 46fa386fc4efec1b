#include "figure.hpp"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "drawing.hpp"
#include "spectrogram.hpp"

namespace hfd::plot {
namespace {

using results::PeakSeries;
using results::SpectrumSeries;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kCarrier[2] = {"5006 kHz", "8006 kHz"};
const double kLineColour[2][3] = {{0.12, 0.40, 0.75}, {0.90, 0.42, 0.05}};

// Start times of a peak series' blocks.
std::vector<int64_t> Starts(const PeakSeries& p) {
  std::vector<int64_t> t(p.blocks.size());
  for (size_t b = 0; b < t.size(); ++b) t[b] = p.blocks[b].utc_ms;
  return t;
}

int64_t BlockLength(const FigureData& d) {
  int32_t n = 0;
  if (d.spectrum && d.spectrum->data_length > 0) n = d.spectrum->data_length;
  if (n == 0 && d.peaks) {
    n = d.peaks->data_length;
    if (n == 0) {
      std::vector<int32_t> k(d.peaks->blocks.size());
      for (size_t b = 0; b < k.size(); ++b) k[b] = d.peaks->blocks[b].step;
      n = DataLengthFromSteps(k, Starts(*d.peaks));
    }
  }
  return (n > 0 ? n : 1024) * 10LL;
}

// The range of a value of both channels over the blocks shown, widened to
// whole multiples of `unit`; NaN values and the -60 dBuV floor left out.
void DataRange(const PeakSeries& p, const TimeAxis& ax, double (*get)(const results::PeakBlock&, int),
               double unit, double& lo, double& hi) {
  lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const auto& b : p.blocks) {
    if (b.utc_ms < ax.t0_ms || b.utc_ms >= ax.t1_ms) continue;
    for (int c = 0; c < 2; ++c) {
      double v = get(b, c);
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
  }
  if (!(hi >= lo)) lo = 0, hi = unit;
  lo = std::floor(lo / unit) * unit;
  hi = std::ceil(hi / unit) * unit;
  if (hi <= lo) hi = lo + unit;
}

double PeakFreq(const results::PeakBlock& b, int c) { return b.peak[c].freq_hz; }
double PeakLevel(const results::PeakBlock& b, int c) { return b.peak[c].level_dbuv; }
double Scint(const results::PeakBlock& b, int c) { return b.scint[c]; }

bool HasScint(const PeakSeries& p) {
  return std::any_of(p.blocks.begin(), p.blocks.end(),
                     [](const results::PeakBlock& b) { return !std::isnan(b.scint[0]) || !std::isnan(b.scint[1]); });
}

std::string DefaultTitle(const FigureData& d, const Figure& f) {
  const std::string& code = d.spectrum ? d.spectrum->station_code : d.peaks->station_code;
  std::string first = JstDate(f.axis.t0_ms), last = JstDate(f.axis.t1_ms - 1);
  std::string t = code.empty() ? "" : code + "   ";
  t += first == last ? first : first + " to " + last;
  t += " (JST)   N = " + std::to_string(f.block_ms / 10) + "   5006 kHz, 8006 kHz";
  return t;
}

double Y(const Panel& p, double v) { return p.r.y + (p.ymax - v) / (p.ymax - p.ymin) * p.r.h; }

// A value of one channel against time as a line, broken where blocks are
// absent or the value is NaN, clipped to the panel.
void DrawSeries(cairo_t* cr, const Figure& f, const Panel& p, const PeakSeries& s, int channel,
                double (*get)(const results::PeakBlock&, int), double width) {
  std::vector<int64_t> starts = Starts(s);
  cairo_save(cr);
  cairo_rectangle(cr, p.r.x, p.r.y, p.r.w, p.r.h);
  cairo_clip(cr);
  cairo_set_line_width(cr, width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  bool open = false;
  for (size_t b = 0; b < s.blocks.size(); ++b) {
    int64_t end = BlockEnd(starts, b, f.block_ms);
    if (end <= f.axis.t0_ms || starts[b] >= f.axis.t1_ms) {
      open = false;
      continue;
    }
    double v = get(s.blocks[b], channel);
    if (std::isnan(v)) {
      open = false;
      continue;
    }
    double x = f.axis.X(0.5 * (starts[b] + end)), y = Y(p, v);
    if (open) cairo_line_to(cr, x, y);
    else cairo_move_to(cr, x, y);
    // Alone between two gaps, a block still shows as a short dash.
    bool next_follows = b + 1 < s.blocks.size() && starts[b + 1] == end;
    if (!open && !next_follows) cairo_line_to(cr, x + 0.01, y);
    open = next_follows;
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

void DrawSpectrogramPanel(cairo_t* cr, const Figure& f, const Panel& p, const FigureData& d,
                          const PlotOptions& opt) {
  int w = static_cast<int>(p.r.w), h = static_cast<int>(p.r.h);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(img);
  SpectrogramView v{f.axis, f.block_ms, p.ymin, p.ymax, f.vmin, f.vmax};
  DrawSpectrogram(*d.spectrum, p.channel, v, ColormapTable(opt.colormap), kBlank,
                  reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img)),
                  cairo_image_surface_get_stride(img) / 4, w, h);
  cairo_surface_mark_dirty(img);
  cairo_save(cr);
  cairo_set_source_surface(cr, img, p.r.x, p.r.y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, p.r.x, p.r.y, p.r.w, p.r.h);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(img);

  if (d.peaks && opt.trace) {
    // Red over viridis; white over the doppler map, whose top end is red.
    if (opt.colormap == Colormap::kDoppler) cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
    else cairo_set_source_rgba(cr, 1, 0.1, 0.1, 0.9);
    DrawSeries(cr, f, p, *d.peaks, p.channel, PeakFreq, 1.0 * f.scale);
  }
}

void DrawColourBar(cairo_t* cr, TextPen& pen, const Figure& f, const PlotOptions& opt) {
  const Rect& r = f.colorbar;
  int w = static_cast<int>(r.w), h = static_cast<int>(r.h);
  const ColourTable& lut = ColormapTable(opt.colormap);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  int stride = cairo_image_surface_get_stride(img) / 4;
  for (int y = 0; y < h; ++y) {
    double v = f.vmax - (y + 0.5) / h * (f.vmax - f.vmin);
    std::fill(px + y * stride, px + y * stride + w, lut[ColourIndex(v, f.vmin, f.vmax)]);
  }
  cairo_surface_mark_dirty(img);
  cairo_set_source_surface(cr, img, r.x, r.y);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_fill(cr);
  cairo_surface_destroy(img);
  Frame(cr, r);

  double s = f.scale, fs = 12 * s;
  std::vector<double> ticks = NiceTicks(f.vmin, f.vmax, std::max(2, static_cast<int>(r.h / (40 * s))));
  double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  int label_w = 0;
  for (double v : ticks) {
    double y = std::round(r.y + (f.vmax - v) / (f.vmax - f.vmin) * r.h) + 0.5;
    cairo_move_to(cr, r.x + r.w, y);
    cairo_line_to(cr, r.x + r.w + 4 * s, y);
    cairo_stroke(cr);
    std::string t = Number(v, step);
    int tw, th;
    pen.Size(t, fs, tw, th);
    label_w = std::max(label_w, tw);
    pen.Show(t, fs, r.x + r.w + 6 * s, y, 0, 0.5);
  }
  pen.Show("level (dBuV)", fs, r.x + r.w + 10 * s + label_w, r.y + r.h / 2, 0.5, 0, true);
}

void DrawLinePanel(cairo_t* cr, const Figure& f, const Panel& p, const PeakSeries& s) {
  auto get = p.kind == PanelKind::kPeakFrequency ? PeakFreq : p.kind == PanelKind::kPeakLevel ? PeakLevel : Scint;
  for (int c = 0; c < 2; ++c) {
    cairo_set_source_rgb(cr, kLineColour[c][0], kLineColour[c][1], kLineColour[c][2]);
    DrawSeries(cr, f, p, s, c, get, 1.0 * f.scale);
  }
}

std::string AxisTitle(const Panel& p) {
  switch (p.kind) {
    case PanelKind::kSpectrogram: return std::string(kCarrier[p.channel]) + ":  Doppler (Hz)";
    case PanelKind::kPeakFrequency: return "peak freq. (Hz)";
    case PanelKind::kPeakLevel: return "peak level (dBuV)";
    case PanelKind::kScintillation: return "S4Indx";
  }
  return "";
}

void DrawYAxis(cairo_t* cr, TextPen& pen, const Figure& f, const Panel& p) {
  double s = f.scale, fs = 12 * s;
  std::vector<double> ticks = NiceTicks(p.ymin, p.ymax, std::max(4, static_cast<int>(p.r.h / (28 * s))));
  double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  cairo_set_line_width(cr, 1.0);
  for (double v : ticks) {
    double y = std::round(Y(p, v)) + 0.5;
    if (p.kind != PanelKind::kSpectrogram) {
      cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
      cairo_move_to(cr, p.r.x, y);
      cairo_line_to(cr, p.r.x + p.r.w, y);
      cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, p.r.x - 4 * s, y);
    cairo_line_to(cr, p.r.x, y);
    cairo_stroke(cr);
    pen.Show(Number(v, step), fs, p.r.x - 6 * s, y, 1, 0.5);
  }
  pen.Show(AxisTitle(p), fs, p.r.x - 44 * s, p.r.y + p.r.h / 2, 0.5, 1, true);
}

void DrawTimeGrid(cairo_t* cr, const Figure& f, const Panel& p, const std::vector<TimeTick>& ticks) {
  if (p.kind == PanelKind::kSpectrogram) return;
  cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
  cairo_set_line_width(cr, 1.0);
  for (const auto& t : ticks) {
    double x = std::round(f.axis.X(t.utc_ms)) + 0.5;
    cairo_move_to(cr, x, p.r.y);
    cairo_line_to(cr, x, p.r.y + p.r.h);
  }
  cairo_stroke(cr);
}

void DrawTimeAxes(cairo_t* cr, TextPen& pen, const Figure& f, const std::vector<TimeTick>& ticks) {
  double s = f.scale, fs = 12 * s, tick = 5 * s;
  const Rect& top = f.panels.front().r;
  const Rect& bottom = f.panels.back().r;
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1.0);
  for (const auto& t : ticks) {
    double x = std::round(f.axis.X(t.utc_ms)) + 0.5;
    for (const Panel& p : f.panels) {  // short marks inside every panel's edges
      double in = p.kind == PanelKind::kSpectrogram ? 0 : tick * 0.6;
      cairo_move_to(cr, x, p.r.y);
      cairo_line_to(cr, x, p.r.y + in);
      cairo_move_to(cr, x, p.r.y + p.r.h);
      cairo_line_to(cr, x, p.r.y + p.r.h - in);
    }
    cairo_move_to(cr, x, top.y - 1);
    cairo_line_to(cr, x, top.y - 1 - tick);
    cairo_move_to(cr, x, bottom.y + bottom.h + 1);
    cairo_line_to(cr, x, bottom.y + bottom.h + 1 + tick);
    cairo_stroke(cr);
    pen.Show(t.utc, fs, x, top.y - 2 - 1.4 * tick, 0.5, 1);
    pen.Show(t.jst, fs, x, bottom.y + bottom.h + 2 + 1.4 * tick, 0.5, 0);
  }
  // At the far left, clear of a tick label at the left edge.
  pen.Show("UTC (h)", fs, 6 * s, top.y - 2 - 1.4 * tick, 0, 1);
  pen.Show("JST (h)", fs, 6 * s, bottom.y + bottom.h + 2 + 1.4 * tick, 0, 0);
}

void DrawMarks(cairo_t* cr, TextPen& pen, const Figure& f, const PlotOptions& opt) {
  double s = f.scale, fs = 11 * s;
  double y0 = f.panels.front().r.y, y1 = f.panels.back().r.y + f.panels.back().r.h;
  for (const Mark& m : opt.marks) {
    if (m.utc_ms < f.axis.t0_ms || m.utc_ms > f.axis.t1_ms) continue;
    double x = std::round(f.axis.X(static_cast<double>(m.utc_ms))) + 0.5;
    cairo_set_source_rgb(cr, 0.85, 0.0, 0.35);
    cairo_set_line_width(cr, 1.5 * s);
    double dash[2] = {6 * s, 3 * s};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, x, y0);
    cairo_line_to(cr, x, y1);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    if (m.label.empty()) continue;
    int tw, th;
    pen.Size(m.label, fs, tw, th);
    // Right of the line, or left of it near the right edge.
    bool left = x + 4 * s + tw > f.axis.x0 + f.axis.width;
    double tx = left ? x - 4 * s - tw : x + 4 * s, ty = y0 + 4 * s;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
    cairo_rectangle(cr, tx - 2 * s, ty - 1 * s, tw + 4 * s, th + 2 * s);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.85, 0.0, 0.35);
    pen.Show(m.label, fs, tx, ty, 0, 0);
  }
}

void DrawLegend(cairo_t* cr, TextPen& pen, const Figure& f, double y) {
  double s = f.scale, fs = 12 * s, x = f.axis.x0 + f.axis.width;
  for (int c = 1; c >= 0; --c) {
    int tw, th;
    pen.Size(kCarrier[c], fs, tw, th);
    x -= tw;
    cairo_set_source_rgb(cr, 0, 0, 0);
    pen.Show(kCarrier[c], fs, x, y, 0, 0.5);
    x -= 6 * s;
    cairo_set_source_rgb(cr, kLineColour[c][0], kLineColour[c][1], kLineColour[c][2]);
    cairo_set_line_width(cr, 2.5 * s);
    cairo_move_to(cr, x - 22 * s, y);
    cairo_line_to(cr, x, y);
    cairo_stroke(cr);
    x -= 40 * s;
  }
}

}  // namespace

Figure Plan(const FigureData& d, const PlotOptions& opt) {
  if (!d.spectrum && !d.peaks) throw PlotError("nothing to draw");
  Figure f;
  f.width = opt.width;
  f.height = opt.height;
  f.block_ms = BlockLength(d);

  // The span: the blocks of the main series, or --from/--to.
  int64_t first = std::numeric_limits<int64_t>::max(), last = std::numeric_limits<int64_t>::min();
  if (d.spectrum) {
    for (size_t b = 0; b < d.spectrum->blocks(); ++b) {
      first = std::min(first, d.spectrum->utc_ms[b]);
      last = std::max(last, BlockEnd(d.spectrum->utc_ms, b, f.block_ms));
    }
  } else {
    std::vector<int64_t> t = Starts(*d.peaks);
    for (size_t b = 0; b < t.size(); ++b) first = std::min(first, t[b]), last = std::max(last, BlockEnd(t, b, f.block_ms));
  }
  f.axis.t0_ms = opt.from_ms.value_or(first);
  f.axis.t1_ms = opt.to_ms.value_or(last);
  if (first > last || last <= f.axis.t0_ms || first >= f.axis.t1_ms) {
    throw PlotError("no block lies in the time span asked for");
  }
  if (f.axis.t1_ms <= f.axis.t0_ms) throw PlotError("the end of the time span is not after its start");

  // Panels and their relative heights.
  std::vector<std::pair<Panel, double>> rows;
  if (d.spectrum) {
    double lo = opt.fmin.value_or(0.0), hi = opt.fmax.value_or(12.0);
    rows.push_back({{PanelKind::kSpectrogram, 0, {}, lo, hi}, 1.0});
    rows.push_back({{PanelKind::kSpectrogram, 1, {}, lo, hi}, 1.0});
    if (d.peaks && HasScint(*d.peaks)) rows.push_back({{PanelKind::kScintillation, -1, {}, 0, 1}, 0.32});
  } else {
    rows.push_back({{PanelKind::kPeakFrequency, -1, {}, opt.fmin.value_or(4.0), opt.fmax.value_or(12.0)}, 1.0});
    rows.push_back({{PanelKind::kPeakLevel, -1, {}, 0, 1}, 1.0});
    if (HasScint(*d.peaks)) rows.push_back({{PanelKind::kScintillation, -1, {}, 0, 1}, 0.6});
  }

  // Margins, scaled with the picture.
  double s = std::clamp(std::min(opt.width / 1600.0, opt.height / 900.0), 0.6, 3.0);
  f.scale = s;
  f.date_labels = SpanNeedsDates(f.axis.t0_ms, f.axis.t1_ms);
  double label_h = (f.date_labels ? 32 : 17) * s;
  double top = std::round((12 + 22 + 8) * s + label_h + 8 * s);
  double bottom = std::round(8 * s + label_h + 10 * s);
  double left = std::round(80 * s), right = std::round(d.spectrum ? 130 * s : 30 * s);
  double gap = std::round(10 * s);
  double avail = opt.height - top - bottom - gap * (rows.size() - 1);
  double wsum = 0;
  for (auto& r : rows) wsum += r.second;
  if (avail < 20.0 * rows.size() || opt.width - left - right < 40) throw PlotError("the picture is too small");
  f.axis.x0 = left;
  f.axis.width = opt.width - left - right;
  double y = top;
  for (auto& [p, weight] : rows) {
    p.r = {left, y, f.axis.width, std::floor(avail * weight / wsum)};
    y += p.r.h + gap;
    f.panels.push_back(p);
  }

  // Ranges of the panels that follow the data.
  for (Panel& p : f.panels) {
    const PeakSeries* ps = d.peaks;
    if (p.kind == PanelKind::kPeakLevel) DataRange(*ps, f.axis, PeakLevel, 10.0, p.ymin, p.ymax);
    if (p.kind == PanelKind::kScintillation) {
      DataRange(*ps, f.axis, Scint, 0.5, p.ymin, p.ymax);
      p.ymin = 0;
    }
    if (!(p.ymax > p.ymin)) throw PlotError("the value range of a panel is empty (check --fmin/--fmax)");
  }
  if (d.spectrum) {
    const Panel& p0 = f.panels[0];
    double vmin = 0, vmax = 1;
    if (!opt.vmin || !opt.vmax) {
      if (!DefaultLevelRange(*d.spectrum, f.block_ms, f.axis.t0_ms, f.axis.t1_ms, p0.ymin, p0.ymax, vmin, vmax)) {
        vmin = 0, vmax = 100;
      }
    }
    f.vmin = opt.vmin.value_or(vmin);
    f.vmax = opt.vmax.value_or(vmax);
    if (opt.vmin && !opt.vmax && f.vmax <= f.vmin) f.vmax = f.vmin + 1;
    if (opt.vmax && !opt.vmin && f.vmin >= f.vmax) f.vmin = f.vmax - 1;
    if (!(f.vmax > f.vmin)) throw PlotError("--vmax must be above --vmin");
    const Rect& r1 = f.panels[1].r;
    f.colorbar = {std::round(left + f.axis.width + 18 * s), p0.r.y, std::round(18 * s), r1.y + r1.h - p0.r.y};
  }
  f.title = opt.title ? *opt.title : DefaultTitle(d, f);
  return f;
}

void Draw(cairo_t* cr, const Figure& f, const FigureData& d, const PlotOptions& opt) {
  TextPen pen(cr);
  const double s = f.scale;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);

  std::vector<TimeTick> ticks =
      TimeTicks(f.axis.t0_ms, f.axis.t1_ms, std::max(2, static_cast<int>(f.axis.width / (70 * s))), f.date_labels);
  for (const Panel& p : f.panels) {
    if (p.kind == PanelKind::kSpectrogram) {
      DrawSpectrogramPanel(cr, f, p, d, opt);
    } else {
      DrawTimeGrid(cr, f, p, ticks);
      DrawYAxis(cr, pen, f, p);
      DrawLinePanel(cr, f, p, *d.peaks);
    }
    if (p.kind == PanelKind::kSpectrogram) DrawYAxis(cr, pen, f, p);
    Frame(cr, p.r);
  }
  if (f.colorbar.w > 0) DrawColourBar(cr, pen, f, opt);
  DrawTimeAxes(cr, pen, f, ticks);
  DrawMarks(cr, pen, f, opt);

  cairo_set_source_rgb(cr, 0, 0, 0);
  pen.Show(f.title, 15 * s, f.axis.x0, 12 * s, 0, 0);
  bool lines = std::any_of(f.panels.begin(), f.panels.end(), [](const Panel& p) { return p.kind != PanelKind::kSpectrogram; });
  if (lines) DrawLegend(cr, pen, f, 12 * s + 10 * s);
}

}  // namespace hfd::plot
