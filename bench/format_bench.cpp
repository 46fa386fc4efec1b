// Formatting cost of the result lines written most often: the spectrum-file
// line "(f6.3,2(a1,f10.3,a1,f7.1))" (about a million per day of recording).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "textio/fixed_decimal.hpp"
#include "textio/format.hpp"
#include "textio/record_format.hpp"

namespace {

struct MemorySink final : hfd::RecordSink {
  char buf[1 << 16];
  size_t used = 0;
  void PutRecord(std::string_view r, bool) override {
    if (used + r.size() + 2 > sizeof buf) used = 0;
    std::memcpy(buf + used, r.data(), r.size());
    used += r.size();
    buf[used++] = '\r';
    buf[used++] = '\n';
  }
};

struct Line {
  float f, a1, p1, a2, p2;
};

// Enough lines that the branch predictor cannot learn the values by heart:
// on which side of a rounding tie a value lies must look as random as in a
// day of recording.
constexpr size_t kSampleLines = size_t{1} << 16;

std::vector<Line> SampleLines() {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> amp(20.0f, 110.0f), ph(-180.0f, 180.0f);
  std::vector<Line> v(kSampleLines);
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = {static_cast<float>(i % 123) * 0.09765625f, amp(rng), ph(rng), amp(rng), ph(rng)};
  return v;
}

// The line through the run-time plan (as any format is written) and through
// the compile-time format (as the spectrum file writes it).
template <class Format>
void SpectrumLines(benchmark::State& state, const Format& format) {
  const auto lines = SampleLines();
  MemorySink sink;
  size_t i = 0;
  for (auto _ : state) {
    const Line& l = lines[i++ & (kSampleLines - 1)];
    format.Write(sink, {l.f, "\t", l.a1, "\t", l.p1, "\t", l.a2, "\t", l.p2});
    benchmark::DoNotOptimize(sink.used);
  }
  state.SetItemsProcessed(state.iterations());
}
void BM_SpectrumLine(benchmark::State& state) {
  static const hfd::FormatPlan kLine("(f6.3,2(a1,f10.3,a1,f7.1))");
  SpectrumLines(state, kLine);
}
BENCHMARK(BM_SpectrumLine);
void BM_SpectrumLineCompiled(benchmark::State& state) {
  static constexpr hfd::RecordFormat<"(f6.3,2(a1,f10.3,a1,f7.1))"> kLine;
  SpectrumLines(state, kLine);
}
BENCHMARK(BM_SpectrumLineCompiled);

// One F10.3 field of a level: as a float item, as a double item, and through
// the full decimal expansion the scaled shortcut is held to.
template <class Format>
void FixedFields(benchmark::State& state, Format format) {
  const auto lines = SampleLines();
  char out[16];
  size_t i = 0;
  for (auto _ : state) {
    format(out, lines[i++ & (kSampleLines - 1)].a1);
    benchmark::DoNotOptimize(out);
  }
}
void BM_FixedField(benchmark::State& state) {
  FixedFields(state, [](char* out, float v) { hfd::FormatFixedField(out, v, 10, 3); });
}
BENCHMARK(BM_FixedField);
void BM_FixedFieldDouble(benchmark::State& state) {
  FixedFields(state, [](char* out, float v) { hfd::FormatFixedField(out, v / 3.0, 10, 3); });
}
BENCHMARK(BM_FixedFieldDouble);
void BM_FixedFieldExpanded(benchmark::State& state) {
  FixedFields(state, [](char* out, float v) { hfd::fixed_detail::FormatExpanded(out, v, true, 10, 3); });
}
BENCHMARK(BM_FixedFieldExpanded);

}  // namespace

BENCHMARK_MAIN();
