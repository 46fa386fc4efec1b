// The Sun seen from a station's reflection point: its zenith angle at a time,
// and the times of sunrise and sunset at the ground or at a height in the
// ionosphere, from the Sun's position given by libnova.
//
//   const hfd::stations::LatLon p = hfd::stations::ReflectionPoint(*reg.Find("SGD"));
//   for (const auto& e : hfd::stations::SunEvents(p, 300.0, day_ms, day_ms + 86400000)) draw(e);
//
// Times are UTC milliseconds since 1970-01-01. At height h the Sun rises when
// its zenith angle falls through 90 degrees plus the depression of the horizon
// there, arccos(R / (R + h)) with R = kEarthRadiusKm; the zenith angle is
// geometric (no refraction) and taken at the Sun's centre. On a day of polar
// day or polar night (at that height) there is no event.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stations/registry.hpp"

namespace hfd::stations {

inline constexpr double kEarthRadiusKm = 6371.0;  // mean radius

struct LatLon {
  double latitude_deg, longitude_deg;  // north and east positive
};

// The great-circle midpoint between the station's transmitter and the
// station; the station itself when its transmitter is not known.
LatLon ReflectionPoint(const Station& s);

// The Sun's zenith angle in degrees (0 overhead, 90 on the horizon).
double SolarZenithDeg(LatLon p, int64_t utc_ms);

// The depression of the horizon seen from height_km (>= 0) above the ground,
// in degrees: 0 at the ground, 10.1 at 100 km, 17.2 at 300 km.
double HorizonDepressionDeg(double height_km);

struct SunEvent {
  int64_t utc_ms;
  bool rise;         // sunrise; false: sunset
  double height_km;  // the height it is seen from
};

// Sunrises and sunsets at height_km in [from_ms, to_ms), in time order; the
// span may be of many days (up to 1000 years). Accurate to about a second.
// Throws std::invalid_argument for a negative height or a longer span.
std::vector<SunEvent> SunEvents(LatLon p, double height_km, int64_t from_ms, int64_t to_ms);
// The same for several heights at once, merged in time order (cheaper than
// one call per height: the Sun's track is computed once).
std::vector<SunEvent> SunEvents(LatLon p, std::span<const double> heights_km, int64_t from_ms,
                                int64_t to_ms);

}  // namespace hfd::stations
