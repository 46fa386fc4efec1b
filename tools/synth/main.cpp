// hfdoppler-synth: writes a synthetic two-channel Doppler recording (the pair
// of channel files YYYYMMDDhhmmssSSS-0.BIN / -1.BIN) for tests, benchmarks and
// first-time users; or one a day for several days and stations, with a daily
// pattern tied to the Sun. Run with --help for the options.
#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "common/output_file.hpp"
#include "recording/vocabulary.hpp"
#include "stations/registry.hpp"
#include "synth/sun_pattern.hpp"
#include "synth/synth_model.hpp"
#include "textio/option_parser.hpp"

namespace {

namespace fs = std::filesystem;
using hfd::kRecordSamples;

const char* const kSynopsis =
    "usage: hfdoppler-synth [--start YYYYMMDDhhmmss] [--station SGD[,KAK...]]\n"
    "                       [--seconds S | --records R] [--no-channel2] [--seed N]\n"
    "                       [--dir DIR] [--scint DEPTH] [--excursion T] [--tone-only]\n"
    "                       [--days D] [--sun [--stations FILE]]\n";
const char* const kOptions =
    "  --start      start date and time (JST) in the file names (default 20080501000000)\n"
    "  --station    three-letter station code (default SGD); several, comma-separated,\n"
    "               give one recording each (seed N + 100000 for the second, ...)\n"
    "  --seconds    length in seconds, rounded up to whole records (default 3600;\n"
    "               with --days a whole day, which is also the most then)\n"
    "  --records    length in 256-byte records of 128 samples\n"
    "  --no-channel2  write only the channel-0 file\n"
    "  --seed       noise and trace seed (default 1)\n"
    "  --dir        output folder, created if missing (default: current folder)\n"
    "  --scint      scintillation depth 0..1 (default 0.4)\n"
    "  --excursion  middle of the frequency excursion, seconds after the start\n"
    "               (default: the middle of the recording)\n"
    "  --tone-only  steady pure tones (8 Hz, 7.5 Hz): no wander, fading, DC or noise\n"
    "  --days       D recordings a day apart from --start (seed N + 1 for the second day, ...)\n"
    "  --sun        a daily pattern tied to the Sun at the station's reflection point\n"
    "               (from the station registry): the frequency rises by 1 Hz at sunrise\n"
    "               at 100 km and falls by 0.6 Hz at sunset (channel 1; 1.6 times that on\n"
    "               channel 2); no S-shaped excursion unless --excursion is given\n"
    "  --stations   the station registry file (default: $HFDOPPLER_STATIONS, then\n"
    "               ~/.config/hfdoppler/stations.toml, then the installed one)\n"
    "  --help, -h   this text;  --version, -V  the program's version\n"
    "Exit status: 0 written; 1 a file could not be written, or a bad station registry\n"
    "or a station not in it (--sun); 2 usage error; 129, 130 or 143 stopped by a signal.\n";

struct Options {
  std::string start = "20080501000000";
  std::vector<std::string> stations = {"SGD"};
  double seconds = 3600.0;
  long long records = 0;  // 0: derived from seconds
  bool seconds_given = false;
  bool channel2 = true;
  std::uint64_t seed = 1;
  fs::path dir = ".";
  double scint = 0.4;
  double excursion = NAN;  // NaN: the middle of the recording
  bool tone_only = false;
  int days = 1;
  bool days_given = false;
  bool sun = false;
  std::string registry;  // --stations FILE; empty: the usual lookup
};

template <class T>
bool ParseNumber(const std::string& text, T& out) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && p == end;
}

// 14 digits of a real date and time: YYYYMMDDhhmmss.
bool IsStartTime(const std::string& s) {
  if (s.size() != 14) return false;
  for (unsigned char ch : s) {
    if (!std::isdigit(ch)) return false;
  }
  const auto num = [&](size_t at, size_t n) { return std::stoi(s.substr(at, n)); };
  namespace cr = std::chrono;
  const cr::year_month_day date(cr::year(num(0, 4)), cr::month(static_cast<unsigned>(num(4, 2))),
                                cr::day(static_cast<unsigned>(num(6, 2))));
  return date.ok() && num(8, 2) < 24 && num(10, 2) < 60 && num(12, 2) < 60;
}

bool AllLetters(const std::string& s) {
  for (unsigned char ch : s) {
    if (!std::isalpha(ch)) return false;
  }
  return true;
}

// The start `days` days after `start` (14 digits, checked), as 14 digits; and
// its UTC time in milliseconds (the names are in JST, UTC + 9 h).
std::string StartAfter(const std::string& start, int days, std::int64_t* utc_ms) {
  namespace cr = std::chrono;
  const auto num = [&](size_t at, size_t n) { return std::stoi(start.substr(at, n)); };
  const cr::sys_days day = cr::sys_days(cr::year(num(0, 4)) / num(4, 2) / num(6, 2)) + cr::days(days);
  const cr::year_month_day ymd(day);
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02u%02u%s", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                start.substr(8).c_str());
  const cr::seconds clock = cr::hours(num(8, 2)) + cr::minutes(num(10, 2)) + cr::seconds(num(12, 2));
  const cr::milliseconds jst(hfd::kJstOffsetMs);
  *utc_ms = cr::duration_cast<cr::milliseconds>(day.time_since_epoch() + clock - jst).count();
  return name;
}

// Returns an empty string on success, else the complaint.
std::string ParseArgs(int argc, char** argv, Options& o) {
  static const hfd::OptionSpec kSpecs[] = {
      {"start", 0, true},   {"station", 0, true},   {"seconds", 0, true}, {"records", 0, true},
      {"no-channel2", 0, false}, {"seed", 0, true}, {"dir", 0, true},     {"scint", 0, true},
      {"excursion", 0, true}, {"tone-only", 0, false}, {"days", 0, true}, {"sun", 0, false},
      {"stations", 0, true}};
  const hfd::ParsedOptions p = hfd::ParseOptions(argc, argv, kSpecs);
  if (p.action == hfd::ParsedOptions::Action::Help) {
    std::fputs(kSynopsis, stdout);
    std::fputs(kOptions, stdout);
    std::exit(hfd::tools::FinishStandardOutput("hfdoppler-synth"));
  }
  if (p.action == hfd::ParsedOptions::Action::Version) {
    std::puts("hfdoppler-synth " HFD_VERSION);
    std::exit(hfd::tools::FinishStandardOutput("hfdoppler-synth"));
  }
  if (!p.error.empty()) return p.error;
  if (!p.operands.empty()) return "unexpected argument " + p.operands.front();
  for (const auto& [a, v] : p.options) {
    if (a == "no-channel2") {
      o.channel2 = false;
    } else if (a == "tone-only") {
      o.tone_only = true;
    } else if (a == "sun") {
      o.sun = true;
    } else if (a == "start") {
      if (!IsStartTime(v)) return "--start needs a date and time as 14 digits YYYYMMDDhhmmss: " + v;
      o.start = v;
    } else if (a == "station") {
      o.stations.clear();
      for (size_t at = 0; at <= v.size(); at += 4) {
        const std::string code = v.substr(at, 3);
        if (code.size() != 3 || !AllLetters(code) || (at + 3 < v.size() && v[at + 3] != ','))
          return "--station needs three letters, or several separated by commas: " + v;
        if (std::find(o.stations.begin(), o.stations.end(), code) != o.stations.end())
          return "--station names " + code + " twice";
        o.stations.push_back(code);
      }
    } else if (a == "days") {
      if (!ParseNumber(v, o.days) || o.days < 1 || o.days > 36600)
        return "--days needs a number of days from 1 to 36600";
      o.days_given = true;
    } else if (a == "stations") {
      if (v.empty()) return "--stations needs a file name";
      o.registry = v;
    } else if (a == "seconds") {
      if (!ParseNumber(v, o.seconds) || !(o.seconds > 0.0) || o.seconds > 1e8)
        return "--seconds needs a positive number";
      o.seconds_given = true;
    } else if (a == "records") {
      if (!ParseNumber(v, o.records) || o.records <= 0 || o.records > 100000000)
        return "--records needs a positive integer";
    } else if (a == "seed") {
      if (!ParseNumber(v, o.seed)) return "--seed needs a non-negative integer";
    } else if (a == "dir") {
      o.dir = v;
    } else if (a == "scint") {
      if (!ParseNumber(v, o.scint) || !(o.scint >= 0.0 && o.scint <= 1.0))
        return "--scint needs a depth from 0 to 1";
    } else if (a == "excursion") {
      if (!ParseNumber(v, o.excursion) || !std::isfinite(o.excursion))
        return "--excursion needs a number of seconds";
    }
  }
  if (o.seconds_given && o.records > 0) return "give --seconds or --records, not both";
  if (o.tone_only && o.sun) return "--tone-only and --sun exclude each other";
  if (!o.registry.empty() && !o.sun) return "--stations is only for --sun";
  if (o.days_given && !o.seconds_given && o.records == 0) o.seconds = 86400.0;
  if (o.records == 0) {
    const double samples = std::ceil(o.seconds * hfd::synth::kSampleRate - 1e-6);
    o.records = std::max(1LL, static_cast<long long>(std::ceil(samples / kRecordSamples)));
  }
  // Recordings of one station must not overlap: a day at most (675 records
  // are 864 s; 67500 are 86400 s).
  if (o.days_given && o.records > 67500) return "with --days a recording lasts at most 86400 s";
  std::int64_t last_ms;
  if (StartAfter(o.start, o.days - 1, &last_ms).size() != o.start.size())
    return "--days runs past the year 9999 (file names have four digits of year)";
  return {};
}

// Writes one channel file (under its temporary name) in large chunks of whole
// records.
void WriteChannel(const hfd::synth::SynthModel& model, int ch, std::int64_t samples,
                  hfd::tools::OutputFile& out) {
  constexpr std::int64_t kChunk = 8192 * kRecordSamples;  // 2 MiB per write
  std::vector<std::int16_t> buf(static_cast<std::size_t>(std::min(kChunk, samples)));
  for (std::int64_t first = 0; first < samples; first += kChunk) {
    const auto count = static_cast<std::size_t>(std::min(kChunk, samples - first));
    std::span<std::int16_t> part(buf.data(), count);
    model.render(ch, first, part);
    if constexpr (std::endian::native == std::endian::big) {
      for (std::int16_t& s : part) {
        const auto u = static_cast<std::uint16_t>(s);
        s = static_cast<std::int16_t>(static_cast<std::uint16_t>((u << 8) | (u >> 8)));
      }
    }
    out.Append(std::string_view(reinterpret_cast<const char*>(part.data()), count * sizeof(std::int16_t)));
  }
}

// Writes the channel files of one recording (name: start and station code)
// and says so in one line; false when a file could not be written. `last`:
// the run's last recording.
bool WriteRecording(const Options& o, const std::string& name_stem,
                    const hfd::synth::SynthParams& params,
                    const std::optional<hfd::stations::LatLon>& place, std::int64_t samples,
                    bool last) {
  const hfd::synth::SynthModel model(params);
  std::string written;
  try {
    // Both channels are written whole before either is given its name, the
    // second channel's first: a channel-0 file is never there without its pair.
    std::vector<std::unique_ptr<hfd::tools::OutputFile>> files;
    for (int ch = 1; ch <= (o.channel2 ? 2 : 1); ++ch) {
      const std::string name = name_stem + "-" + std::to_string(ch - 1) + ".BIN";
      files.push_back(std::make_unique<hfd::tools::OutputFile>((o.dir / name).string()));
      WriteChannel(model, ch, samples, *files.back());
      written += (written.empty() ? "" : ", ") + name;
    }
    hfd::tools::SignalsHeld hold;
    if (!o.channel2) {  // a channel-1 file of the recording replaced must not pair with the new channel 0
      const fs::path stale = o.dir / (name_stem + "-1.BIN");
      std::error_code ec;
      if (!fs::is_directory(fs::symlink_status(stale, ec)) && !fs::remove(stale, ec) && ec)
        throw hfd::tools::WriteError("cannot remove " + stale.string() + " of the recording replaced: " + ec.message());
    }
    for (auto f = files.rbegin(); f != files.rend(); ++f) (*f)->Commit(last && f + 1 == files.rend());
  } catch (const hfd::tools::WriteError& e) {
    std::fprintf(stderr, "hfdoppler-synth: %s\n", e.what());
    return false;
  }
  char what[160];
  if (o.tone_only) {
    std::snprintf(what, sizeof what, "pure tones");
  } else if (place) {
    const int n = std::snprintf(what, sizeof what,
                                "scintillation depth %.2f, %zu Sun excursions at %.2f%c %.2f%c", o.scint,
                                params.sun.size(), std::fabs(place->latitude_deg),
                                place->latitude_deg < 0 ? 'S' : 'N', std::fabs(place->longitude_deg),
                                place->longitude_deg < 0 ? 'W' : 'E');
    if (params.s_excursion && n > 0 && static_cast<size_t>(n) < sizeof what) {
      std::snprintf(what + n, sizeof what - static_cast<size_t>(n), ", excursion at %.2f s",
                    params.excursion_center);
    }
  } else {
    std::snprintf(what, sizeof what, "scintillation depth %.2f, excursion at %.2f s", o.scint,
                  params.excursion_center);
  }
  const double length_s = static_cast<double>(samples) / hfd::synth::kSampleRate;
  std::printf("hfdoppler-synth: wrote %s in %s: %lld records (%lld samples, %.2f s) per channel, "
              "seed %llu, %s\n",
              written.c_str(), o.dir.c_str(), static_cast<long long>(samples / kRecordSamples),
              static_cast<long long>(samples), length_s, static_cast<unsigned long long>(params.seed), what);
  std::fflush(stdout);  // a stop signal later must not lose the lines of the recordings written
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (std::string err = ParseArgs(argc, argv, o); !err.empty()) hfd::UsageError("hfdoppler-synth", err);
  const std::int64_t samples = o.records * kRecordSamples;
  const double length_s = static_cast<double>(samples) / hfd::synth::kSampleRate;
  // With --sun, every station's reflection point, found before anything is written.
  std::vector<std::optional<hfd::stations::LatLon>> places(o.stations.size());
  if (o.sun) {
    try {
      const hfd::stations::Registry reg = hfd::stations::LoadRegistry(o.registry);
      for (size_t i = 0; i < o.stations.size(); ++i) {
        const hfd::stations::Station* st = reg.Find(o.stations[i]);
        if (!st) {
          std::fprintf(stderr, "hfdoppler-synth: %s: station %s is not in the station registry\n",
                       reg.path().c_str(), o.stations[i].c_str());
          return 1;
        }
        places[i] = hfd::stations::ReflectionPoint(*st);
      }
    } catch (const hfd::stations::RegistryError& e) {
      std::fprintf(stderr, "hfdoppler-synth: %s\n", e.what());
      return 1;
    }
  }

  std::error_code ec;
  fs::create_directories(o.dir, ec);
  for (int day = 0; day < o.days; ++day) {
    std::int64_t start_utc_ms = 0;
    const std::string start = StartAfter(o.start, day, &start_utc_ms);
    for (size_t i = 0; i < o.stations.size(); ++i) {
      hfd::synth::SynthParams params;
      params.seed = o.seed + static_cast<std::uint64_t>(day) + 100000u * i;
      params.scint_depth = o.scint;
      params.tone_only = o.tone_only;
      params.excursion_center = std::isnan(o.excursion) ? length_s / 2.0 : o.excursion;
      if (places[i]) {
        params.sun = hfd::synth::SunPattern(*places[i], start_utc_ms, length_s);
        params.s_excursion = !std::isnan(o.excursion);
      }
      const bool last = day + 1 == o.days && i + 1 == o.stations.size();
      if (!WriteRecording(o, start + o.stations[i], params, places[i], samples, last)) return 1;
    }
  }
  return 0;
}
