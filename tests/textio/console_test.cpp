#include "textio/console.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "textio/format.hpp"
#include "textio/int_reader.hpp"

namespace hfd::test {
namespace {

// A console on pipes: what the program writes, and the answers it reads.
struct PipeConsole {
  int in[2], out[2];
  Console* con;
  PipeConsole(const std::string& answers, bool shared) {
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(write(in[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    close(in[1]);
    con = new Console(in[0], out[1], shared);
  }
  ~PipeConsole() {
    delete con;
    close(in[0]);
    close(out[0]);
  }
  std::string Output() {
    con->Flush();
    close(out[1]);
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
    return s;
  }
};

TEST(ListAnswers, FormsOfAnIntegerAnswer) {
  struct Case {
    const char* line;
    ListLine result;
    int32_t value;  // target afterwards (starts at 77)
    ReadError err;
  } cases[] = {
      {"  2 3", ListLine::Value, 2, ReadError::None},
      {"\t-15,", ListLine::Value, -15, ReadError::None},
      {"", ListLine::Blank, 77, ReadError::None},
      {"   \t ", ListLine::Blank, 77, ReadError::None},
      {",", ListLine::Null, 77, ReadError::None},
      {" / 5", ListLine::Null, 77, ReadError::None},
      {"3*5", ListLine::Value, 5, ReadError::None},
      {"2*", ListLine::Null, 77, ReadError::None},
      {"0*5", ListLine::Error, 77, ReadError::ZeroRepeat},
      {"16#FF", ListLine::Value, 255, ReadError::None},
      {"2#101", ListLine::Value, 5, ReadError::None},
      {"36#z", ListLine::Value, 35, ReadError::None},
      {"1#0", ListLine::Error, 77, ReadError::BadBase},
      {"37#1", ListLine::Error, 77, ReadError::BadBase},
      {"16#F#F", ListLine::Error, 77, ReadError::SecondHash},
      {"2#2", ListLine::Error, 77, ReadError::BadChar},
      {"2.0", ListLine::Error, 77, ReadError::BadChar},
      {"abc", ListLine::Error, 77, ReadError::BadChar},
      {"1-2", ListLine::Error, 77, ReadError::BadChar},
      {"'x'", ListLine::Error, 77, ReadError::Quoted},
      {"2147483647", ListLine::Value, 2147483647, ReadError::None},
      {"-2147483648", ListLine::Value, INT32_MIN, ReadError::None},
      {"2147483648", ListLine::Error, 77, ReadError::Overflow},
      {"99999999999999999999", ListLine::Error, 77, ReadError::Overflow},
  };
  for (const Case& c : cases) {
    int32_t target = 77;
    ReadError err;
    EXPECT_EQ(ParseListLine(c.line, target, err), c.result) << c.line;
    EXPECT_EQ(target, c.value) << c.line;
    EXPECT_EQ(err, c.err) << c.line;
  }
}

TEST(FieldReads, TimeAnswersAndDateDigits) {
  const int w3[] = {2, 2, 2};
  struct Case {
    const char* line;
    int32_t h, m, s;
  } cases[] = {
      {"093000", 9, 30, 0},  {"9", 9, 0, 0},        {"12 30 45", 12, 3, 0}, {"", 0, 0, 0},
      {"1,2,3", 1, 2, 3},    {"12345678", 12, 34, 56}, {"\t1\t2", 1, 2, 0}, {"-1-2-3", -1, -2, -3},
  };
  for (const Case& c : cases) {
    int32_t t[3] = {-99, -99, -99};
    ASSERT_EQ(ReadIntFields(c.line, w3, 3, t), ReadError::None) << c.line;
    EXPECT_EQ(t[0], c.h) << c.line;
    EXPECT_EQ(t[1], c.m) << c.line;
    EXPECT_EQ(t[2], c.s) << c.line;
  }
  int32_t t[3];
  EXPECT_EQ(ReadIntFields("1a", w3, 3, t), ReadError::BadChar);
  const int date[] = {4, 2, 2, 2, 2, 2};
  int32_t d[6];
  ASSERT_EQ(ReadIntFields("20080501120000", date, 6, d), ReadError::None);
  EXPECT_EQ(d[0], 2008);
  EXPECT_EQ(d[1], 5);
  EXPECT_EQ(d[2], 1);
  EXPECT_EQ(d[3], 12);
  EXPECT_EQ(d[5], 0);
  EXPECT_EQ(ReadIntFields("2008XX01120000", date, 6, d), ReadError::BadChar);
}

TEST(ConsoleLineState, RedirectedKeepsSeparateStates) {
  PipeConsole pc("2\n", /*shared=*/false);
  FormatPlan prompt("(a,\\)");
  prompt.Write(*pc.con, {" *** mode: "});
  std::string_view line;
  ASSERT_EQ(pc.con->ReadLine(line), ReadError::None);
  EXPECT_EQ(line, "2");
  WriteList(*pc.con, {"NcMax=", 5});
  WriteList(*pc.con, {"next"});
  pc.con->Finish();
  // The record after the prompt continues its line, first character shown.
  EXPECT_EQ(pc.Output(), "*** mode:  NcMax=          5\r\nnext\r\n");
}

TEST(ConsoleLineState, SharedTerminalEndsTheLineAtTheAnswer) {
  PipeConsole pc("2\n", /*shared=*/true);
  FormatPlan prompt("(a,\\)");
  WriteList(*pc.con, {"banner"});
  prompt.Write(*pc.con, {" *** mode: "});
  std::string_view line;
  ASSERT_EQ(pc.con->ReadLine(line), ReadError::None);
  WriteList(*pc.con, {"NcMax=", 5});
  WriteList(*pc.con, {"x"});
  ASSERT_EQ(pc.con->ReadLine(line), ReadError::EndOfInput);  // CR LF first: the line was pending
  pc.con->Finish();
  EXPECT_EQ(pc.Output(), "banner\r\n*** mode: NcMax=          5\r\nx\r\n");
}

TEST(ConsoleLineState, CarriageControlCharacters) {
  PipeConsole pc("", false);
  FormatPlan a("(a)");
  a.Write(*pc.con, {"0first"});  // not pending: one line advance
  a.Write(*pc.con, {"0second"});
  a.Write(*pc.con, {"+over"});
  a.Write(*pc.con, {"1page"});
  a.Write(*pc.con, {"9nine"});
  a.Write(*pc.con, {""});
  pc.con->Finish();
  EXPECT_EQ(pc.Output(),
            "\r\nfirst\r\n\r\nsecond\rover\r\n\f\r \rpage\r\nnine\r\n\r\n");
}

TEST(ConsoleInput, EndOfInputAndLineEnds) {
  PipeConsole pc("a\r\nlast", false);
  std::string_view line;
  ASSERT_EQ(pc.con->ReadLine(line), ReadError::None);
  EXPECT_EQ(line, "a");
  ASSERT_EQ(pc.con->ReadLine(line), ReadError::None);  // a last line without its line end
  EXPECT_EQ(line, "last");
  EXPECT_EQ(pc.con->ReadLine(line), ReadError::EndOfInput);
  PipeConsole z("5\x1a\n6\n", false);
  EXPECT_EQ(z.con->ReadLine(line), ReadError::EndOfInput);  // Ctrl-Z ends the input
}

}  // namespace
}  // namespace hfd::test
