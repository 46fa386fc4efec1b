// What the analysis of one block hands the output writers: the figures of
// both channels and, when an averaging group completes in output mode 2, the
// lines of the spectrum file. Every value here is one an output shows.
//
//   const BlockResult r = BinPass(spectra, plan);
//   WriteSpectrumLines(io.unit3, r.lines);
//   WritePeakBlock(io.console, io.unit4, k, rec.BlockTime, rec.ISecOfDay, r);
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace hfd {

// One channel's figures for the block: mean and scintillation figure (ten
// times the standard deviation) of its samples, and its 4 .. 12 Hz peak.
struct ChannelFigures {
  double AvAmp = 0.0;
  double S4Indx = 0.0;
  float DfFrqMx = 0.0f;
  float DfAmpMx = 0.0f;
  float DfPhsMx = 0.0f;  // output mode 2; 0.0 in mode 1 (no phase is formed)
};

// The spectrum-file lines of the block, one per bin from 0 to 12 Hz: the
// frequency, and per channel the level and phase averaged over the group.
// Empty in mode 1 and before an averaging group is complete. The values
// stay valid until the next block begins.
struct SpectrumLines {
  std::span<const float> freq;
  std::array<std::span<const float>, 2> level;  // channels 1 and 2
  std::array<std::span<const float>, 2> phase;
  int32_t Count() const { return static_cast<int32_t>(freq.size()); }
};

struct BlockResult {
  std::array<ChannelFigures, 2> channel;  // channels 1 and 2
  SpectrumLines lines;
  const ChannelFigures& Ch(int c) const { return channel[static_cast<size_t>(c - 1)]; }
};

}  // namespace hfd
