// The short "day" shared by the result-file tests: one synthetic recording
// of about five minutes starting at 2008-05-01 12:00:00 at station SGD,
// analysed once per output mode and data length; the files and the console
// output are kept for the whole test program.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e/e2e_run.hpp"

namespace hfd::test {

// The generator's defaults: seed 1, scintillation depth 0.4, the frequency
// excursion in the middle of the recording.
constexpr const char* kDaySynthArgs = "--start 20080501120000 --station SGD --seconds 300";
constexpr long long kDayStartCentis = 12LL * 360000;  // 12:00:00 in hundredths of a second
constexpr long long kDayRecords = 235;                // ceil(30000 samples / 128)

struct DayRun {
  int mode = 0, n = 0;
  RunResult run;
  std::string qdr, spc, max;
  bool qdrExists = false, spcExists = false, maxExists = false;
  std::vector<int16_t> samples[3];  // channels 1 and 2, as the files hold them
  long long blocks() const { return kDayRecords / (n / 128); }  // whole blocks in the files
};

inline const DayRun& Day(int mode, int n) {
  static std::map<std::pair<int, int>, std::unique_ptr<DayRun>> cache;
  auto& slot = cache[{mode, n}];
  if (!slot) {
    auto r = std::make_unique<DayRun>();
    r->mode = mode, r->n = n;
    ScratchDir d;
    Synth(d, kDaySynthArgs);
    r->run = RunFast(d, DayAnswers(mode, n));
    const fs::path base = d.rec() / "200805011200SGD";
    r->qdrExists = fs::exists(base.string() + ".qdr");
    r->spcExists = fs::exists(base.string() + ".spc");
    r->maxExists = fs::exists(base.string() + ".max");
    r->qdr = Slurp(base.string() + ".qdr");
    r->spc = Slurp(base.string() + ".spc");
    r->max = Slurp(base.string() + ".max");
    r->samples[1] = FileSamples(d.rec() / "20080501120000SGD-0.BIN");
    r->samples[2] = FileSamples(d.rec() / "20080501120000SGD-1.BIN");
    slot = std::move(r);
  }
  return *slot;
}

// Clock of block step k of the day: the block starts k * N hundredths of a
// second after the recording start.
struct BlockClock {
  long long h, m, s, secOfDay, centisInMinute;
};
inline BlockClock ClockOf(long long k, int n, long long startCentis = kDayStartCentis) {
  const long long t = startCentis + k * n;
  return {t / 360000, t / 6000 % 60, t / 100 % 60, t / 100, t % 6000};
}

// Number of spectrum lines per block: bins (i - 1) * 100 / N Hz up to 12 Hz.
inline int SpectrumLines(int n) { return 12 * n / 100 + 1; }

}  // namespace hfd::test
