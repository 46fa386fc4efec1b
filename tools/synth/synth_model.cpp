#include "synth/synth_model.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hfd::synth {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ull;

// splitmix64 finaliser: a counter-based generator, so the noise of sample n is
// a function of (key, n) alone.
std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Uniform in [0, 1) from the 53 high bits.
double Unit(std::uint64_t r) { return static_cast<double>(r >> 11) * 0x1.0p-53; }

// Slow frequency wander shared by both channels (channel-1 scale): a few
// tenths of a Hz over hours.
constexpr std::array<double, 2> kWanderHz = {0.20, 0.08};
constexpr std::array<double, 2> kWanderPeriod = {18000.0, 2820.0};

// The S-shaped excursion A * u * exp((1 - u^2) / 2), u = (t - tc) / w, swings
// to +A and -A one width either side of its centre.
constexpr double kExcursionHz = 0.65;
constexpr double kExcursionWidth = 100.0;
const double kSqrtE = std::exp(0.5);
const double kSqrtHalfPi = std::sqrt(kTwoPi / 4.0);
const double kSqrtHalf = std::sqrt(0.5);

// The first of the bells (in order of centre) whose centre is at or after x.
std::vector<SunExcursion>::const_iterator FirstFrom(const std::vector<SunExcursion>& sun, double x) {
  return std::lower_bound(sun.begin(), sun.end(), x, [](const SunExcursion& e, double v) { return e.center_s < v; });
}

// Scintillation: s(t) = sum w_k sin(2 pi t / P_k + phase); the weights add up
// to 1, so |s| <= 1.
constexpr std::array<double, 4> kScintWeight = {0.15, 0.25, 0.30, 0.30};
constexpr std::array<double, 4> kScintPeriod = {67.0, 173.0, 431.0, 1187.0};

}  // namespace

SynthModel::SynthModel(const SynthParams& params) : params_(params) {
  if (!(params.scint_depth >= 0.0 && params.scint_depth <= 1.0)) {
    throw std::invalid_argument("scintillation depth must lie in 0..1");
  }
  auto& sun = params_.sun;
  std::sort(sun.begin(), sun.end(),
            [](const SunExcursion& a, const SunExcursion& b) { return a.center_s < b.center_s; });
  sun_area_before_.push_back(0.0);
  for (const SunExcursion& e : sun) {
    if (!(e.width_s > 0.0) || !std::isfinite(e.center_s) || !std::isfinite(e.shift_hz)) {
      throw std::invalid_argument("a Sun excursion needs a finite centre and shift and a positive width");
    }
    // Nine widths out, erf is 1 and the bell below 1e-17 of its height.
    sun_reach_s_ = std::max(sun_reach_s_, 9.0 * e.width_s);
    const double half = e.shift_hz * e.width_s * kSqrtHalfPi;
    sun_area_before_.push_back(sun_area_before_.back() + 2.0 * half);
    sun_offset_ += half * (1.0 + std::erf(-e.center_s / e.width_s * kSqrtHalf));
  }
  std::uint64_t state = params.seed;
  auto next = [&state] { state += kGolden; return Mix(state); };
  for (double& p : wander_phase_) p = kTwoPi * Unit(next());
  chans_[0] = {8.0, 1.0, 9000.0, 120.0, 250.0, {}, 0};
  chans_[1] = {7.5, 1.6, 7000.0, -85.0, 300.0, {}, 0};
  for (Channel& c : chans_) {
    for (double& p : c.scint_phase) p = kTwoPi * Unit(next());
    c.noise_key = next();
    if (params.tone_only) {
      c.doppler_scale = 0.0;
      c.dc = 0.0;
      c.noise_rms = 0.0;
    }
  }
}

const SynthModel::Channel& SynthModel::chan(int ch) const {
  if (ch != 1 && ch != 2) throw std::out_of_range("channel must be 1 or 2");
  return chans_[static_cast<std::size_t>(ch - 1)];
}

double SynthModel::frequency(int ch, double t) const {
  const Channel& c = chan(ch);
  if (c.doppler_scale == 0.0) return c.base_hz;
  double shift = 0.0;
  for (std::size_t k = 0; k < kWanderHz.size(); ++k) {
    shift += kWanderHz[k] * std::sin(kTwoPi * t / kWanderPeriod[k] + wander_phase_[k]);
  }
  if (params_.s_excursion) {
    const double u = (t - params_.excursion_center) / kExcursionWidth;
    shift += kExcursionHz * u * std::exp(0.5 * (1.0 - u * u));
  }
  if (!params_.sun.empty()) shift += sun_shift(t);
  return c.base_hz + c.doppler_scale * shift;
}

double SynthModel::cycles(int ch, double t) const {
  const Channel& c = chan(ch);
  if (c.doppler_scale == 0.0) return c.base_hz * t;
  double shift = 0.0;
  for (std::size_t k = 0; k < kWanderHz.size(); ++k) {
    const double p0 = wander_phase_[k];
    shift += kWanderHz[k] * kWanderPeriod[k] / kTwoPi *
             (std::cos(p0) - std::cos(kTwoPi * t / kWanderPeriod[k] + p0));
  }
  if (params_.s_excursion) {
    const double u0 = -params_.excursion_center / kExcursionWidth;
    const double u = (t - params_.excursion_center) / kExcursionWidth;
    shift += kExcursionHz * kExcursionWidth * kSqrtE *
             (std::exp(-0.5 * u0 * u0) - std::exp(-0.5 * u * u));
  }
  if (!params_.sun.empty()) shift += sun_cycles(t);
  return c.base_hz * t + c.doppler_scale * shift;
}

// Only the bells within reach of t are evaluated; those wholly before t add
// their whole area, those after it nothing.
double SynthModel::sun_shift(double t) const {
  const auto& sun = params_.sun;
  double shift = 0.0;
  for (auto e = FirstFrom(sun, t - sun_reach_s_); e != sun.end() && e->center_s <= t + sun_reach_s_; ++e) {
    const double u = (t - e->center_s) / e->width_s;
    shift += e->shift_hz * std::exp(-0.5 * u * u);
  }
  return shift;
}

double SynthModel::sun_cycles(double t) const {
  const auto& sun = params_.sun;
  auto e = FirstFrom(sun, t - sun_reach_s_);
  double area = sun_area_before_[static_cast<std::size_t>(e - sun.begin())];
  for (; e != sun.end() && e->center_s <= t + sun_reach_s_; ++e) {
    const double u = (t - e->center_s) / e->width_s;
    area += e->shift_hz * e->width_s * kSqrtHalfPi * (1.0 + std::erf(u * kSqrtHalf));
  }
  return area - sun_offset_;
}

double SynthModel::amplitude(int ch, double t) const {
  const Channel& c = chan(ch);
  if (params_.tone_only) return c.amp0;
  double s = 0.0;
  for (std::size_t k = 0; k < kScintWeight.size(); ++k) {
    s += kScintWeight[k] * std::sin(kTwoPi * t / kScintPeriod[k] + c.scint_phase[k]);
  }
  return c.amp0 * (1.0 + params_.scint_depth * s);
}

double SynthModel::dc_offset(int ch) const { return chan(ch).dc; }
double SynthModel::noise_rms(int ch) const { return chan(ch).noise_rms; }
double SynthModel::noise_bound(int ch) const { return chan(ch).noise_rms * 2.0 * std::sqrt(3.0); }

double SynthModel::clean_sample(int ch, double t) const {
  const double p = cycles(ch, t);
  return dc_offset(ch) + amplitude(ch, t) * std::sin(kTwoPi * (p - std::floor(p)));
}

// Sum of four 16-bit uniforms (Irwin-Hall): mean 0, variance 1/3 after
// scaling, bounded by +-2; scaled to the channel's noise level.
double SynthModel::noise(const Channel& c, std::int64_t n) const {
  if (c.noise_rms == 0.0) return 0.0;
  const std::uint64_t r = Mix(c.noise_key + static_cast<std::uint64_t>(n) * kGolden);
  const double sum = static_cast<double>((r & 0xFFFF) + ((r >> 16) & 0xFFFF) +
                                         ((r >> 32) & 0xFFFF) + (r >> 48));
  return c.noise_rms * std::sqrt(3.0) * (sum - 131070.0) / 65536.0;
}

// Frequency, phase and amplitude are evaluated exactly at knots every
// kKnotSamples samples; between knots the phase follows the cubic Hermite
// curve through the knots' phases and frequencies (error far below 1e-6
// cycles for this slowly changing frequency) and the amplitude is linear.
void SynthModel::render(int ch, std::int64_t first, std::span<std::int16_t> out) const {
  const Channel& c = chan(ch);
  const std::int64_t end = first + static_cast<std::int64_t>(out.size());
  std::int64_t n = first;
  while (n < end) {
    const std::int64_t ka = n - n % kKnotSamples;
    const std::int64_t kb = ka + kKnotSamples;
    const double ta = static_cast<double>(ka) / kSampleRate;
    const double tb = static_cast<double>(kb) / kSampleRate;
    const double h = tb - ta;
    const double ca = cycles(ch, ta), cb = cycles(ch, tb);
    const double fa = frequency(ch, ta), fb = frequency(ch, tb);
    const double aa = amplitude(ch, ta), ab = amplitude(ch, tb);
    const double delta = cb - ca;
    const double c2 = 3.0 * delta / (h * h) - (2.0 * fa + fb) / h;
    const double c3 = (fa + fb) / (h * h) - 2.0 * delta / (h * h * h);
    const double base = ca - std::floor(ca);
    const std::int64_t stop = std::min(end, kb);
    for (; n < stop; ++n) {
      const double j = static_cast<double>(n - ka);
      const double tau = j / kSampleRate;
      const double p = base + tau * (fa + tau * (c2 + tau * c3));
      const double a = aa + (ab - aa) * (j / kKnotSamples);
      const double v = c.dc + a * std::sin(kTwoPi * p) + noise(c, n);
      const double r = std::clamp(std::nearbyint(v), -32768.0, 32767.0);
      out[static_cast<std::size_t>(n - first)] = static_cast<std::int16_t>(r);
    }
  }
}

}  // namespace hfd::synth
