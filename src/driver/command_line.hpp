// The command line of a scripted run: options that answer the dialogue, and
// the folders to run in.
//
// Parsing checks only what the arguments themselves say (known options,
// values, required choices); whether the folders exist and the selected
// recordings are listed is checked by the run before anything is written.
//
//   CommandLine cl; std::string err = ParseCommandLine(argc, argv, cl);
//   if (err.empty()) std::string answers = DialogueAnswers(cl);
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hfd {

struct CommandLine {
  enum class Action { Run, Help, Version };
  Action action = Action::Run;
  int32_t mode = 0;    // 1: amplitude file; 2: spectrum and peak summary files
  int32_t length = 0;  // data length, one of the four offered
  bool window = false;
  std::string windowStart, windowEnd;  // "hhmmss" each, when window
  bool all = false;
  std::vector<std::string> select;  // channel-0 file names, each once
  bool quiet = false;
  bool follow = false;        // wait for recordings being written
  double idleSeconds = 600;   // with follow: a recording ends after so long without a record
  std::vector<std::string> dirs;  // empty: the current folder
};

// Fills `cl` from argv[1 .. argc-1]. Returns "" on success, otherwise the
// one-line complaint, which names the option at fault. --help and --version
// win over everything else on the line.
std::string ParseCommandLine(int argc, const char* const* argv, CommandLine& cl);

// The usage text printed by --help.
extern const char* const kCommandLineUsage;

// The answer lines the dialogue reads before its listing: output mode, data
// length, time-window flag. (The options choose the recordings themselves.)
std::string DialogueAnswers(const CommandLine& cl);
// With a window, its start and end for each of `recordings` recordings (the
// dialogue asks for them per recording); without one, nothing.
std::string WindowAnswers(const CommandLine& cl, size_t recordings);

}  // namespace hfd
