// Runs the hfdoppler executable as a child process for the driver tests.
//
// RunHfd: standard input from a byte string, standard output and standard
// error captured separately (both redirected, so the console keeps separate
// line states for input and output).
// RunHfdInPty: standard input, output and error all on one pseudo-terminal;
// the test types each answer only after the expected text has appeared, the
// way an operator does, and gets back everything the terminal showed.
// Both kill the child after a timeout, so a hang fails the test instead of
// blocking the suite.
//
//   RunResult r = RunHfd(dir, "2\n1024\n0\n");
//   EXPECT_EQ(r.status, 0); EXPECT_EQ(r.out, "...");
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hfdtest {

struct RunResult {
  std::string out;      // standard output, or everything the terminal showed (pty)
  std::string err;      // standard error (empty for a pty run)
  int status = -1;      // exit status; -1 when the child did not exit normally
  bool timedOut = false;
};

// `args` are the program's command-line arguments (none: the dialogue).
RunResult RunHfd(const std::filesystem::path& dir, std::string_view input,
                 double timeoutSeconds = 60.0, const std::vector<std::string>& args = {});

// One step of an interactive session: wait until the screen output so far
// ends with `waitFor`, then type `type`.
struct PtyStep {
  std::string waitFor;
  std::string type;
};

// The terminal's output post-processing is switched off (no NL to CR NL
// mapping), so the program's bytes arrive unchanged; typed characters are
// still echoed by the terminal in canonical mode.
RunResult RunHfdInPty(const std::filesystem::path& dir, const std::vector<PtyStep>& steps,
                      double timeoutSeconds = 60.0, const std::vector<std::string>& args = {});

}  // namespace hfdtest
