#include "time_axis.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "results/result_files.hpp"

namespace hfd::plot {
namespace {

namespace cr = std::chrono;


cr::year_month_day CivilDate(int64_t local_ms) {
  return cr::year_month_day(cr::sys_days(cr::days(FloorDiv(local_ms, kDayMs))));
}

int64_t LocalMsOf(cr::year_month_day d) { return cr::sys_days(d).time_since_epoch().count() * kDayMs; }

enum class Unit { kMs, kDay, kMonth, kYear };
struct Step {
  Unit unit;
  int64_t n;  // milliseconds, days of the month, months or years
  int64_t approx_ms;
};

const Step kSteps[] = {
    {Unit::kMs, 1000, 1000}, {Unit::kMs, 2000, 2000}, {Unit::kMs, 5000, 5000}, {Unit::kMs, 10000, 10000},
    {Unit::kMs, 15000, 15000}, {Unit::kMs, 30000, 30000}, {Unit::kMs, 60000, 60000},
    {Unit::kMs, 120000, 120000}, {Unit::kMs, 300000, 300000}, {Unit::kMs, 600000, 600000},
    {Unit::kMs, 900000, 900000}, {Unit::kMs, 1800000, 1800000}, {Unit::kMs, 3600000, 3600000},
    {Unit::kMs, 7200000, 7200000}, {Unit::kMs, 10800000, 10800000}, {Unit::kMs, 21600000, 21600000},
    {Unit::kMs, 43200000, 43200000}, {Unit::kDay, 1, kDayMs}, {Unit::kDay, 2, 2 * kDayMs},
    {Unit::kDay, 5, 5 * kDayMs}, {Unit::kDay, 10, 10 * kDayMs}, {Unit::kMonth, 1, 30 * kDayMs},
    {Unit::kMonth, 2, 61 * kDayMs}, {Unit::kMonth, 3, 91 * kDayMs}, {Unit::kMonth, 6, 182 * kDayMs},
    {Unit::kYear, 1, 365 * kDayMs}, {Unit::kYear, 2, 730 * kDayMs}, {Unit::kYear, 5, 1826 * kDayMs},
    {Unit::kYear, 10, 3652 * kDayMs}, {Unit::kYear, 20, 7305 * kDayMs}, {Unit::kYear, 50, 18262 * kDayMs},
    {Unit::kYear, 100, 36525 * kDayMs}, {Unit::kYear, 200, 73050 * kDayMs},
    {Unit::kYear, 500, 182621 * kDayMs}, {Unit::kYear, 1000, 365242 * kDayMs},
};

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The tick times in local milliseconds of the zone, on whole steps.
std::vector<int64_t> LocalTicks(int64_t l0, int64_t l1, const Step& st) {
  std::vector<int64_t> t;
  switch (st.unit) {
    case Unit::kMs:
      for (int64_t v = -FloorDiv(-l0, st.n) * st.n; v <= l1; v += st.n) t.push_back(v);
      break;
    case Unit::kDay: {  // days 1, 1 + n, ... of each month, none closer than about n / 2 days to the next 1st
      cr::year_month_day d = CivilDate(l0);
      for (cr::year_month m = d.year() / d.month();; m += cr::months(1)) {
        const unsigned last = static_cast<unsigned>((m / cr::last).day());
        for (unsigned day = 1; day == 1 || (day <= last && (st.n == 1 || day + (st.n + 1) / 2 <= last)); day += static_cast<unsigned>(st.n)) {
          const int64_t v = LocalMsOf(m / cr::day(day));
          if (v > l1) return t;
          if (v >= l0) t.push_back(v);
        }
      }
    }
    case Unit::kMonth: {
      cr::year_month_day d = CivilDate(l0);
      for (cr::year_month m = d.year() / cr::month(1);; m += cr::months(st.n)) {
        const int64_t v = LocalMsOf(m / cr::day(1));
        if (v > l1) return t;
        if (v >= l0) t.push_back(v);
      }
    }
    case Unit::kYear: {
      const int y0 = static_cast<int>(CivilDate(l0).year());
      for (int64_t y = FloorDiv(y0, st.n) * st.n; y <= 9999; y += st.n) {
        const int64_t v = LocalMsOf(cr::year(static_cast<int>(y)) / 1 / 1);
        if (v > l1) return t;
        if (v >= l0) t.push_back(v);
      }
      break;
    }
  }
  return t;
}

std::string Label(int64_t local, const Step& st, bool date, bool year) {
  const int64_t ms_of_day = local - FloorDiv(local, kDayMs) * kDayMs;
  const cr::year_month_day d = CivilDate(local);
  const int y = static_cast<int>(d.year());
  const unsigned mo = static_cast<unsigned>(d.month()), day = static_cast<unsigned>(d.day());
  char buf[64];
  switch (st.unit) {
    case Unit::kMs: {
      const int h = static_cast<int>(ms_of_day / 3600000), mi = static_cast<int>(ms_of_day / 60000 % 60),
                s = static_cast<int>(ms_of_day / 1000 % 60);
      int n = st.n < 60000 ? std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s)
              : st.n < 3600000 ? std::snprintf(buf, sizeof buf, "%02d:%02d", h, mi)
                               : std::snprintf(buf, sizeof buf, "%02d", h);
      if (date) std::snprintf(buf + n, sizeof buf - n, "\n%u/%u", mo, day);
      break;
    }
    case Unit::kDay:
      std::snprintf(buf, sizeof buf, year ? "%u/%u\n%d" : "%u/%u", mo, day, y);
      break;
    case Unit::kMonth:
      std::snprintf(buf, sizeof buf, year ? "%s\n%d" : "%s", kMonths[mo - 1], y);
      break;
    case Unit::kYear: std::snprintf(buf, sizeof buf, "%d", y); break;
  }
  return buf;
}

}  // namespace

bool SpanCrossesDate(int64_t t0_ms, int64_t t1_ms, int64_t offset_ms) {
  return FloorDiv(t0_ms + offset_ms - 1, kDayMs) != FloorDiv(t1_ms + offset_ms, kDayMs);
}

std::vector<TimeTick> TimeTicks(int64_t t0_ms, int64_t t1_ms, int max_ticks, int64_t offset_ms) {
  if (max_ticks < 2) max_ticks = 2;
  const Step* step = &kSteps[std::size(kSteps) - 1];
  for (const Step& s : kSteps) {
    if ((t1_ms - t0_ms) / s.approx_ms + 1 <= max_ticks) { step = &s; break; }
  }
  const bool dates = SpanCrossesDate(t0_ms, t1_ms, offset_ms);
  std::vector<TimeTick> ticks;
  int last_year = 0;
  for (int64_t local : LocalTicks(t0_ms + offset_ms, t1_ms + offset_ms, *step)) {
    const int y = static_cast<int>(CivilDate(local).year());
    const bool first = ticks.empty();
    const bool date = dates && (first || local % kDayMs == 0);
    ticks.push_back({local - offset_ms, Label(local, *step, date, first || y != last_year)});
    last_year = y;
  }
  return ticks;
}

std::string DateIn(int64_t utc_ms, int64_t offset_ms) {
  return results::FormatIsoTime(utc_ms, static_cast<int>(offset_ms / 60000)).substr(0, 10);
}

}  // namespace hfd::plot
