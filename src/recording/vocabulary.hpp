// What a recording and its result files are, for every room that reads or
// writes them: the channel files' records, the name lengths, the station table,
// the result file names and extensions, the data lengths, Japan Standard Time
// and the two carriers.
//
//   char out[20]; ResultFileName(rec.ChFileName[0], ".spc", out);  // "200805010000SGD.spc"
//   if (IsDataLength(n)) { /* one of kDataLengths */ }
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace hfd {

// A recording's name as the name table holds it (at most 30 characters).
inline constexpr int kNameLength = 30;

// A channel file is a sequence of records of 128 little-endian 16-bit samples.
inline constexpr int kRecordBytes = 256;
inline constexpr int kRecordSamples = 128;

// The samples per analysis block that a run may choose.
inline constexpr int32_t kDataLengths[] = {512, 1024, 2048, 4096};
constexpr bool IsDataLength(int32_t n) {
  for (int32_t d : kDataLengths)
    if (n == d) return true;
  return false;
}

// The stamps in the files are Japan Standard Time: UTC + 9 h, no daylight saving.
inline constexpr int64_t kJstOffsetMs = 9 * 3600 * 1000LL;
inline constexpr int64_t kDayMs = 86400000;

// The carriers of channels 0 and 1.
inline constexpr int kCarriersKhz[2] = {5006, 8006};
inline constexpr const char* kCarrierLabels[2] = {"5006 kHz", "8006 kHz"};

// Division rounding towards minus infinity (days and steps before 1970).
constexpr int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// The station name of a three-letter code: the table's name, or for an
// unknown code the code itself followed by blanks.
std::array<char, 10> StationNameFor(std::string_view code);

// The result file name for an extension such as ".spc": year to minute of
// the channel-0 name, its station code, the extension (19 characters at most).
void ResultFileName(const std::array<char, kNameLength>& ch0, const char* ext, char (&out)[20]);

}  // namespace hfd
