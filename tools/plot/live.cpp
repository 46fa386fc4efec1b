#include "live.hpp"

#include <glob.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <tuple>

#include "input/file_watch.hpp"
#include "results/result_files.hpp"
#include "sources.hpp"

namespace hfd::plot {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM};
volatile sig_atomic_t g_stop = 0;
extern "C" void OnStop(int sig) { g_stop = sig; }
struct sigaction g_before[std::size(kStopSignals)];  // what the stop signals did before

// The stop signals noted in g_stop (a signal ignored, as under nohup, stays
// ignored); a child process that draws gives them back what they did before.
void CatchStops() {
  struct sigaction sa{};
  sa.sa_handler = OnStop;  // no SA_RESTART: a wait ends at once
  sigemptyset(&sa.sa_mask);
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (::sigaction(kStopSignals[i], nullptr, &g_before[i]) == 0 && g_before[i].sa_handler == SIG_IGN) continue;
    ::sigaction(kStopSignals[i], &sa, nullptr);
  }
}
void RestoreStops() {
  for (size_t i = 0; i < std::size(kStopSignals); ++i) ::sigaction(kStopSignals[i], &g_before[i], nullptr);
}

// Under an address-space or data-size limit the font libraries may end the
// program when memory runs out (SIGSEGV in fontconfig, a GLib error for a
// thread of pango's): a drawing is then made by a child process, and such an
// end is reported as running out of memory.
bool MemoryLimited() {
  for (int r : {RLIMIT_AS, RLIMIT_DATA}) {
    struct rlimit lim;
    if (::getrlimit(r, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) return true;
  }
  return false;
}

bool IsPattern(const std::string& s) { return s.find_first_of("*?[") != std::string::npos; }

bool IsSpectrum(const std::string& f) { return f.size() > 4 && f.compare(f.size() - 4, 4, ".spc") == 0; }

// Not there, or there but empty.
bool IsMissingOrEmpty(const std::string& f) {
  struct stat st;
  return ::stat(f.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0);
}

// The files named, patterns expanded (in name order), each once. Drawing
// once, a pattern that matches nothing stands for itself (the reader then
// names it). Following (`live`), it stands for nothing, and a missing or an
// empty file (just created by the analyser) is not taken, nor is an empty peak summary
// file beside a .spc file, which is otherwise taken when no .max or .qdr
// file is named.
std::vector<std::string> Expand(const std::vector<std::string>& args, bool live) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  auto add = [&](const std::string& f) {
    if (!(live && IsMissingOrEmpty(f)) && seen.insert(f).second) out.push_back(f);
  };
  for (const std::string& a : args) {
    glob_t g{};
    if (IsPattern(a) && ::glob(a.c_str(), 0, nullptr, &g) == 0) {
      for (size_t i = 0; i < g.gl_pathc; ++i) add(g.gl_pathv[i]);
    } else if (!IsPattern(a) || !live) {
      add(a);
    }
    ::globfree(&g);
  }
  if (live && std::all_of(out.begin(), out.end(), IsSpectrum)) {
    const size_t spectra = out.size();
    for (size_t i = 0; i < spectra; ++i)
      if (::access(PeakBeside(out[i]).c_str(), R_OK) == 0) add(PeakBeside(out[i]));
  }
  return out;
}

// What the drawing depends on: every file (and the peak summary file beside
// a .spc), its identity, size and time of change.
using Signature = std::vector<std::tuple<std::string, ino_t, off_t, time_t, long>>;
Signature SignatureOf(const std::vector<std::string>& files) {
  Signature sig;
  for (const std::string& f : files) {
    for (const std::string& p : IsSpectrum(f) ? std::vector<std::string>{f, PeakBeside(f)}
                                              : std::vector<std::string>{f}) {
      struct stat st;
      if (::stat(p.c_str(), &st) == 0)
        sig.emplace_back(p, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    }
  }
  return sig;
}

// --last: the span ends with the newest block of the most recently written
// file. A file last written before the span starts holds no block in it
// (blocks are written after they are recorded) and is not read at all; the
// most recent one is drawn whatever its time (written by a clock behind).
void ApplyLast(int64_t last_ms, std::vector<std::string>& files, PlotOptions& opt) {
  std::vector<std::pair<std::string, int64_t>> written;  // file, mtime in ms
  for (const std::string& f : files) {
    struct stat st;
    if (::stat(f.c_str(), &st) == 0)
      written.emplace_back(f, int64_t{st.st_mtim.tv_sec} * 1000 + st.st_mtim.tv_nsec / 1000000);
  }
  if (written.empty()) return;  // the drawing names the file it cannot read
  const std::string newest =
      std::max_element(written.begin(), written.end(), [](auto& a, auto& b) { return a.second < b.second; })
          ->first;
  int64_t end = 0;
  bool any = false;
  if (IsSpectrum(newest) && ::access(PeakBeside(newest).c_str(), R_OK) != 0) {
    const results::SpectrumSeries s = results::ReadSpectrumFile(newest);
    if ((any = s.blocks() > 0)) end = s.utc_ms.back() + int64_t{s.data_length} * 10;
  } else {
    const results::PeakSeries s = results::ReadPeakFile(IsSpectrum(newest) ? PeakBeside(newest) : newest);
    if ((any = !s.blocks.empty())) end = s.blocks.back().utc_ms + int64_t{s.data_length} * 10;
  }
  if (!any) return;
  opt.from_ms = end - last_ms;
  std::vector<std::string> kept;
  for (const auto& [f, mtime] : written)
    if (mtime >= *opt.from_ms || f == newest) kept.push_back(f);
  files = kept;
}

[[noreturn]] void EndBySignal(int sig) {
  ::signal(sig, SIG_DFL);
  ::raise(sig);
  ::_exit(128 + sig);
}

// One drawing by a child process; returns its exit status (the child's
// messages are its own). A stop meanwhile is passed on to it, and ends this
// process by that signal once the child has gone (its temporary removed).
int DrawInChild(const std::function<void()>& becomeChild) {
  const pid_t pid = ::fork();
  if (pid < 0) {
    std::fprintf(stderr, "hfdoppler-plot: cannot draw: %s\n", std::strerror(errno));
    return 1;
  }
  if (pid == 0) {
    becomeChild();
    return -1;
  }
  bool passed = false;
  int st = 0;
  for (;;) {
    if (g_stop && !passed) {
      ::kill(pid, g_stop);
      passed = true;
    }
    if (::waitpid(pid, &st, 0) == pid) break;
    if (errno != EINTR) break;
  }
  if (g_stop && !(WIFEXITED(st) && WEXITSTATUS(st) == 0)) EndBySignal(g_stop);  // else the picture is in place
  if (WIFSIGNALED(st)) {
    if (MemoryLimited())
      std::fprintf(stderr, "hfdoppler-plot: out of memory (the drawing ended by signal %d under a memory limit)\n",
                   WTERMSIG(st));
    else
      std::fprintf(stderr, "hfdoppler-plot: the drawing ended by signal %d\n", WTERMSIG(st));
    return 1;
  }
  return WIFEXITED(st) ? WEXITSTATUS(st) : 1;
}

}  // namespace

void SetLiveOption(LiveOptions& live, const std::string& name, const std::string& value,
                   const std::function<void(const std::string&)>& usage) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(value.c_str(), &end);
  const bool number = end != value.c_str() && errno == 0 && std::isfinite(v) && v > 0;
  if (name == "every") {
    if (!number || *end != '\0' || v > 86400)
      usage("--every: a number of seconds above 0 and at most 86400, not '" + value + "'");
    live.every_s = v;
  } else {
    static const std::pair<char, double> kUnits[] = {{'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}};
    const auto unit = std::find_if(std::begin(kUnits), std::end(kUnits),
                                   [&](const auto& u) { return number && end[0] == u.first && end[1] == '\0'; });
    if (unit == std::end(kUnits) || v * unit->second > 366 * 86400.0)
      usage("--last: a duration such as 90m, 6h or 2d (s, m, h or d; at most a year), not '" + value + "'");
    live.last_ms = std::llround(v * unit->second * 1000);
  }
}

void PrepareDrawing(const LiveOptions& live, std::vector<std::string>& files, PlotOptions& opt) {
  if (live.every_s > 0) {
    CatchStops();
    FolderWatch watch(reinterpret_cast<const volatile int*>(&g_stop));
    for (const std::string& f : files) {
      const size_t slash = f.rfind('/');
      const std::string dir = slash == std::string::npos ? "." : f.substr(0, slash + 1);
      if (IsPattern(dir) || !watch.Watch(dir.c_str())) break;  // the timer alone
    }
    Signature drawn;
    bool told = false;
    for (;;) {
      const double looked = MonotonicSeconds();
      const std::vector<std::string> now = Expand(files, true);
      if (now.empty() && !told) {
        std::fprintf(stderr, "hfdoppler-plot: no file matches yet; waiting\n");
        told = true;
      }
      Signature sig = SignatureOf(now);
      if (!now.empty() && sig != drawn) {
        const int status = DrawInChild([&] {
          RestoreStops();
          files = now;
        });
        if (status == -1) break;  // the child: draws below
        if (status == 2) std::exit(2);  // a usage error stays one
        drawn = std::move(sig);  // a failed drawing is tried again when the files change
        told = false;
      }
      // At most one look every SECONDS; with change notification only after
      // a change (or after ten periods, should one have been missed).
      bool changed = !watch.HasEvents();
      for (;;) {
        const double since = MonotonicSeconds() - looked;
        if (since >= live.every_s && (changed || since >= 10 * live.every_s)) break;
        const double left = changed ? live.every_s - since : 10 * live.every_s - since;
        const FolderWatch::Woken w = watch.Wait(left);
        if (w == FolderWatch::Woken::Stop) EndBySignal(g_stop);
        changed = changed || w == FolderWatch::Woken::Change;
      }
    }
  } else {
    files = Expand(files, false);
  }
  if (live.last_ms) ApplyLast(*live.last_ms, files, opt);
  if (live.every_s == 0 && MemoryLimited()) {
    CatchStops();
    const int status = DrawInChild(RestoreStops);
    if (status != -1) std::exit(status);  // the parent; the child draws
  }
}

}  // namespace hfd::plot
