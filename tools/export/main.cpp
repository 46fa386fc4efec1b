// hfdoppler-export: the analyser's result files as CSV or netCDF, times in
// UTC, for analysis tools (pandas, xarray and the like).
//
//   hfdoppler-export 200805010000SGD.max -o day.csv
//   hfdoppler-export *.spc --from 2008-05-01T00:00Z --to 2008-05-02T00:00Z -o day.nc
//   hfdoppler-export 20080501*SGD.max 20080501*KUR.max -o network.nc
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "csv_export.hpp"
#include "netcdf_export.hpp"
#include "recording/vocabulary.hpp"
#include "results/result_files.hpp"
#include "stations/registry.hpp"
#include "textio/option_parser.hpp"

namespace {

using namespace hfd;

constexpr const char* kUsage =
    "usage: hfdoppler-export [options] FILE... -o OUT.csv|OUT.csv.gz|OUT.nc|-\n";

constexpr const char* kHelp =
    "Writes the analyser's result files (.max, .qdr, .spc) as CSV or netCDF-4,\n"
    "with the exact block start times in UTC. Several files of one station are\n"
    "joined in time order; files of several stations (one kind, one data length)\n"
    "go into one dataset on one time axis.\n"
    "\n"
    "  -o, --output OUT   the file to write: .csv, .csv.gz (gzip) or .nc (netCDF);\n"
    "                     - writes CSV to standard output\n"
    "      --from TIME    keep the blocks that start at or after TIME\n"
    "      --to TIME      keep the blocks that start before TIME\n"
    "      --deflate N    compression level 0 (none) to 9 of .nc and .csv.gz\n"
    "                     output (default 1; netCDF with shuffle)\n"
    "      --pack         netCDF: store the values as integers of the result\n"
    "                     file's decimals (scale_factor, add_offset)\n"
    "      --stations FILE  the station registry for the netCDF station metadata\n"
    "                     (default: $HFDOPPLER_STATIONS, ~/.config/hfdoppler/\n"
    "                     stations.toml, the installed one)\n"
    "  -h, --help         show this help\n"
    "  -V, --version      show the version\n"
    "\n"
    "TIME is ISO 8601 with an offset: 2008-05-01T00:00Z, 2008-05-01T09:00:00+09:00.\n"
    "CSV: one row per block (.max, .qdr) or per block and bin (.spc), columns\n"
    "time_utc, time_jst (to the millisecond), station (with several stations),\n"
    "step (where the file holds it), then the values with the file's decimals.\n"
    "netCDF (CF-1.10): time (with time_bnds) and frequency coordinates, a station\n"
    "dimension with several stations; level_5006, phase_5006, ... variables;\n"
    "from the station registry: name, latitude, longitude, transmitter, carriers\n"
    "and, where the zero-shift frequency is known, a doppler_shift coordinate.\n"
    "A span without blocks gives a file without rows or times.\n"
    "\n"
    "Exit status: 0 written, 1 a file could not be read or written, 2 usage error;\n"
    "129, 130 or 143 stopped by a signal.\n";

[[noreturn]] void Usage(const std::string& why) { UsageError("hfdoppler-export", why); }

// A name ending in `ext` with something before it: ".csv" alone is not one.
bool HasExtension(std::string_view name, std::string_view ext) {
  return name.size() > ext.size() && name.ends_with(ext);
}

enum class Format { kCsv, kCsvGzip, kCsvStdout, kNetcdf };

struct Options {
  std::vector<std::string> files;
  std::string out;
  Format format = Format::kCsv;
  int64_t from = INT64_MIN, to = INT64_MAX;
  int deflate = -1;  // not given
  bool pack = false;
  std::string stations_file;
  std::string history;
};

// The command line as a shell would take it back, for the history attribute.
std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (i > 0) line += ' ';
    const bool plain = !a.empty() && a.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                         "0123456789_./:=,+@%-") == std::string_view::npos;
    if (plain) {
      line += a;
      continue;
    }
    line += '\'';
    for (char c : a) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

// "2026-12-08T17:00:00Z: COMMAND (hfdoppler-export VERSION)", at the time of
// writing or at SOURCE_DATE_EPOCH when set (reproducible files).
std::string History(int argc, char** argv) {
  int64_t now = static_cast<int64_t>(std::time(nullptr));
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(epoch, &end, 10);
    if (*epoch < '0' || *epoch > '9' || *end != '\0' || errno != 0 || v > 253402300799LL)
      throw std::string("SOURCE_DATE_EPOCH is not a count of seconds since 1970: ") + epoch;
    now = v;
  }
  return results::FormatIsoTime(now * 1000, 0) + ": " + CommandLine(argc, argv) + " (hfdoppler-export " +
         HFD_VERSION + ")";
}

// Returns -1 when the run goes on, else the exit status.
int ParseArgs(int argc, char** argv, Options& o) {
  static const OptionSpec kSpecs[] = {{"output", 'o', true},   {"from", 0, true},  {"to", 0, true},
                                      {"deflate", 0, true},    {"pack", 0, false}, {"stations", 0, true}};
  const ParsedOptions p = ParseOptions(argc, argv, kSpecs);
  if (p.action == ParsedOptions::Action::Help) {
    std::fputs(kUsage, stdout);
    std::fputs(kHelp, stdout);
    return tools::FinishStandardOutput("hfdoppler-export");
  }
  if (p.action == ParsedOptions::Action::Version) {
    std::printf("hfdoppler-export %s\n", HFD_VERSION);
    return tools::FinishStandardOutput("hfdoppler-export");
  }
  if (!p.error.empty()) throw p.error;
  o.files = p.operands;
  for (const auto& [name, v] : p.options) {
    if (name == "output") {
      if (!o.out.empty()) throw std::string("more than one output file");
      if (v.empty()) throw std::string("an empty output file name");
      o.out = v;
    } else if (name == "from" || name == "to") {
      int64_t& t = name == "from" ? o.from : o.to;
      if (!results::ParseIsoTime(v, t))
        throw std::string("not an ISO 8601 time with an offset (2008-05-01T00:00Z): " + v);
    } else if (name == "deflate") {
      if (v.size() != 1 || v[0] < '0' || v[0] > '9')
        throw std::string("--deflate takes a level from 0 to 9: " + v);
      o.deflate = v[0] - '0';
    } else if (name == "pack") {
      o.pack = true;
    } else if (name == "stations") {
      if (v.empty()) throw std::string("--stations: an empty file name");
      o.stations_file = v;
    }
  }
  if (o.files.empty()) throw std::string("no result file given");
  if (o.out.empty()) throw std::string("no output file given (-o OUT.csv, OUT.csv.gz, OUT.nc or -)");
  if (o.out == "-") {
    o.format = Format::kCsvStdout;
  } else if (HasExtension(o.out, ".csv")) {
    o.format = Format::kCsv;
  } else if (HasExtension(o.out, ".csv.gz")) {
    o.format = Format::kCsvGzip;
  } else if (HasExtension(o.out, ".nc")) {
    o.format = Format::kNetcdf;
  } else {
    throw std::string("the output file must end in .csv, .csv.gz or .nc (or be - for CSV on standard output): " +
                      o.out);
  }
  const bool csv = o.format != Format::kNetcdf;
  if (o.pack && csv) throw std::string("--pack is for netCDF output (.nc); CSV keeps the file's text");
  if (o.deflate >= 0 && (o.format == Format::kCsv || o.format == Format::kCsvStdout))
    throw std::string("--deflate is for .nc and .csv.gz output");
  if (o.deflate < 0) o.deflate = 1;
  if (o.from >= o.to) throw std::string("--from is not before --to");
  for (const std::string& f : o.files) {
    if (!HasExtension(f, ".max") && !HasExtension(f, ".qdr") && !HasExtension(f, ".spc"))
      throw std::string("not a result file name (.max, .qdr or .spc): " + f);
    if (results::KindOfPath(f) != results::KindOfPath(o.files[0]))
      throw std::string("files of different kinds: " + o.files[0] + " and " + f);
  }
  return -1;
}

void Note(const std::string& text) { std::fprintf(stderr, "hfdoppler-export: note: %s\n", text.c_str()); }

void NoteDropped(const std::string& path, long lines) {
  if (lines > 0)
    Note(path + ": " + std::to_string(lines) + " line" + (lines == 1 ? "" : "s") +
         " of an incomplete end left out (an interrupted run)");
}

size_t BlockCount(const results::PeakSeries& s) { return s.blocks.size(); }
size_t BlockCount(const results::SpectrumSeries& s) { return s.blocks(); }
std::string NameOf(const results::PeakSeries& s) { return s.station_name; }
std::string NameOf(const results::SpectrumSeries&) { return {}; }
size_t BinsOf(const results::PeakSeries&) { return 0; }
size_t BinsOf(const results::SpectrumSeries& s) { return s.bins(); }

// The files read and grouped by station (in the order the stations first
// come on the command line), each station's files joined and cut to the
// span. A file whose name gives no station belongs to the one station there
// is. Stations must agree in data length (and bins).
template <class Series, class Read>
std::vector<exporter::Station<Series>> ReadStations(const Options& o, Read read) {
  std::vector<std::vector<Series>> groups;
  std::vector<Series> unnamed;
  for (const std::string& f : o.files) {
    Series s = read(f);
    NoteDropped(f, s.dropped_lines);
    if (s.station_code.empty()) {
      unnamed.push_back(std::move(s));
      continue;
    }
    size_t g = 0;
    while (g < groups.size() && groups[g][0].station_code != s.station_code) ++g;
    if (g == groups.size()) groups.emplace_back();
    groups[g].push_back(std::move(s));
  }
  if (!unnamed.empty()) {
    if (groups.size() > 1)
      throw results::ReadError(unnamed[0].path, 0,
                               "the name does not tell which station's file it is (DATEhhmmCODE" +
                                   unnamed[0].path.substr(unnamed[0].path.size() - 4) + ")");
    if (groups.empty()) groups.emplace_back();
    for (Series& s : unnamed) groups[0].push_back(std::move(s));
  }
  std::vector<exporter::Station<Series>> stations;
  int32_t n = 0;  // of the first station that knows its data length
  size_t bins = 0;
  std::string n_from;
  for (std::vector<Series>& g : groups) {
    Series s = results::Join(std::move(g));
    if (s.data_length > 0 && n == 0) n = s.data_length, bins = BinsOf(s), n_from = s.path;
    if (s.data_length > 0 && (s.data_length != n || BinsOf(s) != bins))
      throw results::ReadError(s.path, 0,
                               "data length " + std::to_string(s.data_length) + " differs from " +
                                   std::to_string(n) + " of " + n_from);
    results::Cut(s, o.from, o.to);
    stations.push_back({{s.station_code, NameOf(s)}, std::move(s)});
  }
  return stations;
}

// The registry for the netCDF metadata: the one named (--stations or
// $HFDOPPLER_STATIONS) or found must read; none at all is a note.
std::optional<stations::Registry> LoadRegistry(const Options& o) {
  try {
    return stations::LoadRegistry(o.stations_file);
  } catch (const stations::RegistryError& e) {
    std::error_code ec;
    const bool named = !o.stations_file.empty() || std::getenv("HFDOPPLER_STATIONS") != nullptr;
    if (named || std::filesystem::exists(std::filesystem::symlink_status(e.file(), ec))) throw;
    Note(std::string(e.what()) + "; the stations' positions are left out");
    return std::nullopt;
  }
}

// Each station's registry entry (and name), or a note that it has none.
template <class Series>
void LookUp(const stations::Registry& registry, std::vector<exporter::Station<Series>>& st) {
  for (auto& s : st) {
    s.info.registry = registry.Find(s.info.code);
    if (s.info.registry != nullptr) {
      s.info.name = s.info.registry->name;
    } else {
      Note("station " + (s.info.code.empty() ? std::string("of ") + s.series.path : s.info.code) +
           " is not in the station registry " + registry.path() + ": exported without its position");
    }
  }
}

template <class Series, class Read, class Csv, class Netcdf>
void Export(const Options& o, Read read, Csv csv, Netcdf netcdf) {
  std::vector<exporter::Station<Series>> stations = ReadStations<Series>(o, read);
  std::optional<stations::Registry> registry;
  if (o.format == Format::kNetcdf) {
    registry = LoadRegistry(o);
    if (registry) LookUp(*registry, stations);
  }
  size_t blocks = 0;
  for (const auto& s : stations) blocks += BlockCount(s.series);
  if (blocks == 0) Note("no blocks to write");
  if (o.format == Format::kCsvStdout) {
    exporter::TextOut text(nullptr, -1);
    csv(stations, text);
    return text.Finish();
  }
  tools::OutputFile out(o.out);
  if (o.format == Format::kNetcdf) {
    return netcdf(stations, {.deflate = o.deflate, .pack = o.pack, .history = o.history, .inputs = o.files}, out);
  }
  exporter::TextOut text(&out, o.format == Format::kCsvGzip ? o.deflate : -1);
  csv(stations, text);
  text.Finish();
  out.Commit();
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
    if (o.format == Format::kNetcdf) o.history = History(argc, argv);
  } catch (const std::string& why) {
    Usage(why);
  }
  try {
    return Run(o);
  } catch (const results::ReadError& e) {
    std::fprintf(stderr, "hfdoppler-export: %s\n", e.what());
  } catch (const tools::WriteError& e) {
    std::fprintf(stderr, "hfdoppler-export: %s\n", e.what());
  } catch (const stations::RegistryError& e) {
    std::fprintf(stderr, "hfdoppler-export: %s\n", e.what());
  } catch (const std::bad_alloc&) {
    std::fputs("hfdoppler-export: out of memory\n", stderr);
  }
  // Without the libraries' exit handlers: HDF5's crashes on a file whose
  // write failed (a full disk, the file size limit).
  std::fflush(nullptr);
  std::_Exit(1);
}
