// Block spectra and Doppler statistics: facts known in advance.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/fft.hpp"
#include "analysis/spectra.hpp"
#include "analysis/taper.hpp"
#include "analysis_test_util.hpp"

namespace hfd::test {
namespace {

using test::BlockKind;
using test::Bits;
using test::DFreqFor;
using test::LoadChannel;

constexpr AnalysisPath kPaths[] = {AnalysisPath::Straightforward, AnalysisPath::Fast};

const char* Name(AnalysisPath p) { return p == AnalysisPath::Fast ? "fast" : "straightforward"; }

std::string Fixed3(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

// One block as the driver runs it; a channel with an empty block has no file.
BlockResult RunBlock(BlockSpectra& s, const SpectrumPlan& plan, const std::vector<float>& ch1,
                     const std::vector<float>& ch2) {
  BeginBlock(s, plan);
  const std::vector<float>* ch[3] = {nullptr, &ch1, &ch2};
  for (int c = 1; c <= 2; ++c) {
    if (ch[c]->empty()) {
      FloorChannel(s, plan, c);
    } else {
      LoadChannel(s, c, *ch[c]);
      AnalyseChannel(s, plan, c);
    }
  }
  const BlockResult r = BinPass(s, plan);
  EndBlock(s);
  return r;
}

struct Expected {
  int32_t n;
  int32_t spectrum_bins;
  float highest;
  int32_t band_bins;
  int32_t first_band_bin;  // 1-based bin number
  float first_band_freq;
};
constexpr Expected kTable[] = {
    {512, 62, 11.9140625f, 41, 22, 4.1015625f},
    {1024, 123, 11.9140625f, 82, 42, 4.00390625f},
    {2048, 246, 11.962890625f, 164, 83, 4.00390625f},
    {4096, 492, 11.9873046875f, 328, 165, 4.00390625f},
};

TEST(SpectrumPlan, BinCountsPerDataLength) {
  for (const Expected& e : kTable) {
    for (int fmt : {1, 2}) {
      SpectrumPlan plan(e.n, DFreqFor(e.n), fmt);
      ASSERT_TRUE(plan.valid());
      EXPECT_EQ(plan.NumBins(), e.n / 2 + 1);
      EXPECT_EQ(plan.NumSpectrumBins(), e.spectrum_bins) << e.n;
      EXPECT_EQ(plan.BinFrequency(e.spectrum_bins - 1), e.highest) << e.n;
      EXPECT_GT(plan.BinFrequency(e.spectrum_bins), 12.0f) << e.n;
      EXPECT_EQ(plan.PeakEnd() - plan.PeakFirst(), e.band_bins) << e.n;
      EXPECT_EQ(plan.PeakFirst() + 1, e.first_band_bin) << e.n;
      EXPECT_EQ(plan.BinFrequency(plan.PeakFirst()), e.first_band_freq) << e.n;
      EXPECT_EQ(plan.BinFrequency(plan.NumBins() - 1), 50.0f);
      for (int32_t i = 0; i < plan.NumBins(); ++i) {  // no bin on a band edge
        EXPECT_NE(plan.BinFrequency(i), 4.0f);
        EXPECT_NE(plan.BinFrequency(i), 12.0f);
      }
    }
  }
  EXPECT_EQ(DFreqFor(512), 0.09765625);
  EXPECT_EQ(DFreqFor(1024), 0.048828125);
  EXPECT_EQ(DFreqFor(2048), 0.0244140625);
  EXPECT_EQ(DFreqFor(4096), 0.01220703125);
}

TEST(SpectrumPlan, FastTablesHoldThePerCallValues) {
  for (int32_t n : {2, 8, 512, 1024, 2048, 4096, 8192}) {
    SpectrumPlan plan(n, DFreqFor(n), 2);
    const double d = static_cast<double>(HannStep(n));
    for (int32_t i = 0; i < n; i += (n > 64 ? 37 : 1)) {
      EXPECT_EQ(Bits(plan.HannFactor()[i]), Bits(1.0 - std::cos(static_cast<double>(i) * d)));
    }
    for (int32_t half = 1; half < n; half *= 2) {
      std::vector<double> wr(static_cast<size_t>(half)), wi(static_cast<size_t>(half));
      FftStageTwiddles(half, +1, wr.data(), wi.data());
      for (int32_t m = 0; m < half; ++m) {
        ASSERT_EQ(Bits(plan.TwiddleRe(half)[m]), Bits(wr[m]));
        ASSERT_EQ(Bits(plan.TwiddleIm(half)[m]), Bits(wi[m]));
      }
      // The fast kernels compute the first butterfly of a stage in single
      // precision, which relies on this twiddle being exactly (1, 0).
      EXPECT_EQ(Bits(plan.TwiddleRe(half)[0]), Bits(1.0));
      EXPECT_EQ(Bits(plan.TwiddleIm(half)[0]), Bits(0.0));
    }
    // The reordering of ComplexFFT (run through ComplexFFT on n = 1 .. n points
    // would mix in the stages), checked as the bit-reversal permutation.
    for (int32_t p = 0; p < n; ++p) {
      const int32_t r = plan.BitReverse()[p];
      EXPECT_EQ(plan.BitReverse()[r], p);
    }
    EXPECT_EQ(plan.AmpNorm(), static_cast<float>(2.0 / n));
  }
}

TEST(SpectrumPlan, RejectsWhatTheStorageCannotHold) {
  for (int32_t n : {0, -512, 1, 3, 1000, 3000, 16384, 1 << 20}) {
    EXPECT_FALSE(SpectrumPlan(n, 0.05, 2).valid()) << n;
  }
  EXPECT_TRUE(SpectrumPlan(8192, DFreqFor(8192), 2).valid());
  EXPECT_TRUE(SpectrumPlan(2, 25.0, 2).valid());
  EXPECT_FALSE(SpectrumPlan(1024, 0.0, 2).valid());
  EXPECT_FALSE(SpectrumPlan(1024, -0.05, 2).valid());
  EXPECT_FALSE(SpectrumPlan(1024, std::nan(""), 2).valid());
  EXPECT_FALSE(SpectrumPlan(1024, DFreqFor(1024), 0).valid());
  EXPECT_FALSE(SpectrumPlan(1024, DFreqFor(1024), 3).valid());

  // An invalid plan changes nothing.
  auto s = std::make_unique<BlockSpectra>();
  SpectrumPlan bad(1000, 0.05, 2);
  BeginBlock(*s, bad);
  AnalyseChannel(*s, bad, 1);
  FloorChannel(*s, bad, 1);
  EXPECT_EQ(BinPass(*s, bad).lines.Count(), 0);
  EXPECT_EQ(s->IAvg, 0);
  EXPECT_EQ(s->DfAmp[1][0], 0.0f);
}

TEST(BlockSpectra, BinPassHandsBackTheFiguresAndSpectrumLines) {
  std::mt19937_64 rng(3);
  for (const Expected& e : kTable) {
    for (AnalysisPath path : kPaths) {
      SCOPED_TRACE(std::to_string(e.n) + Name(path));
      auto s = std::make_unique<BlockSpectra>();
      const auto b1 = test::MakeBlock(BlockKind::Tones, e.n, rng);
      const auto b2 = test::MakeBlock(BlockKind::Int16Noise, e.n, rng);
      SpectrumPlan p2(e.n, DFreqFor(e.n), 2, path);
      ResetRecording(*s);
      const BlockResult r2 = RunBlock(*s, p2, b1, b2);
      ASSERT_EQ(r2.lines.Count(), e.spectrum_bins);
      for (int c = 1; c <= 2; ++c) {
        const ChannelFigures& f = r2.Ch(c);
        EXPECT_EQ(Bits(f.AvAmp), Bits(s->AvAmp[c]));
        EXPECT_EQ(Bits(f.S4Indx), Bits(s->S4Indx[c]));
        EXPECT_EQ(Bits(f.DfFrqMx), Bits(s->DfFrqMx[c]));
        EXPECT_EQ(Bits(f.DfAmpMx), Bits(s->DfAmpMx[c]));
        EXPECT_EQ(Bits(f.DfPhsMx), Bits(s->DfPhsMx[c]));
        EXPECT_NE(f.DfPhsMx, 0.0f);  // a tone or noise has a phase
        ASSERT_EQ(r2.lines.level[c - 1].size(), r2.lines.freq.size());
        ASSERT_EQ(r2.lines.phase[c - 1].size(), r2.lines.freq.size());
        for (int32_t i = 0; i < e.spectrum_bins; ++i) {
          EXPECT_EQ(Bits(r2.lines.level[c - 1][i]), Bits(s->SpcAmp[c][i]));
          EXPECT_EQ(Bits(r2.lines.phase[c - 1][i]), Bits(s->SpcPhs[c][i]));
        }
      }
      for (int32_t i = 0; i < e.spectrum_bins; ++i) EXPECT_EQ(r2.lines.freq[i], p2.BinFrequency(i));
      // Mode 1: no spectrum file and no phase, whichever path formed them.
      SpectrumPlan p1(e.n, DFreqFor(e.n), 1, path);
      const BlockResult r1 = RunBlock(*s, p1, b1, b2);
      EXPECT_EQ(r1.lines.Count(), 0);
      for (int c = 1; c <= 2; ++c) {
        EXPECT_EQ(r1.Ch(c).DfPhsMx, 0.0f);
        EXPECT_EQ(Bits(r1.Ch(c).DfAmpMx), Bits(r2.Ch(c).DfAmpMx));
        EXPECT_EQ(Bits(r1.Ch(c).S4Indx), Bits(r2.Ch(c).S4Indx));
      }
    }
  }
}

TEST(BlockSpectra, AllZeroBlock) {
  for (const Expected& e : kTable) {
    for (int fmt : {1, 2}) {
      for (AnalysisPath path : kPaths) {
        SCOPED_TRACE(std::to_string(e.n) + " mode " + std::to_string(fmt) + " " + Name(path));
        auto s = std::make_unique<BlockSpectra>();
        SpectrumPlan plan(e.n, DFreqFor(e.n), fmt, path);
        std::vector<float> z(static_cast<size_t>(e.n), 0.0f);
        ResetRecording(*s);
        RunBlock(*s, plan, z, z);
        for (int c = 1; c <= 2; ++c) {
          EXPECT_EQ(Bits(s->AvAmp[c]), 0u);
          EXPECT_EQ(Bits(s->S4Indx[c]), 0u);
          const int32_t from = (path == AnalysisPath::Fast) ? plan.FormFirst() : 0;
          const int32_t to = (path == AnalysisPath::Fast) ? plan.FormEnd() : plan.NumBins();
          for (int32_t i = from; i < to; ++i) {
            EXPECT_EQ(s->DfAmp[c][i], -60.0f) << i;
            if (fmt == 2 || path == AnalysisPath::Straightforward) {
              EXPECT_EQ(s->DfPhs[c][i], 270.0f) << i;
            }
          }
          EXPECT_EQ(s->DfFrqMx[c], e.first_band_freq);
          EXPECT_EQ(s->DfAmpMx[c], -60.0f);
          if (fmt == 2) {
            EXPECT_EQ(s->DfPhsMx[c], 270.0f);
          }
        }
      }
    }
  }
}

TEST(BlockSpectra, ConstantQuarterBlock) {
  const struct {
    int32_t n;
    const char* level;
  } cases[] = {{512, "110.952"}, {1024, "110.961"}};
  for (const auto& k : cases) {
    for (AnalysisPath path : kPaths) {
      SCOPED_TRACE(std::to_string(k.n) + Name(path));
      auto s = std::make_unique<BlockSpectra>();
      SpectrumPlan plan(k.n, DFreqFor(k.n), 2, path);
      std::vector<float> b(static_cast<size_t>(k.n), 0.25f);
      ResetRecording(*s);
      RunBlock(*s, plan, b, b);
      EXPECT_EQ(s->AvAmp[1], 0.25);
      EXPECT_EQ(s->S4Indx[1], 0.0);
      EXPECT_EQ(Fixed3(s->DfAmp[1][0]), k.level);
      EXPECT_EQ(s->DfPhs[1][0], 45.0f);
      EXPECT_EQ(Fixed3(s->SpcAmp[2][0]), k.level);
      EXPECT_EQ(s->SpcPhs[2][0], 45.0f);
      // a = sqrt(2) * 0.25 * (N-1)/N
      const double a = std::sqrt(2.0) * 0.25 * (k.n - 1) / k.n;
      EXPECT_NEAR(s->DfAmp[1][0], 20.0 * std::log10(a) + 120.0, 1e-4);
    }
  }
}

TEST(BlockSpectra, NegativeSumGivesPhaseMinus135AtZeroHertz) {
  for (AnalysisPath path : kPaths) {
    auto s = std::make_unique<BlockSpectra>();
    SpectrumPlan plan(512, DFreqFor(512), 2, path);
    std::vector<float> b(512, -0.125f);
    ResetRecording(*s);
    RunBlock(*s, plan, b, b);
    EXPECT_EQ(s->DfPhs[1][0], -135.0f) << Name(path);
  }
}

TEST(BlockSpectra, MeanAndSpread) {
  std::mt19937_64 rng(3);
  for (AnalysisPath path : kPaths) {
    auto s = std::make_unique<BlockSpectra>();
    SpectrumPlan plan(1024, DFreqFor(1024), 2, path);
    auto b = test::MakeBlock(test::BlockKind::Int16Noise, 1024, rng);
    // Independent computation: mean, population standard deviation times 10.
    double sum = 0.0;
    for (float v : b) sum += v;
    const double mean = sum / 1024;
    double ss = 0.0;
    for (float v : b) ss += (v - mean) * (v - mean);
    ResetRecording(*s);
    RunBlock(*s, plan, b, b);
    EXPECT_EQ(s->AvAmp[1], mean);
    EXPECT_DOUBLE_EQ(s->S4Indx[1], 10.0 * std::sqrt(ss / 1024));
    // A constant offset moves the mean by the offset and keeps the spread.
    const double s4 = s->S4Indx[1];
    auto shifted = b;
    for (auto& v : shifted) v += 0.125f;  // exact for 16-bit counts times 2^-16
    RunBlock(*s, plan, shifted, shifted);
    EXPECT_EQ(s->AvAmp[1], mean + 0.125);
    EXPECT_EQ(s->S4Indx[1], s4);
  }
}

TEST(BlockSpectra, ChannelWithoutFile) {
  std::mt19937_64 rng(9);
  for (const Expected& e : kTable) {
    for (int fmt : {1, 2}) {
      for (AnalysisPath path : kPaths) {
        SCOPED_TRACE(std::to_string(e.n) + " mode " + std::to_string(fmt) + " " + Name(path));
        auto s = std::make_unique<BlockSpectra>();
        SpectrumPlan plan(e.n, DFreqFor(e.n), fmt, path);
        auto b = test::MakeBlock(test::BlockKind::Tones, e.n, rng);
        ResetRecording(*s);
        RunBlock(*s, plan, b, b);  // an earlier recording with both channels
        ASSERT_NE(s->AvAmp[2], 0.0);
        ASSERT_NE(s->S4Indx[2], 0.0);
        ResetRecording(*s);
        const int lines = RunBlock(*s, plan, b, {}).lines.Count();
        EXPECT_EQ(lines, fmt == 2 ? e.spectrum_bins : 0);
        EXPECT_EQ(s->AvAmp[2], 0.0);  // never another recording's figures
        EXPECT_EQ(s->S4Indx[2], 0.0);
        for (int32_t i = 0; i < e.n / 2; ++i) {
          EXPECT_EQ(s->DfAmp[2][i], -60.0f);
          EXPECT_EQ(Bits(s->DfPhs[2][i]), 0u);
        }
        EXPECT_EQ(s->DfFrqMx[2], e.first_band_freq);
        EXPECT_EQ(s->DfAmpMx[2], -60.0f);
        EXPECT_EQ(s->DfPhsMx[2], 0.0f);
        if (fmt == 2) {
          EXPECT_EQ(s->SpcAmp[2][5], -60.0f);
          EXPECT_EQ(s->SpcPhs[2][5], 0.0f);
        }
      }
    }
  }
}

TEST(BlockSpectra, TiesKeepTheLowerBinAndNeedStrictlyGreater) {
  for (int fmt : {1, 2}) {
    for (AnalysisPath path : kPaths) {
      SCOPED_TRACE(std::string("mode ") + std::to_string(fmt) + " " + Name(path));
      auto s = std::make_unique<BlockSpectra>();
      SpectrumPlan plan(1024, DFreqFor(1024), fmt, path);
      std::vector<float> z(1024, 0.0f);
      ResetRecording(*s);
      BeginBlock(*s, plan);
      LoadChannel(*s, 1, z);
      AnalyseChannel(*s, plan, 1);
      LoadChannel(*s, 2, z);
      AnalyseChannel(*s, plan, 2);
      // Two equal largest levels in the band on channel 1 (bins at 5 and 9 Hz),
      // and a larger line below the band (not a peak candidate).
      const int32_t lo = 5 * 1024 / 100 + 1, hi = 9 * 1024 / 100 + 1;  // 0-based 52, 93
      s->DfAmp[1][lo] = 80.5f;
      s->DfPhs[1][lo] = 12.0f;
      s->DfAmp[1][hi] = 80.5f;
      s->DfPhs[1][hi] = 34.0f;
      s->DfAmp[1][10] = 99.0f;
      // Channel 2: the last band bin is the only maximum.
      s->DfAmp[2][plan.PeakEnd() - 1] = 1.0f;
      s->DfAmp[2][plan.PeakEnd()] = 200.0f;  // above 12 Hz: ignored
      BinPass(*s, plan);
      EXPECT_EQ(s->DfFrqMx[1], plan.BinFrequency(lo));
      EXPECT_EQ(s->DfAmpMx[1], 80.5f);
      if (fmt == 2) {
        EXPECT_EQ(s->DfPhsMx[1], 12.0f);
      }
      EXPECT_EQ(s->DfFrqMx[2], plan.BinFrequency(plan.PeakEnd() - 1));
      EXPECT_EQ(s->DfAmpMx[2], 1.0f);
      EXPECT_EQ(s->DfFrqMx[2], 11.9140625f);
    }
  }
}

TEST(BlockSpectra, StrongLineOutsideTheBandIsNeverThePeak) {
  for (AnalysisPath path : kPaths) {
    auto s = std::make_unique<BlockSpectra>();
    SpectrumPlan plan(1024, DFreqFor(1024), 2, path);
    std::vector<float> b(1024);
    for (int j = 0; j < 1024; ++j) {  // 2 Hz and 20 Hz strong, 7 Hz weak
      const double t = 0.01 * j;
      b[j] = static_cast<float>(0.3 * std::sin(2 * M_PI * 2.0 * t) + 0.3 * std::sin(2 * M_PI * 20.0 * t) +
                                0.01 * std::sin(2 * M_PI * 7.03125 * t));
    }
    ResetRecording(*s);
    RunBlock(*s, plan, b, b);
    EXPECT_NEAR(s->DfFrqMx[1], 7.03125f, 0.1f) << Name(path);
    // The 2 Hz line shows in the spectrum file values.
    const int32_t bin2 = static_cast<int32_t>(2.0 / 0.09765625 + 0.5);
    EXPECT_GT(s->SpcAmp[1][bin2], s->DfAmpMx[1] + 20.0f);
  }
}

TEST(BlockSpectra, AveragingGroupCounter) {
  auto s = std::make_unique<BlockSpectra>();
  SpectrumPlan plan(512, DFreqFor(512), 2);
  s->IAvg = 5;
  s->NAvg = 3;
  ResetRecording(*s);
  EXPECT_EQ(s->IAvg, 0);
  EXPECT_EQ(s->NAvg, 1);
  BeginBlock(*s, plan);
  EXPECT_EQ(s->IAvg, 1);
  EXPECT_EQ(s->DfAmpMx[1], -180.0f);
  EXPECT_EQ(s->DfAmpMx[2], -180.0f);
  EXPECT_EQ(s->DfFrqMx[2], 0.0f);
  EXPECT_EQ(s->DfPhsMx[1], 0.0f);
  EndBlock(*s);
  EXPECT_EQ(s->IAvg, 0);
}

TEST(BlockSpectra, LargerAveragingGroupAgreesBetweenPaths) {
  // NAvg > 1 is never used by the program; both paths still agree on it.
  std::mt19937_64 rng(21);
  auto a = std::make_unique<BlockSpectra>();
  auto b = std::make_unique<BlockSpectra>();
  SpectrumPlan pa(512, DFreqFor(512), 2, AnalysisPath::Straightforward);
  SpectrumPlan pb(512, DFreqFor(512), 2, AnalysisPath::Fast);
  ResetRecording(*a);
  ResetRecording(*b);
  a->NAvg = b->NAvg = 3;
  for (int blk = 0; blk < 6; ++blk) {
    auto x1 = test::MakeBlock(test::BlockKind::Tones, 512, rng);
    auto x2 = test::MakeBlock(test::BlockKind::Int16Noise, 512, rng);
    const int la = RunBlock(*a, pa, x1, x2).lines.Count();
    const int lb = RunBlock(*b, pb, x1, x2).lines.Count();
    EXPECT_EQ(la, lb);
    EXPECT_EQ(la, (blk % 3 == 2) ? 62 : 0);
    for (int c = 1; c <= 2; ++c) {
      for (int32_t i = 0; i < 62; ++i) {
        EXPECT_EQ(Bits(a->SpcAmp[c][i]), Bits(b->SpcAmp[c][i]));
        EXPECT_EQ(Bits(a->SpcPhs[c][i]), Bits(b->SpcPhs[c][i]));
      }
    }
  }
}

}  // namespace
}  // namespace hfd::test
