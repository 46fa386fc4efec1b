#include "textio/option_parser.hpp"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>

namespace hfd {

namespace {
constexpr int kHelp = 'h', kVersion = 'V', kFirstLong = 256;

std::string ShortName(int letter) { return std::string{'-', static_cast<char>(letter)}; }
}

ParsedOptions ParseOptions(int argc, const char* const* argv, std::span<const OptionSpec> specs) {
  // getopt_long moves the operands behind the options: it works on a copy.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  std::vector<option> longs;
  std::string shorts = ":hV";  // ':' first: a missing value is told apart from an unknown option
  for (size_t i = 0; i < specs.size(); ++i) {
    longs.push_back({specs[i].name, specs[i].value ? required_argument : no_argument, nullptr,
                     kFirstLong + static_cast<int>(i)});
    if (specs[i].letter != 0) shorts += specs[i].letter;
    if (specs[i].letter != 0 && specs[i].value) shorts += ':';
  }
  longs.push_back({"help", no_argument, nullptr, kHelp});
  longs.push_back({"version", no_argument, nullptr, kVersion});
  longs.push_back({nullptr, 0, nullptr, 0});

  ParsedOptions p;
  auto fail = [&](std::string message) {
    if (p.error.empty()) p.error = std::move(message);
  };
  auto specOf = [&](int c) -> const OptionSpec* {
    if (c >= kFirstLong) return &specs[static_cast<size_t>(c - kFirstLong)];
    for (const OptionSpec& s : specs) {
      if (s.letter != 0 && s.letter == c) return &s;
    }
    return nullptr;
  };
  opterr = 0;
  optind = 0;  // glibc: start afresh, also after an earlier parse
  int c, index = -1;
  while ((c = getopt_long(argc, args.data(), shorts.c_str(), longs.data(), &index)) != -1) {
    // The option's own word: before its value when that came as the next word.
    const bool apart = optarg != nullptr && optarg == args[static_cast<size_t>(optind - 1)];
    const std::string arg = args[static_cast<size_t>(optind - (apart ? 2 : 1))];
    const std::string name = arg.substr(0, arg.find('='));
    // The long names whole: an abbreviation would change its meaning when an option is added.
    const bool abbreviated = index >= 0 && name != std::string("--") + longs[static_cast<size_t>(index)].name;
    index = -1;
    if (abbreviated) {
      fail(name + ": unknown option");
    } else if (c == kHelp) {
      p.action = ParsedOptions::Action::Help;
    } else if (c == kVersion) {
      if (p.action == ParsedOptions::Action::Run) p.action = ParsedOptions::Action::Version;
    } else if (c == ':') {
      fail((name.starts_with("--") ? name : ShortName(optopt)) + ": needs a value");
    } else if (c == '?') {
      const bool known = optopt == kHelp || optopt == kVersion || (optopt != 0 && specOf(optopt));
      if (known && name.starts_with("--")) fail(name + ": takes no value");
      else if (optopt != 0 && !name.starts_with("--")) fail(ShortName(optopt) + ": unknown option");
      else fail(name + ": unknown option");
    } else if (const OptionSpec* s = specOf(c)) {
      p.options.emplace_back(s->name, s->value ? optarg : "");
    }
  }
  for (int i = optind; i < argc; ++i) p.operands.emplace_back(args[static_cast<size_t>(i)]);
  if (p.action != ParsedOptions::Action::Run) p.error.clear();
  return p;
}

std::string UsageLine(const std::string& program, const std::string& message) {
  return program + ": " + message + " (" + program + " --help shows the usage)\n";
}

void UsageError(const char* program, const std::string& message) {
  std::fputs(UsageLine(program, message).c_str(), stderr);
  std::exit(2);
}

}  // namespace hfd
