// The fast path against the straightforward path: bit for bit the same on
// everything an output can observe, for every data length and both modes;
// and no floating-point trap on valid input.
#include <gtest/gtest.h>

#include <fenv.h>

#include <cstdio>

#include <algorithm>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/fast_kernels.hpp"
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

struct Pair {
  std::unique_ptr<BlockSpectra> a = std::make_unique<BlockSpectra>();  // straightforward
  std::unique_ptr<BlockSpectra> b = std::make_unique<BlockSpectra>();  // fast
  SpectrumPlan pa, pb;
  // kernels: the fast plan's kernel variant (empty: the processor's best).
  Pair(int32_t n, int fmt, const char* kernels = "")
      : pa(n, DFreqFor(n), fmt, AnalysisPath::Straightforward),
        pb(n, DFreqFor(n), fmt, AnalysisPath::Fast, kernels) {
    ResetRecording(*a);
    ResetRecording(*b);
  }
};

// One block on both paths; an empty channel block means "no file".
void RunBoth(Pair& p, const std::vector<float>& ch1, const std::vector<float>& ch2, int& la, int& lb) {
  const std::vector<float>* ch[3] = {nullptr, &ch1, &ch2};
  BlockSpectra* st[2] = {p.a.get(), p.b.get()};
  const SpectrumPlan* pl[2] = {&p.pa, &p.pb};
  int lines[2];
  for (int k = 0; k < 2; ++k) {
    BeginBlock(*st[k], *pl[k]);
    for (int c = 1; c <= 2; ++c) {
      if (ch[c]->empty()) {
        FloorChannel(*st[k], *pl[k], c);
      } else {
        LoadChannel(*st[k], c, *ch[c]);
        AnalyseChannel(*st[k], *pl[k], c);
      }
    }
    lines[k] = BinPass(*st[k], *pl[k]).lines.Count();
  }
  la = lines[0];
  lb = lines[1];
}

// Everything an output can show must be bit-identical; returns the number of
// mismatching values (and reports the first few).
int CompareObservable(const Pair& p, int fmt, int lines) {
  const BlockSpectra& a = *p.a;
  const BlockSpectra& b = *p.b;
  int bad = 0;
  auto check = [&bad](bool same, const std::string& what) {
    if (!same) {
      if (bad < 5) ADD_FAILURE() << what;
      ++bad;
    }
  };
  for (int c = 1; c <= 2; ++c) {
    const std::string ch = " ch" + std::to_string(c);
    check(Bits(a.AvAmp[c]) == Bits(b.AvAmp[c]), "AvAmp" + ch);
    check(Bits(a.S4Indx[c]) == Bits(b.S4Indx[c]), "S4Indx" + ch);
    check(Bits(a.DfFrqMx[c]) == Bits(b.DfFrqMx[c]), "DfFrqMx" + ch);
    check(Bits(a.DfAmpMx[c]) == Bits(b.DfAmpMx[c]), "DfAmpMx" + ch);
    if (fmt == 2) check(Bits(a.DfPhsMx[c]) == Bits(b.DfPhsMx[c]), "DfPhsMx" + ch);
    // Bins the output can show: mode 2 every 0..12 Hz bin with its phase and
    // spectrum-file values; mode 1 none (only the peak), but the band's
    // frequencies are formed and must agree.
    const int32_t from = (fmt == 2) ? 0 : p.pb.PeakFirst();
    const int32_t to = (fmt == 2) ? p.pb.NumSpectrumBins() : p.pb.PeakEnd();
    for (int32_t i = from; i < to; ++i) {
      const std::string at = ch + " bin " + std::to_string(i);
      check(Bits(a.DfFrq[i]) == Bits(b.DfFrq[i]), "DfFrq" + at);
      if (fmt == 2) {
        check(Bits(a.DfAmp[c][i]) == Bits(b.DfAmp[c][i]), "DfAmp" + at);
        check(Bits(a.DfPhs[c][i]) == Bits(b.DfPhs[c][i]), "DfPhs" + at);
      } else if (b.DfAmp[c][i] != -180.0f) {
        // Mode 1: a level the fast path formed is the exact one.
        check(Bits(a.DfAmp[c][i]) == Bits(b.DfAmp[c][i]), "DfAmp (mode 1)" + at);
      }
    }
    for (int32_t i = 0; i < lines; ++i) {
      const std::string at = ch + " line " + std::to_string(i);
      check(Bits(a.SpcFrq[i]) == Bits(b.SpcFrq[i]), "SpcFrq" + at);
      check(Bits(a.SpcAmp[c][i]) == Bits(b.SpcAmp[c][i]), "SpcAmp" + at);
      check(Bits(a.SpcPhs[c][i]) == Bits(b.SpcPhs[c][i]), "SpcPhs" + at);
    }
  }
  return bad;
}

constexpr const char* kVariants[] = {"generic", "avx2", "avx512"};

// Whether the processor runs the kernel variant (a plan for it can be made).
bool Runs(const char* variant) { return SpectrumPlan(1024, DFreqFor(1024), 2, AnalysisPath::Fast, variant).valid(); }

TEST(FastPath, PlanHoldsTheWidestVariantTheProcessorRunsAndRefusesOthers) {
  // A plan made for a named variant runs it, or is refused (not valid) when
  // the processor lacks its instruction set or the name is unknown; a plan
  // made without a name, on either path, holds the widest the processor runs.
  __builtin_cpu_init();
  EXPECT_EQ(Runs("avx512"), __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2"));
  EXPECT_EQ(Runs("avx2"), __builtin_cpu_supports("avx2") != 0);
  EXPECT_TRUE(Runs("generic"));
  const char* widest = Runs("avx512") ? "avx512" : Runs("avx2") ? "avx2" : "generic";
  for (AnalysisPath path : {AnalysisPath::Fast, AnalysisPath::Straightforward}) {
    const SpectrumPlan plan(1024, DFreqFor(1024), 1, path);
    EXPECT_TRUE(plan.valid());
    EXPECT_STREQ(plan.KernelVariant(), widest);
  }
  for (const char* unknown : {"AVX2", "avx", "sse2", "generic "}) {
    const SpectrumPlan plan(1024, DFreqFor(1024), 2, AnalysisPath::Fast, unknown);
    EXPECT_FALSE(plan.valid()) << unknown;
    EXPECT_STREQ(plan.KernelVariant(), "none");
  }
}

class FastPath : public ::testing::TestWithParam<std::tuple<int32_t, int>> {};

void RandomBlocks(int32_t n, int fmt, const char* variant);
void SmallAndLarge(const char* variant);

TEST_P(FastPath, BitIdenticalToStraightforwardOnRandomBlocks) {
  const auto [n, fmt] = GetParam();
  for (const char* variant : kVariants) {
    if (!Runs(variant)) continue;
    SCOPED_TRACE(variant);
    RandomBlocks(n, fmt, variant);
  }
}

void RandomBlocks(int32_t n, int fmt, const char* variant) {
  std::mt19937_64 rng(static_cast<uint64_t>(n) * 10 + static_cast<uint64_t>(fmt));
  Pair p(n, fmt, variant);
  ASSERT_STREQ(p.pb.KernelVariant(), variant);
  int blocks = 0;
  const int rounds = n >= 4096 ? 3 : 6;
  for (int round = 0; round < rounds; ++round) {
    for (BlockKind k1 : test::kAllKinds) {
      const BlockKind k2 = test::kAllKinds[(static_cast<int>(k1) + round) % 7];
      auto x1 = test::MakeBlock(k1, n, rng);
      auto x2 = test::MakeBlock(k2, n, rng);
      if (round == 1) x2.clear();  // channel 2 without a file
      if (round == 2 && k1 == BlockKind::Tones) {
        ResetRecording(*p.a);  // a new recording, channel 1 missing
        ResetRecording(*p.b);
        x1.clear();
      }
      int la = 0, lb = 0;
      RunBoth(p, x1, x2, la, lb);
      ASSERT_EQ(la, lb);
      ASSERT_EQ(la, fmt == 2 ? p.pb.NumSpectrumBins() : 0);
      ASSERT_EQ(CompareObservable(p, fmt, la), 0)
          << "N " << n << " mode " << fmt << " round " << round << " kind " << static_cast<int>(k1);
      EndBlock(*p.a);
      EndBlock(*p.b);
      ++blocks;
    }
  }
  EXPECT_EQ(blocks, rounds * 7);
}

INSTANTIATE_TEST_SUITE_P(AllLengthsBothModes, FastPath,
                         ::testing::Combine(::testing::Values(512, 1024, 2048, 4096), ::testing::Values(1, 2)),
                         [](const auto& info) {
                           char name[32];
                           std::snprintf(name, sizeof name, "N%d_mode%d", std::get<0>(info.param),
                                         std::get<1>(info.param));
                           return std::string(name);
                         });

TEST(FastPath, SmallAndLargeSupportedLengthsAgreeToo) {
  for (const char* variant : kVariants) {
    if (!Runs(variant)) continue;
    SCOPED_TRACE(variant);
    SmallAndLarge(variant);
  }
}

void SmallAndLarge(const char* variant) {
  std::mt19937_64 rng(77);
  for (int32_t n : {2, 4, 8, 16, 32, 64, 128, 256, 8192}) {
    for (int fmt : {1, 2}) {
      Pair p(n, fmt, variant);
      ASSERT_TRUE(p.pb.valid());
      for (BlockKind k : test::kAllKinds) {
        auto x1 = test::MakeBlock(k, n, rng);
        auto x2 = test::MakeBlock(BlockKind::Int16Noise, n, rng);
        int la = 0, lb = 0;
        RunBoth(p, x1, x2, la, lb);
        ASSERT_EQ(la, lb) << n;
        ASSERT_EQ(CompareObservable(p, fmt, la), 0) << "N " << n << " mode " << fmt;
        EndBlock(*p.a);
        EndBlock(*p.b);
      }
    }
  }
}

TEST(FastPath, TransformEqualsTaperWindowPlusComplexFFT) {
  // The fast transform, asked for every output point or for a pruned count
  // that is no multiple of the vector width, gives exactly the bits of the
  // literal taper and transform, with or without the spread's sum run beside
  // it, on every kernel variant the processor runs (lengths below and above
  // each variant's smallest vector length included).
  std::mt19937_64 rng(5);
  for (int32_t n : {2, 8, 16, 32, 64, 512, 1024, 2048, 4096}) {
    auto s = std::make_unique<BlockSpectra>();
    auto x = test::MakeBlock(BlockKind::Gaussian, n, rng);
    std::vector<float> cdata(2 * static_cast<size_t>(n));
    for (int32_t j = 0; j < n; ++j) {
      s->x[j] = x[j];
    }
    // Reference: the literal taper and transform.
    std::vector<float> tapered = x;
    float ws = 0.0f;
    TaperWindow(tapered.data(), n, 2, ws);
    for (int32_t j = 0; j < n; ++j) cdata[2 * j] = cdata[2 * j + 1] = tapered[j];
    ASSERT_TRUE(ComplexFFT(cdata.data(), n, +1));
    const double sum = fast::SumSquaredDeviations(x.data(), n, 0.0625);
    for (const char* variant : kVariants) {
      const SpectrumPlan plan(n, DFreqFor(n), 2, AnalysisPath::Fast, variant);
      if (!plan.valid()) continue;
      const fast::Kernels& kernels = plan.Kernels();
      for (int32_t need : {n, n / 2 + 3}) {
        for (bool with_spread : {false, true}) {
          SCOPED_TRACE(std::string(variant) + " N " + std::to_string(n) + " need " + std::to_string(need) +
                       (with_spread ? " with spread" : ""));
          s->FftRe.fill(0.0f);
          s->FftIm.fill(0.0f);
          if (with_spread) {
            const double ss =
                kernels.transform_with_spread(s->x.data(), plan, s->FftRe.data(), s->FftIm.data(), need, 0.0625);
            ASSERT_EQ(Bits(ss), Bits(sum));
          } else {
            kernels.transform(s->x.data(), plan, s->FftRe.data(), s->FftIm.data(), need);
          }
          for (int32_t k = 0; k < std::min(need, n); ++k) {
            ASSERT_EQ(Bits(s->FftRe[k]), Bits(cdata[2 * k])) << k;
            ASSERT_EQ(Bits(s->FftIm[k]), Bits(cdata[2 * k + 1])) << k;
          }
          for (int32_t j = 0; j < n; ++j) ASSERT_EQ(Bits(s->x[j]), Bits(x[j]));  // x not changed
        }
      }
    }
  }
}

// Runs f with the program's traps on (invalid, divide by zero, overflow); a
// trap kills the test binary with SIGFPE, which fails the run.
template <typename F>
void WithTraps(F&& f) {
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  f();
  fedisableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

TEST(Traps, NoTrapOnValidInputOnEitherPath) {
  std::mt19937_64 rng(13);
  int blocks = 0;
  WithTraps([&] {
    for (int32_t n : test::kLengths) {
      for (int fmt : {1, 2}) {
        Pair p(n, fmt);  // plan construction under traps too
        const std::vector<float> zero(static_cast<size_t>(n), 0.0f);
        const std::vector<float> negzero(static_cast<size_t>(n), -0.0f);
        const std::vector<float> full(static_cast<size_t>(n), -0.5f);
        for (const auto* blk : {&zero, &negzero, &full}) {
          int la, lb;
          RunBoth(p, *blk, *blk, la, lb);
          RunBoth(p, *blk, {}, la, lb);
          ++blocks;
        }
        for (BlockKind k : test::kAllKinds) {
          int la, lb;
          RunBoth(p, test::MakeBlock(k, n, rng), test::MakeBlock(k, n, rng), la, lb);
          ++blocks;
        }
      }
    }
    float d[16] = {};
    ComplexFFT(d, 8, +1);
    ComplexFFT(d, 8, -1);
  });
  EXPECT_EQ(blocks, 4 * 2 * 10);
  EXPECT_FALSE(fetestexcept(FE_DIVBYZERO));
}

}  // namespace
}  // namespace hfd::test
