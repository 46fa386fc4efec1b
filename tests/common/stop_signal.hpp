// Stopping a program by a signal while it writes: the program is run in a
// folder, and as soon as a hidden (temporary) file shows there it is sent
// the signal.
//
//   StopResult r = StopWhileWriting(dir, {HFD_EXPORT_BINARY, "day.spc", "-o", "day.csv"}, SIGTERM);
//   if (r.hit) EXPECT_TRUE(WIFSIGNALED(r.status));
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace hfd::test {

struct StopResult {
  bool hit = false;  // the signal was sent while a hidden file was there
  int status = 0;    // the wait status
};

inline bool HasHiddenFile(const std::filesystem::path& dir) {
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string()[0] == '.') return true;
  return false;
}

inline StopResult StopWhileWriting(const std::filesystem::path& dir, const std::vector<std::string>& args,
                                   int sig) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (::chdir(dir.c_str()) != 0 || null < 0) ::_exit(126);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  StopResult r;
  while (::waitpid(pid, &r.status, WNOHANG) == 0) {
    if (HasHiddenFile(dir)) {
      ::kill(pid, sig);
      r.hit = true;
      ::waitpid(pid, &r.status, 0);
      break;
    }
    ::usleep(200);
  }
  return r;
}

// Up to three runs, as a run may finish between the look and the signal:
// the first that did not end normally, else the last. `prepare` clears the
// folder of what a finished run wrote.
template <class Prepare>
StopResult StopWhileWritingRetried(const std::filesystem::path& dir, const std::vector<std::string>& args,
                                   int sig, Prepare prepare) {
  StopResult r;
  for (int attempt = 0; attempt < 3; ++attempt) {
    prepare();
    r = StopWhileWriting(dir, args, sig);
    if (r.hit && !(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0)) break;
  }
  return r;
}

}  // namespace hfd::test
