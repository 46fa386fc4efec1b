// Google Benchmark cases of the signal analysis (taper, transform, block spectra):
//  - one ComplexFFT of 1024 points (the literal routine) and the
//    plan's fast transform of the same block (taper-free, all 1024 outputs,
//    and pruned to the 0..12 Hz outputs the fast path forms);
//  - a whole two-channel block of N = 1024 (both channels analysed plus the
//    bin pass) on both paths and in both output modes.
// Run: build/bench/analysis_bench (Release build).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "analysis/fast_kernels.hpp"
#include "analysis/fft.hpp"
#include "analysis/spectra.hpp"

namespace {

constexpr int32_t kN = 1024;

double DFreq(int32_t n) { return 1.0 / ((static_cast<double>(n) * 0.01) * 2.0); }

// A realistic block: a carrier's Doppler line, a slow fading and noise, as
// stored 16-bit counts times 2^-16.
std::vector<float> MakeChannel(int32_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> g(0.0, 400.0);
  std::vector<float> b(static_cast<size_t>(n));
  for (int32_t j = 0; j < n; ++j) {
    const double t = 0.01 * j;
    double v = 1200.0 + 9000.0 * std::sin(2 * M_PI * 7.9 * t) * (1.0 + 0.3 * std::sin(0.2 * t)) + g(rng);
    v = std::fmax(-32768.0, std::fmin(32767.0, std::trunc(v)));
    b[static_cast<size_t>(j)] = static_cast<float>(v / 65536.0);
  }
  return b;
}

void BM_ComplexFFT1024_Literal(benchmark::State& state) {
  auto x = MakeChannel(kN, 1);
  std::vector<float> d(2 * kN);
  for (auto _ : state) {
    state.PauseTiming();
    for (int32_t j = 0; j < kN; ++j) d[2 * j] = d[2 * j + 1] = x[j];
    state.ResumeTiming();
    hfd::ComplexFFT(d.data(), kN, +1);
    benchmark::DoNotOptimize(d.data());
  }
}
BENCHMARK(BM_ComplexFFT1024_Literal);

// The literal transform without the pause/resume overhead: the copy of the
// block into the work array is included (about 0.1 us).
void BM_ComplexFFT1024_LiteralWithCopy(benchmark::State& state) {
  auto x = MakeChannel(kN, 1);
  std::vector<float> d(2 * kN);
  for (auto _ : state) {
    for (int32_t j = 0; j < kN; ++j) d[2 * j] = d[2 * j + 1] = x[j];
    hfd::ComplexFFT(d.data(), kN, +1);
    benchmark::DoNotOptimize(d.data());
  }
}
BENCHMARK(BM_ComplexFFT1024_LiteralWithCopy);

// The fast transform (the plan's Kernels().transform): Hann taper from the table, bit
// reversal, stages with table twiddles, on split arrays; need = outputs formed
// (all 1024, or the 0..12 Hz points the fast path forms). The taper is fused
// into the first pass, so it is included here (the literal case above has no
// taper).
void FastFft(benchmark::State& state, int32_t need) {
  const hfd::SpectrumPlan plan(kN, DFreq(kN), 2);
  auto x = MakeChannel(kN, 1);
  auto s = std::make_unique<hfd::BlockSpectra>();
  for (auto _ : state) {
    plan.Kernels().transform(x.data(), plan, s->FftRe.data(), s->FftIm.data(), need);
    benchmark::DoNotOptimize(s->FftRe.data());
  }
  state.SetLabel(plan.KernelVariant());
}
void BM_ComplexFFT1024_FastAllOutputs(benchmark::State& state) { FastFft(state, kN); }
void BM_ComplexFFT1024_FastPruned(benchmark::State& state) {
  FastFft(state, hfd::SpectrumPlan(kN, DFreq(kN), 2).FormEnd());
}
BENCHMARK(BM_ComplexFFT1024_FastAllOutputs);
BENCHMARK(BM_ComplexFFT1024_FastPruned);

// A whole two-channel block: both channels' mean, spread, taper, transform and
// bins, then the bin pass. The samples are copied into x (with their sum) as
// the block reader does; that copy is part of the timing (about 0.3 us).
// variant: the fast kernels' instruction set (empty: the processor's best).
void Block(benchmark::State& state, hfd::AnalysisPath path, int fmt, int32_t n, const char* variant = "") {
  const hfd::SpectrumPlan plan(n, DFreq(n), fmt, path, variant);
  if (!plan.valid()) {
    state.SkipWithError("kernel variant not supported by this processor");
    return;
  }
  auto s = std::make_unique<hfd::BlockSpectra>();
  const auto c1 = MakeChannel(n, 11);
  const auto c2 = MakeChannel(n, 22);
  hfd::ResetRecording(*s);
  int lines = 0;
  for (auto _ : state) {
    hfd::BeginBlock(*s, plan);
    const std::vector<float>* ch[3] = {nullptr, &c1, &c2};
    for (int c = 1; c <= 2; ++c) {
      double sum = 0.0;
      for (int32_t j = 0; j < n; ++j) {
        s->x[j] = (*ch[c])[j];
        sum = sum + static_cast<double>(s->x[j]);
      }
      s->AvAmp[c] = sum;
      hfd::AnalyseChannel(*s, plan, c);
    }
    lines += hfd::BinPass(*s, plan).lines.Count();
    hfd::EndBlock(*s);
    benchmark::DoNotOptimize(s->DfAmpMx.data());
  }
  benchmark::DoNotOptimize(lines);
  state.SetLabel(path == hfd::AnalysisPath::Fast ? plan.KernelVariant() : "literal");
}
void BM_Block1024_Straightforward_Mode2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Straightforward, 2, kN); }
void BM_Block1024_Fast_Mode2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 2, kN); }
void BM_Block1024_Straightforward_Mode1(benchmark::State& st) { Block(st, hfd::AnalysisPath::Straightforward, 1, kN); }
void BM_Block1024_Fast_Mode1(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 1, kN); }
BENCHMARK(BM_Block1024_Straightforward_Mode2);
BENCHMARK(BM_Block1024_Fast_Mode2);
BENCHMARK(BM_Block1024_Straightforward_Mode1);
BENCHMARK(BM_Block1024_Fast_Mode1);
void BM_Block512_Fast_Mode2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 2, 512); }
void BM_Block4096_Fast_Mode2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 2, 4096); }
void BM_Block4096_Straightforward_Mode2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Straightforward, 2, 4096); }
BENCHMARK(BM_Block512_Fast_Mode2);
// The fast path on the narrower kernel variants (same results, other CPUs).
void BM_Block1024_Fast_Mode2_avx2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 2, kN, "avx2"); }
void BM_Block1024_Fast_Mode1_avx2(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 1, kN, "avx2"); }
void BM_Block1024_Fast_Mode2_generic(benchmark::State& st) { Block(st, hfd::AnalysisPath::Fast, 2, kN, "generic"); }
BENCHMARK(BM_Block1024_Fast_Mode2_avx2);
BENCHMARK(BM_Block1024_Fast_Mode1_avx2);
BENCHMARK(BM_Block1024_Fast_Mode2_generic);
BENCHMARK(BM_Block4096_Fast_Mode2);
BENCHMARK(BM_Block4096_Straightforward_Mode2);

}  // namespace

BENCHMARK_MAIN();
