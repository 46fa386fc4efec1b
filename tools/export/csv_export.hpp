// The result files as CSV (RFC 4180, LF line ends): one header line of
// snake_case names with channel and unit, then one row per block (per block
// and bin for a spectrum file), in time order. Times as ISO 8601 in UTC and
// JST to the millisecond; values with the decimals the result file gives
// them; a value the file shows as asterisks is an empty field. With several
// stations a `station` column follows the times (long form: one row per
// station and block).
//
//   OutputFile file("day.csv.gz");
//   TextOut out(&file, 1);             // gzip, level 1; nullptr: standard output
//   WritePeakCsv(stations, out);
//   out.Finish(); file.Commit();
#pragma once

#include <zlib.h>

#include <memory>
#include <string>
#include <string_view>

#include "common/output_file.hpp"
#include "export_data.hpp"

namespace hfd::exporter {

using tools::OutputFile;

// Where the text goes: a file (gzipped when gzip_level is 0..9, plain when
// it is -1), or standard output when `file` is null. Throws WriteError.
class TextOut {
 public:
  TextOut(OutputFile* file, int gzip_level);
  ~TextOut();
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  char* Room(size_t n) {  // n at most kBuffer
    if (kBuffer - used_ < n) Flush(false);
    return buf_.get() + used_;
  }
  void Advance(size_t n) { used_ += n; }
  void Append(std::string_view s);
  void Finish();  // the rest, and the end of the gzip stream

  static constexpr size_t kBuffer = size_t{1} << 20;

 private:
  void Flush(bool end);
  void Write(const char* p, size_t n);

  OutputFile* file_;
  std::unique_ptr<char[]> buf_, zbuf_;
  size_t used_ = 0;
  std::unique_ptr<z_stream> z_;
};

void WritePeakCsv(const PeakStations& stations, TextOut& out);
void WriteSpectrumCsv(const SpectrumStations& stations, TextOut& out);

// `v` with `decimals` decimals (at most 9) and a digit before the point;
// nothing for NaN. Returns the end of the text.
char* WriteDecimal(char* o, double v, int decimals);

}  // namespace hfd::exporter
