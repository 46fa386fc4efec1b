// Block spectra and Doppler statistics.
//
// For every analysed block the driver fills the block sample array `x` of one
// channel (and the running sum of its samples in AvAmp[c]), then calls
// AnalyseChannel; a channel whose file did not open gets FloorChannel instead.
// After both channels, BinPass finds the 4..12 Hz peak of each channel,
// completes the 0..12 Hz spectrum-file values and hands back the block's
// result (block_result.hpp): all that the output writers see.
//
//   BlockSpectra& s = ...;  SpectrumPlan plan(1024, dFreq, 2);
//   ResetRecording(s);              // at every recording
//   BeginBlock(s, plan); /* read ch1 into s.x, sum into s.AvAmp[1] */
//   AnalyseChannel(s, plan, 1); FloorChannel(s, plan, 2);
//   const BlockResult r = BinPass(s, plan);
//   EndBlock(s);
//
// The storage is the working space of the plan's path (SpectrumPlan,
// spectrum_plan.hpp):
//  - Straightforward: every step written plainly, every bin formed.
//  - Fast: bit for bit the same values wherever the result can see them:
//    AvAmp, S4Indx, DfFrqMx, DfAmpMx for both modes; in mode 2 also DfPhsMx,
//    and DfFrq, DfAmp, DfPhs, SpcFrq, SpcAmp, SpcPhs of channels 1 and 2 for
//    the spectrum-file bins (0 .. 12 Hz, plan.NumSpectrumBins()); in mode 1
//    DfFrq of the Doppler-band bins. Everything else is scratch for the fast
//    path and holds unspecified values: x (left untapered), CData (not used:
//    the fast transform runs in FftRe/FftIm), the bins above 12 Hz; in mode 1
//    the levels of band bins that cannot be the peak (-180.0, see spectra.cpp),
//    the bins below 4 Hz, all phases (DfPhsMx stays 0.0) and the
//    spectrum-file sums; and the spectrum-file sums of the unused slots.
//
// Indices: channels are 1 and 2 (slot 0 unused, 10 slots as stored); bins are
// 1-based in the description of the arithmetic and stored 0-based here, so
// bin i lives at index i-1.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/block_result.hpp"
#include "analysis/spectrum_plan.hpp"

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
  // Work arrays of the fast path's transform (split real and imaginary
  // parts, points in bit-reversed order before the stages); unused by the
  // straightforward path.
  alignas(64) std::array<float, kMaxSamples> FftRe{};
  alignas(64) std::array<float, kMaxSamples> FftIm{};
};

// The per-block operations. c is the channel (1 or 2). With an
// invalid plan they do nothing.

// Steps 1 and 2: IAvg += 1; peak values of channels 1 and 2 reset to
// 0.0, -180.0, 0.0; spectrum-file sums cleared when IAvg == 1.
void BeginBlock(BlockSpectra& s, const SpectrumPlan& plan);

// Steps 3b to 3h for channel c. On entry x[0..N-1] holds the block's scaled
// samples and AvAmp[c] their sum (accumulated in double, in order). On exit
// AvAmp[c] is the mean, S4Indx[c] ten times the population standard
// deviation, and the bins hold DfFrq, DfAmp[c], DfPhs[c].
void AnalyseChannel(BlockSpectra& s, const SpectrumPlan& plan, int c);

// Step 3a for a channel whose file did not open: DfAmp[c] = -60.0 and
// DfPhs[c] = 0.0 on bins 1 .. N/2 (indices 0 .. N/2-1; the Nyquist bin is
// left as it was), and AvAmp[c] = S4Indx[c] = 0.0 (never
// another recording's figures).
void FloorChannel(BlockSpectra& s, const SpectrumPlan& plan, int c);

// Step 4 over all bins in ascending order: the 4 .. 12 Hz peak of channels 1
// and 2, and the spectrum-file values. Returns the block's result: the
// figures of both channels, and the spectrum-file lines now complete (in mode
// 2 the bins with 0 <= DfFrq <= 12 when IAvg == NAvg, else none; in mode 1
// none), each with the values the pass had when it completed that bin. The
// lines view the storage: valid until the next BeginBlock. With an invalid
// plan the result is all zeros and has no lines.
// Precondition: at least one channel was analysed with this plan (DfFrq set).
BlockResult BinPass(BlockSpectra& s, const SpectrumPlan& plan);

// Step 5: if IAvg == NAvg then IAvg = 0.
void EndBlock(BlockSpectra& s);

// Start of a recording: IAvg = 0, NAvg = 1.
void ResetRecording(BlockSpectra& s);

}  // namespace hfd
