#include "stack.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "results/result_files.hpp"

namespace hfd::plot {
namespace {

using results::PeakBlock;
using results::PeakSeries;
using results::ReadError;

// The Sun's curves are left out where a year has fewer pixel rows: they would
// zigzag the seasons into a grey band over the data.
constexpr double kSunMinYearPx = 100;

// len bytes at offset into out; false when the file gives fewer.
bool ReadAt(int fd, size_t offset, size_t len, std::string& out) {
  out.resize(len);
  size_t got = 0;
  while (got < len) {
    const ssize_t r = ::pread(fd, out.data() + got, len - got, static_cast<off_t>(offset + got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

// A file's header, first and last block line, read from its head and tail
// only: the days it spans, its data length and station. Anything unusual (a
// header or line longer than the bytes looked at, a malformed line) is left
// to the whole file's reader, whose message names the line.
PeakSeries PeekEnds(const std::string& path) {
  constexpr size_t kLook = 4096;
  const int header_lines = results::KindOfPath(path) == results::Kind::kAmplitude ? 4 : 1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO: no wait
  if (fd < 0) throw ReadError(path, 0, std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool dir = S_ISDIR(st.st_mode);
    ::close(fd);
    throw ReadError(path, 0, dir ? "is a folder" : "not a regular file");
  }
  const size_t size = static_cast<size_t>(st.st_size);
  std::string head, tail;
  bool ok = ReadAt(fd, 0, std::min(size, kLook), head);
  const size_t tail_at = size - std::min(size, kLook);
  ok = ok && ReadAt(fd, tail_at, size - tail_at, tail);
  ::close(fd);
  size_t first_end = 0;  // past the LF of the first block line
  for (int i = 0; ok && i <= header_lines; ++i) {
    const size_t nl = head.find('\n', first_end);
    ok = nl != std::string::npos;
    first_end = nl + 1;
  }
  const size_t last_lf = ok ? tail.rfind('\n') : std::string::npos;
  const size_t before = last_lf == 0 || last_lf == std::string::npos ? std::string::npos : tail.rfind('\n', last_lf - 1);
  ok = ok && before != std::string::npos && tail_at + before + 1 >= first_end;
  if (ok) {
    std::string text = head.substr(0, first_end);
    if (tail_at + before + 1 > first_end) text += tail.substr(before + 1, last_lf - before);
    try {
      return results::ReadPeakText(text, path);
    } catch (const ReadError&) {
    }
  }
  PeakSeries whole = results::ReadPeakFile(path);
  if (whole.blocks.size() > 2) whole.blocks.erase(whole.blocks.begin() + 1, whole.blocks.end() - 1);
  return whole;
}

double Value(const StackLayout& lay, const PeakBlock& b, int c) {
  switch (lay.value) {
    case StackValue::kFreq: return b.peak[c].freq_hz - (lay.shift[c] ? lay.zero_hz[c] : 0.0);
    case StackValue::kLevel: return b.peak[c].level_dbuv;
    case StackValue::kS4: return b.scint[c];
  }
  return std::numeric_limits<double>::quiet_NaN();
}

const char* ValueTitle(const StackLayout& lay, int c) {
  switch (lay.value) {
    case StackValue::kFreq: return lay.shift[c] ? "Doppler shift (Hz)" : "peak frequency (Hz)";
    case StackValue::kLevel: return "peak level (dBuV)";
    case StackValue::kS4: return "S4Indx";
  }
  return "";
}

std::string LocalDate(const StackLayout& lay, int64_t day) {
  return DateIn(day * kDayMs - lay.zone_ms, lay.zone_ms);
}

// The day number of a civil date (the first of a month or a year).
int64_t DayOf(int year, int month) {
  char iso[32];
  std::snprintf(iso, sizeof iso, "%04d-%02d-01T00:00Z", year, month);
  int64_t ms = 0;
  results::ParseIsoTime(iso, ms);
  return FloorDiv(ms, kDayMs);
}

// The image: per channel and cell the sum and count of the blocks' values.
struct Grid {
  int rows = 0, cols = 0;
  std::vector<double> sum[2];
  std::vector<uint32_t> count[2];
};

void Fold(Grid& g, const StackLayout& lay, const PeakSeries& s) {
  const int64_t block_ms = BlockMsOf(lay.data_length);
  for (const PeakBlock& b : s.blocks) {
    if (b.utc_ms < lay.t0_ms || b.utc_ms >= lay.t1_ms) continue;
    const double v[2] = {Value(lay, b, 0), Value(lay, b, 1)};
    const int64_t a = b.utc_ms + lay.zone_ms, e = a + block_ms;  // local time
    for (int64_t d = FloorDiv(a, kDayMs); d * kDayMs < e; ++d) {  // a block over midnight: two rows
      if (d < lay.day0 || d >= lay.day0 + lay.days) continue;
      const int64_t lo = std::max(a, d * kDayMs) - d * kDayMs, hi = std::min(e, (d + 1) * kDayMs) - d * kDayMs;
      const int c0 = static_cast<int>(lo * g.cols / kDayMs), c1 = static_cast<int>((hi - 1) * g.cols / kDayMs);
      const size_t row = static_cast<size_t>(lay.Row(d)) * g.cols;
      for (int c = 0; c < 2; ++c) {
        if (std::isnan(v[c])) continue;
        for (int x = c0; x <= c1; ++x) g.sum[c][row + x] += v[c], ++g.count[c][row + x];
      }
    }
  }
}

// The colour range of a channel: --vmin/--vmax, or from the 1st to the 99th
// percentile of its cells (symmetric about zero for a shift, from zero for S4Indx).
void Range(const Grid& g, int c, const StackLayout& lay, const PlotOptions& opt, double& lo, double& hi) {
  std::vector<float> v;
  for (size_t i = 0; i < g.sum[c].size(); ++i) {
    if (g.count[c][i]) v.push_back(static_cast<float>(g.sum[c][i] / g.count[c][i]));
  }
  lo = 0, hi = 1;
  if (!v.empty()) {
    auto at = [&](double q) {
      auto it = v.begin() + static_cast<ptrdiff_t>(q * (v.size() - 1));
      std::nth_element(v.begin(), it, v.end());
      return static_cast<double>(*it);
    };
    lo = at(0.01), hi = at(0.99);
    if (lay.value == StackValue::kFreq && lay.shift[c]) hi = std::max(std::fabs(lo), std::fabs(hi)), lo = -hi;
    if (lay.value == StackValue::kS4) lo = 0;
    if (!(hi > lo)) lo -= 0.5, hi += 0.5;
  }
  TakeLevelOptions(opt, lo, hi);
}

struct RowTick {
  int64_t day;
  std::string label;
};

// Days, months or years down the rows, at most about max_ticks of them.
std::vector<RowTick> RowTicks(const StackLayout& lay, int max_ticks, bool& centred) {
  std::vector<RowTick> ticks;
  const int64_t end = lay.day0 + lay.days;
  centred = false;
  for (int64_t step : {1, 2, 7}) {  // up to a quarter of a year
    if (lay.days > 92 || lay.days / step + 1 > max_ticks) continue;
    centred = true;
    for (int64_t d = lay.day0; d < end; d += step) ticks.push_back({d, LocalDate(lay, d)});
    return ticks;
  }
  const std::string first = LocalDate(lay, lay.day0);
  int year = std::atoi(first.c_str()), month = std::atoi(first.c_str() + 5);
  const double months = lay.days / 30.44;
  for (int step : {1, 2, 3, 6}) {
    if (months / step + 1 > max_ticks) continue;
    for (int y = year, m = month;; ++m) {
      if (m > 12) m = 1, ++y;
      const int64_t d = DayOf(y, m);
      if (d >= end || y > 9999) break;
      if (d >= lay.day0 && (m - 1) % step == 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d", y, m);
        ticks.push_back({d, buf});
      }
    }
    return ticks;
  }
  const double years = lay.days / 365.25;
  int step = 1;
  for (int m = 1;; m *= 10) {
    step = m;
    if (years / m + 1 <= max_ticks) break;
    if (years / (2 * m) + 1 <= max_ticks) { step = 2 * m; break; }
    if (years / (5 * m) + 1 <= max_ticks) { step = 5 * m; break; }
  }
  for (int y = (year + step - 1) / step * step; y <= 9999; y += step) {
    const int64_t d = DayOf(y, 1);
    if (d >= end) break;
    if (d >= lay.day0) ticks.push_back({d, std::to_string(y)});
  }
  return ticks;
}

void DrawImage(cairo_t* cr, const Grid& g, int c, const Rect& r, double lo, double hi, const ColourTable& lut) {
  const int w = g.cols, h = static_cast<int>(r.h);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  const int stride = cairo_image_surface_get_stride(img) / 4;
  for (int y = 0; y < h; ++y) {
    const size_t row = static_cast<size_t>(static_cast<int64_t>(y) * g.rows / h) * w;
    for (int x = 0; x < w; ++x) {
      const uint32_t n = g.count[c][row + x];
      px[y * stride + x] = n ? lut[ColourIndex(g.sum[c][row + x] / n, lo, hi)] : kBlank;
    }
  }
  cairo_surface_mark_dirty(img);
  cairo_save(cr);
  cairo_set_source_surface(cr, img, r.x, r.y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(img);
}

// Hours of the day across a panel, in the zone below and the other one above.
void DrawHourAxes(cairo_t* cr, TextPen& pen, const StackLayout& lay, const Rect& r) {
  const double t = lay.scale, fs = 12 * t, tick = 5 * t;
  int step = 12;
  for (int s : {1, 2, 3, 4, 6, 12}) {
    if (24 / s + 1 <= std::max(2.0, r.w / (34 * t))) { step = s; break; }
  }
  const int other = lay.zone_ms == 0 ? 9 : 15;  // UTC + 9 = JST; JST + 15 = UTC (mod 24)
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1.0);
  for (int h = 0; h <= 24; h += step) {
    const double x = std::round(r.x + h * r.w / 24) + (h == 24 ? -0.5 : 0.5);
    cairo_move_to(cr, x, r.y - 1);
    cairo_line_to(cr, x, r.y - 1 - tick);
    cairo_move_to(cr, x, r.y + r.h + 1);
    cairo_line_to(cr, x, r.y + r.h + 1 + tick);
    cairo_stroke(cr);
    char below[16], above[16];
    std::snprintf(below, sizeof below, "%02d", h);
    std::snprintf(above, sizeof above, "%02d", (h + other) % 24);
    pen.Show(below, fs, x, r.y + r.h + 2 + 1.4 * tick, 0.5, 0);
    pen.Show(above, fs, x, r.y - 2 - 1.4 * tick, 0.5, 1);
  }
}

void DrawRowAxis(cairo_t* cr, TextPen& pen, const StackLayout& lay, const Rect& r, bool labels) {
  const double t = lay.scale, fs = 12 * t;
  bool centred = false;
  const std::vector<RowTick> ticks = RowTicks(lay, std::max(2, static_cast<int>(r.h / (2.2 * fs))), centred);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1.0);
  for (const RowTick& k : ticks) {
    const double y = std::round(r.y + (k.day - lay.day0 + (centred ? 0.5 : 0.0)) * r.h / lay.days) + 0.5;
    cairo_move_to(cr, r.x - 1, y);
    cairo_line_to(cr, r.x - 1 - 5 * t, y);
    cairo_stroke(cr);
    if (labels) pen.Show(k.label, fs, r.x - 3 - 6 * t, y, 1, 0.5);
  }
}

void DrawBar(cairo_t* cr, TextPen& pen, const StackLayout& lay, int c, double lo, double hi,
             const ColourTable& lut) {
  const Rect& r = lay.colorbar[c];
  const int w = static_cast<int>(r.w), h = static_cast<int>(r.h);
  cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  const int stride = cairo_image_surface_get_stride(img) / 4;
  for (int y = 0; y < h; ++y) {
    const double v = hi - (y + 0.5) / h * (hi - lo);
    std::fill(px + y * stride, px + y * stride + w, lut[ColourIndex(v, lo, hi)]);
  }
  cairo_surface_mark_dirty(img);
  cairo_set_source_surface(cr, img, r.x, r.y);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_fill(cr);
  cairo_surface_destroy(img);
  Frame(cr, r);
  const double t = lay.scale, fs = 12 * t;
  const std::vector<double> ticks = NiceTicks(lo, hi, std::max(2, static_cast<int>(r.h / (40 * t))));
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  int label_w = 0;
  for (double v : ticks) {
    const double y = std::round(r.y + (hi - v) / (hi - lo) * r.h) + 0.5;
    cairo_move_to(cr, r.x + r.w, y);
    cairo_line_to(cr, r.x + r.w + 4 * t, y);
    cairo_stroke(cr);
    const std::string text = Number(v, step);
    int tw, th;
    pen.Size(text, fs, tw, th);
    label_w = std::max(label_w, tw);
    pen.Show(text, fs, r.x + r.w + 6 * t, y, 0, 0.5);
  }
  pen.Show(ValueTitle(lay, c), fs, r.x + r.w + 10 * t + label_w, r.y + r.h / 2, 0.5, 0, true);
}

// Sunrise and sunset at the ground, 100 km and 300 km down the rows: the
// events of each image row's middle day (so the work follows the rows drawn,
// not the days spanned), joined from row to row, each curve labelled.
void DrawSun(cairo_t* cr, TextPen& pen, const StackLayout& lay, const Rect& r) {
  static constexpr double kHeights[3] = {0, 100, 300};
  const double t = lay.scale, row_h = r.h / lay.rows;
  std::vector<double> xs[3][2];  // per height and rise (0) or set (1): x per row, NaN for none
  for (auto& h : xs) for (auto& v : h) v.assign(lay.rows, std::nan(""));
  for (int g = 0; g < lay.rows; ++g) {
    const int64_t a = (g * lay.days + lay.rows - 1) / lay.rows, b = ((g + 1) * lay.days + lay.rows - 1) / lay.rows;
    const int64_t from = (lay.day0 + (a + b - 1) / 2) * kDayMs - lay.zone_ms;
    for (const stations::SunEvent& e : stations::SunEvents(lay.place, kHeights, from, from + kDayMs)) {
      const int h = e.height_km < 50 ? 0 : e.height_km < 200 ? 1 : 2;
      double& x = xs[h][e.rise ? 0 : 1][g];
      if (std::isnan(x)) x = r.x + static_cast<double>(e.utc_ms - from) * r.w / kDayMs;
    }
  }
  static const double kDash[3][2] = {{0, 0}, {6, 3}, {1.5, 2.5}};
  cairo_save(cr);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_clip(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (int h = 0; h < 3; ++h) {
    for (int k = 0; k < 2; ++k) {
      const std::vector<double>& x = xs[h][k];
      cairo_new_path(cr);
      bool open = false;
      for (int g = 0; g < lay.rows; ++g) {
        const double yc = r.y + (g + 0.5) * row_h;
        const bool joins = open && !std::isnan(x[g]) && std::fabs(x[g] - x[g - 1]) < r.w / 2;
        if (open && !joins) cairo_line_to(cr, x[g - 1], yc - 0.5 * row_h);  // a run ends at its row's bottom
        if (std::isnan(x[g])) {
          open = false;
          continue;
        }
        if (joins) {
          cairo_line_to(cr, x[g], yc);
        } else {
          cairo_move_to(cr, x[g], yc - 0.5 * row_h);  // and begins at its row's top
          cairo_line_to(cr, x[g], yc);
        }
        open = true;
      }
      if (open) cairo_line_to(cr, x[lay.rows - 1], r.y + r.h);
      // A faint white edge, then the line (dashed by height): seen on every colour.
      cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
      cairo_set_line_width(cr, 3.0 * t);
      cairo_stroke_preserve(cr);
      const double dash[2] = {kDash[h][0] * t, kDash[h][1] * t};
      cairo_set_dash(cr, dash, h == 0 ? 0 : 2, 0);
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_set_line_width(cr, 1.3 * t);
      cairo_stroke_preserve(cr);
      cairo_new_path(cr);
      cairo_set_dash(cr, nullptr, 0, 0);
      // The label: beside the curve on its night side, sunrises near the top
      // and sunsets near the bottom (apart where the night is short), each
      // height a little further in.
      const double ly = r.y + (k == 0 ? 0.04 + 0.07 * h : 0.96 - 0.07 * h) * r.h;
      const int g = std::min(lay.rows - 1, static_cast<int>((ly - r.y) / row_h));
      if (std::isnan(x[g])) continue;
      const std::string text = std::string(k == 0 ? "sunrise " : "sunset ") + std::to_string(static_cast<int>(kHeights[h])) + " km";
      const double fs = 11 * t;
      int tw, th;
      pen.Size(text, fs, tw, th);
      const double beside = k == 0 ? x[g] - 5 * t - tw : x[g] + 5 * t, ty = ly - th / 2.0;
      const double tx = std::clamp(beside, r.x + 3 * t, std::max(r.x + 3 * t, r.x + r.w - tw - 3 * t));
      cairo_set_source_rgba(cr, 1, 1, 1, 0.8);
      cairo_rectangle(cr, tx - 2 * t, ty, tw + 4 * t, th);
      cairo_fill(cr);
      cairo_set_source_rgb(cr, 0, 0, 0);
      pen.Show(text, fs, tx, ty, 0, 0);
    }
  }
  cairo_restore(cr);
}

}  // namespace

bool ParseStackValue(std::string_view name, StackValue& v) {
  if (name == "freq") v = StackValue::kFreq;
  else if (name == "level") v = StackValue::kLevel;
  else if (name == "s4") v = StackValue::kS4;
  else return false;
  return true;
}

int64_t StackLayout::Day(int64_t utc_ms) const { return FloorDiv(utc_ms + zone_ms, kDayMs); }

stations::Registry StackRegistry(const PlotOptions& opt, StackValue value) {
  if (!opt.sun && (value != StackValue::kFreq || opt.zero_hz)) return {};
  return stations::LoadRegistry(opt.stations_file.value_or(""));
}

StackLayout PlanStack(const std::vector<std::string>& files, const PlotOptions& opt, StackValue value,
                      const stations::Registry& reg) {
  StackLayout lay;
  lay.width = opt.width;
  lay.height = opt.height;
  lay.value = value;
  lay.zone_ms = ZoneOffsetMs(opt.zone);

  // The first and last block of each file: kinds, stations and data lengths
  // agree, no two files overlap (the reader's join says which file is at fault).
  std::vector<PeakSeries> ends;
  ends.reserve(files.size());
  for (const std::string& f : files) ends.push_back(PeekEnds(f));
  const PeakSeries all = results::Join(std::move(ends));
  lay.data_length = all.data_length;
  lay.station = all.station_code;
  if (all.blocks.empty()) throw PlotError("no block in the files");
  // The days of the first and the last block's start (a block running over
  // midnight does not add a day).
  const int64_t first = all.blocks.front().utc_ms, last = all.blocks.back().utc_ms + 1;
  lay.t0_ms = opt.from_ms.value_or(first);
  lay.t1_ms = opt.to_ms.value_or(last);
  if (last <= lay.t0_ms || first >= lay.t1_ms) throw PlotError("no block lies in the time span asked for");
  lay.day0 = lay.Day(lay.t0_ms);
  lay.days = lay.Day(lay.t1_ms - 1) - lay.day0 + 1;

  const stations::Station* known = lay.station.empty() ? nullptr : reg.Find(lay.station);
  if (!known && !reg.path().empty()) {
    std::fprintf(stderr, "hfdoppler-plot: station %s is not in the registry %s: drawn without the Sun%s\n",
                 lay.station.empty() ? "(no code in the file names)" : lay.station.c_str(), reg.path().c_str(),
                 opt.zero_hz ? "" : " and the Doppler shift");
  }
  if (known) lay.place = stations::ReflectionPoint(*known);
  for (int c = 0; c < 2; ++c) {
    const std::optional<double> zero = opt.zero_hz ? opt.zero_hz : known ? known->zero_doppler_hz[c] : std::nullopt;
    lay.shift[c] = value == StackValue::kFreq && zero.has_value();
    lay.zero_hz[c] = zero.value_or(0.0);
  }
  lay.sun = opt.sun && known;

  // Margins, bars and labels scale with the picture; never below a size
  // readable at 800 x 450.
  const double t = std::clamp(std::min(opt.width / 1600.0, opt.height / 900.0), 0.85, 3.0);
  lay.scale = t;
  const double fs = 12 * t;
  const double left = std::round(8 * t + 6.2 * fs + 9 * t), top = std::round(80 * t), bottom = std::round(34 * t);
  const double bar_gap = std::round(10 * t), bar_w = std::round(14 * t), after_bar = std::round(4.6 * fs + 30 * t);
  const double pw = std::floor((opt.width - left - 2 * (bar_gap + bar_w + after_bar)) / 2);
  const double ph = opt.height - top - bottom;
  if (pw < 48 || ph < 24) throw PlotError("the picture is too small");
  for (int c = 0; c < 2; ++c) {
    const double x = left + c * (pw + bar_gap + bar_w + after_bar);
    lay.panel[c] = {x, top, pw, ph};
    lay.colorbar[c] = {x + pw + bar_gap, top, bar_w, ph};
  }
  lay.rows = static_cast<int>(std::min<int64_t>(lay.days, static_cast<int64_t>(ph)));

  const std::string from = LocalDate(lay, lay.day0), to = LocalDate(lay, lay.day0 + lay.days - 1);
  std::string title = lay.station.empty() ? "" : lay.station + "   ";
  title += (from == to ? from : from + " to " + to) + " (" + ZoneName(lay.zone_ms) + ")";
  if (lay.data_length > 0) title += "   N = " + std::to_string(lay.data_length);
  title += std::string("   ") + ValueTitle(lay, 0);
  if (lay.shift[0] || lay.shift[1]) {
    char zero[64];
    if (lay.zero_hz[0] == lay.zero_hz[1] && lay.shift[0] == lay.shift[1]) std::snprintf(zero, sizeof zero, ", zero at %.2f Hz", lay.zero_hz[0]);
    else std::snprintf(zero, sizeof zero, ", zero at %.2f and %.2f Hz", lay.zero_hz[0], lay.zero_hz[1]);
    title += zero;
  }
  lay.title = opt.title.value_or(title);
  return lay;
}

void WriteStack(const StackLayout& lay, const std::vector<std::string>& files, const PlotOptions& opt,
                const std::string& out, Format fmt, int64_t pdf_date,
                const std::function<void(const std::string&, long)>& warn) {
  Grid g;
  g.rows = lay.rows;
  g.cols = static_cast<int>(lay.panel[0].w);
  for (int c = 0; c < 2; ++c) {
    g.sum[c].assign(static_cast<size_t>(g.rows) * g.cols, 0.0);
    g.count[c].assign(static_cast<size_t>(g.rows) * g.cols, 0);
  }
  for (const std::string& f : files) {
    const PeakSeries s = results::ReadPeakFile(f);
    warn(f, s.dropped_lines);
    // The file may have changed since its ends were read.
    if (s.data_length != 0 && lay.data_length != 0 && s.data_length != lay.data_length)
      throw ReadError(f, 0, "data length " + std::to_string(s.data_length) + " differs from " +
                                std::to_string(lay.data_length) + " of the other files");
    Fold(g, lay, s);
  }
  double lo[2], hi[2];
  for (int c = 0; c < 2; ++c) Range(g, c, lay, opt, lo[c], hi[c]);
  if (!(hi[0] > lo[0]) || !(hi[1] > lo[1])) throw PlotError("--vmax must be above --vmin");

  const ColourTable& lut = ColormapTable(opt.colormap);
  WriteFigureFile(out, fmt, lay.width, lay.height, pdf_date, [&](cairo_t* cr) {
    TextPen pen(cr);
    const double t = lay.scale, fs = 12 * t;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    for (int c = 0; c < 2; ++c) {
      const Rect& r = lay.panel[c];
      DrawImage(cr, g, c, r, lo[c], hi[c], lut);
      if (lay.sun && r.h * 365.25 / lay.days >= kSunMinYearPx) DrawSun(cr, pen, lay, r);
      Frame(cr, r);
      DrawBar(cr, pen, lay, c, lo[c], hi[c], lut);
      DrawHourAxes(cr, pen, lay, r);
      DrawRowAxis(cr, pen, lay, r, c == 0);
      pen.Show(kCarrierLabels[c], 13 * t, r.x + r.w / 2, 36 * t, 0.5, 0);
    }
    const Rect& r = lay.panel[0];
    const char* below = lay.zone_ms == 0 ? "UTC (h)" : "JST (h)";
    const char* above = lay.zone_ms == 0 ? "JST (h)" : "UTC (h)";
    pen.Show(above, fs, 6 * t, r.y - 2 - 7 * t, 0, 1);
    pen.Show(below, fs, 6 * t, r.y + r.h + 2 + 7 * t, 0, 0);
    pen.Show(lay.title, 15 * t, r.x, 10 * t, 0, 0);
  });
}

}  // namespace hfd::plot
