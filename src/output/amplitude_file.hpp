// The amplitude file (.qdr, output mode 1) and the mode-1 console progress line.
//
// Four header lines at the first analysed block, then one line per block:
// time, and the Doppler peak frequency and level of both channels.
//
//   WriteAmplitudeHeader(io.unit3, rec.StationName, rec.BlockTime, dt, NData);
//   WriteAmplitudeBlock(io.console, io.unit3, k, rec.BlockTime, BinPass(spectra, plan));
#pragma once

#include <array>
#include <cstdint>

#include "analysis/block_result.hpp"
#include "recording/time_stamp.hpp"
#include "textio/format.hpp"

namespace hfd {

void WriteAmplitudeHeader(RecordSink& file, const std::array<char, 10>& StationName,
                          const TimeStamp& BlockTime, double dt, int32_t NData);

// The console progress line first, then the block line of the file.
void WriteAmplitudeBlock(RecordSink& console, RecordSink& file, int32_t k,
                         const TimeStamp& BlockTime, const BlockResult& r);

}  // namespace hfd
