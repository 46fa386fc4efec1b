#include "driver/command_line.hpp"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "driver/options.hpp"
#include "input/listing.hpp"
#include "textio/option_parser.hpp"

namespace hfd {

const char* const kCommandLineUsage =
    "usage: hfdoppler\n"
    "       hfdoppler (--mode 1|2 | --qdr | --spc) --length N (--all | --select NAME...)\n"
    "                 [--window HHMMSS-HHMMSS] [--quiet] [--follow [--idle SECONDS]]\n"
    "                 [--] [DIR...]\n"
    "Without arguments the program asks its questions on the console. With options it\n"
    "answers them itself and runs in each DIR in turn (default: the current folder).\n"
    "  --mode 1|2      1: amplitude file (.qdr); 2: spectrum and peak summary (.spc, .max)\n"
    "  --qdr, --spc    the same as --mode 1, --mode 2\n"
    "  --length N      samples per analysis block: 512, 1024, 2048 or 4096\n"
    "  --window S-E    analyse from time of day S to E (hhmmss each; E = 000000: midnight);\n"
    "                  without it, from the start of each recording to midnight\n"
    "  --all           every recording in the folder, however many\n"
    "  --select NAME   the recording whose channel-0 file is NAME (repeatable)\n"
    "  --quiet, -q     one line per recording instead of the console transcript\n"
    "  --follow        wait for recordings still being written; with --all, serve the\n"
    "                  one DIR until stopped, taking each new recording as it appears\n"
    "  --idle SECONDS  with --follow: end a recording after so long without a record\n"
    "                  (default 600)\n"
    "  --help, -h      this text\n"
    "  --version, -V   the program's version\n"
    "Exit status: 0 done; 1 a run failed, a recording could not be opened or a\n"
    "folder listed (with several folders, the failure is reported with the folder's\n"
    "path and the next folder goes on); 2 usage error; 129, 130 or 143 interrupted.\n";

namespace {

bool IsDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "hhmmss": six digits, minutes and seconds below 60 (hours may pass 24 to
// reach beyond midnight, as a typed answer can).
bool IsTimeOfDay(std::string_view s) {
  if (s.size() != 6 || !IsDigits(s)) return false;
  return s[2] < '6' && s[4] < '6';
}

// Seconds of day of a checked "hhmmss".
int SecondsOfDay(std::string_view s) {
  auto two = [&](size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); };
  return two(0) * 3600 + two(2) * 60 + two(4);
}

std::string Quoted(std::string_view option, std::string_view complaint) {
  return std::string(option) + ": " + std::string(complaint);
}

}  // namespace

std::string ParseCommandLine(int argc, const char* const* argv, CommandLine& cl) {
  static const OptionSpec kSpecs[] = {
      {"qdr", 0, false},    {"spc", 0, false},    {"mode", 0, true},    {"length", 0, true},
      {"window", 0, true},  {"all", 0, false},    {"select", 0, true},  {"follow", 0, false},
      {"idle", 0, true},    {"quiet", 'q', false}};
  cl = CommandLine{};
  const ParsedOptions parsed = ParseOptions(argc, argv, kSpecs);
  if (parsed.action == ParsedOptions::Action::Help) cl.action = CommandLine::Action::Help;
  if (parsed.action == ParsedOptions::Action::Version) cl.action = CommandLine::Action::Version;
  if (parsed.action != ParsedOptions::Action::Run || !parsed.error.empty()) return parsed.error;
  cl.dirs = parsed.operands;

  bool modeGiven = false, lengthGiven = false, idleGiven = false;
  for (const auto& [option, text] : parsed.options) {
    const std::string name = "--" + option;
    const std::string_view value = text;
    if (name == "--qdr" || name == "--spc") {
      cl.mode = name == "--qdr" ? 1 : 2;
      modeGiven = true;
    } else if (name == "--mode") {
      if (value != "1" && value != "2") return Quoted(name, "must be 1 or 2, not '" + std::string(value) + "'");
      cl.mode = value == "1" ? 1 : 2;
      modeGiven = true;
    } else if (name == "--length") {
      int32_t n = 0;
      if (IsDigits(value) && value.size() <= 4) n = std::stoi(std::string(value));
      if (!IsDataLength(n))
        return Quoted(name, "must be 512, 1024, 2048 or 4096, not '" + std::string(value) + "'");
      cl.length = n;
      lengthGiven = true;
    } else if (name == "--window") {
      if (value.size() != 13 || value[6] != '-' || !IsTimeOfDay(value.substr(0, 6)) ||
          !IsTimeOfDay(value.substr(7)))
        return Quoted(name, "must be HHMMSS-HHMMSS, not '" + std::string(value) + "'");
      // A window that ends where it starts, or before, holds no block.
      const int end = SecondsOfDay(value.substr(7));
      if ((end == 0 ? 86400 : end) <= SecondsOfDay(value.substr(0, 6)))
        return Quoted(name, "must end after its start (an hour past 24 reaches into the next day), not '" +
                                std::string(value) + "'");
      cl.window = true;
      cl.windowStart = value.substr(0, 6);
      cl.windowEnd = value.substr(7);
    } else if (name == "--all") {
      cl.all = true;
    } else if (name == "--select") {
      if (!MatchesRecordingPattern(value) || value.find('/') != std::string_view::npos)
        return Quoted(name, "'" + std::string(value) + "' is not a channel-0 file name (*-0.BIN)");
      if (std::find(cl.select.begin(), cl.select.end(), value) == cl.select.end())
        cl.select.emplace_back(value);
    } else if (name == "--follow") {
      cl.follow = true;
    } else if (name == "--idle") {
      char* end = nullptr;
      const double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 1e7)
        return Quoted(name, "must be a number of seconds above 0, not '" + text + "'");
      cl.idleSeconds = seconds;
      idleGiven = true;
    } else if (name == "--quiet") {
      cl.quiet = true;
    }
  }
  if (!modeGiven) return "--mode (or --qdr, --spc): missing";
  if (!lengthGiven) return "--length: missing";
  if (cl.all && !cl.select.empty()) return "--all: cannot be given with --select";
  if (!cl.all && cl.select.empty()) return "--all or --select: missing";
  if (idleGiven && !cl.follow) return "--idle: only with --follow";
  if (cl.follow && cl.all && cl.dirs.size() > 1) return "--follow --all: serves one folder, not several";
  return {};
}

std::string DialogueAnswers(const CommandLine& cl) {
  return std::to_string(cl.mode) + "\n" + std::to_string(cl.length) + "\n" +
         (cl.window ? "1\n" : "0\n");
}

std::string WindowAnswers(const CommandLine& cl, size_t recordings) {
  std::string a;
  if (!cl.window) return a;
  a.reserve(recordings * 14);
  for (size_t r = 0; r < recordings; ++r) a += cl.windowStart + "\n" + cl.windowEnd + "\n";
  return a;
}

}  // namespace hfd
