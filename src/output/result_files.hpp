// The creation of a recording's result files: named after its channel-0 file
// (ResultFileName), the amplitude file (.qdr) on unit 3 in mode 1, the
// spectrum file (.spc) on unit 3 and the peak summary file (.max) on unit 4
// in mode 2. Both files of a pair are opened and locked before either is cut;
// a failed open ends the run through the units' fatal handler.
//
//   CreateResultFiles(rec.ChFileName[0], opt.IOutFMT, files.unit3, files.unit4);
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "recording/vocabulary.hpp"
#include "textio/result_file.hpp"

namespace hfd {

// The extensions of the result files of mode IOutFMT, in unit order.
std::span<const char* const> ResultExtensions(int32_t IOutFMT);

void CreateResultFiles(const std::array<char, kNameLength>& ch0, int32_t IOutFMT, ResultFile& unit3,
                       ResultFile& unit4);

}  // namespace hfd
