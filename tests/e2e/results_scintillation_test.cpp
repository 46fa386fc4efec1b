// S4Indx and AvAmp against the generator's signal model: the spread follows
// the scintillating carrier amplitude, the mean and the 0 Hz line of the
// spectrum follow the DC offset.
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

SynthModel Model(double depth, double excursion) {
  SynthParams p;
  p.seed = 1;
  p.scint_depth = depth;
  p.excursion_center = excursion;
  return SynthModel(p);
}

// AvAmp and S4Indx of one channel, per block, from a .max file.
void MeanAndSpread(const std::string& max, size_t ch, std::vector<double>& mean,
                   std::vector<double>& spread) {
  const std::vector<std::string> lines = SplitRecords(max, ".max");
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Split(lines[i], '\t');
    ASSERT_EQ(f.size(), 15u) << lines[i];
    const std::vector<std::string> g = Split(f[8 + 3 * (ch - 1)], ',');
    ASSERT_EQ(g.size(), 3u) << lines[i];
    mean.push_back(Num(g[0]));
    spread.push_back(Num(g[1]));
  }
}

// The spread block k of channel ch should show: the carrier A(t) sin(...)
// has the mean square A^2 / 2 over its many cycles in a block, and the
// independent receiver noise adds its variance; S4Indx is ten times the
// square root, in scaled units.
double ModelSpread(const SynthModel& m, int ch, long long k, int n) {
  double a2 = 0.0;
  for (int j = 0; j < n; ++j) {
    const double a = m.amplitude(ch, static_cast<double>(k * n + j) * 0.01);
    a2 += a * a;
  }
  const double sigma = m.noise_rms(ch);
  return 10.0 * kCount * std::sqrt(a2 / n / 2.0 + sigma * sigma);
}

// Blocks of 5 to 41 s hold 40 to 330 carrier cycles, so the sample spread
// is within about 1 % of the model's; 3 % leaves room for that and for the
// noise's own scatter.
constexpr double kSpreadTolerance = 0.03;

TEST(Scintillation, S4IndxFollowsTheCarrierAmplitude) {
  const SynthModel m = Model(0.4, kDayRecords * 1.28 / 2.0);
  for (int n : {512, 4096}) {
    const DayRun& day = Day(2, n);
    ASSERT_EQ(day.run.status, 0);
    for (size_t ch = 1; ch <= 2; ++ch) {
      std::vector<double> mean, spread;
      MeanAndSpread(day.max, ch, mean, spread);
      ASSERT_EQ(static_cast<long long>(spread.size()), day.blocks());
      for (size_t k = 0; k < spread.size(); ++k) {
        const double expect = ModelSpread(m, static_cast<int>(ch), static_cast<long long>(k), n);
        EXPECT_NEAR(spread[k], expect, kSpreadTolerance * expect)
            << "N " << n << " channel " << ch << " block " << k;
      }
    }
  }
}

// Without fading the spread barely moves from block to block; with the
// deepest fading it swings over most of its range, block by block as the
// model's amplitude does.
TEST(Scintillation, DeepFadingSpreadsS4IndxSteadyCarrierDoesNot) {
  const double depths[2] = {0.0, 1.0};
  for (int i = 0; i < 2; ++i) {
    ScratchDir d;
    Synth(d, std::string("--start 20080501120000 --seconds 600 --scint ") + (i == 0 ? "0" : "1"));
    const RunResult r = RunFast(d, DayAnswers(2, 1024));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string max = Slurp(d.rec() / "200805011200SGD.max");
    // 600 s rounds up to 469 records; the excursion sits in the middle.
    const SynthModel m = Model(depths[i], 469 * 1.28 / 2.0);
    for (size_t ch = 1; ch <= 2; ++ch) {
      std::vector<double> mean, spread;
      MeanAndSpread(max, ch, mean, spread);
      ASSERT_EQ(spread.size(), 469u / 8);
      const auto [lo, hi] = std::minmax_element(spread.begin(), spread.end());
      const double swing = (*hi - *lo) / *hi;
      if (i == 0) {
        EXPECT_LT(swing, 0.03) << "channel " << ch << ": " << *lo << " .. " << *hi;
      } else {
        EXPECT_GT(swing, 0.5) << "channel " << ch << ": " << *lo << " .. " << *hi;
      }
      for (size_t k = 0; k < spread.size(); ++k) {
        const double expect = ModelSpread(m, static_cast<int>(ch), static_cast<long long>(k), 1024);
        EXPECT_NEAR(spread[k], expect, kSpreadTolerance * expect + 0.0005)
            << "depth " << depths[i] << " channel " << ch << " block " << k;
      }
    }
  }
}

// Channel 1 carries a DC offset of +120 counts, channel 2 of -85 counts.
// Averaged over the blocks, the printed AvAmp equals the model's block means
// (offset plus what is left of the carrier's unfinished cycles) within the
// printing's half unit of .0005 and the averaged noise. The 0 Hz line of the
// spectrum has phase 45 for a positive tapered block sum and -135 for a
// negative one, and at N = 4096 its level is that of the offset:
// 20 log10(sqrt(2) |dc| (N - 1) / N) + 120 dBuV (the taper sums to (N-1)/2
// and is normalised by N/2), within 2 dB for the noise.
TEST(DcOffset, AvAmpAndZeroHertzLineFollowTheGeneratedOffset) {
  const SynthModel m = Model(0.4, kDayRecords * 1.28 / 2.0);
  for (int n : {512, 1024, 2048, 4096}) {
    const DayRun& day = Day(2, n);
    ASSERT_EQ(day.run.status, 0);
    for (size_t ch = 1; ch <= 2; ++ch) {
      std::vector<double> mean, spread;
      MeanAndSpread(day.max, ch, mean, spread);
      ASSERT_FALSE(mean.empty());
      double printed = 0.0, model = 0.0;
      for (size_t k = 0; k < mean.size(); ++k) {
        printed += mean[k];
        double sum = 0.0;
        for (int j = 0; j < n; ++j) {
          const auto t = static_cast<double>(static_cast<long long>(k) * n + j) * 0.01;
          sum += m.clean_sample(static_cast<int>(ch), t);
        }
        model += sum / n * kCount;
      }
      printed /= static_cast<double>(mean.size());
      model /= static_cast<double>(mean.size());
      EXPECT_NEAR(printed, model, 0.0006) << "N " << n << " channel " << ch;
    }

    const std::vector<std::string> spc = SplitRecords(day.spc, ".spc");
    const size_t perBlock = static_cast<size_t>(12 * n / 100 + 2);
    for (long long k = 0; k < day.blocks(); ++k) {
      const std::vector<std::string> f = Split(spc[static_cast<size_t>(k) * perBlock + 1], '\t');
      ASSERT_EQ(f.size(), 5u);
      ASSERT_EQ(f[0], "  .000");
      EXPECT_EQ(f[2], "   45.0") << "N " << n << " block " << k;
      EXPECT_EQ(f[4], " -135.0") << "N " << n << " block " << k;
      if (n == 4096) {
        for (int ch = 1; ch <= 2; ++ch) {
          const double dc = std::fabs(m.dc_offset(ch)) * kCount;
          const double level = 20.0 * std::log10(std::sqrt(2.0) * dc * (n - 1) / n) + 120.0;
          EXPECT_NEAR(Num(f[static_cast<size_t>(2 * ch - 1)]), level, 2.0) << "block " << k;
        }
      }
    }
  }
}

}  // namespace
}  // namespace hfd::test
