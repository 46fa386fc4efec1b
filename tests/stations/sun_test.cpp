// Sunrise and sunset against an independent computation written here: the
// sunrise equation with the Sun's declination and the equation of time from
// the low-precision solar coordinates the national almanac offices publish
// (as in NOAA's solar calculator), iterated at the event's own time.
#include "stations/sun.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>

namespace {

using namespace hfd::stations;

constexpr double kRad = 3.141592653589793 / 180.0;
constexpr int64_t kDayMs = 86400000;

// Days since 1970-01-01 of a UTC date.
int64_t DayOf(int y, unsigned m, unsigned d) {
  return std::chrono::sys_days(std::chrono::year(y) / m / d).time_since_epoch().count();
}

struct SolarAt {
  double decl_deg, eqtime_min;
};

SolarAt Almanac(double utc_ms) {
  const double jd = utc_ms / 86400000.0 + 2440587.5;
  const double t = (jd - 2451545.0) / 36525.0;
  const double l0 = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
  const double m = 357.52911 + t * (35999.05029 - 0.0001537 * t);
  const double e = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
  const double c = std::sin(m * kRad) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                   std::sin(2 * m * kRad) * (0.019993 - 0.000101 * t) + std::sin(3 * m * kRad) * 0.000289;
  const double omega = 125.04 - 1934.136 * t;
  const double lambda = l0 + c - 0.00569 - 0.00478 * std::sin(omega * kRad);
  const double eps0 = 23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
  const double eps = eps0 + 0.00256 * std::cos(omega * kRad);
  const double y = std::pow(std::tan(eps * kRad / 2), 2);
  const double eq = y * std::sin(2 * l0 * kRad) - 2 * e * std::sin(m * kRad) +
                    4 * e * y * std::sin(m * kRad) * std::cos(2 * l0 * kRad) -
                    0.5 * y * y * std::sin(4 * l0 * kRad) - 1.25 * e * e * std::sin(2 * m * kRad);
  return {std::asin(std::sin(eps * kRad) * std::sin(lambda * kRad)) / kRad, 4.0 * eq / kRad};
}

// The rise (or set) at zenith angle `zenith` nearest the local noon of UTC
// day `day`; none when the Sun stays on one side of it.
std::optional<double> AlmanacEvent(LatLon p, int64_t day, double zenith, bool rise) {
  double ms = (static_cast<double>(day) + 0.5 - p.longitude_deg / 360.0) * kDayMs;
  for (int i = 0; i < 4; ++i) {
    const SolarAt s = Almanac(ms);
    const double lat = p.latitude_deg * kRad, dec = s.decl_deg * kRad;
    const double x = std::cos(zenith * kRad) / (std::cos(lat) * std::cos(dec)) - std::tan(lat) * std::tan(dec);
    if (std::fabs(x) > 1) return std::nullopt;
    const double ha = std::acos(x) / kRad;
    const double minutes = 720.0 - 4.0 * (p.longitude_deg + (rise ? ha : -ha)) - s.eqtime_min;
    ms = static_cast<double>(day) * kDayMs + minutes * 60000.0;
  }
  return ms;
}

TEST(Sun, HorizonDepressionAndReflectionPoint) {
  EXPECT_EQ(HorizonDepressionDeg(0), 0.0);
  EXPECT_NEAR(HorizonDepressionDeg(100), 10.09, 0.01);
  EXPECT_NEAR(HorizonDepressionDeg(300), 17.25, 0.01);
  EXPECT_THROW(HorizonDepressionDeg(-1), std::invalid_argument);

  Station s;
  s.latitude_deg = 10;
  s.longitude_deg = 179;
  EXPECT_EQ(ReflectionPoint(s).longitude_deg, 179);  // no transmitter: the receiver
  // Across the date line: the midpoint is at 180, not at 0.
  s.transmitter = Place{"T", 10, -179};
  LatLon m = ReflectionPoint(s);
  EXPECT_NEAR(std::fabs(m.longitude_deg), 180.0, 1e-9);
  EXPECT_NEAR(m.latitude_deg, 10.0, 0.01);
  // On a meridian the midpoint is the mean latitude.
  s.transmitter = Place{"T", 30, 179};
  m = ReflectionPoint(s);
  EXPECT_NEAR(m.latitude_deg, 20.0, 1e-9);
  EXPECT_NEAR(m.longitude_deg, 179.0, 1e-9);
}

// Every event the almanac gives for the place, day and height is found within
// a minute, of the right kind, and nothing else is found.
void ExpectAlmanacEvents(LatLon p, int64_t day, double height_km, int expected_events) {
  const int64_t from = (day - 1) * kDayMs, to = (day + 2) * kDayMs;
  const std::vector<SunEvent> got = SunEvents(p, height_km, from, to);
  const double zenith = 90.0 + HorizonDepressionDeg(height_km);
  int compared = 0;
  for (int64_t d = day - 2; d <= day + 2; ++d) {
    for (bool rise : {true, false}) {
      const std::optional<double> want = AlmanacEvent(p, d, zenith, rise);
      if (!want || *want < static_cast<double>(from) || *want >= static_cast<double>(to)) continue;
      ++compared;
      const SunEvent* near = nullptr;
      for (const SunEvent& e : got) {
        if (!near || std::fabs(e.utc_ms - *want) < std::fabs(near->utc_ms - *want)) near = &e;
      }
      ASSERT_TRUE(near) << "nothing found near " << *want;
      EXPECT_NEAR(static_cast<double>(near->utc_ms), *want, 60000.0) << (rise ? "rise" : "set");
      EXPECT_EQ(near->rise, rise);
      EXPECT_EQ(near->height_km, height_km);
    }
  }
  EXPECT_EQ(compared, expected_events);
  EXPECT_EQ(static_cast<int>(got.size()), compared);
  for (size_t i = 1; i < got.size(); ++i) {
    EXPECT_LT(got[i - 1].utc_ms, got[i].utc_ms);
    EXPECT_NE(got[i - 1].rise, got[i].rise);
  }
}

TEST(Sun, RiseAndSetAsTheAlmanacGivesThem) {
  // Three days from the day before, over places and seasons and heights;
  // events whose local day falls outside the span are not expected.
  struct Case {
    LatLon p;
    int y;
    unsigned m, d;
    double h;
    int events;
  } cases[] = {
      {{36.52, 138.35}, 2008, 5, 1, 0, 6},      // Sugadaira
      {{36.52, 138.35}, 2008, 5, 1, 100, 6},
      {{36.52, 138.35}, 2008, 12, 21, 300, 6},
      {{44.37, 142.27}, 2011, 6, 21, 300, 6},   // Moshiri, midsummer, 300 km
      {{-33.87, 151.21}, 2020, 6, 21, 0, 6},    // Sydney
      {{0.0, -78.5}, 2015, 3, 20, 0, 6},        // Quito, equinox
      {{64.84, -147.72}, 2019, 12, 21, 0, 6},   // Fairbanks, short day
      {{78.22, 15.65}, 2010, 6, 21, 0, 0},      // Svalbard: polar day
      {{78.22, 15.65}, 2010, 12, 21, 0, 0},     // polar night at the ground
      {{78.22, 15.65}, 2010, 12, 21, 300, 6},   // but the Sun reaches 300 km
      {{78.22, 15.65}, 2010, 6, 21, 300, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.p.latitude_deg << " " << c.p.longitude_deg << " " << c.y << "-"
                                      << c.m << "-" << c.d << " " << c.h << " km");
    ExpectAlmanacEvents(c.p, DayOf(c.y, c.m, c.d), c.h, c.events);
  }
}

TEST(Sun, ManyDaysAndHeightsInTimeOrder) {
  const LatLon kak{36.23, 140.19};
  const double heights[] = {0, 100, 300};
  const int64_t from = DayOf(2008, 1, 1) * kDayMs, to = DayOf(2009, 1, 1) * kDayMs;
  const std::vector<SunEvent> all = SunEvents(kak, heights, from, to);
  int count[3][2] = {};
  for (size_t i = 0; i < all.size(); ++i) {
    ASSERT_GE(all[i].utc_ms, from);
    ASSERT_LT(all[i].utc_ms, to);
    if (i > 0) {
      ASSERT_LE(all[i - 1].utc_ms, all[i].utc_ms);
    }
    const int h = all[i].height_km == 0 ? 0 : all[i].height_km == 100 ? 1 : 2;
    ++count[h][all[i].rise];
    // At each event the Sun (computed afresh for that instant) is on that
    // height's horizon, half a second's motion at most away.
    if (i % 3 == 0) {
      EXPECT_NEAR(SolarZenithDeg(kak, all[i].utc_ms), 90.0 + HorizonDepressionDeg(all[i].height_km), 2e-3);
    }
  }
  for (auto& c : count) {  // 366 days: one rise and one set a day, give or take one at the ends
    EXPECT_NEAR(c[0], 366, 1);
    EXPECT_NEAR(c[1], 366, 1);
  }
  EXPECT_TRUE(SunEvents(kak, 0.0, to, from).empty());
  EXPECT_THROW(SunEvents(kak, 0.0, from, from + 1001LL * 366 * kDayMs), std::invalid_argument);
}

}  // namespace
