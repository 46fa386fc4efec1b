// Signal model of the synthetic two-channel Doppler recording: what the
// generator puts on each channel at every instant, and the renderer that turns
// it into 16-bit samples.
//
//   hfd::synth::SynthModel m(hfd::synth::SynthParams{.seed = 7});
//   double f = m.frequency(1, 1800.0);  std::vector<int16_t> s(128); m.render(1, 0, s);
//
// Channels are numbered 1 and 2 (the files with channel digits 0 and 1); times
// are seconds after the recording start, sample n lies at n * kDt.
//
// Each channel carries one carrier near the middle of the 4..12 Hz Doppler band
// (8.0 Hz on channel 1, 7.5 Hz on channel 2). Its frequency wanders by a few
// tenths of a Hz over hours and makes one sharper S-shaped excursion of about
// one Hz over a few minutes; channel 2 (the higher radio carrier) sees 1.6
// times the Doppler shift of channel 1. The amplitude scintillates slowly:
// A0 * (1 + depth * s(t)) with |s| <= 1. A small DC offset and bounded,
// nearly Gaussian receiver noise are added; samples are rounded and clipped to
// int16. The phase is the exact integral of the frequency, so the frequency
// the model reports is the one in the samples.
//
// A daily pattern tied to the Sun can be added (SunPattern in sun_pattern.hpp
// makes it for a place and time): a bell-shaped rise of the frequency at each
// sunrise and a fall at each sunset, in channel-1 Hz like the other shifts;
// the S-shaped excursion can then be left out.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace hfd::synth {

constexpr int kSampleRate = 100;          // samples per second
constexpr double kDt = 0.01;              // seconds per sample
constexpr int kKnotSamples = 32;          // renderer's interpolation step

// One bell of the Doppler shift: shift_hz * exp(-u^2 / 2), u = (t - center_s) / width_s.
struct SunExcursion {
  double center_s;  // seconds after the start
  double shift_hz;  // channel-1 scale: positive at sunrise, negative at sunset
  double width_s;   // the standard deviation of the bell
};

struct SynthParams {
  std::uint64_t seed = 1;
  double scint_depth = 0.4;         // 0 = steady amplitude, at most 1
  double excursion_center = 1800.0; // seconds after the start
  bool tone_only = false;           // steady pure tone: no wander, scintillation, DC or noise
  bool s_excursion = true;          // the S-shaped excursion at excursion_center
  std::vector<SunExcursion> sun = {};  // in any order
};

class SynthModel {
 public:
  explicit SynthModel(const SynthParams& params);

  // Instantaneous carrier frequency in Hz.
  double frequency(int ch, double t) const;
  // Carrier phase in cycles: the integral of frequency() from 0 to t.
  double cycles(int ch, double t) const;
  // Carrier amplitude in sample counts.
  double amplitude(int ch, double t) const;
  double dc_offset(int ch) const;
  // Standard deviation of the receiver noise in counts; the noise never
  // exceeds noise_bound() in magnitude.
  double noise_rms(int ch) const;
  double noise_bound(int ch) const;
  // The noise-free signal: dc_offset + amplitude * sin(2 pi cycles).
  double clean_sample(int ch, double t) const;

  // Writes samples first .. first + out.size() - 1 of channel ch. The result
  // depends only on the sample indices, not on how a recording is cut into
  // calls, so chunked writing gives the same file as one call.
  void render(int ch, std::int64_t first, std::span<std::int16_t> out) const;

  const SynthParams& params() const { return params_; }

 private:
  struct Channel {
    double base_hz;
    double doppler_scale;  // multiplies the shared wander and excursion
    double amp0;
    double dc;
    double noise_rms;
    std::array<double, 4> scint_phase;  // radians
    std::uint64_t noise_key;
  };
  const Channel& chan(int ch) const;
  double noise(const Channel& c, std::int64_t n) const;
  double sun_shift(double t) const;   // the sum of the bells at t
  double sun_cycles(double t) const;  // its integral from 0 to t

  SynthParams params_;
  // The bells by centre; before[k]: the area of bells 0..k-1, far before t;
  // sun_offset_: their integral from minus infinity to 0.
  std::vector<double> sun_area_before_;
  double sun_offset_ = 0.0;
  double sun_reach_s_ = 0.0;          // beyond this from its centre a bell is 0
  std::array<double, 2> wander_phase_{};  // radians, shared by both channels
  std::array<Channel, 2> chans_{};
};

}  // namespace hfd::synth
