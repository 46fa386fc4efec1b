// hfdoppler-synth: writes a synthetic two-channel Doppler recording (the pair
// of channel files YYYYMMDDhhmmssSSS-0.BIN / -1.BIN) for tests, benchmarks and
// first-time users. Run with --help for the options.
#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "common/output_file.hpp"
#include "synth/synth_model.hpp"

namespace {

namespace fs = std::filesystem;
using hfd::synth::kRecordSamples;

const char* const kSynopsis =
    "usage: hfdoppler-synth [--start YYYYMMDDhhmmss] [--station SGD]\n"
    "                       [--seconds S | --records R] [--no-channel2] [--seed N]\n"
    "                       [--dir DIR] [--scint DEPTH] [--excursion T] [--tone-only]\n";
const char* const kOptions =
    "  --start      start date and time in the file names (default 20080501000000)\n"
    "  --station    three-letter station code (default SGD)\n"
    "  --seconds    length in seconds, rounded up to whole records (default 3600)\n"
    "  --records    length in 256-byte records of 128 samples\n"
    "  --no-channel2  write only the channel-0 file\n"
    "  --seed       noise and trace seed (default 1)\n"
    "  --dir        output folder, created if missing (default: current folder)\n"
    "  --scint      scintillation depth 0..1 (default 0.4)\n"
    "  --excursion  middle of the frequency excursion, seconds after the start\n"
    "               (default: the middle of the recording)\n"
    "  --tone-only  steady pure tones (8 Hz, 7.5 Hz): no wander, fading, DC or noise\n"
    "  --help, -h   this text;  --version, -V  the program's version\n"
    "Exit status: 0 written; 1 a file could not be written; 2 usage error.\n";

struct Options {
  std::string start = "20080501000000";
  std::string station = "SGD";
  double seconds = 3600.0;
  long long records = 0;  // 0: derived from seconds
  bool seconds_given = false;
  bool channel2 = true;
  std::uint64_t seed = 1;
  fs::path dir = ".";
  double scint = 0.4;
  double excursion = NAN;  // NaN: the middle of the recording
  bool tone_only = false;
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

// Returns an empty string on success, else the complaint.
std::string ParseArgs(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-channel2") { o.channel2 = false; continue; }
    if (a == "--tone-only") { o.tone_only = true; continue; }
    if (i + 1 >= argc) return "unknown option or missing value: " + a;
    const std::string v = argv[++i];
    if (a == "--start") {
      if (!IsStartTime(v)) return "--start needs a date and time as 14 digits YYYYMMDDhhmmss: " + v;
      o.start = v;
    } else if (a == "--station") {
      if (v.size() != 3 || !AllLetters(v)) return "--station needs three letters";
      o.station = v;
    } else if (a == "--seconds") {
      if (!ParseNumber(v, o.seconds) || !(o.seconds > 0.0) || o.seconds > 1e8)
        return "--seconds needs a positive number";
      o.seconds_given = true;
    } else if (a == "--records") {
      if (!ParseNumber(v, o.records) || o.records <= 0 || o.records > 100000000)
        return "--records needs a positive integer";
    } else if (a == "--seed") {
      if (!ParseNumber(v, o.seed)) return "--seed needs a non-negative integer";
    } else if (a == "--dir") {
      o.dir = v;
    } else if (a == "--scint") {
      if (!ParseNumber(v, o.scint) || !(o.scint >= 0.0 && o.scint <= 1.0))
        return "--scint needs a depth from 0 to 1";
    } else if (a == "--excursion") {
      if (!ParseNumber(v, o.excursion) || !std::isfinite(o.excursion))
        return "--excursion needs a number of seconds";
    } else {
      return "unknown option: " + a;
    }
  }
  if (o.seconds_given && o.records > 0) return "give --seconds or --records, not both";
  if (o.records == 0) {
    const double samples = std::ceil(o.seconds * hfd::synth::kSampleRate - 1e-6);
    o.records = static_cast<long long>(std::ceil(samples / kRecordSamples));
  }
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

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kSynopsis, stdout);
      std::fputs(kOptions, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
      std::puts("hfdoppler-synth " HFD_VERSION);
      return 0;
    }
  }
  if (std::string err = ParseArgs(argc, argv, o); !err.empty()) {
    std::fprintf(stderr, "hfdoppler-synth: %s\n%sTry 'hfdoppler-synth --help'.\n", err.c_str(), kSynopsis);
    return 2;
  }
  const std::int64_t samples = o.records * kRecordSamples;
  const double length_s = static_cast<double>(samples) / hfd::synth::kSampleRate;
  hfd::synth::SynthParams params;
  params.seed = o.seed;
  params.scint_depth = o.scint;
  params.tone_only = o.tone_only;
  params.excursion_center = std::isnan(o.excursion) ? length_s / 2.0 : o.excursion;
  const hfd::synth::SynthModel model(params);

  std::error_code ec;
  fs::create_directories(o.dir, ec);
  std::string written;
  try {
    // Both channels are written whole before either is given its name, the
    // second channel's first: a channel-0 file is never there without its pair.
    std::vector<std::unique_ptr<hfd::tools::OutputFile>> files;
    for (int ch = 1; ch <= (o.channel2 ? 2 : 1); ++ch) {
      const std::string name = o.start + o.station + "-" + std::to_string(ch - 1) + ".BIN";
      files.push_back(std::make_unique<hfd::tools::OutputFile>((o.dir / name).string()));
      WriteChannel(model, ch, samples, *files.back());
      written += (written.empty() ? "" : ", ") + name;
    }
    hfd::tools::SignalsHeld hold;
    for (auto f = files.rbegin(); f != files.rend(); ++f) (*f)->Commit();
  } catch (const hfd::tools::WriteError& e) {
    std::fprintf(stderr, "hfdoppler-synth: %s\n", e.what());
    return 1;
  }
  char what[96];
  if (o.tone_only) {
    std::snprintf(what, sizeof what, "pure tones");
  } else {
    std::snprintf(what, sizeof what, "scintillation depth %.2f, excursion at %.2f s", o.scint,
                  params.excursion_center);
  }
  std::printf("hfdoppler-synth: wrote %s in %s: %lld records (%lld samples, %.2f s) per channel, "
              "seed %llu, %s\n",
              written.c_str(), o.dir.c_str(), o.records, static_cast<long long>(samples),
              length_s, static_cast<unsigned long long>(o.seed), what);
  return 0;
}
