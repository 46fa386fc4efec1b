// Block spectra and Doppler statistics.
//
// For every analysed block the driver fills the block sample array `x` of one
// channel (and the running sum of its samples in AvAmp[c]), then calls
// AnalyseChannel; a channel whose file did not open gets FloorChannel instead.
// After both channels, BinPass finds the 4..12 Hz peak of each channel and
// completes the 0..12 Hz spectrum-file values.
//
//   BlockSpectra& s = ...;  SpectrumPlan plan(1024, dFreq, 2);
//   BeginBlock(s, plan); /* read ch1 into s.x, sum into s.AvAmp[1] */
//   AnalyseChannel(s, plan, 1); FloorChannel(s, plan, 2);
//   int lines = BinPass(s, plan);   // spectrum-file lines 1..lines are ready
//   EndBlock(s);
//
// Indices: channels are 1 and 2 (slot 0 unused, 10 slots as stored); bins are
// 1-based in the description of the arithmetic and stored 0-based here, so
// bin i lives at index i-1.
#pragma once

#include <array>
#include <cstdint>

namespace hfd {

constexpr int kChannelSlots = 10;
constexpr int kMaxSamples = 16384;  // block sample array
constexpr int kMaxBins = 8192;      // per-channel spectral arrays

// Program-wide analysis storage: allocated once by the driver, reused for
// every block and every recording.
struct BlockSpectra {
  std::array<float, kMaxSamples> x{};          // scaled samples of one channel
  std::array<float, 2 * kMaxSamples> CData{};  // interleaved complex work sequence
  float WinScale = 0.0f;
  float AmpNorm = 0.0f;
  std::array<double, kChannelSlots> AvAmp{};
  std::array<double, kChannelSlots> S4Indx{};
  std::array<float, kChannelSlots> DfFrqMx{};
  std::array<float, kChannelSlots> DfAmpMx{};
  std::array<float, kChannelSlots> DfPhsMx{};
  std::array<float, kMaxBins> DfFrq{};
  std::array<float, kMaxBins> SpcFrq{};
  std::array<std::array<float, kMaxBins>, kChannelSlots> DfAmp{};
  std::array<std::array<float, kMaxBins>, kChannelSlots> DfPhs{};
  std::array<std::array<float, kMaxBins>, kChannelSlots> SpcAmp{};
  std::array<std::array<float, kMaxBins>, kChannelSlots> SpcPhs{};
  int32_t IAvg = 0;
  int32_t NAvg = 1;
};

}  // namespace hfd
