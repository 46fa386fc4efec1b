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
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace hfd::synth {

constexpr int kSampleRate = 100;          // samples per second
constexpr double kDt = 0.01;              // seconds per sample
constexpr int kRecordSamples = 128;       // samples per 256-byte record
constexpr int kKnotSamples = 32;          // renderer's interpolation step

struct SynthParams {
  std::uint64_t seed = 1;
  double scint_depth = 0.4;         // 0 = steady amplitude, at most 1
  double excursion_center = 1800.0; // seconds after the start
  bool tone_only = false;           // steady pure tone: no wander, scintillation, DC or noise
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

  SynthParams params_;
  std::array<double, 2> wander_phase_{};  // radians, shared by both channels
  std::array<Channel, 2> chans_{};
};

}  // namespace hfd::synth
