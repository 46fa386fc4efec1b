// One way of taking options for every program of the house, on getopt_long:
// "--name value" and "--name=value" (whole names only), "-x value" and
// "-xvalue", operands anywhere, "--" ending the options, -h/--help and
// -V/--version (these win over everything else on the line), and a usage
// error told on one line that names the option at fault, exit status 2.
//
//   static const OptionSpec kSpecs[] = {{"output", 'o', true}, {"pack", 0, false}};
//   ParsedOptions p = ParseOptions(argc, argv, kSpecs);
//   if (!p.error.empty()) UsageError("prog", p.error);
//   for (const auto& [name, value] : p.options) ...
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace hfd {

struct OptionSpec {
  const char* name;  // the long name, without "--"
  char letter;       // the short one, 0 for none
  bool value;        // takes a value
};

struct ParsedOptions {
  enum class Action { Run, Help, Version };
  Action action = Action::Run;
  std::vector<std::pair<std::string, std::string>> options;  // (long name, value) as given
  std::vector<std::string> operands;
  std::string error;  // the first usage error, "" for none
};

// argv[1 .. argc-1]; argv itself is left as it is.
ParsedOptions ParseOptions(int argc, const char* const* argv, std::span<const OptionSpec> specs);

// "PROGRAM: MESSAGE (PROGRAM --help shows the usage)" and a newline.
std::string UsageLine(const std::string& program, const std::string& message);
// That line on standard error, and exit status 2.
[[noreturn]] void UsageError(const char* program, const std::string& message);

}  // namespace hfd
