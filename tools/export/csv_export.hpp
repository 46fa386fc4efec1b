// The result files as CSV (RFC 4180, LF line ends): one header line of
// snake_case names with channel and unit, then one row per block (per block
// and bin for a spectrum file). Times as ISO 8601 in UTC and JST; values with
// the decimals the result file gives them; a value the file shows as
// asterisks is an empty field.
//
//   OutputFile out("day.csv");
//   WritePeakCsv(results::ReadPeakFile("200805010000SGD.max"), out);
//   out.Commit();
#pragma once

#include "common/output_file.hpp"
#include "results/result_files.hpp"

namespace hfd::exporter {

using tools::OutputFile;

void WritePeakCsv(const results::PeakSeries& s, OutputFile& out);
void WriteSpectrumCsv(const results::SpectrumSeries& s, OutputFile& out);

// `v` with `decimals` decimals (at most 9) and a digit before the point;
// nothing for NaN. Returns the end of the text.
char* WriteDecimal(char* o, double v, int decimals);

}  // namespace hfd::exporter
