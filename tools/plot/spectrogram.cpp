#include "spectrogram.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace hfd::plot {

void DrawSpectrogram(const SpectrumFold& fold, int channel, const SpectrogramView& v, const ColourTable& lut,
                     uint32_t blank, uint32_t* pixels, int stride_words, int rows) {
  // The bins of every row: those with their frequency in [bottom, top) of
  // the row; else the nearest one within a bin's spacing of its middle.
  const double df = fold.bin_hz();
  const long lo = fold.first_bin(), hi = fold.last_bin();
  std::vector<long> first(rows), last(rows);
  for (int y = 0; y < rows; ++y) {
    const double top = v.fmax - y * (v.fmax - v.fmin) / rows, bottom = v.fmax - (y + 1) * (v.fmax - v.fmin) / rows;
    long a = std::max(lo, static_cast<long>(std::ceil(bottom / df - 1e-9)));
    long b = std::min(hi, static_cast<long>(std::ceil(top / df - 1e-9)) - 1);
    if (a > b) {
      const long near = std::lround(0.5 * (top + bottom) / df);
      a = b = std::clamp(near, lo, hi);
      if (hi < lo || std::fabs(near * df - 0.5 * (top + bottom)) > df) a = 0, b = -1;
    }
    first[y] = a, last[y] = b;
  }
  const int w = fold.grid().columns;
  std::vector<double> column(hi >= lo ? hi - lo + 1 : 0);
  const double scale = 256.0 / (v.vmax - v.vmin);
  for (int c = 0; c < w; ++c) {
    for (long i = lo; i <= hi; ++i) column[i - lo] = fold.Mean(channel, c, i);
    for (int y = 0; y < rows; ++y) {
      double best = std::nan("");
      for (long i = first[y]; i <= last[y]; ++i) {
        const double m = column[i - lo];
        if (!(m <= best)) best = std::isnan(m) ? best : m;
      }
      uint32_t& out = pixels[static_cast<size_t>(y) * stride_words + c];
      if (std::isnan(best)) {
        out = blank;
        continue;
      }
      const double t = (best - v.vmin) * scale;
      out = lut[t <= 0.0 ? 0 : t >= 255.0 ? 255 : static_cast<int>(t)];
    }
  }
}

bool DefaultLevelRange(const LevelHistogram& levels, const LevelHistogram& peaks, double& vmin, double& vmax) {
  if (levels.total() == 0) return false;
  vmin = levels.Percentile(0.05);
  vmax = levels.Percentile(0.995);
  if (peaks.total() > 0) vmax = std::max(vmax, peaks.Percentile(0.99));
  if (!(vmax > vmin)) vmin -= 0.5, vmax = vmin + 1.0;
  return true;
}

}  // namespace hfd::plot
