// Answers that end the run: the end of the input and answers that are not
// integers, at every prompt of the dialogue. The report goes to standard
// error as CR LF, "run-time error F<number>: READ(CON)", CR LF, "- ", a
// one-line description, CR LF; the exit status is 1.
#include <string>
#include <vector>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

using Fatal = DriverTest;

// Checks the report layout; the description's wording is free but it must be
// one non-empty line.
void ExpectReport(const RunResult& r, const std::string& number, const std::string& context) {
  EXPECT_FALSE(r.timedOut) << context;
  EXPECT_EQ(r.status, 1) << context;
  const std::string head = "\r\nrun-time error F" + number + ": READ(CON)\r\n- ";
  ASSERT_EQ(r.err.substr(0, head.size()), head) << context << ": [" << r.err << "]";
  const std::string description = r.err.substr(head.size());
  ASSERT_GE(description.size(), 3u) << context;
  EXPECT_EQ(description.substr(description.size() - 2), "\r\n") << context;
  const std::string text = description.substr(0, description.size() - 2);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << context;
  EXPECT_FALSE(text.empty()) << context;
  // The line left open by the prompt is ended on the console.
  ASSERT_GE(r.out.size(), 2u) << context;
  EXPECT_EQ(r.out.substr(r.out.size() - 2), "\r\n") << context;
}

struct PromptCase {
  const char* prompt;
  const char* before;  // the answers up to that prompt
};

// One recording with a time window asked for, so every prompt is reached.
const std::vector<PromptCase> kPrompts = {
    {"output mode", ""},
    {"data length", "2\n"},
    {"time-window flag", "2\n512\n"},
    {"selection", "2\n512\n1\n"},
    {"window start", "2\n512\n1\n1\n"},
    {"window end", "2\n512\n1\n1\n120000\n"},
};

TEST_F(Fatal, EndOfInputAtEveryPromptIsError6501) {
  WriteRecording("20080501120000SGD-0.BIN", 4, Const(10), Const(10));
  for (const PromptCase& p : kPrompts) {
    ExpectReport(Run(p.before), "6501", p.prompt);
    // A line ending in Ctrl-Z is the end of the input as well.
    ExpectReport(Run(std::string(p.before) + "\x1a\n"), "6501", std::string(p.prompt) + " ^Z");
  }
  // At the first prompt nothing else has been shown: the prompt, then the
  // final CR LF of the open line.
  RunResult first = Run("");
  EXPECT_EQ(first.out, "*** Output Files (1:qdr only, 2:spc&max): \r\n");
  EXPECT_EQ(first.err.substr(0, 35), "\r\nrun-time error F6501: READ(CON)\r\n");
}

TEST_F(Fatal, AnswerThatIsNotAnIntegerIsError6101) {
  WriteRecording("20080501120000SGD-0.BIN", 4, Const(10), Const(10));
  const std::vector<std::string> bad = {"abc\n", "2.0\n", "x1\n", "1.5\n", "ab0000\n", "12:00\n"};
  for (size_t i = 0; i < kPrompts.size(); ++i)
    ExpectReport(Run(std::string(kPrompts[i].before) + bad[i]), "6101", kPrompts[i].prompt);
  // Outside the 32-bit range: 6100; a quoted string where an integer is
  // expected: 6504.
  ExpectReport(Run("99999999999\n"), "6100", "output mode, too large");
  ExpectReport(Run("2\n'512'\n"), "6504", "data length, quoted");
}

TEST_F(Fatal, ResultFilesWrittenBeforeTheErrorKeepTheirLines) {
  WriteRecording("20080501120000KUR-0.BIN", 8, Const(10), Const(20));
  WriteRecording("20080501120000SGD-0.BIN", 8, Const(10), Const(20));
  // The first recording runs to its end; the input ends at the second's
  // window start prompt, after its result files were created.
  RunResult r = Run("2\n512\n1\n500\n120000\n000000\n");
  ExpectReport(r, "6501", "second window start");
  EXPECT_EQ(Lines(ReadFile("200805011200KUR.max")).size(), 3u);  // header, blocks 0, 1
  EXPECT_EQ(Lines(ReadFile("200805011200KUR.spc")).size(), 2u * 63u + 1u);
  EXPECT_EQ(ReadFile("200805011200SGD.max"), "");
  EXPECT_EQ(ReadFile("200805011200SGD.spc"), "");
  // The console shows the second recording's open start prompt last.
  const std::string tail = "\r\n*** start time (hhmmss): \r\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
}

}  // namespace
}  // namespace hfd::test
