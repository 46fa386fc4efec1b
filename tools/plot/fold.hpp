// Blocks folded into the columns of a picture as they are read, so that what
// is kept follows the picture's size, not the length of the input.
//
//   hfd::plot::ColumnGrid g{t0_ms, t1_ms, 1400};
//   hfd::plot::SpectrumFold spc(g, 10240, 1024, 0.0, 12.0);   // N = 1024, 0-12 Hz
//   spc.Add(block_start_ms, values);                            // per block, 4 values per bin
//   hfd::plot::PeakFold max(g, 10240);  max.Add(peak_block);
//
// A block [start, start + block length) goes into the columns whose middle
// lies in it, or, when it is narrower than a column, into the column of its
// own middle. A spectrum column keeps per bin the sum and count of the levels
// of its blocks; a peak column keeps per value and channel the first, last,
// lowest and highest value, which draw the same line at the column's width as
// every block would.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "results/result_files.hpp"

namespace hfd::plot {

struct ColumnGrid {
  int64_t t0_ms = 0, t1_ms = 1;  // the span; column c covers t0 + c * (t1 - t0) / columns onward
  int columns = 1;

  // The columns of a block [start, end); false when it lies in none.
  bool Range(int64_t start_ms, int64_t end_ms, int& c0, int& c1) const;
  double MsPerColumn() const { return static_cast<double>(t1_ms - t0_ms) / columns; }
};

// Levels counted in steps of 0.001 dB (the files' three decimals) from -200 to
// +300 dBuV (beyond: counted at the ends), for percentiles without keeping
// the levels.
class LevelHistogram {
 public:
  LevelHistogram() : counts_(kSteps, 0) {}
  void Add(double level) {  // (rounded half up: a cast, several times cheaper than lround)
    const double x = (level - kLow) * 1000.0 + 0.5;
    counts_[x <= 0.0 ? 0 : x >= kSteps - 1 ? kSteps - 1 : static_cast<size_t>(x)]++;
    ++total_;
  }
  void Merge(const LevelHistogram& o);
  int64_t total() const { return total_; }
  // The level at rank floor(p * (total - 1) + 0.5), as nth_element would give.
  double Percentile(double p) const;

 private:
  static constexpr double kLow = -200.0;
  static constexpr long kSteps = 500 * 1000 + 1;
  std::vector<uint32_t> counts_;
  int64_t total_ = 0;
};

class SpectrumFold {
 public:
  // The bins kept: those whose cells (a bin width around each) reach into
  // [fmin, fmax].
  SpectrumFold(ColumnGrid grid, int64_t block_ms, int32_t data_length, double fmin, double fmax);

  // A block starting at start_ms; values holds 4 per bin from bin 0 (level
  // and phase of channel 0, level and phase of channel 1), `bins` of them.
  void Add(int64_t start_ms, const float* values, size_t bins);

  const ColumnGrid& grid() const { return grid_; }
  double bin_hz() const { return bin_hz_; }
  long first_bin() const { return lo_; }
  long last_bin() const { return hi_; }  // < first_bin() when none
  int64_t blocks() const { return blocks_; }
  // Mean level of bin i at column c of a channel; NaN where no block lies.
  double Mean(int channel, int column, long bin) const;

  // All levels shown, and the peak (highest level in the bins kept) of every
  // block and channel shown.
  const LevelHistogram& levels() const { return levels_; }
  const LevelHistogram& peaks() const { return peaks_; }

 private:
  ColumnGrid grid_;
  int64_t block_ms_;
  double bin_hz_;
  long lo_, hi_, used_;
  int64_t blocks_ = 0;
  std::vector<double> sum_[2];
  std::vector<int32_t> count_[2];
  LevelHistogram levels_, peaks_;
};

// Peak frequency, peak level and S4Indx of both channels per column.
enum PeakValue { kFreq = 0, kLevel = 1, kScint = 2 };

struct ColumnStat {
  float first, last, lo, hi;  // NaN when the column holds no finite value
};

class PeakFold {
 public:
  PeakFold(ColumnGrid grid, int64_t block_ms);
  void Add(const results::PeakBlock& b);

  const ColumnGrid& grid() const { return grid_; }
  int64_t blocks() const { return blocks_; }
  bool Filled(int column) const { return cols_[column].filled; }
  // The column's first block follows on from the block before it (no gap).
  bool Joined(int column) const { return cols_[column].joined; }
  const ColumnStat& At(PeakValue v, int channel, int column) const { return cols_[column].v[v][channel]; }
  // Lowest and highest finite value over all columns; false when none.
  bool Range(PeakValue v, double& lo, double& hi) const;
  bool HasScint() const { return has_scint_; }

 private:
  struct Column {
    bool filled = false, joined = false;
    ColumnStat v[3][2];
  };
  ColumnGrid grid_;
  int64_t block_ms_;
  std::vector<Column> cols_;
  int64_t blocks_ = 0;
  int64_t prev_start_ = std::numeric_limits<int64_t>::min();
  bool has_scint_ = false;
};

}  // namespace hfd::plot
