// Runs the programs under test as child processes: the one harness of the
// driver and end-to-end tests.
//
// RunProgram: a program (hfdoppler unless told otherwise) started in a folder
// with its arguments, standard input from a byte string, standard output and
// standard error captured separately (both redirected, so the console keeps
// separate line states for input and output); limits and a signal as the
// Launch says. RunHfd: hfdoppler with the defaults.
// RunHfdInPty: standard input, output and error all on one pseudo-terminal;
// the test types each answer only after the expected text has appeared, the
// way an operator does, and gets back everything the terminal showed.
// Both kill the child after a timeout, so a hang fails the test instead of
// blocking the suite.
//
//   RunResult r = RunHfd(dir, "2\n1024\n0\n");
//   EXPECT_EQ(r.status, 0); EXPECT_EQ(r.out, "...");
//   Launch l; l.fileSizeLimit = 50000; r = RunProgram(dir, "2\n1024\n0\n500\n", l);
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hfd::test {

struct RunResult {
  std::string out;      // standard output, or everything the terminal showed (pty)
  std::string err;      // standard error (empty for a pty run)
  int status = -1;      // exit status; -1 when the child did not exit normally
  int signal = 0;       // the signal that ended the child, 0 when it exited
  bool timedOut = false;
};

// Where the child's standard output goes.
enum class Output {
  Captured,    // a pipe read by the harness
  Stalled,     // a small pipe not read until it is full, so the child is
               // held blocked in a console write; then `signal` is sent
  Full,        // /dev/full
  BrokenPipe,  // a pipe without a reader
  Closed,      // no descriptor 1 at all
};

struct Launch {
  const char* binary = HFD_BINARY;
  std::vector<std::string> args;
  std::vector<std::string> env;  // "NAME=value" settings added to the child's environment
  double timeoutSeconds = 60.0;  // then the child is killed and timedOut set
  long fileSizeLimit = 0;        // RLIMIT_FSIZE of the child in bytes; 0: none
  long addressSpaceLimit = 0;    // RLIMIT_AS of the child in bytes; 0: none
  long openFileLimit = 0;        // RLIMIT_NOFILE of the child; 0: none
  bool holdInput = false;        // standard input stays open after `input`: the child waits
  Output output = Output::Captured;
  bool outputNonBlocking = false;  // O_NONBLOCK on the child's standard output
  // O_NONBLOCK on the child's standard input, and `input` held back until the
  // child has shown output and a fifth of a second more has passed: its
  // first read finds no answer yet.
  bool inputNonBlocking = false;
  bool ignoreInterrupt = false;    // the child starts with SIGINT ignored (a background job)
  bool readAfterStall = true;      // false: a stalled output is never read again
  // When not 0: sent once standard output has carried signalAfterBytes bytes
  // (or, for a stalled output, once the child is held).
  int signal = 0;
  size_t signalAfterBytes = 0;
  // With `signal`: sent instead once a hidden file (a name starting with '.',
  // as a temporary output file has) shows in the folder.
  bool signalOnHiddenFile = false;
  // When set: called about every 10 ms while the child runs, with its process
  // id and the output so far (to write its input files, signal it, ...).
  std::function<void(int pid, const RunResult& sofar)> whileRunning;
};

RunResult RunProgram(const std::filesystem::path& dir, std::string_view input,
                     const Launch& how);

// Whether the folder holds a hidden file.
bool HasHiddenFile(const std::filesystem::path& dir);

// A program stopped by how.signal while it writes (signalOnHiddenFile). A
// run may finish between the look and the signal, so up to three are made,
// `reset` removing what a finished one wrote: the first run that did not end
// normally, else the last.
RunResult StopWhileWriting(const std::filesystem::path& dir, Launch how,
                           const std::function<void()>& reset);

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

}  // namespace hfd::test
