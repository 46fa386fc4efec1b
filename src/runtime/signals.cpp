#include "runtime/signals.hpp"

#include <fenv.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <iterator>

#include "runtime/fatal_report.hpp"

namespace hfd {
namespace {

// The run whose files a SIGFPE report must close. Signal handlers can reach
// the program's state only through a static, so this is the one there is.
FatalReport* g_trapTarget = nullptr;
// The stop signal received (0: none), set by the stop handler.
volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int sig) { g_stopSignal = sig; }

// Stop signals; each is left alone when ignored at start.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM};
bool g_caught[std::size(kStopSignals)] = {};

void OnFloatingPointTrap(int, siginfo_t* info, void*) {
  int number = 6101;
  const char* what = "floating-point error: invalid";
  switch (info->si_code) {
    case FPE_FLTDIV:
    case FPE_INTDIV:
      number = 6103;
      what = "floating-point error: divide by zero";
      break;
    case FPE_FLTOVF:
    case FPE_INTOVF:
      number = 6104;
      what = "floating-point error: overflow";
      break;
    case FPE_FLTUND:
      number = 6105;
      what = "floating-point error: underflow";
      break;
    case FPE_FLTRES:
      number = 6106;
      what = "floating-point error: inexact";
      break;
    default:
      break;
  }
  if (g_trapTarget) g_trapTarget->MathFailure(number, what);
  _exit(1);
}

}  // namespace

void InstallSignalHandlers(FatalReport& report) {
  g_trapTarget = &report;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = OnFloatingPointTrap;
  sa.sa_flags = SA_SIGINFO;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGFPE, &sa, nullptr);
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);

  // No SA_RESTART: a blocked console read returns so the stop is seen at once.
  struct sigaction stop;
  std::memset(&stop, 0, sizeof stop);
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    struct sigaction old;
    if (sigaction(kStopSignals[i], nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
      continue;
    g_caught[i] = sigaction(kStopSignals[i], &stop, nullptr) == 0;
  }

  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void ForgetTrapTarget(const FatalReport& report) {
  if (g_trapTarget == &report) g_trapTarget = nullptr;
}

void RestoreStopDefaults() {
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    if (g_caught[i]) signal(kStopSignals[i], SIG_DFL);
}

bool StopRequested() { return g_stopSignal != 0; }
int StopSignal() { return static_cast<int>(g_stopSignal); }
const volatile int* StopFlag() { return reinterpret_cast<const volatile int*>(&g_stopSignal); }

}  // namespace hfd
