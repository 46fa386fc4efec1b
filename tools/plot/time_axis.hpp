// The horizontal time axis shared by every panel of a picture: the span shown,
// its pixel columns, and its ticks in a time zone (JST below and UTC above, or
// the other way round), from seconds to decades.
//
//   hfd::plot::TimeAxis ax{t0_ms, t1_ms, 80.0, 1400.0};
//   for (const auto& tick : hfd::plot::TimeTicks(ax.t0_ms, ax.t1_ms, 14, hfd::kJstOffsetMs))
//     draw(ax.X(tick.utc_ms), tick.label);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/vocabulary.hpp"

namespace hfd::plot {

struct TimeAxis {
  int64_t t0_ms = 0, t1_ms = 1;  // UTC milliseconds at the left and right edge
  double x0 = 0, width = 1;      // pixels

  double X(double utc_ms) const { return x0 + (utc_ms - t0_ms) * width / (t1_ms - t0_ms); }
  double MsPerPixel() const { return (t1_ms - t0_ms) / width; }
};

struct TimeTick {
  int64_t utc_ms;
  std::string label;  // "13", "13:30", "00\n5/2" where a day begins, "5/2", "May", "2008"
};

// Ticks of the zone `offset_ms` ahead of UTC over [t0_ms, t1_ms], at most
// about max_ticks of them, on whole steps of that zone's clock and calendar:
// 1 s to 30 min, 1 to 12 h (on the zone's midnight), days of the month,
// months, years. When the span holds a date change of the zone, ticks under
// a day say the date on a second line at its first tick and at midnight; day
// and month ticks say the year at the first tick and where it changes.
std::vector<TimeTick> TimeTicks(int64_t t0_ms, int64_t t1_ms, int max_ticks, int64_t offset_ms);

// Whether tick labels of the zone need a second line: the span holds the
// zone's midnight.
bool SpanCrossesDate(int64_t t0_ms, int64_t t1_ms, int64_t offset_ms);

// "2008-05-01": the date of a UTC time in the zone `offset_ms` ahead of UTC.
std::string DateIn(int64_t utc_ms, int64_t offset_ms);
inline std::string JstDate(int64_t utc_ms) { return DateIn(utc_ms, kJstOffsetMs); }

// "UTC" for the zone 0 ms ahead of UTC, else "JST".
inline const char* ZoneName(int64_t offset_ms) { return offset_ms == 0 ? "UTC" : "JST"; }
// The zone of the other time axis: JST beside UTC, UTC beside JST.
inline int64_t OtherZone(int64_t offset_ms) { return offset_ms == 0 ? kJstOffsetMs : 0; }

}  // namespace hfd::plot
