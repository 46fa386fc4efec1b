// hfdoppler-export: the analyser's result files as CSV or netCDF, times in
// UTC, for analysis tools (pandas, xarray and the like).
//
//   hfdoppler-export 200805010000SGD.max -o day.csv
//   hfdoppler-export *.spc --from 2008-05-01T00:00Z --to 2008-05-02T00:00Z -o day.nc
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "csv_export.hpp"
#include "netcdf_export.hpp"
#include "results/result_files.hpp"

namespace {

using namespace hfd;

constexpr const char* kUsage =
    "usage: hfdoppler-export [options] FILE... -o OUT.csv|OUT.nc\n";

constexpr const char* kHelp =
    "Writes the analyser's result files (.max, .qdr, .spc) as CSV or netCDF-4,\n"
    "with times in UTC. Several files of one kind are joined in time order.\n"
    "\n"
    "  -o, --output OUT   the file to write; .csv or .nc chooses the format\n"
    "      --from TIME    keep the blocks that start at or after TIME\n"
    "      --to TIME      keep the blocks that start before TIME\n"
    "  -h, --help         show this help\n"
    "      --version      show the version\n"
    "\n"
    "TIME is ISO 8601 with an offset: 2008-05-01T00:00Z, 2008-05-01T09:00:00+09:00.\n"
    "CSV: one row per block (.max, .qdr) or per block and bin (.spc), columns\n"
    "time_utc, time_jst, step (where the file holds it), then the values.\n"
    "netCDF: time and frequency coordinates; level_5006, phase_5006, ... variables.\n"
    "\n"
    "Exit status: 0 written, 1 a file could not be read or written, 2 usage error.\n";

int Usage(const std::string& why) {
  std::fprintf(stderr, "hfdoppler-export: %s\n%sTry 'hfdoppler-export --help'.\n", why.c_str(),
               kUsage);
  return 2;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() > tail.size() && s.substr(s.size() - tail.size()) == tail;
}

struct Options {
  std::vector<std::string> files;
  std::string out;
  int64_t from = INT64_MIN, to = INT64_MAX;
};

// Returns -1 when the run goes on, else the exit status.
int ParseArgs(int argc, char** argv, Options& o) {
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&](std::string_view name, std::string& v) {
      const std::string eq = std::string(name) + "=";
      if (a.starts_with(eq)) {
        v = a.substr(eq.size());
        return true;
      }
      if (a != name) return false;
      if (i + 1 >= argc) throw std::string("option " + std::string(name) + " needs a value");
      v = argv[++i];
      return true;
    };
    std::string v;
    if (only_files || a.empty() || a[0] != '-' || a == "-") {
      o.files.emplace_back(a);
    } else if (a == "--") {
      only_files = true;
    } else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("hfdoppler-export %s\n", HFD_VERSION);
      return 0;
    } else if (value("-o", v) || value("--output", v)) {
      if (!o.out.empty()) throw std::string("more than one output file");
      o.out = v;
    } else if (value("--from", v) || value("--to", v)) {
      int64_t& t = a.starts_with("--from") ? o.from : o.to;
      if (!results::ParseIsoTime(v, t))
        throw std::string("not an ISO 8601 time with an offset (2008-05-01T00:00Z): " + v);
    } else {
      throw std::string("unknown option " + std::string(a));
    }
  }
  if (o.files.empty()) throw std::string("no result file given");
  if (o.out.empty()) throw std::string("no output file given (-o OUT.csv or -o OUT.nc)");
  if (!EndsWith(o.out, ".csv") && !EndsWith(o.out, ".nc"))
    throw std::string("the output file must end in .csv or .nc: " + o.out);
  if (o.from >= o.to) throw std::string("--from is not before --to");
  for (const std::string& f : o.files) {
    if (!EndsWith(f, ".max") && !EndsWith(f, ".qdr") && !EndsWith(f, ".spc"))
      throw std::string("not a result file name (.max, .qdr or .spc): " + f);
    if (results::KindOfPath(f) != results::KindOfPath(o.files[0]))
      throw std::string("files of different kinds: " + o.files[0] + " and " + f);
  }
  return -1;
}

void NoteDropped(const std::string& path, long lines) {
  if (lines > 0)
    std::fprintf(stderr,
                 "hfdoppler-export: note: %s: %ld line%s of an incomplete end left out "
                 "(an interrupted run)\n",
                 path.c_str(), lines, lines == 1 ? "" : "s");
}

size_t BlockCount(const results::PeakSeries& s) { return s.blocks.size(); }
size_t BlockCount(const results::SpectrumSeries& s) { return s.blocks(); }

// Reads and joins the files, cuts the span and writes it.
template <class Series, class Read, class Csv, class Netcdf>
void Export(const Options& o, Read read, Csv csv, Netcdf netcdf) {
  std::vector<Series> parts;
  for (const std::string& f : o.files) {
    parts.push_back(read(f));
    NoteDropped(f, parts.back().dropped_lines);
  }
  Series s = results::Join(std::move(parts));
  results::Cut(s, o.from, o.to);
  if (BlockCount(s) == 0) std::fputs("hfdoppler-export: note: no blocks to write\n", stderr);
  tools::OutputFile out(o.out);
  if (EndsWith(o.out, ".csv")) {
    csv(s, out);
    out.Commit();
  } else {
    netcdf(s, o.files, out);  // commits
  }
}

int Run(const Options& o) {
  if (results::KindOfPath(o.files[0]) == results::Kind::kSpectrum) {
    Export<results::SpectrumSeries>(o, results::ReadSpectrumFile, exporter::WriteSpectrumCsv,
                                    exporter::WriteSpectrumNetcdf);
  } else {
    Export<results::PeakSeries>(o, results::ReadPeakFile, exporter::WritePeakCsv,
                                exporter::WritePeakNetcdf);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  try {
    const int status = ParseArgs(argc, argv, o);
    if (status >= 0) return status;
  } catch (const std::string& why) {
    return Usage(why);
  }
  try {
    return Run(o);
  } catch (const results::ReadError& e) {
    std::fprintf(stderr, "hfdoppler-export: %s\n", e.what());
  } catch (const tools::WriteError& e) {
    std::fprintf(stderr, "hfdoppler-export: %s\n", e.what());
  } catch (const std::bad_alloc&) {
    std::fputs("hfdoppler-export: out of memory\n", stderr);
  }
  // Without the libraries' exit handlers: HDF5's crashes on a file whose
  // write failed (a full disk, the file size limit).
  std::fflush(nullptr);
  std::_Exit(1);
}
