// The spectrum file (.spc, output mode 2): per analysed block one block line
// (step and time stamp), then one line per bin from 0 to 12 Hz with level and
// phase of both channels.
//
//   WriteSpectrumBlockLine(io.unit3, k, rec.BlockTime, rec.ISecOfDay);
//   WriteSpectrumLines(io.unit3, spectra, BinPass(spectra, plan));
#pragma once

#include <cstdint>

#include "analysis/spectra.hpp"
#include "input/recording.hpp"
#include "textio/format.hpp"

namespace hfd {

void WriteSpectrumBlockLine(RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                            int32_t ISecOfDay);
// Lines for bins 1 .. count (stored at 0 .. count-1).
void WriteSpectrumLines(RecordSink& file, const BlockSpectra& s, int32_t count);

}  // namespace hfd
