// The Sun's events as the pictures ask for them: sunrise and sunset at three
// heights over a year of days (the day stack's curves) and over a century (a
// stack of two files far apart), and one zenith angle.
#include <benchmark/benchmark.h>

#include "stations/sun.hpp"

namespace {

using namespace hfd::stations;

constexpr LatLon kSgd{36.52, 138.35};
constexpr int64_t kYear2008Ms = 1199145600000;  // 2008-01-01 00:00 UTC
constexpr int64_t kDayMs = 86400000;
constexpr double kHeights[] = {0.0, 100.0, 300.0};

void BM_SunEventsYearThreeHeights(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(SunEvents(kSgd, kHeights, kYear2008Ms, kYear2008Ms + 365 * kDayMs));
  }
}
BENCHMARK(BM_SunEventsYearThreeHeights)->Unit(benchmark::kMillisecond);

// One call per height, as a caller drawing one curve at a time would.
void BM_SunEventsCenturyPerHeight(benchmark::State& state) {
  for (auto _ : state) {
    for (double h : kHeights) {
      benchmark::DoNotOptimize(SunEvents(kSgd, h, kYear2008Ms, kYear2008Ms + 36525 * kDayMs));
    }
  }
}
BENCHMARK(BM_SunEventsCenturyPerHeight)->Unit(benchmark::kMillisecond);

void BM_SolarZenith(benchmark::State& state) {
  int64_t t = kYear2008Ms;
  for (auto _ : state) benchmark::DoNotOptimize(SolarZenithDeg(kSgd, t += 60000));
}
BENCHMARK(BM_SolarZenith);

}  // namespace

BENCHMARK_MAIN();
