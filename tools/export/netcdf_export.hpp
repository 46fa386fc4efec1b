// The result files as netCDF-4 following the CF conventions: a `time`
// coordinate (UTC, since 1970-01-01), for a spectrum file a `frequency`
// coordinate (Hz) and level/phase per channel as time x frequency; for a
// peak series one variable per value the file holds. Global attributes name
// the station, the source files, the data length and the carriers.
//
//   OutputFile out("day.nc");
//   WriteSpectrumNetcdf(spectra, {"200805010000SGD.spc"}, out);  // commits
#pragma once

#include <string>
#include <vector>

#include "common/output_file.hpp"
#include "results/result_files.hpp"

namespace hfd::exporter {

using tools::OutputFile;

// Both write the file under out's temporary name and commit it.
void WriteSpectrumNetcdf(const results::SpectrumSeries& s, const std::vector<std::string>& sources,
                         OutputFile& out);
void WritePeakNetcdf(const results::PeakSeries& s, const std::vector<std::string>& sources,
                     OutputFile& out);

}  // namespace hfd::exporter
