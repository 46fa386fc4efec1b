// The time axis and the spectrogram image, on series made in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "spectrogram.hpp"
#include "time_axis.hpp"

namespace hfd::test {
using namespace hfd::plot;
namespace {

constexpr int64_t kMay1Utc = 1209600000000;  // 2008-05-01T00:00Z in ms

TEST(TimeAxis, TicksSayJstBelowAndUtcAbove) {
  auto t = TimeTicks(kMay1Utc, kMay1Utc + 6 * 3600000, 7, false);
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(t[0].utc_ms, kMay1Utc);
  EXPECT_EQ(t[0].jst, "09");
  EXPECT_EQ(t[0].utc, "00");
  EXPECT_EQ(t[6].jst, "15");
  // Half an hour: minutes; the first tick on the first whole step.
  t = TimeTicks(kMay1Utc + 61000, kMay1Utc + 1800000, 7, false);
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t[0].jst, "09:05");
  EXPECT_EQ(t[0].utc, "00:05");
  // Two JST days: day steps of ticks fall on JST midnight, which says its date.
  EXPECT_TRUE(SpanNeedsDates(kMay1Utc, kMay1Utc + 20 * 3600000));
  EXPECT_FALSE(SpanNeedsDates(kMay1Utc, kMay1Utc + 3600000));
  t = TimeTicks(kMay1Utc - 9 * 3600000, kMay1Utc + 39 * 3600000, 3, true);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].jst, "00\n5/2");
  EXPECT_EQ(t[1].utc, "15");
  EXPECT_EQ(JstDate(kMay1Utc + 15 * 3600000), "2008-05-02");
}

TEST(TimeAxis, BlocksFollowOnDespiteWholeSecondStampsAndLengthFromSteps) {
  // N = 1024: starts 0, 10.24, 20.48, 30.72 s cut to whole seconds; then a gap.
  const std::vector<int64_t> t = {0, 10000, 20000, 30000, 100000};
  EXPECT_EQ(BlockEnd(t, 0, 10240), 10000);
  EXPECT_EQ(BlockEnd(t, 2, 10240), 30000);
  EXPECT_EQ(BlockEnd(t, 3, 10240), 40240);  // the next one is too far
  EXPECT_EQ(BlockEnd(t, 4, 10240), 110240);
  const std::vector<int32_t> k = {0, 1, 2, 3, 10};
  EXPECT_EQ(DataLengthFromSteps(k, std::vector<int64_t>{0, 10000, 20000, 30000, 102000}), 1024);
  EXPECT_EQ(DataLengthFromSteps(k, std::vector<int64_t>{0, 5000, 10000, 15000, 51000}), 512);
  // A second file starts again at step 0: that pair says nothing.
  EXPECT_EQ(DataLengthFromSteps(std::vector<int32_t>{0, 1, 0, 1}, std::vector<int64_t>{0, 40000, 900000, 941000}), 4096);
  EXPECT_EQ(DataLengthFromSteps(std::vector<int32_t>{5}, std::vector<int64_t>{0}), 0);
}

// Blocks starting at `starts` with 3 bins at 0, 1, 2 Hz, level = value(b, i) in both channels.
results::SpectrumSeries Series(const std::vector<int64_t>& starts, float (*value)(size_t, int)) {
  results::SpectrumSeries s;
  s.data_length = 100;  // bin spacing 1 Hz
  s.freq_hz = {0, 1, 2};
  for (size_t b = 0; b < starts.size(); ++b) {
    s.step.push_back(static_cast<int32_t>(b));
    s.utc_ms.push_back(starts[b]);
    for (int i = 0; i < 3; ++i)
      for (int c = 0; c < 2; ++c) s.level[c].push_back(value(b, i)), s.phase[c].push_back(0);
  }
  return s;
}

TEST(Spectrogram, ColumnsTakeTheMeanOfTheirBlocksAndGapsStayBlank) {
  // Blocks of 1 s at 0..3 s and 8..9 s; the image spans 0..10 s in 10 columns
  // and -0.5..2.5 Hz in 6 rows (two per bin, bin 2 at the top).
  const auto s = Series({0, 1000, 2000, 3000, 8000, 9000},
                        [](size_t b, int i) { return b == 3 && i == 1 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(10 * i + b); });
  SpectrogramView v{{0, 10000, 0, 10}, 1000, -0.5, 2.5, 0, 25.6};
  ColourTable lut;
  for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint32_t>(i);
  std::vector<uint32_t> px(10 * 6, 7777);
  DrawSpectrogram(s, 1, v, lut, 9999, px.data(), 10, 10, 6);
  auto at = [&](int x, int y) { return px[y * 10 + x]; };
  EXPECT_EQ(at(0, 5), 0u);    // bin 0, block 0: level 0
  EXPECT_EQ(at(2, 3), 120u);  // bin 1, block 2: level 12 -> index 120
  EXPECT_EQ(at(2, 0), 220u);  // bin 2 (top rows)
  EXPECT_EQ(at(3, 3), 9999u); // the only level is NaN
  for (int x = 4; x < 8; ++x) EXPECT_EQ(at(x, 3), 9999u) << x;
  EXPECT_EQ(at(9, 3), 150u);  // block 5 at bin 1: 15
  EXPECT_EQ(at(9, 4), 50u);   // and at bin 0: 5

  // Zoomed out: ten blocks into two columns, each the mean of its five.
  std::vector<int64_t> starts;
  for (int b = 0; b < 10; ++b) starts.push_back(b * 1000);
  const auto z = Series(starts, [](size_t b, int) { return static_cast<float>(b); });
  SpectrogramView vz{{0, 10000, 0, 2}, 1000, -0.5, 2.5, 0, 25.6};
  std::vector<uint32_t> pz(2 * 3);
  DrawSpectrogram(z, 0, vz, lut, 9999, pz.data(), 2, 2, 3);
  EXPECT_EQ(pz[0], 20u);  // mean of 0..4 = 2
  EXPECT_EQ(pz[1], 70u);  // mean of 5..9 = 7
}

TEST(Spectrogram, DefaultRangeIsThe5thTo99Point5thPercentileOfTheBinsShown) {
  std::vector<int64_t> starts;
  for (int b = 0; b < 1000; ++b) starts.push_back(b * 1000);
  // Bin 1 holds 0..999 in both channels (2000 values, two of each); bins 0
  // and 2 are outside the range asked for.
  const auto s = Series(starts, [](size_t b, int i) { return i == 1 ? static_cast<float>(b) : 1e6f; });
  double lo, hi;
  ASSERT_TRUE(DefaultLevelRange(s, 1000, 0, 1000000, 0.5, 1.5, lo, hi));
  EXPECT_NEAR(lo, 50, 1);
  EXPECT_NEAR(hi, 995, 1);
  EXPECT_FALSE(DefaultLevelRange(s, 1000, 2000000, 3000000, 0.5, 1.5, lo, hi));
}

}  // namespace
}  // namespace hfd::test
