#include "fold.hpp"

#include <algorithm>
#include <cmath>

namespace hfd::plot {
namespace {

constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

}  // namespace

bool ColumnGrid::Range(int64_t start_ms, int64_t end_ms, int& c0, int& c1) const {
  if (end_ms <= t0_ms || start_ms >= t1_ms) return false;
  const double t0 = static_cast<double>(t0_ms), cw = MsPerColumn();
  // The columns whose middle lies in the block, and the column of the
  // block's middle (when blocks are narrower than columns).
  long a = static_cast<long>(std::ceil((start_ms - t0) / cw - 0.5));
  long b = static_cast<long>(std::ceil((end_ms - t0) / cw - 0.5)) - 1;
  const long m = static_cast<long>(std::floor((0.5 * (start_ms + end_ms) - t0) / cw));
  a = std::max(0L, std::min(a, m));
  b = std::min(static_cast<long>(columns) - 1, std::max(b, m));
  if (a > b) return false;
  c0 = static_cast<int>(a), c1 = static_cast<int>(b);
  return true;
}

void LevelHistogram::Merge(const LevelHistogram& o) {
  for (size_t i = 0; i < counts_.size(); ++i) counts_[i] += o.counts_[i];
  total_ += o.total_;
}

double LevelHistogram::Percentile(double p) const {
  if (total_ == 0) return std::nan("");
  const int64_t rank = static_cast<int64_t>(std::floor(p * static_cast<double>(total_ - 1) + 0.5));
  int64_t seen = 0;
  for (size_t i = 0; i < counts_.size(); ++i) {
    seen += counts_[i];
    if (seen > rank) return kLow + static_cast<double>(i) / 1000.0;
  }
  return kLow + (kSteps - 1) / 1000.0;
}

SpectrumFold::SpectrumFold(ColumnGrid grid, int64_t block_ms, int32_t data_length, double fmin, double fmax)
    : grid_(grid), block_ms_(block_ms), bin_hz_(1.0 / (data_length * 0.01)) {
  lo_ = std::max(0L, static_cast<long>(std::floor(fmin / bin_hz_ - 0.5 + 1e-9)) + 1);
  hi_ = static_cast<long>(std::ceil(fmax / bin_hz_ + 0.5 - 1e-9)) - 1;
  hi_ = std::min(hi_, static_cast<long>(std::floor(12.0 / bin_hz_ + 1e-9)));  // the files' last bin
  used_ = std::max(0L, hi_ - lo_ + 1);
  for (int c = 0; c < 2; ++c) {
    sum_[c].assign(static_cast<size_t>(grid.columns) * used_, 0.0);
    count_[c].assign(sum_[c].size(), 0);
  }
}

void SpectrumFold::Add(int64_t start_ms, const float* values, size_t bins) {
  int c0, c1;
  if (!grid_.Range(start_ms, start_ms + block_ms_, c0, c1)) return;
  const long hi = std::min(hi_, static_cast<long>(bins) - 1);
  if (hi < lo_) return;
  ++blocks_;
  const long n = hi - lo_ + 1;
  for (int ch = 0; ch < 2; ++ch) {
    const float* v = values + 4 * lo_ + 2 * ch;
    float peak = -std::numeric_limits<float>::infinity();
    for (long i = 0; i < n; ++i) {
      const float x = v[4 * i];
      if (std::isnan(x)) continue;
      levels_.Add(x);
      peak = std::max(peak, x);
    }
    if (peak > -std::numeric_limits<float>::infinity()) peaks_.Add(peak);
    for (int c = c0; c <= c1; ++c) {
      double* sum = sum_[ch].data() + static_cast<size_t>(c) * used_;
      int32_t* count = count_[ch].data() + static_cast<size_t>(c) * used_;
      for (long i = 0; i < n; ++i) {
        const float x = v[4 * i];
        if (!std::isnan(x)) sum[i] += x, ++count[i];
      }
    }
  }
}

double SpectrumFold::Mean(int channel, int column, long bin) const {
  const size_t k = static_cast<size_t>(column) * used_ + (bin - lo_);
  const int32_t n = count_[channel][k];
  return n == 0 ? std::nan("") : sum_[channel][k] / n;
}

PeakFold::PeakFold(ColumnGrid grid, int64_t block_ms) : grid_(grid), block_ms_(block_ms), cols_(grid.columns) {
  for (Column& c : cols_)
    for (auto& value : c.v)
      for (ColumnStat& s : value) s = {kNaNf, kNaNf, kNaNf, kNaNf};
}

void PeakFold::Add(const results::PeakBlock& b) {
  int c0, c1;
  const bool follows = prev_start_ != std::numeric_limits<int64_t>::min() && b.utc_ms - prev_start_ <= block_ms_ + 1000;
  prev_start_ = b.utc_ms;
  if (!grid_.Range(b.utc_ms, b.utc_ms + block_ms_, c0, c1)) return;
  ++blocks_;
  for (int c = c0; c <= c1; ++c) {
    Column& col = cols_[c];
    if (!col.filled) col.filled = true, col.joined = c > c0 || follows;
    for (int ch = 0; ch < 2; ++ch) {
      const double values[3] = {b.peak[ch].freq_hz, b.peak[ch].level_dbuv, b.scint[ch]};
      for (int v = 0; v < 3; ++v) {
        if (std::isnan(values[v])) continue;
        const float x = static_cast<float>(values[v]);
        ColumnStat& s = col.v[v][ch];
        if (std::isnan(s.first)) s = {x, x, x, x};
        s.last = x, s.lo = std::min(s.lo, x), s.hi = std::max(s.hi, x);
        if (v == kScint) has_scint_ = true;
      }
    }
  }
}

bool PeakFold::Range(PeakValue v, double& lo, double& hi) const {
  lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (const Column& c : cols_)
    for (const ColumnStat& s : c.v[v])
      if (!std::isnan(s.lo)) lo = std::min<double>(lo, s.lo), hi = std::max<double>(hi, s.hi);
  return hi >= lo;
}

}  // namespace hfd::plot
