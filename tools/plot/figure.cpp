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

// Magenta and orange: apart from each other, from the white of the line
// panels and from both colour maps (drawn over a dark casing on spectrograms).
const double kChannelColour[2][3] = {{0.85, 0.0, 0.55}, {1.0, 0.50, 0.0}};

namespace {

// Cells of the spectrum folds of one station at most (two channels, 12 bytes each).
constexpr double kMaxCells = 2.0e6;

double Y(const Panel& p, double v) { return p.r.y + (p.ymax - v) / (p.ymax - p.ymin) * p.r.h; }

// A position of a thin line on the middle of a pixel, so that it stays crisp.
double Crisp(double v) { return std::round(v - 0.5) + 0.5; }

// A value of one channel against time, column by column: from the first
// block's value through the lowest and highest to the last, which looks the
// same as a line through every block; broken where columns hold no block or
// blocks do not follow on.
void DrawSeries(cairo_t* cr, const Figure& f, const Panel& p, const PeakFold& fold, PeakValue value,
                int channel, double width) {
  const ColumnGrid& g = fold.grid();
  const double cw = f.axis.width / g.columns;
  cairo_save(cr);
  cairo_rectangle(cr, p.r.x, p.r.y, p.r.w, p.r.h);
  cairo_clip(cr);
  cairo_set_line_width(cr, width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  bool open = false;
  for (int c = 0; c < g.columns; ++c) {
    const ColumnStat& st = fold.At(value, channel, c);
    if (!fold.Filled(c) || std::isnan(st.first)) {
      open = false;
      continue;
    }
    const double x = f.axis.x0 + (c + 0.5) * cw;
    if (open && fold.Joined(c)) cairo_line_to(cr, x, Y(p, st.first));
    else cairo_move_to(cr, x, Y(p, st.first));
    if (st.lo != st.hi) {
      cairo_line_to(cr, x, Y(p, st.lo));
      cairo_line_to(cr, x, Y(p, st.hi));
    }
    cairo_line_to(cr, x, Y(p, st.last));
    // Alone between two gaps, a column still shows as a short dash.
    const bool next = c + 1 < g.columns && fold.Filled(c + 1) && fold.Joined(c + 1) &&
                      !std::isnan(fold.At(value, channel, c + 1).first);
    if (!open && !next) cairo_line_to(cr, x + 0.01, Y(p, st.last));
    open = true;
  }
  cairo_stroke(cr);
  cairo_restore(cr);
}

void SetChannelColour(cairo_t* cr, int c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, kChannelColour[c][0], kChannelColour[c][1], kChannelColour[c][2], alpha);
}

void DrawSpectrogramPanel(cairo_t* cr, const Figure& f, const Panel& p, const StationFolds& d,
                          const PlotOptions& opt) {
  const SpectrumFold& fold = *d.spectrum;
  const int w = fold.grid().columns;
  // PNG: one image row per pixel row. SVG and PDF: one per bin, scaled.
  double fmin = p.ymin, fmax = p.ymax;
  int h = static_cast<int>(p.r.h);
  if (opt.vector && fold.last_bin() >= fold.first_bin()) {
    h = static_cast<int>(fold.last_bin() - fold.first_bin() + 1);
    fmin = (fold.first_bin() - 0.5) * fold.bin_hz();
    fmax = (fold.last_bin() + 0.5) * fold.bin_hz();
  }
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(img);
  DrawSpectrogram(fold, p.channel, {fmin, fmax, f.vmin, f.vmax}, ColormapTable(opt.colormap), kBlank,
                  reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img)),
                  cairo_image_surface_get_stride(img) / 4, h);
  PaintPixels(cr, img, {p.r.x, Y(p, fmax), p.r.w, Y(p, fmin) - Y(p, fmax)}, p.r);

  if (d.peaks && opt.trace) {
    // The channel's colour over a dark casing: seen over every colour of both maps.
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    DrawSeries(cr, f, p, *d.peaks, kFreq, p.channel, 2.6 * f.scale);
    SetChannelColour(cr, p.channel);
    DrawSeries(cr, f, p, *d.peaks, kFreq, p.channel, 1.2 * f.scale);
  }
}

void DrawColourBar(cairo_t* cr, TextPen& pen, const Figure& f, const PlotOptions& opt) {
  const Rect& r = f.colorbar;
  const int h = 256;
  const ColourTable& lut = ColormapTable(opt.colormap);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, h);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  const int stride = cairo_image_surface_get_stride(img) / 4;
  for (int y = 0; y < h; ++y) px[y * stride] = lut[255 - y];
  PaintPixels(cr, img, r, r);
  const double s = f.scale, fs = 12 * s;
  Frame(cr, r, s);

  std::vector<double> ticks = NiceTicks(f.vmin, f.vmax, std::max(2, static_cast<int>(r.h / (40 * s))));
  double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  int label_w = 0;
  for (double v : ticks) {
    double y = Crisp(r.y + (f.vmax - v) / (f.vmax - f.vmin) * r.h);
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

void DrawLinePanel(cairo_t* cr, const Figure& f, const Panel& p, const PeakFold& fold) {
  const PeakValue v = p.kind == PanelKind::kPeakFrequency ? kFreq : p.kind == PanelKind::kPeakLevel ? kLevel : kScint;
  for (int c = 0; c < 2; ++c) {
    SetChannelColour(cr, c);
    DrawSeries(cr, f, p, fold, v, c, 1.0 * f.scale);
  }
}

std::string AxisTitle(const Panel& p) {
  switch (p.kind) {
    case PanelKind::kSpectrogram: return std::string(kCarrierLabels[p.channel]) + "   frequency (Hz)";
    case PanelKind::kPeakFrequency: return "peak freq. (Hz)";
    case PanelKind::kPeakLevel: return "peak level (dBuV)";
    case PanelKind::kScintillation: return "S4Indx";
  }
  return "";
}

void DrawYAxis(cairo_t* cr, TextPen& pen, const Figure& f, const Panel& p) {
  const double s = f.scale, fs = 12 * s;
  std::vector<double> ticks = NiceTicks(p.ymin, p.ymax, std::max(3, static_cast<int>(p.r.h / (22 * s))));
  double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  cairo_set_line_width(cr, s);
  for (double v : ticks) {
    const double y = Crisp(Y(p, v));
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
  // Along the panel's height: the carrier alone, then smaller, where it is short.
  std::string title = AxisTitle(p);
  int tw, th;
  pen.Size(title, fs, tw, th);
  if (tw > p.r.h && p.kind == PanelKind::kSpectrogram) title = kCarrierLabels[p.channel], pen.Size(title, fs, tw, th);
  const double title_fs = tw > p.r.h ? std::max(0.6 * fs, fs * p.r.h / tw) : fs;
  pen.Show(title, title_fs, p.r.x - 44 * s, p.r.y + p.r.h / 2, 0.5, 1, true);
  if (p.kind == PanelKind::kScintillation) {  // what the value is
    const std::string what = "S4Indx: ten times the standard deviation of the block's samples";
    int tw, th;
    pen.Size(what, 10 * s, tw, th);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, p.r.x + 2 * s, p.r.y + 2 * s, tw + 6 * s, th + 2 * s);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.25, 0.25, 0.25);
    pen.Show(what, 10 * s, p.r.x + 5 * s, p.r.y + 3 * s, 0, 0);
  }
}

// The Doppler shift (frequency - zero) on the right-hand edge.
void DrawShiftAxis(cairo_t* cr, TextPen& pen, const Figure& f, const Panel& p) {
  const double s = f.scale, fs = 12 * s, z = *p.zero_hz;
  std::vector<double> ticks = NiceTicks(p.ymin - z, p.ymax - z, std::max(3, static_cast<int>(p.r.h / (22 * s))));
  double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  const double x = p.r.x + p.r.w;
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, s);
  for (double v : ticks) {
    const double y = Crisp(Y(p, v + z));
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 4 * s, y);
    cairo_stroke(cr);
    std::string label = Number(v, step);
    if (v > 0) label.insert(label.begin(), '+');
    pen.Show(label, fs, x + 6 * s, y, 0, 0.5);
  }
  pen.Show("Doppler shift (Hz)", fs, x + 44 * s, p.r.y + p.r.h / 2, 0.5, 0, true);
}

void DrawTimeGrid(cairo_t* cr, const Figure& f, const Panel& p, const std::vector<TimeTick>& ticks) {
  if (p.kind == PanelKind::kSpectrogram) return;
  cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
  cairo_set_line_width(cr, f.scale);
  for (const auto& t : ticks) {
    double x = Crisp(f.axis.X(t.utc_ms));
    cairo_move_to(cr, x, p.r.y);
    cairo_line_to(cr, x, p.r.y + p.r.h);
  }
  cairo_stroke(cr);
}

int MaxTimeTicks(const Figure& f) { return std::max(2, static_cast<int>(f.axis.width / (78 * f.scale))); }

void DrawTimeAxes(cairo_t* cr, TextPen& pen, const Figure& f, const std::vector<TimeTick>& bottom_ticks) {
  const double s = f.scale, fs = 12 * s, tick = 5 * s;
  const Rect& top = f.panels.front().r;
  const Rect& bottom = f.panels.back().r;
  const int64_t other = OtherZone(f.zone_ms);
  const std::vector<TimeTick> top_ticks = TimeTicks(f.axis.t0_ms, f.axis.t1_ms, MaxTimeTicks(f), other);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, s);
  for (const auto& t : bottom_ticks) {
    double x = Crisp(f.axis.X(t.utc_ms));
    for (const Panel& p : f.panels) {  // short marks inside every panel's edges
      double in = p.kind == PanelKind::kSpectrogram ? 0 : tick * 0.6;
      cairo_move_to(cr, x, p.r.y);
      cairo_line_to(cr, x, p.r.y + in);
      cairo_move_to(cr, x, p.r.y + p.r.h);
      cairo_line_to(cr, x, p.r.y + p.r.h - in);
    }
    cairo_move_to(cr, x, bottom.y + bottom.h + s);
    cairo_line_to(cr, x, bottom.y + bottom.h + s + tick);
    cairo_stroke(cr);
    pen.Show(t.label, fs, x, bottom.y + bottom.h + 2 * s + 1.4 * tick, 0.5, 0);
  }
  for (const auto& t : top_ticks) {
    double x = Crisp(f.axis.X(t.utc_ms));
    cairo_move_to(cr, x, top.y - s);
    cairo_line_to(cr, x, top.y - s - tick);
    cairo_stroke(cr);
    pen.Show(t.label, fs, x, top.y - 2 * s - 1.4 * tick, 0.5, 1);
  }
  // At the far left, clear of a tick label at the left edge.
  pen.Show(ZoneName(other), fs, 6 * s, top.y - 2 * s - 1.4 * tick, 0, 1);
  pen.Show(ZoneName(f.zone_ms), fs, 6 * s, bottom.y + bottom.h + 2 * s + 1.4 * tick, 0, 0);
}

void DrawMarks(cairo_t* cr, TextPen& pen, const Figure& f, const PlotOptions& opt) {
  double s = f.scale, fs = 11 * s;
  double y0 = f.panels.front().r.y, y1 = f.panels.back().r.y + f.panels.back().r.h;
  for (const Mark& m : opt.marks) {
    if (m.utc_ms < f.axis.t0_ms || m.utc_ms > f.axis.t1_ms) continue;
    double x = Crisp(f.axis.X(static_cast<double>(m.utc_ms)));
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

// Sunrise and sunset over one station's panels: amber and violet, solid at
// the ground, dashed at 100 km, dotted at 300 km; labelled where there is room.
void DrawSun(cairo_t* cr, TextPen& pen, const Figure& f, int station) {
  const StationPlan& st = f.stations[station];
  double y0 = -1, y1 = -1;
  for (const Panel& p : f.panels) {
    if (p.station != station) continue;
    if (y0 < 0) y0 = p.r.y;
    y1 = p.r.y + p.r.h;
  }
  if (y0 < 0 || st.sun.empty()) return;
  const double s = f.scale, fs = 10 * s;
  double labelled = -1e9;
  int tw, th;
  pen.Size("sunrise 300 km", fs, tw, th);
  for (const SunLine& l : st.sun) {
    if (l.utc_ms < f.axis.t0_ms || l.utc_ms > f.axis.t1_ms) continue;
    const double x = f.axis.X(static_cast<double>(l.utc_ms));
    if (l.sunrise) cairo_set_source_rgb(cr, 1.0, 0.72, 0.0);
    else cairo_set_source_rgb(cr, 0.62, 0.42, 1.0);
    cairo_set_line_width(cr, 1.2 * s);
    const double dashed[2] = {5 * s, 3 * s}, dotted[2] = {1.5 * s, 2.5 * s};
    if (l.height_km == 100) cairo_set_dash(cr, dashed, 2, 0);
    if (l.height_km >= 300) cairo_set_dash(cr, dotted, 2, 0);
    cairo_move_to(cr, x, y0);
    cairo_line_to(cr, x, y1);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    if (x - labelled < th + 2 * s) continue;  // the label would touch the one before
    labelled = x;
    const std::string text = std::string(l.sunrise ? "sunrise " : "sunset ") + std::to_string(l.height_km) + " km";
    pen.Size(text, fs, tw, th);
    cairo_save(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.75);
    cairo_rectangle(cr, x - th - 1 * s, y0 + 2 * s, th, tw + 4 * s);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    pen.Show(text, fs, x - 1 * s, y0 + 4 * s + tw, 0, 1, true);
    cairo_restore(cr);
  }
}

// The station's name in the top left corner of its first panel (several stations).
void DrawStationLabels(cairo_t* cr, TextPen& pen, const Figure& f) {
  if (f.stations.size() < 2) return;
  const double s = f.scale, fs = 13 * s;
  int last = -1;
  for (const Panel& p : f.panels) {
    if (p.station == last) continue;
    last = p.station;
    const std::string& name = f.stations[p.station].name;
    int tw, th;
    pen.Size(name, fs, tw, th);
    const double x = p.r.x + p.r.w - tw - 8 * s, y = p.r.y + 3 * s;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, x - 4 * s, y - 1 * s, tw + 8 * s, th + 2 * s);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    pen.Show(name, fs, x, y, 0, 0);
  }
}

void DrawLegend(cairo_t* cr, TextPen& pen, const Figure& f, double y) {
  double s = f.scale, fs = 12 * s, x = f.width - 10 * s;  // over the colour bar, clear of the title
  for (int c = 1; c >= 0; --c) {
    int tw, th;
    pen.Size(kCarrierLabels[c], fs, tw, th);
    x -= tw;
    cairo_set_source_rgb(cr, 0, 0, 0);
    pen.Show(kCarrierLabels[c], fs, x, y, 0, 0.5);
    x -= 6 * s;
    SetChannelColour(cr, c);
    cairo_set_line_width(cr, 2.5 * s);
    cairo_move_to(cr, x - 22 * s, y);
    cairo_line_to(cr, x, y);
    cairo_stroke(cr);
    x -= 40 * s;
  }
}

std::string DefaultTitle(const PlotInput& in, const Figure& f) {
  std::string t;
  if (in.stations.size() == 1) {
    const StationPlan& st = in.stations[0];
    t = st.name.empty() ? st.code : st.name == st.code || st.code.empty() ? st.name : st.name + " (" + st.code + ")";
  } else {
    for (const StationPlan& st : in.stations) t += (t.empty() ? "" : ", ") + (st.code.empty() ? st.name : st.code);
  }
  if (!t.empty()) t += "   ";
  std::string first = DateIn(f.axis.t0_ms, f.zone_ms), last = DateIn(f.axis.t1_ms - 1, f.zone_ms);
  t += first == last ? first : first + " to " + last;
  t += std::string(" (") + ZoneName(f.zone_ms) + ")   N = " + std::to_string(f.block_ms / 10) + "   5006 kHz, 8006 kHz";
  return t;
}

}  // namespace

Figure Plan(const PlotInput& in, const PlotOptions& opt) {
  if (in.stations.empty()) throw PlotError("nothing to draw");
  Figure f;
  f.width = opt.width;
  f.height = opt.height;
  f.block_ms = BlockMsOf(in.data_length);
  f.stations = in.stations;
  f.zone_ms = ZoneOffsetMs(opt.zone);

  // The span: the blocks' or --from/--to.
  f.axis.t0_ms = opt.from_ms.value_or(in.first_ms);
  f.axis.t1_ms = opt.to_ms.value_or(in.last_ms);
  if (in.first_ms >= in.last_ms || in.last_ms <= f.axis.t0_ms || in.first_ms >= f.axis.t1_ms) {
    throw PlotError("no block lies in the time span asked for");
  }
  if (f.axis.t1_ms <= f.axis.t0_ms) throw PlotError("the end of the time span is not after its start");

  // Panels of every station and their relative heights.
  struct Row {
    Panel p;
    double weight;
  };
  std::vector<Row> rows;
  bool spectrum = false, shift = false;
  for (int i = 0; i < static_cast<int>(in.stations.size()); ++i) {
    const StationPlan& st = in.stations[i];
    if (st.spectrum) {
      spectrum = true;
      double lo = opt.fmin.value_or(0.0), hi = opt.fmax.value_or(12.0);
      for (int c = 0; c < 2; ++c) rows.push_back({{PanelKind::kSpectrogram, i, c, {}, lo, hi, st.zero_hz[c]}, 1.0});
      if (st.scint) rows.push_back({{PanelKind::kScintillation, i, -1, {}, 0, 1, {}}, 0.32});
    } else {
      // One shift axis for both channels: when their zeros agree.
      std::optional<double> z = st.zero_hz[0] == st.zero_hz[1] ? st.zero_hz[0] : std::nullopt;
      rows.push_back({{PanelKind::kPeakFrequency, i, -1, {}, opt.fmin.value_or(4.0), opt.fmax.value_or(12.0), z}, 1.0});
      rows.push_back({{PanelKind::kPeakLevel, i, -1, {}, 0, 1, {}}, 1.0});
      if (st.scint) rows.push_back({{PanelKind::kScintillation, i, -1, {}, 0, 1, {}}, 0.6});
    }
    for (int r = static_cast<int>(rows.size()) - 1; r >= 0 && rows[r].p.station == i; --r) shift |= rows[r].p.zero_hz.has_value();
  }

  // Margins, scaled with the picture (text stays readable when small).
  const double s = std::clamp(std::sqrt(opt.width * static_cast<double>(opt.height) / (1600.0 * 900.0)), 0.8, 4.0);
  f.scale = s;
  const int64_t other = OtherZone(f.zone_ms);
  auto label_h = [&](int64_t zone) { return (SpanCrossesDate(f.axis.t0_ms, f.axis.t1_ms, zone) || f.axis.t1_ms - f.axis.t0_ms > 2 * kDayMs ? 32 : 17) * s; };
  double top = std::round((12 + 22 + 8) * s + label_h(other) + 8 * s);
  double bottom = std::round(8 * s + label_h(f.zone_ms) + 10 * s);
  double left = std::round(80 * s), right_axis = shift ? std::round(62 * s) : 0.0;
  double right = right_axis + std::round(spectrum ? 130 * s : 30 * s);
  double gap = std::round(10 * s), group_gap = std::round(22 * s);
  int groups = static_cast<int>(in.stations.size());
  double avail = opt.height - top - bottom - gap * (rows.size() - groups) - group_gap * (groups - 1);
  double wsum = 0;
  for (const Row& r : rows) wsum += r.weight;
  if (avail < 20.0 * rows.size() || opt.width - left - right < 40) {
    throw PlotError("the picture is too small for its " + std::to_string(rows.size()) +
                    " panels (--width, --height)");
  }
  f.axis.x0 = left;
  f.axis.width = opt.width - left - right;
  double y = top;
  for (size_t i = 0; i < rows.size(); ++i) {
    Panel p = rows[i].p;
    if (i > 0) y += rows[i - 1].p.station == p.station ? gap : group_gap;
    p.r = {left, y, f.axis.width, std::floor(avail * rows[i].weight / wsum)};
    y += p.r.h;
    f.panels.push_back(p);
  }

  // Columns: a pixel each; for SVG and PDF a block length each when blocks
  // are narrower than pixels (at most kMaxCells bin cells per station).
  const int pixels = static_cast<int>(f.axis.width);
  f.line_grid = f.spectrum_grid = {f.axis.t0_ms, f.axis.t1_ms, pixels};
  if (opt.vector) {
    const double fmin = opt.fmin.value_or(0.0), fmax = opt.fmax.value_or(12.0);
    const double bins = std::max(1.0, (std::min(fmax, 12.0) - std::max(fmin, 0.0)) * f.block_ms / 1000.0 + 2);
    const double blocks = std::ceil(static_cast<double>(f.axis.t1_ms - f.axis.t0_ms) / f.block_ms);
    const int columns = static_cast<int>(std::min(blocks, kMaxCells / bins));
    if (columns > pixels) f.line_grid = f.spectrum_grid = {f.axis.t0_ms, f.axis.t1_ms, columns};
  }

  if (spectrum) {
    const Panel* first = nullptr;
    const Panel* last = nullptr;
    for (const Panel& p : f.panels) {
      if (p.kind != PanelKind::kSpectrogram) continue;
      if (!first) first = &p;
      last = &p;
    }
    f.colorbar = {std::round(left + f.axis.width + right_axis + 18 * s), first->r.y, std::round(18 * s),
                  last->r.y + last->r.h - first->r.y};
  }
  f.title = opt.title ? *opt.title : DefaultTitle(in, f);
  return f;
}

std::vector<StationFolds> MakeFolds(const Figure& f, const PlotInput& in, const PlotOptions& opt) {
  std::vector<StationFolds> folds(in.stations.size());
  for (size_t i = 0; i < folds.size(); ++i) {
    const StationPlan& st = in.stations[i];
    if (st.spectrum) {
      folds[i].spectrum.emplace(f.spectrum_grid, f.block_ms, static_cast<int32_t>(f.block_ms / 10),
                                opt.fmin.value_or(0.0), opt.fmax.value_or(12.0));
      if (folds[i].spectrum->last_bin() < folds[i].spectrum->first_bin())
        throw PlotError("no frequency bin of the files lies between --fmin and --fmax (they hold 0 to 12 Hz)");
    }
    if (st.peaks) folds[i].peaks.emplace(f.line_grid, f.block_ms);
  }
  return folds;
}

void FinishPlan(Figure& f, const std::vector<StationFolds>& folds, const PlotOptions& opt) {
  int64_t blocks = 0;
  LevelHistogram levels, peaks;
  bool spectrum = false;
  for (const StationFolds& d : folds) {
    if (d.spectrum) {
      blocks += d.spectrum->blocks();
      levels.Merge(d.spectrum->levels());
      peaks.Merge(d.spectrum->peaks());
      spectrum = true;
    } else if (d.peaks) {
      blocks += d.peaks->blocks();
    }
  }
  if (blocks == 0) throw PlotError("no block lies in the time span asked for");

  // Ranges of the panels that follow the data, widened to whole units.
  for (Panel& p : f.panels) {
    const StationFolds& d = folds[p.station];
    if (p.kind == PanelKind::kPeakLevel || p.kind == PanelKind::kScintillation) {
      const bool level = p.kind == PanelKind::kPeakLevel;
      const double unit = level ? 10.0 : 0.5;
      double lo = 0, hi = unit;
      if (d.peaks && d.peaks->Range(level ? kLevel : kScint, lo, hi)) {
        lo = std::floor(lo / unit) * unit, hi = std::ceil(hi / unit) * unit;
      }
      if (!level) lo = 0;
      if (hi <= lo) hi = lo + unit;
      p.ymin = lo, p.ymax = hi;
    }
    if (!(p.ymax > p.ymin)) throw PlotError("the value range of a panel is empty (check --fmin/--fmax)");
  }
  if (spectrum) {
    double vmin = 0, vmax = 100;
    if (!opt.vmin || !opt.vmax) DefaultLevelRange(levels, peaks, vmin, vmax);
    TakeLevelOptions(opt, vmin, vmax);
    f.vmin = vmin, f.vmax = vmax;
    if (!(f.vmax > f.vmin)) throw PlotError("--vmax must be above --vmin");
  }
}

void TakeLevelOptions(const PlotOptions& opt, double& lo, double& hi) {
  if (opt.vmin) lo = *opt.vmin;
  if (opt.vmax) hi = *opt.vmax;
  if (opt.vmin && !opt.vmax && hi <= lo) hi = lo + 1;
  if (opt.vmax && !opt.vmin && lo >= hi) lo = hi - 1;
}

void Draw(cairo_t* cr, const Figure& f, const std::vector<StationFolds>& folds, const PlotOptions& opt) {
  TextPen pen(cr);
  const double s = f.scale;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);

  const std::vector<TimeTick> ticks = TimeTicks(f.axis.t0_ms, f.axis.t1_ms, MaxTimeTicks(f), f.zone_ms);
  bool lines = false;
  for (const Panel& p : f.panels) {
    const StationFolds& d = folds[p.station];
    if (p.kind == PanelKind::kSpectrogram) {
      DrawSpectrogramPanel(cr, f, p, d, opt);
      lines |= d.peaks && opt.trace;
    } else {
      DrawTimeGrid(cr, f, p, ticks);
      if (d.peaks) DrawLinePanel(cr, f, p, *d.peaks);
      lines = true;
    }
    DrawYAxis(cr, pen, f, p);
    if (p.zero_hz) DrawShiftAxis(cr, pen, f, p);
    Frame(cr, p.r, s);
  }
  if (opt.sun) {
    for (int i = 0; i < static_cast<int>(f.stations.size()); ++i) DrawSun(cr, pen, f, i);
  }
  if (f.colorbar.w > 0) DrawColourBar(cr, pen, f, opt);
  DrawTimeAxes(cr, pen, f, ticks);
  DrawMarks(cr, pen, f, opt);
  DrawStationLabels(cr, pen, f);

  cairo_set_source_rgb(cr, 0, 0, 0);
  pen.Show(f.title, 15 * s, f.axis.x0, 12 * s, 0, 0);
  if (lines) DrawLegend(cr, pen, f, 12 * s + 10 * s);
}

}  // namespace hfd::plot
