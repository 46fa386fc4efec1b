// The options dialogue, the end of a run without recordings and the
// selection prompt, with answers piped in (redirected console: the output
// keeps its own line state, so a record after an open prompt continues the
// prompt's line with its carriage-control blank shown).
#include <string>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

using Dialogue = DriverTest;

// A listing line as the console shows it: the record "(2x,i5,2x,a30,i9,a1,a6)"
// without its first character (a blank after a pending line: CR LF first).
// Number right-aligned in 5, two blanks, the name in 30, the size in 9, a
// blank item, then the five attribute letters after one blank (A6 of 5).
const char* const kLine1 = "\r\n     1  20080501120000SGD-0.BIN               0       ";
const char* const kLine2 = "\r\n     2  20080501130000SGD-0.BIN               0       ";

TEST_F(Dialogue, NoRecordingEndsAfterTheTotalLine) {
  // An answer for the selection is offered but must not be asked for.
  RunResult r = Run("2\n1024\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // After the time-window prompt (still open) the banner record, a leading
  // blank and " ======== Matched BIN Files ========", is written whole on the
  // prompt's line. The total record "(a,i5)" = "  === total:     0" follows a
  // pending line: CR LF and the record without its first blank. At the end
  // of the run the pending line gets its CR LF.
  EXPECT_EQ(r.out, OptionsTranscript(2) +
                       "  ======== Matched BIN Files ========"
                       "\r\n === total:     0"
                       "\r\n");
  EXPECT_TRUE(Entries().empty()) << "no file may be created";
}

TEST_F(Dialogue, OutputModeOutsideOneToTwoBecomesTwoSilently) {
  for (const char* answer : {"0", "3", "7", "-1", "2"}) {
    RunResult r = Run(std::string(answer) + "\n512\n0\n");
    EXPECT_EQ(r.status, 0) << answer;
    EXPECT_EQ(r.out.substr(0, OptionsTranscript(2).size()), OptionsTranscript(2)) << answer;
  }
  RunResult one = Run("1\n512\n0\n");
  EXPECT_EQ(one.out.substr(0, OptionsTranscript(1).size()), OptionsTranscript(1));
}

TEST_F(Dialogue, AnswerLinesFollowTheListDirectedRules) {
  // Blank lines are skipped, the value ends at a blank or comma and the rest
  // of the line is ignored: "  1 2" is 1, "2048,7" is 2048, "0 1" is 0.
  RunResult r = Run("\n   \n  1 2\n2048,7\n0 1\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, OptionsTranscript(1) +
                       "  ======== Matched BIN Files ========\r\n === total:     0\r\n");
}

TEST_F(Dialogue, DataLengthOtherThanTheFourOfferedIsAskedAgain) {
  RunResult r = Run("2\n1000\n0\n-512\n8192\n4096\n0\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // Each refusal is a list-directed record: a blank, "=== Error!  NData=" and
  // the value in 11 columns. The first follows the open prompt and is written
  // whole; the question after it follows a pending line (CR LF, no blank),
  // and so on. The accepted answer's echo again follows an open prompt.
  const std::string ask = "*** data length (512, 1024, 2048 or 4096): ";
  EXPECT_EQ(r.out, "*** Output Files (1:qdr only, 2:spc&max):  " + ask +
                       " === Error!  NData=       1000\r\n" + ask +
                       " === Error!  NData=          0\r\n" + ask +
                       " === Error!  NData=       -512\r\n" + ask +
                       " === Error!  NData=       8192\r\n" + ask +
                       " IBlockLength=        256  IOutFMT=          2"
                       "\r\n*** specify the time window (0:no  1:yes): "
                       "  ======== Matched BIN Files ========\r\n === total:     0\r\n");
  for (const char* n : {"512", "1024", "2048"}) {
    RunResult ok = Run(std::string("1\n") + n + "\n0\n");
    EXPECT_EQ(ok.out.substr(0, OptionsTranscript(1).size()), OptionsTranscript(1)) << n;
  }
}

TEST_F(Dialogue, SelectionRefusesNumbersOutsideTheListUntilOneFits) {
  WriteRecording("20080501120000SGD-0.BIN", 0, Const(0), Const(0));
  WriteRecording("20080501130000SGD-0.BIN", 0, Const(0), Const(0));
  RunResult r = Run("1\n512\n0\n0\n-1\n501\n3\n2\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // The prompt "  *** Specify the processing file number (500:all): " follows
  // the pending total line: CR LF and the record without its first blank.
  // Each refusal, " === Error!  iNumber=" and the value in 11 columns, follows
  // the open prompt and is written whole on its line.
  const std::string ask = "\r\n *** Specify the processing file number (500:all): ";
  // Recording 2 starts at 13:00:00; N = 512 (TBlock 5.12 s): NcMax =
  // trunc(39600 / 5.12) = 7734, kMax = trunc(86400 / 5.12) = 16875, Na = 4.
  const std::string expected =
      OptionsTranscript(1) + "  ======== Matched BIN Files ========" + kLine1 + kLine2 +
      "\r\n === total:     2" + ask + " === Error!  iNumber=          0" + ask +
      " === Error!  iNumber=         -1" + ask + " === Error!  iNumber=        501" + ask +
      " === Error!  iNumber=          3" + ask +
      // The echo of the choice follows the open prompt: written whole, with
      // the 30-character name and its seven trailing NULs.
      " *** Specified BIN Filename: 20080501130000SGD-0.BIN" + std::string(7, '\0') +
      "\r\nstart time (kH,kM,kS)= 13: 0: 0"
      "\r\nNcMax=       7734  kMax=      16875  Na=          4"
      "\r\n";
  EXPECT_EQ(r.out, expected);
  // Only recording 2 was processed (mode 1: its amplitude file).
  EXPECT_FALSE(Exists("200805011200SGD.qdr"));
  EXPECT_TRUE(Exists("200805011300SGD.qdr"));
}

TEST_F(Dialogue, FiveHundredSelectsEveryRecordingInListOrder) {
  // Created out of order; listed and processed sorted by name.
  WriteRecording("20080501130000KYO-0.BIN", 0, Const(0), Const(0));
  WriteRecording("20080501110000KUR-0.BIN", 0, Const(0), Const(0));
  WriteRecording("20080501120000ORI-0.BIN", 0, Const(0), Const(0));
  RunResult r = Run("1\n512\n0\n500\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  const std::string echo = "*** Specified BIN Filename: ";
  const size_t a = r.out.find(echo + "20080501110000KUR-0.BIN");
  const size_t b = r.out.find(echo + "20080501120000ORI-0.BIN");
  const size_t c = r.out.find(echo + "20080501130000KYO-0.BIN");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  ASSERT_NE(c, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_NE(r.out.find("\r\n     1  20080501110000KUR-0.BIN"), std::string::npos);
  EXPECT_NE(r.out.find("\r\n     3  20080501130000KYO-0.BIN"), std::string::npos);
  for (const char* f : {"200805011100KUR.qdr", "200805011200ORI.qdr", "200805011300KYO.qdr"})
    EXPECT_TRUE(Exists(f)) << f;
}

}  // namespace
}  // namespace hfd::test
