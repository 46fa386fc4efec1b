// The layouts of the result files' data lines, declared once: the writers
// format with them (RecordFormat), the reader takes its columns, widths and
// line lengths from them (RecordLayout), and docs/formats.md is checked
// against them by a test.
//
//   static constexpr RecordFormat<kSpectrumBinLine> kLine;          // writing
//   constexpr int kLength = RecordLayout<kSpectrumBinLine>::kLength;  // reading: 44
#pragma once

#include "textio/record_format.hpp"

namespace hfd {

// .spc: a block's line (step, date, time, seconds of day), then one line per bin
// (frequency, then level and phase of each channel).
inline constexpr FormatText kSpectrumBlockLine("(i5,a1,i4,a1,5(i2,a1),i5)");
inline constexpr FormatText kSpectrumBinLine("(f6.3,2(a1,f10.3,a1,f7.1))");
// .max: one line per block: step, date, time, seconds of day, then per channel
// mean amplitude, S4 index, peak frequency, level and phase.
inline constexpr FormatText kPeakBlockLine("(2(i5,a1),5(i2,a1),i5,a1,2(2(f6.3,a1),3(f7.2,a1)))");

}  // namespace hfd
