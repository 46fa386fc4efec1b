// The Sun at a station: its position from libnova, sunrise and sunset found
// as the times its zenith angle crosses the horizon of a height.
#include "stations/sun.hpp"

#include <libnova/libnova.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace hfd::stations {
namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kUnixEpochJd = 2440587.5;  // 1970-01-01 00:00 UTC
constexpr double kPi = 3.141592653589793;
constexpr double kRad = kPi / 180.0;

double JulianDay(double day) { return day + kUnixEpochJd; }  // day: days since 1970

// The Sun's apparent right ascension and declination at julian day jd,
// referred to the equinox of that date. libnova gives them for the J2000
// equinox (off by the precession since 2000: 0.3 degree, 70 s of the event
// times, in 2020); the sidereal time the hour angle is taken from is the
// date's, so they are precessed to it.
ln_equ_posn SunOfDate(double jd) {
  ln_equ_posn j2000{}, of_date{};
  ln_get_solar_equ_coords(jd, &j2000);
  ln_get_equ_prec(&j2000, jd, &of_date);
  return of_date;
}

// The zenith angle in degrees at julian day jd of a body at e, seen from obs.
double ZenithAt(ln_equ_posn e, ln_lnlat_posn obs, double jd) {
  ln_hrz_posn h{};
  ln_get_hrz_from_equ(&e, &obs, jd, &h);
  return 90.0 - h.alt;
}

double Wrap180(double deg) {
  deg = std::fmod(deg + 180.0, 360.0);
  return (deg < 0.0 ? deg + 360.0 : deg) - 180.0;
}

// The Sun's apparent right ascension and declination over a span of days:
// from libnova at nodes every kNodeDays, six-point Lagrange interpolation
// between them (off by about 0.0001 degree, a few hundredths of a second in
// the event times), so that a century costs about 3000 solar positions.
class SunTrack {
 public:
  static constexpr double kNodeDays = 12.0;
  static constexpr int kPoints = 6;  // nodes -2 .. 3 around the interval [0, 1)

  SunTrack(double first_day, double last_day) {
    const auto first_node = static_cast<int64_t>(std::floor(first_day / kNodeDays)) - kPoints / 2 + 1;
    t0_ = kNodeDays * static_cast<double>(first_node);
    const auto nodes = static_cast<size_t>((last_day - t0_) / kNodeDays) + kPoints;
    ra_.resize(nodes);
    dec_.resize(nodes);
    {
      // The nodes do not depend on the place: kept for the program's other
      // calls (other heights, other stations), up to about 4000 years of them.
      static std::mutex mutex;
      static std::unordered_map<int64_t, ln_equ_posn> cache;
      const std::lock_guard<std::mutex> lock(mutex);
      if (cache.size() + nodes > 120000) cache.clear();
      for (size_t j = 0; j < nodes; ++j) {
        const int64_t node = first_node + static_cast<int64_t>(j);
        auto [it, added] = cache.try_emplace(node);
        if (added) it->second = SunOfDate(JulianDay(kNodeDays * static_cast<double>(node)));
        ra_[j] = it->second.ra;
        dec_[j] = it->second.dec;
      }
    }
    // The right ascension grows by about 12 degrees a node: unwrap it.
    for (size_t j = 1; j < nodes; ++j) ra_[j] += 360.0 * std::round((ra_[j - 1] - ra_[j]) / 360.0);
  }

  ln_equ_posn At(double day) const {
    const double x = (day - t0_) / kNodeDays;
    const double last_start = static_cast<double>(ra_.size() - kPoints);
    const double k = std::clamp(std::floor(x) - (kPoints / 2 - 1), 0.0, last_start);
    const double u = x - k;  // in [2, 3) inside the span: between the middle nodes
    ln_equ_posn e{0.0, 0.0};
    for (int j = 0; j < kPoints; ++j) {
      double w = 1.0;
      for (int m = 0; m < kPoints; ++m) {
        if (m != j) w *= (u - m) / (j - m);
      }
      e.ra += w * ra_[static_cast<size_t>(k) + static_cast<size_t>(j)];
      e.dec += w * dec_[static_cast<size_t>(k) + static_cast<size_t>(j)];
    }
    e.ra = std::fmod(e.ra, 360.0);
    return e;
  }

 private:
  double t0_ = 0;
  std::vector<double> ra_, dec_;
};

class SunAt {
 public:
  SunAt(LatLon p, const SunTrack& track) : obs_{p.longitude_deg, p.latitude_deg}, track_(track) {}

  double Zenith(double day) const { return ZenithAt(track_.At(day), obs_, JulianDay(day)); }

  // The Sun's local hour angle in degrees, 0 at its upper culmination.
  double HourAngle(double day) const {
    return ln_get_mean_sidereal_time(JulianDay(day)) * 15.0 + obs_.lng - track_.At(day).ra;
  }

  // The time near `day` at which the hour angle is `target` (0 or 180).
  double Culmination(double day, double target) const {
    for (int k = 0; k < 2; ++k) day -= Wrap180(HourAngle(day) - target) / 360.0;
    return day;
  }

 private:
  ln_lnlat_posn obs_;
  const SunTrack& track_;
};

struct Extreme {
  double day, zenith;
};

// The upper and lower culminations from before `first` to after `last`:
// between two of them the zenith angle only rises or only falls.
std::vector<Extreme> Culminations(const SunAt& sun, double first, double last) {
  std::vector<Extreme> out;
  double t = first - 0.6;
  const double h = Wrap180(sun.HourAngle(t));  // rises by about 360 degrees a day
  double target = h < 0.0 ? 0.0 : 180.0;
  t += (target - h) / 360.0;
  for (;;) {
    t = sun.Culmination(t, target);
    out.push_back({t, sun.Zenith(t)});
    if (t > last) break;
    t += 0.5;
    target = 180.0 - target;
  }
  return out;
}

// The time in [a, b] at which zenith - z0 changes sign (Illinois method).
double Crossing(const SunAt& sun, double z0, Extreme a, Extreme b) {
  double ta = a.day, tb = b.day, fa = a.zenith - z0, fb = b.zenith - z0;
  int side = 0;
  double t = ta;
  for (int it = 0; it < 100 && tb - ta > 1e-9; ++it) {
    t = (ta * fb - tb * fa) / (fb - fa);
    const double f = sun.Zenith(t) - z0;
    if (std::fabs(f) < 1e-9) break;
    if ((f > 0) == (fb > 0)) {
      tb = t;
      fb = f;
      if (side == -1) fa /= 2;
      side = -1;
    } else {
      ta = t;
      fa = f;
      if (side == 1) fb /= 2;
      side = 1;
    }
  }
  return t;
}

}  // namespace

LatLon ReflectionPoint(const Station& s) {
  if (!s.transmitter) return {s.latitude_deg, s.longitude_deg};
  double v[3] = {0, 0, 0};
  for (const auto& [lat, lon] : {std::pair{s.latitude_deg, s.longitude_deg},
                                 std::pair{s.transmitter->latitude_deg, s.transmitter->longitude_deg}}) {
    v[0] += std::cos(lat * kRad) * std::cos(lon * kRad);
    v[1] += std::cos(lat * kRad) * std::sin(lon * kRad);
    v[2] += std::sin(lat * kRad);
  }
  const double horizontal = std::hypot(v[0], v[1]);
  if (horizontal + std::fabs(v[2]) < 1e-12) return {s.latitude_deg, s.longitude_deg};  // antipodes
  return {std::atan2(v[2], horizontal) / kRad, std::atan2(v[1], v[0]) / kRad};
}

double SolarZenithDeg(LatLon p, int64_t utc_ms) {
  const double jd = JulianDay(static_cast<double>(utc_ms) / kMsPerDay);
  return ZenithAt(SunOfDate(jd), {p.longitude_deg, p.latitude_deg}, jd);
}

double HorizonDepressionDeg(double height_km) {
  if (!(height_km >= 0.0) || !std::isfinite(height_km)) {
    throw std::invalid_argument("a height above the ground must be 0 km or more");
  }
  return std::acos(kEarthRadiusKm / (kEarthRadiusKm + height_km)) / kRad;
}

std::vector<SunEvent> SunEvents(LatLon p, std::span<const double> heights_km, int64_t from_ms,
                                int64_t to_ms) {
  std::vector<double> z0;
  for (double h : heights_km) z0.push_back(90.0 + HorizonDepressionDeg(h));
  std::vector<SunEvent> out;
  if (to_ms <= from_ms || heights_km.empty()) return out;
  const double first = static_cast<double>(from_ms) / kMsPerDay;
  const double last = static_cast<double>(to_ms) / kMsPerDay;
  if (last - first > 1000.0 * 366.0) throw std::invalid_argument("a span of Sun events is at most 1000 years");
  const SunTrack track(first - 1.0, last + 1.0);
  const SunAt sun(p, track);
  const std::vector<Extreme> ext = Culminations(sun, first, last);
  for (size_t k = 0; k + 1 < ext.size(); ++k) {
    for (size_t i = 0; i < z0.size(); ++i) {
      const bool below_a = ext[k].zenith > z0[i], below_b = ext[k + 1].zenith > z0[i];
      if (below_a == below_b) continue;
      const double t = Crossing(sun, z0[i], ext[k], ext[k + 1]);
      const auto ms = static_cast<int64_t>(std::llround(t * kMsPerDay));
      if (ms >= from_ms && ms < to_ms) out.push_back({ms, below_a, heights_km[i]});
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const SunEvent& a, const SunEvent& b) { return a.utc_ms < b.utc_ms; });
  return out;
}

std::vector<SunEvent> SunEvents(LatLon p, double height_km, int64_t from_ms, int64_t to_ms) {
  return SunEvents(p, std::span<const double>(&height_km, 1), from_ms, to_ms);
}

}  // namespace hfd::stations
