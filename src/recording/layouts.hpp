// The layouts of the result files' lines, declared once: the writers format
// with them, the reader takes its columns, widths and line lengths from them
// (RecordLayout) and compares header lines with what the writers write, and
// docs/formats.md is checked against them by a test.
//
//   static constexpr RecordFormat<kSpectrumBinLine> kLine;          // writing
//   constexpr int kLength = RecordLayout<kSpectrumBinLine>::kLength;  // reading: 44
#pragma once

#include <iterator>
#include <string>
#include <string_view>

#include "textio/record_format.hpp"

namespace hfd {

// .qdr: header line 1: station name, date and hour:minute of the first block,
// sampling rate, "Hz", N.
inline constexpr FormatText kAmplitudeHeaderLine("(a10,i8,2(a1,i2),i3,a1,i2,i5,a2,i5)");
// Header lines 2 to 4: fixed texts, three fields each.
struct FixedTextLine {
  std::string_view format;
  std::string_view fields[3];
};
inline constexpr FixedTextLine kAmplitudeHeaderTexts[] = {
    {"(t6,a4,a9,a7)", {"CH\t\t", "5006kHz\t\t", "8006kHz"}},
    {"(t6,a11,a9,a8)", {"Time(JST)\t\t", "Freq\tAmp\t", "Freq\tAmp"}},
    {"(\\,a13,a8,a7)", {"hh\tmm\tss.mmm\t", "Hz\tdBuV\t", "Hz\tdBuV"}},
};
// Block line: hour, minute, seconds with the fraction, then per channel peak
// frequency and level. Two channels use half of the repeated group: 13 items.
inline constexpr FormatText kAmplitudeBlockLine("(\\,i2,a1,i2,a1,f8.3,4(a1,f8.4,a1,f8.2))");
inline constexpr int kAmplitudeBlockItems = 13;

// .spc: a block's line (step, date, time, seconds of day), then one line per bin
// (frequency, then level and phase of each channel).
inline constexpr FormatText kSpectrumBlockLine("(i5,a1,i4,a1,5(i2,a1),i5)");
inline constexpr FormatText kSpectrumBinLine("(f6.3,2(a1,f10.3,a1,f7.1))");

// .max: one header line of labels, each followed by a tab, in the columns of
// the block lines; then one line per block: step, date, time, seconds of day,
// then per channel mean amplitude, S4 index, peak frequency, level and phase.
inline constexpr FormatText kPeakHeaderLine("(2(a5,a1),5(a2,a1),a5,a1,2(2(a6,a1),3(a7,a1)))");
inline constexpr std::string_view kPeakHeaderLabels[] = {
    "kkkkk",  " YYYY",  "MM",      "DD",      "HH",      "MM",     "SS",     "sssss",   " AvAmp",
    "S4Indx", "DfFrqMx", "DfAmpMx", "DfPhsMx", " AvAmp", "S4Indx", "DfFrqMx", "DfAmpMx", "DfPhsMx"};
inline constexpr FormatText kPeakBlockLine("(2(i5,a1),5(i2,a1),i5,a1,2(2(f6.3,a1),3(f7.2,a1)))");
static_assert(RecordLayout<kPeakHeaderLine>::kLength == RecordLayout<kPeakBlockLine>::kLength,
              "the .max header is as long as its block lines");
static_assert(RecordLayout<kPeakHeaderLine>::kFields == 2 * std::size(kPeakHeaderLabels));

// The header lines of fixed text, written to a file, or as the text a reader
// compares a file's line with.
void WriteHeaderLine(RecordSink& sink, const FixedTextLine& line);
void WritePeakHeaderLine(RecordSink& sink);
std::string HeaderLineText(const FixedTextLine& line);
std::string PeakHeaderLineText();

}  // namespace hfd
