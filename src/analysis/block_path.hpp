// The two ways of analysing a block (internal to src/analysis; see
// spectrum_plan.hpp): the plan picks one when it is made, and the block
// operations of spectra.hpp run the one their plan holds.
//
//   plan.Method().analyse(s, plan, c);
#pragma once

#include <cstdint>

namespace hfd {

struct BlockSpectra;
class SpectrumPlan;

struct BlockPath {
  // Spectrum-file sums cleared at the first block of an averaging group.
  void (*clear_sums)(BlockSpectra& s, const SpectrumPlan& plan);
  // Statistics and bins of channel c (AnalyseChannel).
  void (*analyse)(BlockSpectra& s, const SpectrumPlan& plan, int c);
  // Peaks and spectrum-file values; returns the number of spectrum-file
  // lines complete (SpcFrq, SpcAmp, SpcPhs at 0 .. count-1).
  int32_t (*bin_pass)(BlockSpectra& s, const SpectrumPlan& plan);
};

extern const BlockPath kStraightforwardPath;
extern const BlockPath kFastPath;

}  // namespace hfd
