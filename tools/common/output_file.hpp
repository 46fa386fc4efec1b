// An output file of a companion program: written under a hidden temporary
// name in its own folder and renamed to its name only when complete, so that
// a reader never sees half a file. A file not committed is removed, on an
// exception as on a stop signal (SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2,
// SIGALRM, SIGPIPE): the signal's handler unlinks every temporary file still open and
// the program ends by that signal (status 128 + signal in a shell). A stop
// signal that finds every file committed and none pending ends the program
// with status 0: its work is in place. A signal that was ignored when the
// first file was opened (nohup) stays ignored. A crash (SIGSEGV, SIGBUS,
// SIGABRT, ...) or SIGQUIT removes the temporary files too before it takes
// its course. A closed descriptor 0, 1 or 2 is first opened on /dev/null, so
// that a library's message to standard error never lands in a file.
// SIGXFSZ is ignored: a write over the file size limit fails as a WriteError.
//
//   hfd::tools::OutputFile out("day.csv");   // creates ".day.csv.XXXXXX" beside it
//   out.Append("a,b\n"); out.Commit();        // renamed to day.csv
#pragma once

#include <csignal>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hfd::tools {

// A failed create, write, close or rename; the message names the file.
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputFile {
 public:
  explicit OutputFile(std::string path);  // throws WriteError
  ~OutputFile();                          // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }
  // The temporary name, for writers that open the file themselves (netCDF):
  // call CloseForOthers() first; the name stays in the signal cleanup.
  const std::string& temp_path() const { return temp_; }
  void CloseForOthers();

  // Buffered appends. Room(n) gives a place for n (at most kBuffer)
  // characters, Advance(n) keeps them.
  void Append(std::string_view s);
  char* Room(size_t n) {
    if (kBuffer - used_ < n) Flush();
    return buf_.data() + used_;
  }
  void Advance(size_t n) { used_ += n; }

  // Flushes, closes and renames, with the stop signals held back so that a
  // signal meanwhile finds either the temporary file or the complete one.
  // `completes_run`: this is the run's last output, so a stop signal from the
  // rename on finds the run done and ends it with status 0. A program that
  // writes outputs one after another passes false for all but the last: a
  // stop between two of them cuts the run short and is a stop.
  void Commit(bool completes_run = true);  // throws WriteError

  static constexpr size_t kBuffer = size_t{1} << 20;

 private:
  void Flush();
  [[noreturn]] void Fail(const char* step, int err);

  std::string path_, temp_;
  std::string buf_;
  size_t used_ = 0;
  int fd_ = -1;
  int slot_ = -1;  // the signal cleanup's entry for temp_
  bool committed_ = false;
};

// Writes all n bytes to fd, going on after a signal and waiting for room
// when fd is non-blocking and full. Returns 0, else the errno of the failure
// (EIO for a write that wrote nothing).
int WriteAll(int fd, const char* p, size_t n);

// The end of a program that wrote text to standard output (--help,
// --version): 0 when it is all written, else 1 with a message saying so (a
// full disk, a closed descriptor).
int FinishStandardOutput(const char* program);

// The stop signals held back for the object's life (a signal that
// arrives meanwhile is delivered at its end). For files that belong together:
//   { SignalsHeld hold; second.Commit(); first.Commit(); }
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

}  // namespace hfd::tools
