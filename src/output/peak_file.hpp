// The peak summary file (.max, output mode 2) and the mode-2 console progress
// records: per block the mean, scintillation figure and Doppler peak of both
// channels.
//
//   WritePeakHeader(io.unit4);                       // at the first analysed block
//   WritePeakBlock(io.console, io.unit4, k, rec.BlockTime, rec.ISecOfDay, BinPass(spectra, plan));
#pragma once

#include <cstdint>

#include "analysis/block_result.hpp"
#include "recording/time_stamp.hpp"
#include "textio/format.hpp"

namespace hfd {

void WritePeakHeader(RecordSink& file);

// The four console records first, then the block line of the file.
void WritePeakBlock(RecordSink& console, RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                    int32_t ISecOfDay, const BlockResult& r);

}  // namespace hfd
