// Reading the analyser's result files back: the amplitude file (.qdr), the
// spectrum file (.spc) and the peak summary file (.max), for the companion
// programs that draw and export them. One reader for the three formats.
//
//   hfd::results::PeakSeries max = hfd::results::ReadPeakFile("200805010000SGD.max");
//   for (const auto& b : max.blocks) use(b.utc_ms, b.peak[0].freq_hz);
//
// Times in the files are Japan Standard Time (UTC + 9 h, no daylight saving);
// the reader gives every block its exact start as UTC milliseconds since
// 1970-01-01: block step k starts k * N * 10 ms after the recording's start (a
// whole second), so one block has one time whichever file it is read from
// (.qdr, .max or .spc) and however files are joined. The .max and .spc stamps
// keep only the whole seconds of that time; the reader adds back the
// milliseconds they dropped, (k * N * 10) mod 1000, once it knows N.
// A value printed as asterisks (too wide for its field) reads as NaN. A file
// that is not a result file of the expected kind, or a malformed line in the
// middle, throws ReadError naming the file and the line. An incomplete end (the
// last line cut short, or a last .spc block without all its bin lines, as an
// interrupted run leaves it) is left out and counted in `dropped_lines`. A
// whole block line alone at the end of a .spc file is the normal end of a
// recording that ran out of data, and is not counted.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "recording/vocabulary.hpp"
#include "textio/file_line_error.hpp"

namespace hfd::results {

enum class Kind { kAmplitude, kSpectrum, kPeak };  // .qdr, .spc, .max

// The kind named by a path's extension (.qdr, .spc, .max; lower case as
// written by the analyser). Throws ReadError (line 0) for any other name.
Kind KindOfPath(std::string_view path);

// A file that cannot be read as a result file. line() is 1-based; 0 when the
// fault is the file as a whole (cannot open, empty, wrong kind).
class ReadError : public hfd::FileLineError {
 public:
  using FileLineError::FileLineError;
};

using hfd::kJstOffsetMs;  // JST = UTC + 9 h

// The Doppler peak of one channel in one block. Fields the file does not hold
// are NaN (the phase in a .qdr file).
struct Peak {
  double freq_hz;
  double level_dbuv;
  double phase_deg;
};

// One block line of a .max or .qdr file. Channel index 0 is 5006 kHz, 1 is
// 8006 kHz.
struct PeakBlock {
  int32_t step;        // block step k; -1 in a .qdr file, which does not hold it
  int64_t utc_ms;      // exact block start (whole seconds only in a .max whose N is unknown)
  double mean[2];      // AvAmp (.max only; NaN in .qdr)
  double scint[2];     // S4Indx, ten times the standard deviation (.max only)
  Peak peak[2];
};

struct PeakSeries {
  Kind kind = Kind::kPeak;
  std::string path;
  std::string station_code;  // from the file name ("SGD"), empty if it does not say
  std::string station_name;  // from the .qdr header ("Sugadaira"), empty for .max
  // N from the .qdr header; for a .max file inferred from the steps and times
  // of its first and last block, or for a file of one block from the start
  // minute in its name. 0 when it cannot be told (a .max of one block under
  // another name): its times are then the file's whole seconds, until Join
  // learns N from another part.
  int32_t data_length = 0;
  std::vector<PeakBlock> blocks;
  long dropped_lines = 0;    // lines of an incomplete end left out
};

// A .spc file: per block its step and start time, and per bin the level and
// phase of both channels, stored block-major (block b, bin i at b * bins() + i).
struct SpectrumSeries {
  std::string path;
  std::string station_code;
  int32_t data_length = 0;         // N, from the bin spacing (1 / (N * 0.01 s))
  std::vector<float> freq_hz;      // the bin frequencies, as written (0 to 12 Hz)
  std::vector<int32_t> step;       // per block
  std::vector<int64_t> utc_ms;     // per block, exact start
  std::vector<float> level[2];     // dBuV, blocks() * bins()
  std::vector<float> phase[2];     // degrees, blocks() * bins()
  long dropped_lines = 0;

  size_t bins() const { return freq_hz.size(); }
  size_t blocks() const { return step.size(); }
};

// The milliseconds a whole-second stamp drops from the start of block step k
// of data length N: (k * N * 10) mod 1000.
inline int64_t StampFractionMs(int64_t step, int32_t data_length) {
  return step * data_length * 10 % 1000;
}

// "SGD" of "/data/200805010000SGD.max": the three letters after the twelve
// digits of a result file's name; empty for any other name.
std::string StationCodeOfPath(const std::string& path);

// The decimals with which a file gives its values: those of a .max or .qdr
// file's block values (-1 for a value the kind does not hold), and of a .spc
// file's levels and phases.
struct PeakDecimals {
  int mean, scint, freq, level, phase;
};
PeakDecimals PeakDecimalsOf(Kind kind);
struct SpectrumDecimals {
  int level, phase;
};
SpectrumDecimals SpectrumDecimalsOf();

// Reads a .max or a .qdr file (by its extension).
PeakSeries ReadPeakFile(const std::string& path);

// Reads a .spc file.
SpectrumSeries ReadSpectrumFile(const std::string& path);

// The same from a file's bytes in memory; `path` gives the kind, the station
// code and the name in messages.
PeakSeries ReadPeakText(std::string_view bytes, const std::string& path);
SpectrumSeries ReadSpectrumText(std::string_view bytes, const std::string& path);

// A spectrum file block by block, for readers that keep only what they need.
class SpectrumVisitor {
 public:
  virtual ~SpectrumVisitor() = default;
  // Once, at the first whole block: N and the bin frequencies.
  virtual void Start(int32_t data_length, const std::vector<float>& freq_hz) = 0;
  // Per block, in time order: its step, exact start and 4 values per bin
  // (level and phase of 5006 kHz, level and phase of 8006 kHz).
  virtual void Block(int32_t step, int64_t utc_ms, const float* values) = 0;
};

// Gives the visitor the whole blocks of a .spc file that start in [from_ms,
// to_ms), and the last one that starts before from_ms (the block under way at
// from_ms). In a file whose blocks all have the size the analyser writes, the
// blocks before from_ms are found by halving without reading them, and the
// reading ends at the first block at or after to_ms: lines that are not read
// are not checked. Returns the lines of an incomplete end left out (0 when
// the reading ended before the end). Throws ReadError as ReadSpectrumFile.
long ScanSpectrumFile(const std::string& path, int64_t from_ms, int64_t to_ms, SpectrumVisitor& v);

// The first and last whole block of a .spc file, read without the blocks
// between them when they are all of one size.
struct SpectrumExtent {
  int32_t data_length = 0;
  int64_t first_ms = 0, last_ms = 0;  // exact starts of the first and the last whole block
  long dropped_lines = 0;             // an incomplete end
};
// False when the file holds no whole block (its lines counted as dropped).
bool SpectrumFileExtent(const std::string& path, SpectrumExtent& e);

// Several files of one kind on one time axis, blocks in time order (files
// may be given in any order). Throws ReadError (line 0, naming the second
// file) when they differ in kind, data length, bins or station code, or when
// their blocks overlap in time. The result keeps the path of the earliest
// part; dropped_lines is the sum. A .max part whose N was unknown takes the
// others' and its times are made exact.
PeakSeries Join(std::vector<PeakSeries> parts);
SpectrumSeries Join(std::vector<SpectrumSeries> parts);

// Keeps the blocks that start in [from_ms, to_ms).
void Cut(PeakSeries& s, int64_t from_ms, int64_t to_ms);
void Cut(SpectrumSeries& s, int64_t from_ms, int64_t to_ms);

// ISO-8601 times for --from/--to: "2008-05-01T00:00Z", "2008-05-01T09:00+09:00",
// seconds optional (with a fraction), offset required ("Z" or +hh:mm / -hh:mm).
// Returns false for anything else.
bool ParseIsoTime(std::string_view text, int64_t& utc_ms);

// "2008-05-01T00:00:10Z" (offset_minutes 0) or "2008-05-01T09:00:10+09:00";
// milliseconds are written only when not zero (".240").
std::string FormatIsoTime(int64_t utc_ms, int offset_minutes);

// The same into `out` (room for 32 characters), returning the end of the
// text; with `milliseconds` the fraction is written always (".000" too).
char* FormatIsoTime(char* out, int64_t utc_ms, int offset_minutes, bool milliseconds);

// Milliseconds since 1970-01-01 of a Japan Standard Time stamp as the result
// files give it: the hour may be 24 or more (hours since 00:00 of the start
// day) and the day may run past the end of the month.
int64_t UtcMsOfJst(int year, int month, int day, int hour, int minute, int64_t ms_of_minute);

}  // namespace hfd::results
