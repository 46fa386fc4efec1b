#include "textio/io_system.hpp"

#include <fenv.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hfd {
namespace {

// The run whose files a SIGFPE report must close. Signal handlers can reach
// the program's state only through a static, so this is the one there is.
IoSystem* g_trapTarget = nullptr;
// The stop signal received (0: none), set by the SIGINT/SIGTERM handler.
volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int sig) { g_stopSignal = sig; }

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

int FileErrorNumber(Statement what, int errnum) {
  switch (what) {
    case Statement::Open:
      if (errnum == ENOENT || errnum == ENOTDIR) return 6414;
      if (errnum == EACCES || errnum == EPERM || errnum == EROFS) return 6416;
      if (errnum == ENOSPC || errnum == EDQUOT) return 6422;
      return 6419;
    case Statement::Write:
      if (errnum == EPIPE) return 6423;
      if (errnum == ENOSPC || errnum == EDQUOT || errnum == EFBIG) return 6422;
      return 6423;
    case Statement::Close:
      return 6424;
    case Statement::Read:
      return 6500;
  }
  return 6419;
}

const char* StatementText(Statement s) {
  switch (s) {
    case Statement::Read:
      return ": READ(";
    case Statement::Write:
      return ": WRITE(";
    case Statement::Open:
      return ": OPEN(";
    case Statement::Close:
      return ": CLOSE(";
  }
  return ": ";
}

}  // namespace

IoSystem::IoSystem(int inFd, int outFd, int errFd)
    : console(inFd, outFd, Console::DetectShared(inFd, outFd)),
      unit3(*this),
      unit4(*this),
      err_(errFd) {}

IoSystem::~IoSystem() {
  if (g_trapTarget == this) g_trapTarget = nullptr;
}

void IoSystem::InstallSignalHandlers() {
  g_trapTarget = this;
  handlersInstalled_ = true;
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
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  console.WatchStopFlag(reinterpret_cast<const volatile int*>(&g_stopSignal));

  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

bool IoSystem::StopRequested() const { return handlersInstalled_ && g_stopSignal != 0; }

void IoSystem::StopForSignal() {
  int sig = g_stopSignal ? static_cast<int>(g_stopSignal) : SIGTERM;
  unit3.Abandon();
  unit4.Abandon();
  unit1.Close();
  unit2.Close();
  console.Flush();
  signal(sig, SIG_DFL);
  raise(sig);
  _exit(128 + sig);
}

void IoSystem::ReadListInt(int32_t& target) {
  for (;;) {
    std::string_view line;
    ReadError e = console.ReadLine(line);
    if (e == ReadError::Interrupted) StopForSignal();
    if (e != ReadError::None) InputFailure(e, "CON");
    ListLine r = ParseListLine(line, target, e);
    if (r == ListLine::Blank) continue;
    if (r == ListLine::Error) InputFailure(e, "CON");
    return;
  }
}

void IoSystem::ReadFormattedInts(const FormatPlan& format, int32_t* targets, int count) {
  std::string_view line;
  ReadError e = console.ReadLine(line);
  if (e == ReadError::Interrupted) StopForSignal();
  if (e != ReadError::None) InputFailure(e, "CON");
  int widths[32];
  int n = format.IntWidths(widths, 32);
  if (n > count) n = count;
  e = ReadIntFields(line, widths, n, targets);
  if (e != ReadError::None) InputFailure(e, "CON");
}

void IoSystem::ReadInternalInts(std::string_view record, const FormatPlan& format,
                                int32_t* targets, int count) {
  int widths[32];
  int n = format.IntWidths(widths, 32);
  if (n > count) n = count;
  ReadError e = ReadIntFields(record, widths, n, targets);
  if (e != ReadError::None) InputFailure(e, "internal");
}

void IoSystem::CloseUnits() {
  unit1.Close();
  unit2.Close();
  unit3.Close();
  unit4.Close();
}

int IoSystem::Finish() {
  CloseUnits();
  if (!console.Finish()) FileFailure(Statement::Write, "CON", EIO);
  return 0;
}

void IoSystem::FileFailure(Statement what, std::string_view unit, int errnum) {
  char statement[300];
  std::snprintf(statement, sizeof statement, "%s%.*s)", StatementText(what),
                static_cast<int>(unit.size()), unit.data());
  Report('F', FileErrorNumber(what, errnum), statement, std::strerror(errnum));
}

void IoSystem::InputFailure(ReadError e, std::string_view unit) {
  char statement[300];
  std::snprintf(statement, sizeof statement, ": READ(%.*s)", static_cast<int>(unit.size()),
                unit.data());
  Report('F', static_cast<int>(e), statement, Describe(e));
}

void IoSystem::MathFailure(int number, const char* description) {
  Report('M', number, ": MATH", description);
}

void IoSystem::Report(char letter, int number, std::string_view statement,
                      std::string_view description) {
  // Keep every record written so far: close the result files first.
  unit3.Abandon();
  unit4.Abandon();
  unit1.Close();
  unit2.Close();
  console.Finish();
  char text[1024];
  int n = std::snprintf(text, sizeof text, "\r\nrun-time error %c%04d%.*s\r\n- %.*s\r\n", letter,
                        number, static_cast<int>(statement.size()), statement.data(),
                        static_cast<int>(description.size()), description.data());
  if (n > static_cast<int>(sizeof text)) n = sizeof text;
  for (int done = 0; n > done;) {
    ssize_t w = ::write(err_, text + done, static_cast<size_t>(n - done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<int>(w);
  }
  _exit(1);
}

}  // namespace hfd
