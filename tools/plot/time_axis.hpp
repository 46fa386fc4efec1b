// The horizontal time axis shared by every panel of a picture: the span shown,
// its pixel columns, and the ticks labelled in JST hours (below) and UTC hours
// (above). Also where each block of a result file lies in time.
//
//   hfd::plot::TimeAxis ax{t0_ms, t1_ms, 80.0, 1400.0};
//   for (const auto& tick : hfd::plot::TimeTicks(ax.t0_ms, ax.t1_ms, 14)) draw(ax.X(tick.utc_ms));
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hfd::plot {

struct TimeAxis {
  int64_t t0_ms = 0, t1_ms = 1;  // UTC milliseconds at the left and right edge
  double x0 = 0, width = 1;      // pixels

  double X(double utc_ms) const { return x0 + (utc_ms - t0_ms) * width / (t1_ms - t0_ms); }
  double MsPerPixel() const { return (t1_ms - t0_ms) / width; }
};

struct TimeTick {
  int64_t utc_ms;
  std::string jst;  // "13", "13:30", or "00\n5/2" where a new day begins
  std::string utc;
};

// Ticks on whole minutes or hours (JST and UTC hours coincide), at most
// about max_ticks of them over [t0_ms, t1_ms]; with `dates`, the ticks at
// midnight say the date on a second line.
std::vector<TimeTick> TimeTicks(int64_t t0_ms, int64_t t1_ms, int max_ticks, bool dates);

// Whether the ticks of a span say dates: it is longer than half a day or
// holds a JST midnight.
bool SpanNeedsDates(int64_t t0_ms, int64_t t1_ms);

// The span of block b: from its start to the next block's start when that one
// follows on without a gap (starts in the files are cut to whole seconds, so up
// to one second more than the block length still counts as following on),
// else to its start plus the block length.
int64_t BlockEnd(std::span<const int64_t> starts, size_t b, int64_t block_ms);

// The block length N * 10 ms of a peak file that does not hold N: from its
// block steps and times, rounded to the nearest of 512, 1024, 2048, 4096.
// Returns 0 when the blocks do not tell (fewer than two in one sequence).
int32_t DataLengthFromSteps(std::span<const int32_t> steps, std::span<const int64_t> starts);

// "2008-05-01" of a UTC time, in JST.
std::string JstDate(int64_t utc_ms);

}  // namespace hfd::plot
