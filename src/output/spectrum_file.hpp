// The spectrum file (.spc, output mode 2): per analysed block one block line
// (step and time stamp), then one line per bin from 0 to 12 Hz with level and
// phase of both channels.
//
//   WriteSpectrumBlockLine(io.unit3, k, rec.BlockTime, rec.ISecOfDay);
//   WriteSpectrumLines(io.unit3, BinPass(spectra, plan).lines);
#pragma once

#include <cstdint>

#include "analysis/block_result.hpp"
#include "recording/time_stamp.hpp"
#include "textio/format.hpp"

namespace hfd {

void WriteSpectrumBlockLine(RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                            int32_t ISecOfDay);
// One line per bin of `lines` (none when it is empty).
void WriteSpectrumLines(RecordSink& file, const SpectrumLines& lines);

}  // namespace hfd
