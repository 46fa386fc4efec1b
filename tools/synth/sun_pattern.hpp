// The synthetic recording's daily Doppler pattern tied to the Sun: at each
// sunrise at kSunHeightKm over the place (a station's reflection point) the
// carrier's frequency rises in a bell, at each sunset it falls, as the
// ionosphere's reflection level drops at dawn and climbs at dusk.
//
//   params.sun = hfd::synth::SunPattern(hfd::stations::ReflectionPoint(*st), start_utc_ms, 86400.0);
//   params.s_excursion = false;   // the Sun's pattern alone
#pragma once

#include <cstdint>
#include <vector>

#include "stations/sun.hpp"
#include "synth/synth_model.hpp"

namespace hfd::synth {

inline constexpr double kSunHeightKm = 100.0;   // the bells' centres: sunrise and sunset there
inline constexpr SunExcursion kSunrise{0.0, +1.0, 600.0};  // channel-1 Hz; width 10 min
inline constexpr SunExcursion kSunset{0.0, -0.6, 900.0};   // width 15 min

// The bells of the recording that starts at start_utc_ms and lasts length_s,
// with centres in seconds after its start (those just outside it included,
// as far as they reach into it).
std::vector<SunExcursion> SunPattern(hfd::stations::LatLon place, std::int64_t start_utc_ms,
                                     double length_s);

}  // namespace hfd::synth
