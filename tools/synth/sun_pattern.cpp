// The bells of the Sun's daily pattern, at the times of sunrise and sunset.
#include "synth/sun_pattern.hpp"

#include <algorithm>
#include <cmath>

namespace hfd::synth {

std::vector<SunExcursion> SunPattern(hfd::stations::LatLon place, std::int64_t start_utc_ms,
                                     double length_s) {
  const double reach_s = 9.0 * std::max(kSunrise.width_s, kSunset.width_s);
  const auto reach_ms = static_cast<std::int64_t>(reach_s * 1000.0);
  const auto length_ms = static_cast<std::int64_t>(std::ceil(length_s * 1000.0));
  std::vector<SunExcursion> bells;
  for (const auto& e : hfd::stations::SunEvents(place, kSunHeightKm, start_utc_ms - reach_ms,
                                                start_utc_ms + length_ms + reach_ms)) {
    SunExcursion b = e.rise ? kSunrise : kSunset;
    b.center_s = static_cast<double>(e.utc_ms - start_utc_ms) / 1000.0;
    bells.push_back(b);
  }
  return bells;
}

}  // namespace hfd::synth
