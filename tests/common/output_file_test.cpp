// The companion programs' output file: it appears whole under its name only
// when committed, and a failure or a stop signal leaves no file behind.
#include "common/output_file.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "support/temp_dir.hpp"

namespace hfd::test {
using namespace hfd::tools;
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  std::string Path(const std::string& name) const { return (dir_.path / name).string(); }
  std::set<std::string> Names() const {
    std::set<std::string> n;
    for (const auto& e : fs::directory_iterator(dir_.path)) n.insert(e.path().filename().string());
    return n;
  }
  size_t Hidden() const {
    size_t k = 0;
    for (const std::string& n : Names()) k += n[0] == '.';
    return k;
  }

 private:
  TempDir dir_;
};

std::string Slurp(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(OutputFile, AppearsWholeOnlyWhenCommitted) {
  Folder dir;
  const std::string path = dir.Path("out.csv");
  std::ofstream(path) << "old\n";
  std::string want;
  {
    OutputFile out(path);
    for (int i = 0; want.size() < 3 * OutputFile::kBuffer; ++i) {  // more than the buffer holds
      const std::string line = "row " + std::to_string(i) + "\n";
      if (i % 2) {
        out.Append(line);
      } else {
        line.copy(out.Room(line.size()), line.size());
        out.Advance(line.size());
      }
      want += line;
    }
    out.Append(std::string(OutputFile::kBuffer + 5, 'x'));  // one append larger than the buffer
    want += std::string(OutputFile::kBuffer + 5, 'x');
    EXPECT_EQ(Slurp(path), "old\n");
    EXPECT_EQ(dir.Hidden(), 1u);
    out.Commit();
  }
  EXPECT_EQ(Slurp(path), want);
  EXPECT_EQ(dir.Names(), std::set<std::string>{"out.csv"});
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

  {  // abandoned: the committed file stays as it was
    OutputFile out(path);
    out.Append("half");
  }
  EXPECT_EQ(Slurp(path), want);
  EXPECT_EQ(dir.Names(), std::set<std::string>{"out.csv"});
}

TEST(OutputFile, FailuresNameTheFileAndLeaveNone) {
  Folder dir;
  const std::string missing = dir.Path("no/such/out.csv");
  try {
    OutputFile out(missing);
    FAIL() << "created in a missing folder";
  } catch (const WriteError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot write " + missing + ": create: "), std::string::npos) << e.what();
  }
  fs::create_directory(dir.Path("taken"));  // a folder where the file belongs: the rename fails
  {
    OutputFile out(dir.Path("taken"));
    out.Append("x");
    EXPECT_THROW(out.Commit(), WriteError);
  }
  EXPECT_EQ(dir.Names(), std::set<std::string>{"taken"});
}

// A forked child that has not ended by then is killed, and a wait for a
// pipe gives up, so a hang fails the test instead of blocking the suite.
constexpr auto kForkedTimeout = std::chrono::seconds(60);

// Runs `child` in a forked process that reports through `ready` and waits
// on `go`; returns its wait status after `parent` has run (SIGKILL when the
// child was still running after kForkedTimeout).
int Forked(const std::function<void(int ready, int go)>& child, const std::function<void(pid_t, int ready, int go)>& parent) {
  int ready[2], go[2];
  if (::pipe(ready) != 0 || ::pipe(go) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]), ::close(go[1]);
    child(ready[1], go[0]);
    ::_exit(0);
  }
  ::close(ready[1]), ::close(go[0]);  // a child that dies early closes `ready`
  const auto deadline = std::chrono::steady_clock::now() + kForkedTimeout;
  parent(pid, ready[0], go[1]);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    ::usleep(10000);
  }
  ::close(ready[0]), ::close(go[1]);
  return status;
}

void Signal(int fd) { (void)!::write(fd, "!", 1); }
// Waits for a Signal on fd, at most kForkedTimeout.
void Await(int fd) {
  pollfd p{fd, POLLIN, 0};
  char c;
  if (::poll(&p, 1, std::chrono::milliseconds(kForkedTimeout).count()) == 1) (void)!::read(fd, &c, 1);
}

TEST(OutputFile, StopSignalRemovesTemporaryFilesAndEndsByIt) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE}) {
    Folder dir;
    size_t hidden = 0;
    const int status = Forked(
        [&](int ready, int) {
          OutputFile a(dir.Path("a.csv")), b(dir.Path("b.png"));
          a.Append(std::string(3 * OutputFile::kBuffer, 'a'));  // flushed in part
          b.Append("b");
          Signal(ready);
          for (;;) ::pause();
        },
        [&](pid_t pid, int ready, int) {
          Await(ready);
          hidden = dir.Hidden();
          ::kill(pid, sig);
        });
    EXPECT_EQ(hidden, 2u) << sig;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " status " << status;
    EXPECT_TRUE(dir.Names().empty()) << sig;
  }
}

TEST(OutputFile, IgnoredHangupStaysIgnored) {  // as under nohup
  Folder dir;
  const int status = Forked(
      [&](int ready, int) {
        ::signal(SIGHUP, SIG_IGN);
        OutputFile a(dir.Path("a.csv"));
        Signal(ready);
        for (;;) ::pause();
      },
      [&](pid_t pid, int ready, int) {
        Await(ready);
        ::kill(pid, SIGHUP);
        ::kill(pid, SIGTERM);
      });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(dir.Names().empty());
}

// A signal while files are committed together waits until all are in place;
// then the run has succeeded and ends with status 0.
TEST(OutputFile, SignalDuringHeldCommitLeavesEveryFileWholeAndSucceeds) {
  Folder dir;
  const int status = Forked(
      [&](int ready, int go) {
        OutputFile a(dir.Path("a-0.BIN")), b(dir.Path("a-1.BIN"));
        a.Append("zero"), b.Append("one");
        SignalsHeld hold;
        Signal(ready);
        Await(go);
        b.Commit();
        a.Commit();
      },
      [&](pid_t pid, int ready, int go) {
        Await(ready);
        ::kill(pid, SIGTERM);
        Signal(go);
      });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"a-0.BIN", "a-1.BIN"}));
  EXPECT_EQ(Slurp(dir.Path("a-0.BIN")), "zero");
}

// Outputs written one after another (the days of a synthetic run): a stop
// once the first is in place but before the last cuts the run short, and
// ends it by the signal, not with success.
TEST(OutputFile, StopBetweenOutputsOfOneRunIsAStop) {
  Folder dir;
  const int status = Forked(
      [&](int ready, int) {
        OutputFile first(dir.Path("day1.BIN"));
        first.Append("1");
        first.Commit(false);
        Signal(ready);
        for (;;) ::pause();
      },
      [&](pid_t pid, int ready, int) {
        Await(ready);
        ::kill(pid, SIGTERM);
      });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(dir.Names(), (std::set<std::string>{"day1.BIN"}));
}

// Over the file size limit: a WriteError naming the file (not SIGXFSZ). A
// crash removes the temporary file before it takes its course.
TEST(OutputFile, FileSizeLimitFailsAndCrashesLeaveNoFile) {
  Folder dir;
  int msg[2];
  ASSERT_EQ(::pipe(msg), 0);
  int status = Forked(
      [&](int, int) {
        const struct rlimit lim{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        try {
          OutputFile a(dir.Path("a.csv"));
          a.Append(std::string(3 * OutputFile::kBuffer, 'a'));
          a.Commit();
        } catch (const WriteError& e) {
          (void)!::write(msg[1], e.what(), std::strlen(e.what()));
          ::_exit(1);
        }
      },
      [](pid_t, int, int) {});
  ::close(msg[1]);
  char buf[256];
  const ssize_t n = ::read(msg[0], buf, sizeof buf);
  ::close(msg[0]);
  const std::string message(buf, n > 0 ? static_cast<size_t>(n) : 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_NE(message.find("cannot write " + dir.Path("a.csv") + ": write: File too large"), std::string::npos)
      << message;
  EXPECT_TRUE(dir.Names().empty());

  for (int crash : {SIGSEGV, SIGABRT, SIGQUIT}) {  // SIGQUIT: Ctrl-\ on a terminal
    status = Forked(
        [&](int, int) {
          const struct rlimit no_core{0, 0};
          ::setrlimit(RLIMIT_CORE, &no_core);
          OutputFile a(dir.Path("a.png"));
          a.Append(std::string(2 * OutputFile::kBuffer, 'a'));
          ::raise(crash);
        },
        [](pid_t, int, int) {});
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << crash << " status " << status;
    EXPECT_TRUE(dir.Names().empty()) << crash;
  }
}

// Started without standard error (a service, `2>&-`), the file must not
// become descriptor 2, where a library's message would land in it. A name as
// long as the folder takes gets a shorter temporary name.
TEST(OutputFile, ClosedStandardErrorAndLongestNames) {
  Folder dir;
  const int status = Forked(
      [&](int, int) {
        ::close(2);
        OutputFile a(dir.Path("a.png"));
        a.Append("png");
        (void)!::write(2, "Fontconfig error\n", 17);
        a.Commit();
      },
      [](pid_t, int, int) {});
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Slurp(dir.Path("a.png")), "png");

  const std::string longest = dir.Path(std::string(NAME_MAX - 4, 'x') + ".png");
  OutputFile b(longest);
  b.Append("png");
  b.Commit();
  EXPECT_EQ(Slurp(longest), "png");
}

}  // namespace
}  // namespace hfd::test
