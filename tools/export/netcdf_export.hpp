// The result files as netCDF-4 following the CF conventions (1.10): a `time`
// coordinate (the exact block starts, int64 milliseconds since 1970-01-01
// UTC) with `time_bnds` (start and end of each block); for a spectrum file a
// `frequency` coordinate (the exact bin frequencies, Hz) and level and phase
// per channel over time x frequency; for a peak series one variable per value
// the file holds. Several stations share one time axis along a `station`
// dimension, with the fill value where a station has no block. Values are
// deflated (level 1, with shuffle, by default) and, with `pack`, stored as
// integers of the result file's decimals (scale_factor, add_offset).
//
//   OutputFile out("day.nc");
//   WriteSpectrumNetcdf(stations, {.history = "..."}, out);  // commits
#pragma once

#include <string>
#include <vector>

#include "common/output_file.hpp"
#include "export_data.hpp"

namespace hfd::exporter {

using tools::OutputFile;

struct NetcdfOptions {
  int deflate = 1;                  // 0 (none) to 9
  bool pack = false;                // integers of the file's decimals
  std::string history;              // the global history attribute
  std::vector<std::string> inputs;  // the files read
};

// Both write the file under out's temporary name and commit it. The series'
// values may be changed on the way (NaN replaced by the fill value).
void WriteSpectrumNetcdf(SpectrumStations& stations, const NetcdfOptions& options, OutputFile& out);
void WritePeakNetcdf(PeakStations& stations, const NetcdfOptions& options, OutputFile& out);

}  // namespace hfd::exporter
