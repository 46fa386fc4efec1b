#include "runtime/fatal_report.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runtime/signals.hpp"

namespace hfd {
namespace {

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

// Writes the report. Nothing here allocates: it also serves when memory ran
// out.
void WriteReport(int fd, char letter, int number, std::string_view statement,
                 std::string_view description) {
  char text[1024];
  int n = std::snprintf(text, sizeof text, "\r\nrun-time error %c%04d%.*s\r\n- %.*s\r\n", letter,
                        number, static_cast<int>(statement.size()), statement.data(),
                        static_cast<int>(description.size()), description.data());
  if (n > static_cast<int>(sizeof text)) n = sizeof text;
  for (int done = 0; n > done;) {
    ssize_t w = ::write(fd, text + done, static_cast<size_t>(n - done));
    if (w < 0 && errno == EINTR && !StopRequested()) continue;
    if (w <= 0) break;
    done += static_cast<int>(w);
  }
}

// The statement of an F report on a unit, such as ": OPEN(unit)".
std::string_view UnitStatement(Statement what, std::string_view unit, char (&out)[300]) {
  const int n = std::snprintf(out, sizeof out, "%s%.*s)", StatementText(what),
                              static_cast<int>(unit.size()), unit.data());
  return {out, n < static_cast<int>(sizeof out) ? static_cast<size_t>(n) : sizeof out - 1};
}

}  // namespace

FatalReport::~FatalReport() { ForgetTrapTarget(*this); }

bool FatalReport::StopRequested() const { return hfd::StopRequested(); }

void FatalReport::StopForSignal() {
  const int sig = StopSignal() ? StopSignal() : SIGTERM;
  for (ResultFile* f : keep_)
    if (f) f->Close();  // a failure here is the write report, exit status 1
  RestoreStopDefaults();
  console_.Flush();
  raise(sig);
  _exit(128 + sig);
}

void FatalReport::FileFailure(Statement what, std::string_view unit, int errnum) {
  UnitReport(what, unit, FileErrorNumber(what, errnum), std::strerror(errnum));
}

void FatalReport::OpenRefused(std::string_view unit, const char* why) {
  UnitReport(Statement::Open, unit, 6419, why);
}

void FatalReport::InputFailure(ReadError e, std::string_view unit) {
  UnitReport(Statement::Read, unit, static_cast<int>(e), Describe(e));
}

void FatalReport::UnitReport(Statement what, std::string_view unit, int number,
                             const char* description) {
  char statement[300];
  Report('F', number, UnitStatement(what, unit, statement), description);
}

void FatalReport::MathFailure(int number, const char* description) {
  Report('M', number, ": MATH", description, false);
}

void FatalReport::MemoryFailure() { Report('F', 6700, ": ALLOCATE", std::strerror(ENOMEM)); }

void FatalReport::Report(char letter, int number, std::string_view statement,
                         std::string_view description, bool mayThrow) {
  // Keep every record written so far: close the result files first.
  for (ResultFile* f : keep_)
    if (f) f->Abandon();
  console_.Finish();
  WriteReport(err_, letter, number, statement, description);
  if (throw_ && mayThrow) throw RunFailed{};
  _exit(1);
}

void ReportFileFailure(int errFd, Statement what, std::string_view unit, int errnum) {
  char statement[300];
  WriteReport(errFd, 'F', FileErrorNumber(what, errnum), UnitStatement(what, unit, statement),
              std::strerror(errnum));
  _exit(1);
}

void ReportMemoryFailure(int errFd) {
  WriteReport(errFd, 'F', 6700, ": ALLOCATE", std::strerror(ENOMEM));
  _exit(1);
}

}  // namespace hfd
