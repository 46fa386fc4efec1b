// The numbers in the result files against what the generator put into the
// recording: the Doppler peak follows the carrier's frequency, AvAmp and
// S4Indx are the mean and ten times the spread of the block's samples, and
// the peak summary agrees with the spectrum lines of the same block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "e2e/day_runs.hpp"
#include "synth/synth_model.hpp"

namespace hfd::test {
namespace {

using hfd::synth::SynthModel;
using hfd::synth::SynthParams;

constexpr double kCount = 1.0 / 65536.0;  // one sample count in scaled units

// The model behind kDaySynthArgs: the generator puts the excursion in the
// middle of the recording, 235 records * 1.28 s / 2.
SynthModel DayModel() {
  SynthParams p;
  p.seed = 1;
  p.scint_depth = 0.4;
  p.excursion_center = kDayRecords * 1.28 / 2.0;
  return SynthModel(p);
}

// Lowest and highest carrier frequency of channel ch during block k.
void FrequencyRange(const SynthModel& m, int ch, long long k, int n, double& lo, double& hi) {
  lo = 1e9, hi = -1e9;
  for (int j = 0; j < n; ++j) {
    const double f = m.frequency(ch, static_cast<double>(k * n + j) * 0.01);
    lo = std::min(lo, f), hi = std::max(hi, f);
  }
}

struct PeakColumns {
  std::vector<double> freq[3], level[3], phase[3], mean[3], spread[3];
};

// DfFrqMx, DfAmpMx, DfPhsMx, AvAmp and S4Indx of every block of a .max file.
PeakColumns ReadMax(const std::string& text) {
  PeakColumns p;
  const std::vector<std::string> lines = SplitRecords(text, ".max");
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Split(lines[i], '\t');
    if (f.size() != 15) {
      ADD_FAILURE() << "line " << i << ": " << lines[i];
      continue;
    }
    for (size_t ch = 1; ch <= 2; ++ch) {
      const std::vector<std::string> g = Split(f[8 + 3 * (ch - 1)], ',');
      if (g.size() != 3) {
        ADD_FAILURE() << "line " << i << ": " << lines[i];
        continue;
      }
      p.mean[ch].push_back(Num(g[0]));
      p.spread[ch].push_back(Num(g[1]));
      p.freq[ch].push_back(Num(g[2]));
      p.level[ch].push_back(Num(f[9 + 3 * (ch - 1)]));
      p.phase[ch].push_back(Num(f[10 + 3 * (ch - 1)]));
    }
  }
  return p;
}

class DayValues : public ::testing::TestWithParam<int> {};

// The carrier of block k sweeps through [lo, hi] (the slow wander and, near
// the middle of the recording, the sharp excursion: up to about 0.7 Hz in a
// 41 s block on channel 2). Every frequency of that sweep is in the block's
// spectrum, and the strongest bin lies at most one bin spacing outside the
// range (for a steady tone, half a bin; a bin spacing covers the
// discretisation with room for the taper's main lobe). The printed value
// adds its rounding: half a unit of the last decimal.
TEST_P(DayValues, PeakFrequencyFollowsTheGeneratedCarrier) {
  const int n = GetParam();
  const double df = 100.0 / n;
  const SynthModel m = DayModel();
  const DayRun& amp = Day(1, n);
  const DayRun& peak = Day(2, n);
  ASSERT_EQ(amp.run.status, 0);
  ASSERT_EQ(peak.run.status, 0);
  const std::vector<std::string> qdr = SplitRecords(amp.qdr, ".qdr");
  const PeakColumns p = ReadMax(peak.max);
  ASSERT_EQ(static_cast<long long>(qdr.size()), 4 + amp.blocks());
  ASSERT_EQ(static_cast<long long>(p.freq[1].size()), peak.blocks());
  for (long long k = 0; k < amp.blocks(); ++k) {
    const std::vector<std::string> f = Split(qdr[static_cast<size_t>(4 + k)], '\t');
    ASSERT_EQ(f.size(), 7u);
    for (int ch = 1; ch <= 2; ++ch) {
      double lo = 0.0, hi = 0.0;
      FrequencyRange(m, ch, k, n, lo, hi);
      const std::string what = "block " + std::to_string(k) + " channel " + std::to_string(ch) +
                               ": carrier " + std::to_string(lo) + " .. " + std::to_string(hi);
      const double inQdr = Num(f[static_cast<size_t>(1 + 2 * ch)]);  // F8.4
      EXPECT_GE(inQdr, lo - df - 0.00005) << what;
      EXPECT_LE(inQdr, hi + df + 0.00005) << what;
      const double inMax = p.freq[ch][static_cast<size_t>(k)];  // F7.2
      EXPECT_GE(inMax, lo - df - 0.005) << what;
      EXPECT_LE(inMax, hi + df + 0.005) << what;
    }
  }
}

// A steady tone (8.0 Hz on channel 1, 7.5 Hz on channel 2, nothing else)
// peaks on the bin nearest to it: bin index round(f * N / 100), frequency
// index * 100 / N, printed with four decimals rounded half up.
TEST_P(DayValues, SteadyTonePeaksOnTheNearestBin) {
  const int n = GetParam();
  ScratchDir d;
  Synth(d, "--start 20080501120000 --seconds 120 --tone-only");
  const RunResult r = RunFast(d, DayAnswers(1, n));
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> qdr = SplitRecords(Slurp(d.rec() / "200805011200SGD.qdr"), ".qdr");
  ASSERT_GT(qdr.size(), 5u);
  std::string expect[3];
  for (int ch = 1; ch <= 2; ++ch) {
    const long long tenthHz = ch == 1 ? 80 : 75;
    const long long bin = (tenthHz * n + 500) / 1000;  // round(f * N / 100), never a tie here
    const long long num = bin * 1000000, q = num / n, rem = num % n;
    expect[ch] = FixedFromUnits(q + (2 * rem >= n ? 1 : 0), 4, 8);
  }
  for (size_t i = 4; i < qdr.size(); ++i) {
    const std::vector<std::string> f = Split(qdr[i], '\t');
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[3], expect[1]) << qdr[i];
    EXPECT_EQ(f[5], expect[2]) << qdr[i];
  }
}

// The summary's peak is the strongest 4 .. 12 Hz line of the block in the
// spectrum file (ties after rounding allowed), with its level and phase.
TEST_P(DayValues, PeakSummaryIsTheStrongestSpectrumLine) {
  const int n = GetParam();
  const DayRun& day = Day(2, n);
  ASSERT_EQ(day.run.status, 0);
  const PeakColumns p = ReadMax(day.max);
  const std::vector<std::string> spc = SplitRecords(day.spc, ".spc");
  const int perBlock = 12 * n / 100 + 1;
  for (long long k = 0; k < day.blocks(); ++k) {
    std::vector<std::vector<std::string>> band;
    for (int j = 0; j < perBlock; ++j) {
      const size_t at = static_cast<size_t>(k * (perBlock + 1) + 1 + j);
      ASSERT_LT(at, spc.size());
      std::vector<std::string> f = Split(spc[at], '\t');
      ASSERT_EQ(f.size(), 5u);
      if (Num(f[0]) >= 4.0) band.push_back(std::move(f));
    }
    ASSERT_EQ(static_cast<int>(band.size()), perBlock - (4 * n + 99) / 100);
    for (size_t ch = 1; ch <= 2; ++ch) {
      double best = -1e9;
      for (const auto& f : band) best = std::max(best, Num(f[2 * ch - 1]));
      const size_t b = static_cast<size_t>(k);
      const std::string what = "block " + std::to_string(k) + " channel " + std::to_string(ch);
      EXPECT_NEAR(p.level[ch][b], best, 0.0055) << what;
      bool found = false;
      for (const auto& f : band) {
        if (Num(f[2 * ch - 1]) < best - 0.0015) continue;
        if (std::fabs(Num(f[0]) - p.freq[ch][b]) <= 0.0055 &&
            std::fabs(Num(f[2 * ch]) - p.phase[ch][b]) <= 0.0551) {
          found = true;
        }
      }
      EXPECT_TRUE(found) << what << ": " << p.freq[ch][b] << " Hz, " << p.level[ch][b]
                         << " dBuV, " << p.phase[ch][b] << " deg";
    }
  }
}

// AvAmp and S4Indx are the mean and ten times the population standard
// deviation of the block's scaled samples (count * 2^-16), in the peak
// summary and on the mode-1 console alike.
TEST_P(DayValues, MeanAndSpreadAreThoseOfTheBlockSamples) {
  const int n = GetParam();
  const DayRun& day = Day(2, n);
  ASSERT_EQ(day.run.status, 0);
  const PeakColumns p = ReadMax(day.max);
  // The mode-1 console lines of the same blocks, without their first
  // character: per channel F6.3 mean and F6.3 spread from column 26 on.
  const DayRun& amp = Day(1, n);
  ASSERT_EQ(amp.run.status, 0);
  std::vector<std::string> console = SplitRecords(amp.run.out, "stdout");
  while (!console.empty() && console.front().rfind("NcMax=", 0) != 0) console.erase(console.begin());
  ASSERT_EQ(static_cast<long long>(console.size()), 1 + day.blocks());
  for (int ch = 1; ch <= 2; ++ch) {
    const std::vector<int16_t>& s = day.samples[ch];
    ASSERT_EQ(static_cast<long long>(s.size()), kDayRecords * 128);
    ASSERT_EQ(static_cast<long long>(p.mean[ch].size()), day.blocks());
    for (long long k = 0; k < day.blocks(); ++k) {
      double sum = 0.0;
      for (int j = 0; j < n; ++j) sum += s[static_cast<size_t>(k * n + j)] * kCount;
      const double mean = sum / n;
      double sq = 0.0;
      for (int j = 0; j < n; ++j) {
        const double v = s[static_cast<size_t>(k * n + j)] * kCount - mean;
        sq += v * v;
      }
      const double spread = 10.0 * std::sqrt(sq / n);
      const size_t b = static_cast<size_t>(k);
      const std::string what = "block " + std::to_string(k) + " channel " + std::to_string(ch);
      EXPECT_NEAR(p.mean[ch][b], mean, 0.0005 + 1e-12) << what;
      EXPECT_NEAR(p.spread[ch][b], spread, 0.0005 + 1e-12) << what;
      const std::string& line = console[1 + b];
      ASSERT_EQ(line.size(), 75u) << what;
      const size_t at = 25 + 25 * static_cast<size_t>(ch - 1);
      EXPECT_NEAR(Num(line.substr(at, 6)), mean, 0.0005 + 1e-12) << what;
      EXPECT_NEAR(Num(line.substr(at + 6, 6)), spread, 0.0005 + 1e-12) << what;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllLengths, DayValues, ::testing::Values(512, 1024, 2048, 4096),
                         [](const auto& info) { return LengthName(info.param); });

}  // namespace
}  // namespace hfd::test
