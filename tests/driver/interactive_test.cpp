// The dialogue on a terminal: standard input and output are the same
// console and share one line state. The operator's Enter ends the line, so
// the record after an answer starts on a fresh line: its carriage-control
// blank is not shown and no CR LF is written before it.
#include <string>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

using Interactive = DriverTest;

TEST_F(Interactive, SharedConsoleScreenOfAWholeRun) {
  WriteChannel("20080501120000SGD-0.BIN", 0, Const(0));
  // Each answer is typed once its prompt is on the screen, ended with CR as
  // the Enter key sends it; the terminal turns it into NL and echoes the
  // characters and the NL (output processing is off, so NL stays a bare LF
  // and the program's own CR LF pairs arrive unchanged).
  const std::string p1 = "*** Output Files (1:qdr only, 2:spc&max): ";
  const std::string p2 = "*** data length (512, 1024, 2048 or 4096): ";
  const std::string p3 = "*** specify the time window (0:no  1:yes): ";
  const std::string p4 = " *** Specify the processing file number (500:all): ";
  const std::string p5 = "*** start time (hhmmss): ";
  const std::string p6 = "***  end  time (hhmmss): ";
  RunResult r = RunHfdInPty(dir(), {{p1, "2\r"},
                                    {p2, "1024\r"},
                                    {p3, "1\r"},
                                    {p4, "1\r"},
                                    {p5, "120000\r"},
                                    {p6, "000000\r"}});
  ASSERT_FALSE(r.timedOut) << r.out;
  EXPECT_EQ(r.status, 0);
  const std::string expected =
      // First record, nothing pending: no advance, blank not shown.
      p1 + "2\n" +
      // After an answer nothing is pending: again no advance and no blank.
      p2 + "1024\n" + "IBlockLength=        256  IOutFMT=          2" +
      // The echo's line is pending: CR LF before the next prompt.
      "\r\n" + p3 + "1\n" +
      // The banner record "  ======== ..." shows from its second character.
      " ======== Matched BIN Files ========"
      "\r\n     1  20080501120000SGD-0.BIN               0       "
      "\r\n === total:     1"
      "\r\n" + p4 + "1\n" +
      "*** Specified BIN Filename: 20080501120000SGD-0.BIN" + std::string(7, '\0') +
      "\r\n" + p5 + "120000\n" + p6 + "000000\n" +
      // NcMax = trunc(43200 / 10.24) = 4218. The first block's read fails
      // (empty channel file); the run ends with the pending line's CR LF.
      "NcMax=       4218  kMax=       8437  Na=          8"
      "\r\n";
  EXPECT_EQ(r.out, expected);
  // The first block's headers were written before its read failed.
  EXPECT_EQ(ReadFile("200805011200SGD.spc"), "    0\t2008\t 5\t 1\t12\t 0\t 0\t43200\r\n");
}

}  // namespace
}  // namespace hfd::test
