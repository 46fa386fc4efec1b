// hfdoppler-plot: quick-look pictures of the analyser's result files.
#include <glib.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "figure.hpp"
#include "live.hpp"
#include "common/output_file.hpp"
#include "picture_file.hpp"
#include "results/result_files.hpp"
#include "sources.hpp"
#include "stack.hpp"
#include "stations/registry.hpp"
#include "textio/option_parser.hpp"


namespace {

using namespace hfd;

const char kUsage[] =
    "usage: hfdoppler-plot [options] -o OUT.png|OUT.svg|OUT.pdf FILE...\n"
    "Draws .spc, .max or .qdr result files (several of one kind on one time axis;\n"
    "several stations one group of panels each, one under another).\n"
    "  -o, --output FILE   the picture; PNG, SVG or PDF by the extension\n"
    "  --from TIME         start of the span shown, ISO-8601 with offset (2008-05-01T00:00Z)\n"
    "  --to TIME           end of the span shown\n"
    "  --fmin HZ, --fmax HZ    frequency range (default 0-12 Hz; 4-12 Hz for peak frequency)\n"
    "  --vmin DBUV, --vmax DBUV  colour range (default: 5th percentile of the levels,\n"
    "                      99th of the blocks' peaks)\n"
    "  --colormap NAME     viridis (default) or doppler\n"
    "  --width PX, --height PX  size (default 1600 x 900)\n"
    "  --title TEXT        title (default: station, date, N and carriers)\n"
    "  --mark TIME[=LABEL] a vertical line at TIME (repeatable)\n"
    "  --no-trace          no peak-frequency trace over the spectrograms\n"
    "  --stations FILE     the station registry (default: $HFDOPPLER_STATIONS,\n"
    "                      ~/.config/hfdoppler/stations.toml, the installed one)\n"
    "  --zero HZ           the frequency of zero Doppler shift (default: the registry's)\n"
    "  --no-sun            no sunrise and sunset lines\n"
    "  --time jst|utc      the zone of the bottom axis and the title's date (default jst)\n"
    "  --stack             .max or .qdr files of many days as a day stack: per channel one\n"
    "                      row per day, the time of day across (--time: the zone of both)\n"
    "  --stack-value freq|level|s4  the colour of the stack (default freq: the peak\n"
    "                      frequency, or the Doppler shift where the zero is known)\n"
    "  --every SECONDS     stay, and redraw whenever the files have grown (at most every\n"
    "                      SECONDS); FILE may be a pattern ('*SGD.spc'), expanded anew\n"
    "  --last DURATION     the span shown: DURATION (90m, 6h, 2d) up to the newest block\n"
    "  -h, --help          this text;  -V, --version  the program's version\n"
    "Exit status: 0 drawn; 1 a file could not be read or written; 2 usage error;\n"
    "129, 130 or 143 stopped by a signal.\n";

constexpr const char* kProg = "hfdoppler-plot";

[[noreturn]] void Usage(const std::string& msg) { UsageError(kProg, msg); }

[[noreturn]] void Fail(const std::string& msg) {
  std::fprintf(stderr, "%s: %s\n", kProg, msg.c_str());
  std::exit(1);
}

double Number(const char* opt, const char* text) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno != 0 || !std::isfinite(v)) {
    Usage(std::string("--") + opt + ": not a number: '" + text + "'");
  }
  return v;
}

int Pixels(const char* opt, const char* text) {
  double v = Number(opt, text);
  if (v != std::floor(v) || v < 200 || v > 10000) {
    Usage(std::string("--") + opt + ": a whole number of pixels from 200 to 10000, not '" + text + "'");
  }
  return static_cast<int>(v);
}

int64_t Time(const char* opt, const std::string& text) {
  int64_t t;
  if (!results::ParseIsoTime(text, t)) {
    Usage(std::string("--") + opt + ": not an ISO-8601 time with offset (like 2008-05-01T00:00Z): '" + text + "'");
  }
  return t;
}

// Text drawn as given: it must be UTF-8.
const char* Text(const char* opt, const char* text) {
  if (!g_utf8_validate(text, -1, nullptr)) Usage(std::string("--") + opt + ": not UTF-8 text");
  return text;
}

// A note on what the picture leaves out, on its own line.
void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kProg, text.c_str()); }

void Warn(const std::string& file, long dropped) { plot::Incomplete(Say, file, dropped); }

// Seconds since 1970 of the newest file's modification (0 for none).
int64_t NewestMtime(const std::vector<std::string>& files) {
  int64_t newest = 0;
  for (const std::string& f : files) {
    struct stat st;
    if (stat(f.c_str(), &st) == 0) newest = std::max<int64_t>(newest, st.st_mtime);
  }
  return newest;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // One heap for every thread. Each helper thread of the font libraries would
  // otherwise reserve a heap of its own, 64 MB of address space (128 MB for a
  // moment while it is aligned), which under a memory limit (ulimit -v) makes
  // a drawing that fits fail, or not, by the threads' timing.
  mallopt(M_ARENA_MAX, 1);
#endif
  static const OptionSpec kSpecs[] = {
      {"output", 'o', true}, {"from", 0, true},     {"to", 0, true},          {"fmin", 0, true},
      {"fmax", 0, true},     {"vmin", 0, true},     {"vmax", 0, true},        {"colormap", 0, true},
      {"width", 0, true},    {"height", 0, true},   {"title", 0, true},       {"mark", 0, true},
      {"no-trace", 0, false}, {"stations", 0, true}, {"zero", 0, true},       {"no-sun", 0, false},
      {"time", 0, true},     {"stack", 0, false},   {"stack-value", 0, true}, {"every", 0, true},
      {"last", 0, true}};

  const ParsedOptions parsed = ParseOptions(argc, argv, kSpecs);
  if (parsed.action == ParsedOptions::Action::Help) {
    std::fputs(kUsage, stdout);
    return tools::FinishStandardOutput(kProg);
  }
  if (parsed.action == ParsedOptions::Action::Version) {
    std::printf("%s %s\n", kProg, HFD_VERSION);
    return tools::FinishStandardOutput(kProg);
  }
  if (!parsed.error.empty()) Usage(parsed.error);
  plot::LiveOptions live;
  plot::PlotOptions opt;
  bool stack = false;
  plot::StackValue stack_value = plot::StackValue::kFreq;
  std::string out;
  for (const auto& [name, value] : parsed.options) {
    const char* optarg = value.c_str();
    const char* n = name.c_str();
    if (name == "output") out = value;
    else if (name == "from") opt.from_ms = Time(n, value);
    else if (name == "to") opt.to_ms = Time(n, value);
    else if (name == "fmin") opt.fmin = Number(n, optarg);
    else if (name == "fmax") opt.fmax = Number(n, optarg);
    else if (name == "vmin") opt.vmin = Number(n, optarg);
    else if (name == "vmax") opt.vmax = Number(n, optarg);
    else if (name == "colormap") {
      if (!plot::ParseColormap(optarg, opt.colormap)) Usage("--colormap: viridis or doppler, not '" + value + "'");
    } else if (name == "width") opt.width = Pixels(n, optarg);
    else if (name == "height") opt.height = Pixels(n, optarg);
    else if (name == "title") opt.title = Text(n, optarg);
    else if (name == "mark") {
      size_t eq = value.find('=');
      opt.marks.push_back({Time(n, value.substr(0, eq)), eq == std::string::npos ? "" : Text(n, optarg + eq + 1)});
    } else if (name == "no-trace") opt.trace = false;
    else if (name == "stations") {
      if (value.empty()) Usage("--stations: an empty file name");
      opt.stations_file = value;
    } else if (name == "zero") opt.zero_hz = Number(n, optarg);
    else if (name == "no-sun") opt.sun = false;
    else if (name == "time") {
      if (value == "jst") opt.zone = plot::TimeZone::kJst;
      else if (value == "utc") opt.zone = plot::TimeZone::kUtc;
      else Usage("--time: jst or utc, not '" + value + "'");
    } else if (name == "stack") stack = true;
    else if (name == "every" || name == "last") plot::SetLiveOption(live, name, value, Usage);
    else if (name == "stack-value") {
      if (!plot::ParseStackValue(optarg, stack_value)) Usage("--stack-value: freq, level or s4, not '" + value + "'");
    }
  }
  std::vector<std::string> files = parsed.operands;
  if (files.empty()) Usage("no result file given");
  if (out.empty()) Usage("no output file given (-o NAME.png, .svg or .pdf)");
  plot::Format fmt;
  if (!plot::FormatOfPath(out, fmt)) Usage("the output name must end in .png, .svg or .pdf: '" + out + "'");
  if (opt.from_ms && opt.to_ms && *opt.to_ms <= *opt.from_ms) Usage("--to must be after --from");
  if (opt.fmin && opt.fmax && *opt.fmax <= *opt.fmin) Usage("--fmax must be above --fmin");
  if (opt.vmin && opt.vmax && *opt.vmax <= *opt.vmin) Usage("--vmax must be above --vmin");

  if (live.last_ms && (opt.from_ms || opt.to_ms)) Usage("--last cannot be given with --from or --to");

  try {
    plot::PrepareDrawing(live, files, opt);
    std::vector<std::string> spc, peak;
    bool qdr = false, max = false;
    for (const std::string& f : files) {
      results::Kind k = results::KindOfPath(f);
      if (k == results::Kind::kSpectrum) {
        spc.push_back(f);
      } else {
        peak.push_back(f);
        (k == results::Kind::kAmplitude ? qdr : max) = true;
      }
    }
    if (qdr && (max || !spc.empty())) Usage(".qdr files cannot be drawn together with .spc or .max files");
    if (stack) {
      if (!spc.empty()) Usage("--stack draws .max or .qdr files, not .spc files");
      if (qdr && stack_value == plot::StackValue::kS4) Usage("--stack-value s4: .qdr files hold no S4Indx");
      const plot::StackLayout lay = plot::PlanStack(peak, opt, stack_value, plot::StackRegistry(opt, stack_value));
      plot::WriteStack(lay, peak, opt, out, fmt, plot::PdfDate(NewestMtime(peak)), Warn);
      return 0;
    }
    const stations::Registry registry = stations::LoadRegistry(opt.stations_file.value_or(""));
    opt.vector = fmt != plot::Format::kPng;
    plot::Picture pic = plot::Prepare(files, opt, registry, Say);
    std::vector<std::string> drawn;  // the .max files beside the .spc files too
    for (const plot::StationFiles& st : pic.src.stations) {
      for (const auto* list : {&st.spectra, &st.peaks})
        for (const plot::SourceFile& f : *list) drawn.push_back(f.path);
    }
    const int64_t newest = NewestMtime(drawn);
    plot::WriteFigureFile(out, fmt, opt.width, opt.height, plot::PdfDate(newest),
                          [&](cairo_t* cr) { plot::Draw(cr, pic.fig, pic.folds, opt); });
  } catch (const results::ReadError& e) {
    Fail(e.what());  // names the file and line
  } catch (const stations::RegistryError& e) {
    Fail(e.what());  // names the file and line
  } catch (const plot::PlotError& e) {
    Fail(e.what());
  } catch (const tools::WriteError& e) {
    Fail(e.what());
  } catch (const std::bad_alloc&) {
    Fail("out of memory");
  }
  return 0;
}
