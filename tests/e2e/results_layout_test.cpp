// Every line of the result files and of the console progress output of a
// short day, in both output modes and for all four data lengths: exact
// headers, exact time columns, fixed field widths, TABs and commas where the
// layouts put them, CR LF after every line.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/day_runs.hpp"

namespace hfd::test {
namespace {

struct LengthCase {
  int n;
  int lines;         // spectrum lines per block, 0 .. 12 Hz
  const char* last;  // frequency field of the last of them
  friend void PrintTo(const LengthCase& c, std::ostream* os) { *os << "N = " << c.n; }
};

class DayLayout : public ::testing::TestWithParam<LengthCase> {};

// The fields of a line split at TABs must have exactly these widths.
void ExpectWidths(const std::string& line, const std::vector<size_t>& widths,
                  const std::string& what) {
  const std::vector<std::string> f = Split(line, '\t');
  ASSERT_EQ(f.size(), widths.size()) << what << ": [" << line << "]";
  for (size_t i = 0; i < f.size(); ++i) EXPECT_EQ(f[i].size(), widths[i]) << what << " field " << i;
}

// A peak frequency must be a bin of the 4 .. 12 Hz band: (i - 1) * 100 / N.
void ExpectDopplerBin(double f, int n, double rounding, const std::string& what) {
  const double bins = f * n / 100.0;
  EXPECT_NEAR(bins, std::round(bins), rounding * n / 100.0 + 1e-9) << what << ": " << f;
  EXPECT_GE(f, 4.0 - rounding) << what;
  EXPECT_LE(f, 12.0 + rounding) << what;
}

TEST_P(DayLayout, AmplitudeFileAndConsoleLines) {
  const LengthCase c = GetParam();
  const DayRun& day = Day(1, c.n);
  ASSERT_EQ(day.run.status, 0) << day.run.err;
  EXPECT_TRUE(day.qdrExists);
  EXPECT_FALSE(day.spcExists);
  EXPECT_FALSE(day.maxExists);
  const long long blocks = day.blocks();
  ASSERT_GT(blocks, 4);

  const std::vector<std::string> lines = SplitRecords(day.qdr, ".qdr");
  // Four header lines, one line per whole block; the block whose read fails
  // leaves nothing.
  ASSERT_EQ(static_cast<long long>(lines.size()), 4 + blocks);
  EXPECT_EQ(lines[0], "Sugadaira     2008/ 5/ 1 12: 0  100Hz" + I(c.n, 5));
  EXPECT_EQ(lines[0].size(), 42u);
  EXPECT_EQ(lines[1], "     CH\t\t5006kHz\t\t8006kHz");
  EXPECT_EQ(lines[2], "     Time(JST)\t\tFreq\tAmp\tFreq\tAmp");
  EXPECT_EQ(lines[3], "hh\tmm\tss.mmm\tHz\tdBuV\tHz\tdBuV");

  std::vector<std::vector<std::string>> fields;
  for (long long k = 0; k < blocks; ++k) {
    const std::string& l = lines[static_cast<size_t>(4 + k)];
    const std::string what = ".qdr block " + std::to_string(k);
    EXPECT_EQ(l.size(), 50u) << what;
    ExpectWidths(l, {2, 2, 8, 8, 8, 8, 8}, what);
    const BlockClock t = ClockOf(k, c.n);
    // Hour, minute, and the seconds within the minute with three decimals.
    EXPECT_EQ(l.substr(0, 14), I(t.h, 2) + "\t" + I(t.m, 2) + "\t" +
                                   FixedFromUnits(t.centisInMinute * 10, 3, 8))
        << what;
    const std::vector<std::string> f = Split(l, '\t');
    for (int ch = 0; ch < 2; ++ch) {
      const double freq = Num(f[static_cast<size_t>(3 + 2 * ch)]);
      const double amp = Num(f[static_cast<size_t>(4 + 2 * ch)]);
      ExpectDopplerBin(freq, c.n, 0.00005, what);
      EXPECT_GT(amp, -60.0) << what;
      EXPECT_LT(amp, 130.0) << what;
    }
    fields.push_back(f);
  }

  // Console: after the settings echoes, one progress line per block, shown
  // without its first (carriage-control) character; nothing after them.
  const std::vector<std::string> out = SplitRecords(day.run.out, "stdout");
  size_t first = 0;
  while (first < out.size() && out[first].rfind("NcMax=", 0) != 0) ++first;
  ASSERT_LT(first, out.size()) << day.run.out;
  // The window runs from 12:00:00 to midnight, 43200 s; the last step is
  // trunc(86400 s / (N * 0.01 s)).
  EXPECT_EQ(out[first], "NcMax=" + I(4320000LL / c.n, 11) + "  kMax=" +
                            I(8640000LL / c.n, 11) + "  Na=" + I(c.n / 128, 11));
  ASSERT_EQ(static_cast<long long>(out.size() - first - 1), blocks);
  for (long long k = 0; k < blocks; ++k) {
    const std::string& l = out[static_cast<size_t>(first + 1 + k)];
    const std::string what = "console line " + std::to_string(k);
    const BlockClock t = ClockOf(k, c.n);
    // I5 step (first character dropped), I5 year, "/" I2 "/" I2 " " I2 ":"
    // I2 ":" I2 " ", then per channel F6.3, F6.3, F7.3, F6.1.
    ASSERT_EQ(l.size(), 75u) << what;
    EXPECT_EQ(l.substr(0, 25), I(k, 5).substr(1) + " 2008/ 5/ 1 " + I(t.h, 2) + ":" +
                                   I(t.m, 2) + ":" + I(t.s, 2) + " ")
        << what;
    const auto& f = fields[static_cast<size_t>(k)];
    for (size_t ch = 0; ch < 2; ++ch) {
      const size_t at = 25 + 25 * ch;
      const double mean = Num(l.substr(at, 6)), spread = Num(l.substr(at + 6, 6));
      EXPECT_LE(std::fabs(mean), 0.5) << what;
      EXPECT_GT(spread, 0.0) << what;
      // The same peak as the file, rounded to fewer decimals.
      EXPECT_NEAR(Num(l.substr(at + 12, 7)), Num(f[3 + 2 * ch]), 0.0006) << what;
      EXPECT_NEAR(Num(l.substr(at + 19, 6)), Num(f[4 + 2 * ch]), 0.06) << what;
    }
  }
}

TEST_P(DayLayout, SpectrumAndPeakFilesAndConsoleRecords) {
  const LengthCase c = GetParam();
  const DayRun& day = Day(2, c.n);
  ASSERT_EQ(day.run.status, 0) << day.run.err;
  EXPECT_FALSE(day.qdrExists);
  EXPECT_TRUE(day.spcExists);
  EXPECT_TRUE(day.maxExists);
  const long long blocks = day.blocks();
  ASSERT_GT(blocks, 4);

  // .spc: per whole block its block line and the 0 .. 12 Hz lines; then the
  // block line of the block whose read failed, as the last line.
  const std::vector<std::string> spc = SplitRecords(day.spc, ".spc");
  ASSERT_EQ(static_cast<long long>(spc.size()), blocks * (1 + c.lines) + 1);
  size_t at = 0;
  for (long long k = 0; k <= blocks; ++k) {
    const BlockClock t = ClockOf(k, c.n);
    const std::string what = ".spc block " + std::to_string(k);
    EXPECT_EQ(spc[at], I(k, 5) + "\t2008\t 5\t 1\t" + I(t.h, 2) + "\t" + I(t.m, 2) + "\t" +
                           I(t.s, 2) + "\t" + I(t.secOfDay, 5))
        << what;
    EXPECT_EQ(spc[at].size(), 31u) << what;
    ++at;
    if (k == blocks) break;
    for (int j = 0; j < c.lines; ++j, ++at) {
      const std::string& l = spc[at];
      const std::string where = what + " line " + std::to_string(j);
      ASSERT_EQ(l.size(), 44u) << where;
      ExpectWidths(l, {6, 10, 7, 10, 7}, where);
      EXPECT_EQ(l.substr(0, 6), BinFrequencyField(j, c.n)) << where;
      const std::vector<std::string> f = Split(l, '\t');
      for (size_t ch = 0; ch < 2; ++ch) {
        const double level = Num(f[1 + 2 * ch]), phase = Num(f[2 + 2 * ch]);
        EXPECT_GE(level, -60.0) << where;
        EXPECT_LT(level, 130.0) << where;
        const bool fixed = phase == 90.0 || phase == 270.0;
        EXPECT_TRUE(fixed || (phase >= -180.0 && phase <= 180.0)) << where << ": " << phase;
      }
      if (j == 0) {
        // 0 Hz: real and imaginary part are equal, so 45 or -135 degrees.
        EXPECT_TRUE(f[2] == "   45.0" || f[2] == " -135.0") << where;
        EXPECT_TRUE(f[4] == "   45.0" || f[4] == " -135.0") << where;
        EXPECT_EQ(f[0], "  .000");
      }
      if (j == c.lines - 1) {
        EXPECT_EQ(f[0], c.last) << where;
      }
    }
  }

  // .max: the header, then one 109-character line per whole block, each
  // separator standing where the header has its TAB.
  const std::vector<std::string> max = SplitRecords(day.max, ".max");
  ASSERT_EQ(static_cast<long long>(max.size()), 1 + blocks);
  const std::string header =
      "kkkkk\t YYYY\tMM\tDD\tHH\tMM\tSS\tsssss\t AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t"
      " AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t";
  EXPECT_EQ(max[0], header);
  for (long long k = 0; k < blocks; ++k) {
    const std::string& l = max[static_cast<size_t>(1 + k)];
    const std::string what = ".max block " + std::to_string(k);
    ASSERT_EQ(l.size(), 109u) << what;
    for (size_t i = 0; i < header.size(); ++i) {
      EXPECT_EQ(header[i] == '\t', l[i] == '\t' || l[i] == ',') << what << " column " << i + 1;
    }
    const BlockClock t = ClockOf(k, c.n);
    EXPECT_EQ(l.substr(0, 33), I(k, 5) + "\t 2008\t 5\t 1\t" + I(t.h, 2) + "\t" + I(t.m, 2) +
                                   "\t" + I(t.s, 2) + "\t" + I(t.secOfDay, 5) + "\t")
        << what;
    const std::vector<std::string> f = Split(l, '\t');
    ASSERT_EQ(f.size(), 15u) << what;
    EXPECT_EQ(f[14], "") << what;
    for (size_t ch = 0; ch < 2; ++ch) {
      const std::vector<std::string> g = Split(f[8 + 3 * ch], ',');
      ASSERT_EQ(g.size(), 3u) << what;
      EXPECT_LE(std::fabs(Num(g[0])), 0.5) << what;
      EXPECT_GT(Num(g[1]), 0.0) << what;
      ExpectDopplerBin(Num(g[2]), c.n, 0.005, what);
      EXPECT_GT(Num(f[9 + 3 * ch]), -60.0) << what;
      EXPECT_LE(std::fabs(Num(f[10 + 3 * ch])), 180.0) << what;
    }
  }

  // Console: per block four records, each shown without its first
  // character; the fourth is empty. Their numbers are the .max line's.
  const std::vector<std::string> out = SplitRecords(day.run.out, "stdout");
  size_t first = 0;
  while (first < out.size() && out[first].rfind("NcMax=", 0) != 0) ++first;
  ASSERT_LT(first, out.size()) << day.run.out;
  ASSERT_EQ(static_cast<long long>(out.size() - first - 1), 4 * blocks);
  for (long long k = 0; k < blocks; ++k) {
    const size_t r = first + 1 + 4 * static_cast<size_t>(k);
    const std::string what = "console block " + std::to_string(k);
    const BlockClock t = ClockOf(k, c.n);
    EXPECT_EQ(out[r], I(k, 5).substr(1) + " 2008/ 5/ 1 " + I(t.h, 2) + ":" + I(t.m, 2) + ":" +
                          I(t.s, 2) + " " + I(t.secOfDay, 6))
        << what;
    const std::vector<std::string> f = Split(max[static_cast<size_t>(1 + k)], '\t');
    for (size_t ch = 0; ch < 2; ++ch) {
      const std::string& l = out[r + 1 + ch];
      ASSERT_EQ(l.size(), 54u) << what;
      EXPECT_EQ(l.substr(0, 4), "    ") << what;
      const std::vector<std::string> g = Split(f[8 + 3 * ch], ',');
      const double file[5] = {Num(g[0]), Num(g[1]), Num(g[2]), Num(f[9 + 3 * ch]),
                              Num(f[10 + 3 * ch])};
      const double tol[5] = {0.0006, 0.0006, 0.0055, 0.0055, 0.0055};
      for (size_t v = 0; v < 5; ++v) {
        EXPECT_NEAR(Num(l.substr(4 + 10 * v, 10)), file[v], tol[v]) << what << " value " << v;
      }
    }
    EXPECT_EQ(out[r + 3], "") << what;
  }
}

INSTANTIATE_TEST_SUITE_P(AllLengths, DayLayout,
                         ::testing::Values(LengthCase{512, 62, "11.914"},
                                           LengthCase{1024, 123, "11.914"},
                                           LengthCase{2048, 246, "11.963"},
                                           LengthCase{4096, 492, "11.987"}),
                         [](const auto& info) { return LengthName(info.param.n); });

}  // namespace
}  // namespace hfd::test
