// Block spectra against an independent double-precision computation: a direct DFT
// of the tapered real block, times (1 + i).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <vector>

#include "analysis/spectra.hpp"
#include "analysis/taper.hpp"
#include "analysis_test_util.hpp"

namespace hfd::test {
namespace {

using test::BlockKind;
using test::DFreqFor;
using test::LoadChannel;

struct Reference {
  std::vector<double> level;  // dBuV, unguarded (log of the exact amplitude)
  std::vector<double> phase;  // degrees
  double max_level = -1e300;
};

// Direct DFT, in double, of the Hann-tapered block (TaperWindow's single
// values) for bins 0 .. N/2, multiplied by (1 + i), normalised by 2/N.
Reference DirectSpectrum(std::vector<float> block) {
  const int32_t n = static_cast<int32_t>(block.size());
  float ws = 0.0f;
  TaperWindow(block.data(), n, 2, ws);
  std::vector<double> c(static_cast<size_t>(n)), s(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    const double ang = 2.0 * M_PI * k / n;
    c[k] = std::cos(ang);
    s[k] = std::sin(ang);
  }
  Reference r;
  for (int32_t m = 0; m <= n / 2; ++m) {
    double re = 0.0, im = 0.0;
    for (int32_t k = 0; k < n; ++k) {
      const int32_t idx = static_cast<int32_t>((int64_t{k} * m) % n);
      re += block[k] * c[idx];
      im += block[k] * s[idx];
    }
    const std::complex<double> z = std::complex<double>(1.0, 1.0) * std::complex<double>(re, im);
    const double a = std::abs(z) * (1.0 / (n * 0.5));
    r.level.push_back(a > 0 ? 20.0 * std::log10(a) + 120.0 : -1e300);
    r.phase.push_back(std::atan2(z.imag(), z.real()) * 180.0 / M_PI);
    r.max_level = std::max(r.max_level, r.level.back());
  }
  return r;
}

double PhaseDiff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d < -180.0) d += 360.0;
  return std::fabs(d);
}

TEST(CrossCheck, RandomBlocksAgainstDirectDft) {
  std::mt19937_64 rng(2024);
  for (int32_t n : test::kLengths) {
    for (BlockKind kind : {BlockKind::Int16Noise, BlockKind::Tones, BlockKind::Gaussian}) {
      const auto block = test::MakeBlock(kind, n, rng);
      const Reference ref = DirectSpectrum(block);
      for (AnalysisPath path : {AnalysisPath::Straightforward, AnalysisPath::Fast}) {
        SCOPED_TRACE(std::to_string(n) + (path == AnalysisPath::Fast ? " fast" : " straight"));
        auto s = std::make_unique<BlockSpectra>();
        SpectrumPlan plan(n, DFreqFor(n), 2, path);
        ResetRecording(*s);
        BeginBlock(*s, plan);
        LoadChannel(*s, 1, block);
        AnalyseChannel(*s, plan, 1);
        const int32_t bins = (path == AnalysisPath::Fast) ? plan.FormEnd() : plan.NumBins();
        int compared = 0;
        for (int32_t i = 0; i < bins; ++i) {
          // Levels well above the floor and within 60 dB of the block's
          // strongest bin, where single-precision rounding of the transform
          // is small against the value: 0.01 dB and 0.05 degrees.
          if (ref.level[i] < -40.0 || ref.level[i] < ref.max_level - 60.0) continue;
          ++compared;
          EXPECT_NEAR(s->DfAmp[1][i], ref.level[i], 0.01) << i;
          EXPECT_LT(PhaseDiff(s->DfPhs[1][i], ref.phase[i]), 0.05) << i;
        }
        // Noise blocks compare most bins; a block of strong tones leaves
        // fewer within 60 dB of its lines, but always some.
        EXPECT_GE(compared, kind == BlockKind::Tones ? 16 : bins / 4);
      }
    }
  }
}

TEST(CrossCheck, PureToneOnABinReadsAOverRootTwo) {
  // A sinusoid of amplitude A exactly on bin b reads 20 log10(A/sqrt 2) + 120
  // dBuV there. Stated tolerance: 0.05 dB (the symmetric Hann window sums to
  // (N-1)/2 rather than N/2, -0.017 dB at N = 512, plus leakage of the
  // negative-frequency image and single-precision rounding).
  for (int32_t n : test::kLengths) {
    for (double amp : {0.4, 0.01, 1e-4}) {
      for (int32_t bin : {3, n / 16, n / 10, n / 4}) {
        std::vector<float> b(static_cast<size_t>(n));
        for (int32_t j = 0; j < n; ++j) {
          b[j] = static_cast<float>(amp * std::cos(2.0 * M_PI * bin * j / n + 0.3));
        }
        const double want = 20.0 * std::log10(amp / std::sqrt(2.0)) + 120.0;
        for (AnalysisPath path : {AnalysisPath::Straightforward, AnalysisPath::Fast}) {
          auto s = std::make_unique<BlockSpectra>();
          SpectrumPlan plan(n, DFreqFor(n), 2, path);
          if (path == AnalysisPath::Fast && bin >= plan.FormEnd()) continue;
          ResetRecording(*s);
          BeginBlock(*s, plan);
          LoadChannel(*s, 1, b);
          AnalyseChannel(*s, plan, 1);
          EXPECT_NEAR(s->DfAmp[1][bin], want, 0.05) << n << " " << amp << " " << bin;
          // phase: 45 degrees ahead of -0.3 rad (the +i kernel meets the cosine's
          // negative-frequency half, whose phase is -0.3 rad)
          EXPECT_LT(PhaseDiff(s->DfPhs[1][bin], 45.0 - 0.3 * 180.0 / M_PI), 0.1) << n << " " << bin;
        }
      }
    }
  }
}

TEST(CrossCheck, ToneInTheDopplerBandIsThePeak) {
  for (int32_t n : test::kLengths) {
    const int32_t bin = static_cast<int32_t>(7.5 * n * 0.01);  // about 7.5 Hz
    std::vector<float> b(static_cast<size_t>(n));
    std::mt19937_64 rng(n);
    std::normal_distribution<double> g(0.0, 0.001);
    for (int32_t j = 0; j < n; ++j) {
      b[j] = static_cast<float>(0.05 + 0.2 * std::sin(2.0 * M_PI * bin * j / n) + g(rng));
    }
    for (int fmt : {1, 2}) {
      for (AnalysisPath path : {AnalysisPath::Straightforward, AnalysisPath::Fast}) {
        auto s = std::make_unique<BlockSpectra>();
        SpectrumPlan plan(n, DFreqFor(n), fmt, path);
        ResetRecording(*s);
        BeginBlock(*s, plan);
        LoadChannel(*s, 1, b);
        AnalyseChannel(*s, plan, 1);
        LoadChannel(*s, 2, b);
        AnalyseChannel(*s, plan, 2);
        BinPass(*s, plan);
        EXPECT_EQ(s->DfFrqMx[1], plan.BinFrequency(bin)) << n;
        EXPECT_NEAR(s->DfAmpMx[1], 20.0 * std::log10(0.2 / std::sqrt(2.0)) + 120.0, 0.05) << n;
      }
    }
  }
}

}  // namespace
}  // namespace hfd::test
