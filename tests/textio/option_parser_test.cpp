#include "textio/option_parser.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace hfd::test {
namespace {

const OptionSpec kSpecs[] = {{"output", 'o', true}, {"from", 0, true}, {"pack", 0, false}};

ParsedOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "prog");
  const std::vector<const char*> before = args;
  ParsedOptions p = ParseOptions(static_cast<int>(args.size()), args.data(), kSpecs);
  EXPECT_EQ(args, before) << "the caller's argv is left as it is";
  return p;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

TEST(OptionParser, ValuesInlineOrNextAndOperandsAnywhere) {
  ParsedOptions p = Parse({"a.max", "--from", "T1", "--output=x.csv", "-", "--pack", "-oy", "-o", "z",
                           "--from=T2", "--", "--pack", "-o"});
  EXPECT_EQ(p.action, ParsedOptions::Action::Run);
  EXPECT_EQ(p.error, "");
  EXPECT_EQ(p.options, (Pairs{{"from", "T1"}, {"output", "x.csv"}, {"pack", ""}, {"output", "y"},
                              {"output", "z"}, {"from", "T2"}}));
  EXPECT_EQ(p.operands, (Strings{"a.max", "-", "--pack", "-o"}));
  EXPECT_EQ(Parse({"--output="}).options, (Pairs{{"output", ""}})) << "an empty value is a value";
}

TEST(OptionParser, UsageErrorsNameTheOptionAndHelpOrVersionWin) {
  const std::pair<std::vector<const char*>, std::string> kCases[] = {
      {{"a", "--from"}, "--from: needs a value"},
      {{"-o"}, "-o: needs a value"},
      {{"--bogus=1", "--from"}, "--bogus: unknown option"},
      {{"-x"}, "-x: unknown option"},
      {{"--pack=1"}, "--pack: takes no value"},
      {{"--fr=T2"}, "--fr: unknown option"},
      {{"--help=1"}, "--help: takes no value"},
  };
  for (const auto& [args, error] : kCases) EXPECT_EQ(Parse(args).error, error) << args.front();

  for (const char* v : {"-V", "--version"}) {
    ParsedOptions p = Parse({"--bogus", v, "--from"});
    EXPECT_EQ(p.action, ParsedOptions::Action::Version) << v;
    EXPECT_EQ(p.error, "") << v;
  }
  for (const char* h : {"-h", "--help"}) {
    EXPECT_EQ(Parse({"-V", h, "-x"}).action, ParsedOptions::Action::Help) << h;
    EXPECT_EQ(Parse({h, "-V"}).action, ParsedOptions::Action::Help) << h;
  }
}

}  // namespace
}  // namespace hfd::test
