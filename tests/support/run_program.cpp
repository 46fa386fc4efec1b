#include "support/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace hfd::test {
namespace {

using Clock = std::chrono::steady_clock;

// A write to a pipe whose reader has exited must fail with EPIPE, not kill
// the test program.
void IgnoreSigpipe() {
  static const bool done = [] {
    ::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)done;
}

[[noreturn]] void ExecInDir(const std::filesystem::path& dir, const Launch& how) {
  ::signal(SIGPIPE, SIG_DFL);
  ::signal(SIGINT, how.ignoreInterrupt ? SIG_IGN : SIG_DFL);
  auto limit = [](int resource, long bytes) {
    const rlimit rl{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (bytes > 0) ::setrlimit(resource, &rl);
  };
  limit(RLIMIT_FSIZE, how.fileSizeLimit);
  limit(RLIMIT_AS, how.addressSpaceLimit);
  limit(RLIMIT_NOFILE, how.openFileLimit);
  for (const std::string& e : how.env) ::putenv(const_cast<char*>(e.c_str()));
  if (::chdir(dir.c_str()) != 0) ::_exit(126);
  std::vector<char*> argv{const_cast<char*>(how.binary)};
  for (const std::string& a : how.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(how.binary, argv.data());
  ::_exit(127);
}

int MillisLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Reaps the child; kills it first when it is still running after a timeout.
void Reap(pid_t pid, RunResult& r) {
  if (r.timedOut) ::kill(pid, SIGKILL);
  int st = 0;
  while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.signal = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
}

// Appends what is available on fd to out; false at end of file (or EIO on a
// pty master whose slave side has closed).
bool Drain(int fd, std::string& out) {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    return false;
  }
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

RunResult RunHfd(const std::filesystem::path& dir, std::string_view input,
                 double timeoutSeconds, const std::vector<std::string>& args) {
  Launch how;
  how.timeoutSeconds = timeoutSeconds;
  how.args = args;
  return RunProgram(dir, input, how);
}

RunResult RunProgram(const std::filesystem::path& dir, std::string_view input,
                     const Launch& how) {
  IgnoreSigpipe();
  RunResult r;
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
      ::pipe2(err, O_CLOEXEC) != 0)
    return r;
  // A stalled output is a pipe of two pages; a write end kept here shows when
  // it is full (not writable), that is, when the child's next write blocks.
  int probe = -1;
  if (how.output == Output::Stalled) {
    ::fcntl(out[1], F_SETPIPE_SZ, 8192);
    probe = ::fcntl(out[1], F_DUPFD_CLOEXEC, 3);
  }
  if (how.outputNonBlocking) ::fcntl(out[1], F_SETFL, O_NONBLOCK);
  if (how.inputNonBlocking) ::fcntl(in[0], F_SETFL, O_NONBLOCK);
  if (how.output == Output::BrokenPipe) ::close(out[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (how.output == Output::Full) {
      const int full = ::open("/dev/full", O_WRONLY);
      ::dup2(full, 1);
    }
    if (how.output == Output::Closed) ::close(1);
    ExecInDir(dir, how);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  int inFd = in[1];
  ::fcntl(inFd, F_SETFL, O_NONBLOCK);
  ::fcntl(err[0], F_SETFL, O_NONBLOCK);
  const bool captured = how.output == Output::Captured || how.output == Output::Stalled;
  if (captured) ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  else if (how.output != Output::BrokenPipe) ::close(out[0]);
  int heldFd = -1;  // the input kept open, written to no more
  if (input.empty()) {
    if (how.holdInput) heldFd = inFd;
    else ::close(inFd);
    inFd = -1;
  }
  bool outOpen = captured, errOpen = true, signalled = how.signal == 0;
  // A held-back input: released this long after the child's first output.
  Clock::time_point inputAt = how.inputNonBlocking ? Clock::time_point::max() : Clock::time_point();
  bool stalling = how.output == Output::Stalled;
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<long>(how.timeoutSeconds * 1000));
  while (outOpen || errOpen) {
    pollfd fds[3];
    int n = 0;
    const bool readOut = outOpen && !stalling;
    if (readOut) fds[n++] = {out[0], POLLIN, 0};
    if (errOpen) fds[n++] = {err[0], POLLIN, 0};
    const bool inputDue = inFd >= 0 && Clock::now() >= inputAt;
    if (inputDue) fds[n++] = {inFd, POLLOUT, 0};
    const int left = MillisLeft(deadline);
    if (left == 0) {
      r.timedOut = true;
      break;
    }
    // While stalling, the pipe is looked at every few milliseconds; the
    // folder, while watched for a hidden file, every millisecond.
    const bool watching = !signalled && how.signalOnHiddenFile;
    const bool holding = inFd >= 0 && !inputDue;
    const int wait = (stalling || holding) && left > 5 ? 5 : watching ? 1
                     : how.whileRunning && left > 10 ? 10 : left;
    if (::poll(fds, static_cast<nfds_t>(n), wait) < 0 && errno != EINTR) break;
    if (readOut) outOpen = Drain(out[0], r.out);
    if (inputAt == Clock::time_point::max() && !r.out.empty())
      inputAt = Clock::now() + std::chrono::milliseconds(200);
    if (errOpen) errOpen = Drain(err[0], r.err);
    if (how.whileRunning) how.whileRunning(pid, r);
    if (stalling) {
      pollfd full{probe, POLLOUT, 0};
      if (::poll(&full, 1, 0) == 0 || !errOpen) {  // held, or already gone
        if (!signalled && errOpen) ::kill(pid, how.signal);
        signalled = true;
        stalling = false;
        ::close(probe);
        probe = -1;
        if (!how.readAfterStall) outOpen = false;
      }
    } else if (!signalled && (how.signalOnHiddenFile ? HasHiddenFile(dir)
                                                     : r.out.size() >= how.signalAfterBytes)) {
      ::kill(pid, how.signal);
      signalled = true;
    }
    if (inputDue) {
      ssize_t w = ::write(inFd, input.data(), input.size());
      if (w > 0) input.remove_prefix(static_cast<size_t>(w));
      if (input.empty() || (w < 0 && errno != EAGAIN && errno != EINTR)) {
        if (how.holdInput) heldFd = inFd;
        else ::close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) ::close(inFd);
  if (heldFd >= 0) ::close(heldFd);
  if (captured) ::close(out[0]);
  if (probe >= 0) ::close(probe);
  ::close(err[0]);
  Reap(pid, r);
  return r;
}

bool HasHiddenFile(const std::filesystem::path& dir) {
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string()[0] == '.') return true;
  return false;
}

RunResult StopWhileWriting(const std::filesystem::path& dir, Launch how,
                           const std::function<void()>& reset) {
  how.signalOnHiddenFile = true;
  RunResult r;
  for (int run = 0; run < 3; ++run) {
    reset();
    r = RunProgram(dir, "", how);
    if (r.status != 0) break;
  }
  return r;
}

RunResult RunHfdInPty(const std::filesystem::path& dir, const std::vector<PtyStep>& steps,
                      double timeoutSeconds, const std::vector<std::string>& args) {
  RunResult r;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return r;
  if (pid == 0) {
    termios t;
    if (::tcgetattr(0, &t) == 0) {
      t.c_lflag |= ICANON | ECHO;
      t.c_iflag |= ICRNL;
      t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
      ::tcsetattr(0, TCSANOW, &t);
    }
    Launch how;
    how.args = args;
    ExecInDir(dir, how);
  }
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
  size_t step = 0;
  bool open = true;
  while (open) {
    if (step < steps.size() && EndsWith(r.out, steps[step].waitFor)) {
      const std::string& text = steps[step].type;
      size_t done = 0;
      while (done < text.size()) {
        ssize_t w = ::write(master, text.data() + done, text.size() - done);
        if (w > 0) done += static_cast<size_t>(w);
        else if (w < 0 && errno != EAGAIN && errno != EINTR) break;
      }
      ++step;
      continue;
    }
    const int left = MillisLeft(deadline);
    if (left == 0) {
      r.timedOut = true;
      break;
    }
    pollfd fd{master, POLLIN, 0};
    if (::poll(&fd, 1, left) < 0 && errno != EINTR) break;
    open = Drain(master, r.out);
  }
  Reap(pid, r);
  ::close(master);
  return r;
}

}  // namespace hfd::test
