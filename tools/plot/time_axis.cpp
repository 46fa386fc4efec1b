#include "time_axis.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "results/result_files.hpp"

namespace hfd::plot {
namespace {

constexpr int64_t kJstMs = 9 * 3600 * 1000LL;
constexpr int64_t kDayMs = 86400 * 1000LL;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

std::string Label(int64_t local_ms, int64_t step_ms, bool show_date) {
  int64_t ms_of_day = local_ms - FloorDiv(local_ms, kDayMs) * kDayMs;
  int h = static_cast<int>(ms_of_day / 3600000), mi = static_cast<int>(ms_of_day / 60000 % 60);
  char buf[48];
  if (step_ms < 3600000) std::snprintf(buf, sizeof buf, "%02d:%02d", h, mi);
  else std::snprintf(buf, sizeof buf, "%02d", h);
  std::string s = buf;
  if (show_date && ms_of_day == 0) {
    const std::string date = JstDate(local_ms - kJstMs);  // YYYY-MM-DD
    std::snprintf(buf, sizeof buf, "\n%d/%d", std::atoi(date.c_str() + 5), std::atoi(date.c_str() + 8));
    s += buf;
  }
  return s;
}

}  // namespace

bool SpanNeedsDates(int64_t t0_ms, int64_t t1_ms) {
  return t1_ms - t0_ms > kDayMs / 2 || FloorDiv(t0_ms + kJstMs - 1, kDayMs) != FloorDiv(t1_ms + kJstMs, kDayMs);
}

std::vector<TimeTick> TimeTicks(int64_t t0_ms, int64_t t1_ms, int max_ticks, bool dates) {
  static const int64_t kSteps[] = {60, 120, 300, 600, 900, 1800, 3600, 7200, 10800,
                                   21600, 43200, 86400, 2 * 86400, 7 * 86400, 14 * 86400};
  if (max_ticks < 2) max_ticks = 2;
  int64_t step = kSteps[std::size(kSteps) - 1] * 1000;
  for (int64_t s : kSteps) {
    if ((t1_ms - t0_ms) / (s * 1000) + 1 <= max_ticks) { step = s * 1000; break; }
  }
  // Multiples of the step in JST, so day ticks fall on JST midnight.
  std::vector<TimeTick> ticks;
  for (int64_t t = -FloorDiv(-(t0_ms + kJstMs), step) * step - kJstMs; t <= t1_ms; t += step) {
    ticks.push_back({t, Label(t + kJstMs, step, dates), Label(t, step, dates)});
  }
  return ticks;
}

int64_t BlockEnd(std::span<const int64_t> starts, size_t b, int64_t block_ms) {
  if (b + 1 < starts.size()) {
    int64_t next = starts[b + 1];
    if (next > starts[b] && next - starts[b] <= block_ms + 1000) return next;
  }
  return starts[b] + block_ms;
}

int32_t DataLengthFromSteps(std::span<const int32_t> steps, std::span<const int64_t> starts) {
  int64_t sum_ms = 0, sum_steps = 0;
  for (size_t b = 1; b < steps.size() && b < starts.size(); ++b) {
    int64_t dk = steps[b] - steps[b - 1], dt = starts[b] - starts[b - 1];
    if (dk > 0 && dt > 0 && dt < dk * 60000) sum_ms += dt, sum_steps += dk;
  }
  if (sum_steps == 0) return 0;
  double n = static_cast<double>(sum_ms) / sum_steps / 10.0;
  int32_t best = 512;
  for (int32_t c : {1024, 2048, 4096}) {
    if (std::fabs(std::log(n / c)) < std::fabs(std::log(n / best))) best = c;
  }
  return best;
}

std::string JstDate(int64_t utc_ms) {
  return results::FormatIsoTime(utc_ms, static_cast<int>(results::kJstOffsetMs / 60000)).substr(0, 10);
}

}  // namespace hfd::plot
