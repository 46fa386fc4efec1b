#include "output_file.hpp"

#include <fcntl.h>
#include <poll.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace hfd::tools {
namespace {

// The stop signals: the run ends, removing its temporary files (SIGPIPE: a
// message to a standard error whose reader has gone, as with `2>&1 | head`).
// SIGXFSZ is ignored, so that a write over the file size limit fails with a
// message.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE};
// Crashes and SIGQUIT (Ctrl-\): the temporary files are removed, then the
// signal does what it did before (a core dump, or a sanitizer's report).
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGTRAP, SIGQUIT};
struct sigaction g_crash_before[std::size(kCrashSignals)];

// The temporary files the signal handler removes. Paths are written before
// their entry is marked live and unmarked only after the file is gone or
// renamed, so the handler reads only whole paths of files that may exist.
struct Pending {
  std::atomic<bool> live{false};
  char path[PATH_MAX];
};
constexpr int kPending = 8;  // files open at once
Pending g_pending[kPending];
static_assert(std::atomic<bool>::is_always_lock_free);
// Set by the commit of the run's last output (and cleared by one of an
// output that is not the last): while set, a stop signal
// that finds no file pending finds the run's work in place.
std::atomic<bool> g_committed{false};

bool RemoveTemporaries() {
  bool any = false;
  for (Pending& p : g_pending) {
    if (p.live.load()) {
      ::unlink(p.path);
      any = true;
    }
  }
  return any;
}

extern "C" void RemoveTemporariesAndStop(int sig) {
  // Every file written is in place and none is pending: the run succeeded.
  if (!RemoveTemporaries() && g_committed.load()) ::_exit(0);
  // End by the same signal, as the parent expects of a stopped program.
  ::signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

extern "C" void RemoveTemporariesAndCrash(int sig, siginfo_t* info, void*) {
  RemoveTemporaries();
  for (size_t i = 0; i < std::size(kCrashSignals); ++i)
    if (kCrashSignals[i] == sig) ::sigaction(sig, &g_crash_before[i], nullptr);
  // A fault recurs when the handler returns; a signal sent (or a breakpoint
  // trap, which would go on) is raised again, delivered on return.
  if (info->si_code <= 0 || sig == SIGTRAP || sig == SIGABRT) ::raise(sig);
}

// A program started without descriptor 0, 1 or 2 (a service, `2>&-`) gets
// /dev/null there, so that no output file becomes standard error, where a
// library's message (fontconfig's, netCDF's) would land in it.
void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int null = ::open("/dev/null", O_RDWR);  // the lowest free descriptor: fd
    if (null > 2) ::close(null);
  }
}

void InstallHandlersOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction sa{};
  sa.sa_handler = RemoveTemporariesAndStop;
  sigemptyset(&sa.sa_mask);
  for (int s : kStopSignals) sigaddset(&sa.sa_mask, s);
  for (int s : kStopSignals) {
    struct sigaction old{};
    if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(s, &sa, nullptr);
  }
  ::signal(SIGXFSZ, SIG_IGN);
  struct sigaction crash{};
  crash.sa_sigaction = RemoveTemporariesAndCrash;
  crash.sa_flags = SA_SIGINFO;
  sigfillset(&crash.sa_mask);
  for (size_t i = 0; i < std::size(kCrashSignals); ++i)
    ::sigaction(kCrashSignals[i], &crash, &g_crash_before[i]);
}

// Call with the stop signals held.
int Claim(const std::string& path) {
  for (int i = 0; i < kPending; ++i) {
    if (g_pending[i].live.load()) continue;
    std::memcpy(g_pending[i].path, path.c_str(), path.size() + 1);
    g_pending[i].live.store(true);
    return i;
  }
  return -1;
}

void Unclaim(int& slot) {
  if (slot >= 0) g_pending[slot].live.store(false);
  slot = -1;
}

}  // namespace

int WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {  // handed over non-blocking: wait for room
      pollfd room{fd, POLLOUT, 0};
      ::poll(&room, 1, -1);
      continue;
    }
    if (w <= 0) return w == 0 ? EIO : errno;
    p += w, n -= static_cast<size_t>(w);
  }
  return 0;
}

int FinishStandardOutput(const char* program) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  std::fprintf(stderr, "%s: cannot write standard output: %s\n", program, std::strerror(errno));
  return 1;
}

SignalsHeld::SignalsHeld() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kStopSignals) sigaddset(&set, s);
  ::sigprocmask(SIG_BLOCK, &set, &old_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  const size_t slash = path_.find_last_of('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  // ".NAME.XXXXXX", the name shortened where the folder's longest name
  // would be exceeded.
  temp_ = path_.substr(0, base) + "." + path_.substr(base, NAME_MAX - 8) + ".XXXXXX";
  if (temp_.size() >= PATH_MAX) Fail("create", ENAMETOOLONG);
  InstallHandlersOnce();
  OpenStandardDescriptors();
  {
    SignalsHeld hold;  // no file made without its cleanup entry
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) Fail("create", errno);
    slot_ = Claim(temp_);
  }
  if (slot_ < 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
    fd_ = -1;
    Fail("create", EMFILE);
  }
  const mode_t mask = ::umask(0);  // mkstemp makes 0600; give the file the usual mode
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  buf_.resize(kBuffer);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && slot_ >= 0) ::unlink(temp_.c_str());
  Unclaim(slot_);
}

void OutputFile::Fail(const char* step, int err) {
  throw WriteError("cannot write " + path_ + ": " + step + ": " + std::strerror(err));
}

void OutputFile::CloseForOthers() {
  Flush();
  const int fd = fd_;
  fd_ = -1;
  if (fd >= 0 && ::close(fd) != 0) Fail("close", errno);
}

void OutputFile::Flush() {
  if (const int err = WriteAll(fd_, buf_.data(), used_); err != 0) Fail("write", err);
  used_ = 0;
}

void OutputFile::Append(std::string_view s) {
  while (!s.empty()) {
    if (used_ == kBuffer) Flush();
    const size_t n = std::min(s.size(), kBuffer - used_);
    std::memcpy(buf_.data() + used_, s.data(), n);
    used_ += n;
    s.remove_prefix(n);
  }
}

void OutputFile::Commit(bool completes_run) {
  if (fd_ >= 0) CloseForOthers();
  SignalsHeld hold;
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) Fail("rename", errno);
  committed_ = true;
  g_committed.store(completes_run);
  Unclaim(slot_);
}

}  // namespace hfd::tools
