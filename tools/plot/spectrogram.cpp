#include "spectrogram.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace hfd::plot {
namespace {

// The first and last bin within [fmin, fmax]; first > last when none.
void BinRange(const results::SpectrumSeries& s, double fmin, double fmax, long& first, long& last) {
  double df = BinSpacing(s);
  first = std::max(0L, static_cast<long>(std::ceil(fmin / df - 1e-9)));
  last = std::min(static_cast<long>(s.bins()) - 1, static_cast<long>(std::floor(fmax / df + 1e-9)));
}

}  // namespace

double BinSpacing(const results::SpectrumSeries& s) {
  if (s.data_length > 0) return 1.0 / (s.data_length * 0.01);
  return s.bins() > 1 ? s.freq_hz[1] - s.freq_hz[0] : 1.0;
}

void DrawSpectrogram(const results::SpectrumSeries& s, int channel, const SpectrogramView& v,
                     const ColourTable& lut, uint32_t blank, uint32_t* pixels, int stride_words,
                     int w, int h) {
  // The bin of every row (by the frequency at the row's middle), -1 for none.
  // Rows less than a bin beyond the first or last bin take that bin, so the
  // 0-12 Hz panel has no blank edge for the half bin above 11.9 Hz.
  const double df = BinSpacing(s);
  const long nb = static_cast<long>(s.bins());
  std::vector<long> row_bin(h);
  long lo = nb, hi = -1;
  for (int y = 0; y < h; ++y) {
    double f = v.fmax - (y + 0.5) * (v.fmax - v.fmin) / h;
    long i = std::lround(f / df);
    if (i == -1 || i == nb) i = std::clamp(i, 0L, nb - 1);
    row_bin[y] = (i >= 0 && i < nb) ? i : -1;
    if (row_bin[y] >= 0) lo = std::min(lo, i), hi = std::max(hi, i);
  }
  const long used = hi >= lo ? hi - lo + 1 : 0;

  // Sum and count of the levels that fall into each column, bins lo..hi.
  std::vector<double> sum(static_cast<size_t>(w) * used, 0.0);
  std::vector<int32_t> count(sum.size(), 0);
  const double t0 = static_cast<double>(v.axis.t0_ms);
  const double cw = static_cast<double>(v.axis.t1_ms - v.axis.t0_ms) / w;  // ms per column
  const std::vector<float>& level = s.level[channel];
  for (size_t b = 0; b < s.blocks() && used > 0; ++b) {
    int64_t start = s.utc_ms[b], end = BlockEnd(s.utc_ms, b, v.block_ms);
    if (end <= v.axis.t0_ms || start >= v.axis.t1_ms) continue;
    // The columns whose middle lies in the block, and the column of the
    // block's middle (when blocks are narrower than columns).
    long c0 = static_cast<long>(std::ceil((start - t0) / cw - 0.5));
    long c1 = static_cast<long>(std::ceil((end - t0) / cw - 0.5)) - 1;
    long cm = static_cast<long>(std::floor((0.5 * (start + end) - t0) / cw));
    c0 = std::max(0L, std::min(c0, cm));
    c1 = std::min(static_cast<long>(w) - 1, std::max(c1, cm));
    const float* row = level.data() + b * s.bins() + lo;
    for (long c = c0; c <= c1; ++c) {
      double* acc = sum.data() + c * used;
      int32_t* n = count.data() + c * used;
      for (long i = 0; i < used; ++i) {
        if (!std::isnan(row[i])) acc[i] += row[i], ++n[i];
      }
    }
  }

  const double scale = 256.0 / (v.vmax - v.vmin);
  for (int y = 0; y < h; ++y) {
    uint32_t* out = pixels + static_cast<size_t>(y) * stride_words;
    long i = row_bin[y];
    if (i < 0) {
      std::fill(out, out + w, blank);
      continue;
    }
    i -= lo;
    for (int c = 0; c < w; ++c) {
      int32_t n = count[c * used + i];
      if (n == 0) {
        out[c] = blank;
        continue;
      }
      double t = (sum[c * used + i] / n - v.vmin) * scale;
      out[c] = lut[t <= 0.0 ? 0 : t >= 255.0 ? 255 : static_cast<int>(t)];
    }
  }
}

bool DefaultLevelRange(const results::SpectrumSeries& s, int64_t block_ms, int64_t t0_ms,
                       int64_t t1_ms, double fmin, double fmax, double& vmin, double& vmax) {
  long first, last;
  BinRange(s, fmin, fmax, first, last);
  if (first > last) return false;
  std::vector<float> v;
  for (size_t b = 0; b < s.blocks(); ++b) {
    if (BlockEnd(s.utc_ms, b, block_ms) <= t0_ms || s.utc_ms[b] >= t1_ms) continue;
    for (int c = 0; c < 2; ++c) {
      const float* row = s.level[c].data() + b * s.bins();
      for (long i = first; i <= last; ++i) {
        if (!std::isnan(row[i])) v.push_back(row[i]);
      }
    }
  }
  if (v.empty()) return false;
  auto at = [&](double p) {
    auto k = v.begin() + static_cast<long>(std::floor(p * (v.size() - 1) + 0.5));
    std::nth_element(v.begin(), k, v.end());
    return static_cast<double>(*k);
  };
  vmin = at(0.05);
  vmax = at(0.995);
  if (!(vmax > vmin)) vmin -= 0.5, vmax = vmin + 1.0;
  return true;
}

}  // namespace hfd::plot
