// The time axis, the folds and the spectrogram image, on blocks made in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fold.hpp"
#include "spectrogram.hpp"
#include "time_axis.hpp"

namespace hfd::test {
using namespace hfd::plot;
namespace {

constexpr int64_t kMay1Utc = 1209600000000;  // 2008-05-01T00:00Z in ms
constexpr int64_t kHour = 3600000;

TEST(TimeAxis, TicksInEitherZoneWithDatesWhereADayBegins) {
  auto t = TimeTicks(kMay1Utc, kMay1Utc + 6 * kHour, 7, kJstOffsetMs);
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(t[0].utc_ms, kMay1Utc);
  EXPECT_EQ(t[0].label, "09");
  EXPECT_EQ(t[6].label, "15");
  EXPECT_EQ(TimeTicks(kMay1Utc, kMay1Utc + 6 * kHour, 7, 0)[0].label, "00\n5/1");  // UTC midnight
  // Half an hour: minutes, the first tick on the first whole step.
  t = TimeTicks(kMay1Utc + 61000, kMay1Utc + 1800000, 7, kJstOffsetMs);
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t[0].label, "09:05");
  EXPECT_EQ(TimeTicks(kMay1Utc + 1000, kMay1Utc + 90000, 10, 0)[0].label, "00:00:10");
  // Two JST days: the first tick and JST midnight say the date.
  EXPECT_TRUE(SpanCrossesDate(kMay1Utc, kMay1Utc + 20 * kHour, kJstOffsetMs));
  EXPECT_FALSE(SpanCrossesDate(kMay1Utc, kMay1Utc + kHour, kJstOffsetMs));
  t = TimeTicks(kMay1Utc - 9 * kHour, kMay1Utc + 39 * kHour, 5, kJstOffsetMs);
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0].label, "00\n5/1");
  EXPECT_EQ(t[1].label, "12");
  EXPECT_EQ(t[2].label, "00\n5/2");
  EXPECT_EQ(t[2].utc_ms, kMay1Utc + 15 * kHour);
  EXPECT_EQ(JstDate(kMay1Utc + 15 * kHour), "2008-05-02");
  EXPECT_EQ(DateIn(kMay1Utc + 15 * kHour, 0), "2008-05-01");
}

TEST(TimeAxis, SpansFromDaysToDecadesTickOnTheCalendarWithinTheLimit) {
  struct Case {
    int64_t days;
    const char* first;
    const char* second;
  } cases[] = {
      {20, "5/1\n2008", "5/3"},          // days of the month
      {365, "May\n2008", "Jul"},         // months, the year at the first
      {3653, "2009", "2010"},            // years
      {36525, "2010", "2020"},           // decades
  };
  const int64_t t0 = kMay1Utc - kJstOffsetMs;  // JST midnight
  for (const Case& c : cases) {
    const auto t = TimeTicks(t0, t0 + c.days * kDayMs, 12, kJstOffsetMs);
    ASSERT_GE(t.size(), 2u) << c.days;
    EXPECT_LE(t.size(), 12u) << c.days;
    EXPECT_EQ(t[0].label, c.first) << c.days;
    EXPECT_EQ(t[1].label, c.second) << c.days;
    for (size_t i = 1; i < t.size(); ++i) EXPECT_GT(t[i].utc_ms, t[i - 1].utc_ms);
  }
  // A year change on month ticks says the new year.
  const auto t = TimeTicks(t0, t0 + 365 * kDayMs, 12, kJstOffsetMs);
  EXPECT_TRUE(std::any_of(t.begin(), t.end(), [](const TimeTick& k) { return k.label == "Jan\n2009"; }));
}

// Blocks of `bins` bins at 1 Hz spacing (N = 100), the level value(b, i) in both channels.
std::vector<float> Values(size_t b, size_t bins, float (*value)(size_t, size_t)) {
  std::vector<float> v(4 * bins);
  for (size_t i = 0; i < bins; ++i) v[4 * i] = v[4 * i + 2] = value(b, i);
  return v;
}

TEST(Fold, ColumnsTakeTheMeanOfTheirBlocksGapsStayBlankAndRowsTheStrongestBin) {
  // Blocks of 1 s at 0..3 s and 8..9 s into 10 columns of 1 s; bins 0..12 Hz.
  auto value = [](size_t b, size_t i) {
    return b == 3 && i == 1 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(10 * i + b);
  };
  SpectrumFold f({0, 10000, 10}, 1000, 100, -0.5, 2.5);
  ASSERT_EQ(f.first_bin(), 0);
  ASSERT_EQ(f.last_bin(), 2);
  for (size_t b : {0, 1, 2, 3, 8, 9}) f.Add(static_cast<int64_t>(b) * 1000, Values(b, 13, value).data(), 13);
  ColourTable lut;
  for (int i = 0; i < 256; ++i) lut[i] = static_cast<uint32_t>(i);
  // Six rows: two per bin, bin 2 at the top.
  std::vector<uint32_t> px(10 * 6, 7777);
  DrawSpectrogram(f, 1, {-0.5, 2.5, 0, 25.6}, lut, 9999, px.data(), 10, 6);
  auto at = [&](int x, int y) { return px[y * 10 + x]; };
  EXPECT_EQ(at(0, 5), 0u);    // bin 0, block 0: level 0
  EXPECT_EQ(at(2, 3), 120u);  // bin 1, block 2: level 12 -> index 120
  EXPECT_EQ(at(2, 0), 220u);  // bin 2 (top rows)
  EXPECT_EQ(at(3, 3), 9999u); // the only level is NaN
  for (int x = 4; x < 8; ++x) EXPECT_EQ(at(x, 3), 9999u) << x;
  EXPECT_EQ(at(9, 3), 190u);  // block 9 at bin 1: 19
  EXPECT_EQ(at(9, 4), 90u);   // and at bin 0: 9
  // One row over all three bins shows the strongest (bin 2).
  std::vector<uint32_t> one(10);
  DrawSpectrogram(f, 0, {-0.5, 2.5, 0, 25.6}, lut, 9999, one.data(), 10, 1);
  EXPECT_EQ(one[1], 210u);

  // Zoomed out: ten blocks into two columns, each the mean of its five.
  SpectrumFold z({0, 10000, 2}, 1000, 100, -0.5, 0.5);
  for (size_t b = 0; b < 10; ++b)
    z.Add(static_cast<int64_t>(b) * 1000, Values(b, 13, [](size_t b, size_t) { return static_cast<float>(b); }).data(), 13);
  std::vector<uint32_t> pz(2);
  DrawSpectrogram(z, 0, {-0.5, 0.5, 0, 25.6}, lut, 9999, pz.data(), 2, 1);
  EXPECT_EQ(pz[0], 20u);  // mean of 0..4 = 2
  EXPECT_EQ(pz[1], 70u);  // mean of 5..9 = 7
}

TEST(Fold, DefaultRangeHoldsTheCarrierPeaks) {
  // 1000 blocks of 13 bins: noise 0..99.9 in bin 1, the carrier at 150 +
  // b / 10 in bin 2 (one bin of thirteen: the 99.5th percentile of all levels
  // lies below the carrier's 99th).
  SpectrumFold f({0, 1000000, 100}, 1000, 100, 0, 12);
  for (size_t b = 0; b < 1000; ++b)
    f.Add(static_cast<int64_t>(b) * 1000,
          Values(b, 13, [](size_t b, size_t i) { return i == 2 ? 150.0f + b / 10.0f : i == 1 ? b / 10.0f : -5.0f; }).data(),
          13);
  double lo, hi;
  ASSERT_TRUE(DefaultLevelRange(f.levels(), f.peaks(), lo, hi));
  EXPECT_EQ(lo, -5);
  EXPECT_NEAR(hi, 248.9, 0.01);  // the 99th percentile of the peaks
  EXPECT_GT(hi, f.levels().Percentile(0.995));
  SpectrumFold empty({0, 1000, 10}, 1000, 100, 0, 12);
  EXPECT_FALSE(DefaultLevelRange(empty.levels(), empty.peaks(), lo, hi));
}

TEST(Fold, PeakColumnsKeepFirstLastLowestHighestAndWhereBlocksFollowOn) {
  PeakFold f({0, 10000, 2}, 1000);
  auto block = [](int64_t t, double freq) {
    results::PeakBlock b{};
    b.utc_ms = t;
    for (int c = 0; c < 2; ++c) b.peak[c] = {freq, 50, 0}, b.scint[c] = std::nan("");
    return b;
  };
  for (int64_t t : {0, 1000, 2000, 3000, 4000}) f.Add(block(t, t == 1000 ? 9 : t == 2000 ? 5 : 8 - t / 1000.0));
  f.Add(block(7000, 6));  // after a gap, in the second column
  f.Add(block(8000, 7));
  const ColumnStat& a = f.At(kFreq, 1, 0);
  EXPECT_EQ(a.first, 8);
  EXPECT_EQ(a.last, 4);
  EXPECT_EQ(a.lo, 4);
  EXPECT_EQ(a.hi, 9);
  EXPECT_EQ(f.At(kFreq, 0, 1).first, 6);
  EXPECT_FALSE(f.Joined(1));  // the gap before 7 s
  EXPECT_FALSE(f.HasScint());
  EXPECT_TRUE(std::isnan(f.At(kScint, 0, 0).first));
  double lo, hi;
  ASSERT_TRUE(f.Range(kFreq, lo, hi));
  EXPECT_EQ(lo, 4);
  EXPECT_EQ(hi, 9);
  // A block wider than the columns fills each of them, joined after its first.
  PeakFold w({0, 1000, 10}, 1000);
  w.Add(block(0, 5));
  for (int c = 0; c < 10; ++c) EXPECT_EQ(w.At(kFreq, 0, c).first, 5) << c;
  EXPECT_TRUE(w.Joined(5));
}

}  // namespace
}  // namespace hfd::test
