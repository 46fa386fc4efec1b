// Hostile recordings and failures: interrupts, write failures, odd directory
// entries. None may crash or hang the run, write outside the name table, or
// end with status 0 when results were not written.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

// Runs the program in `dir` with `input`; `fileLimit` > 0 caps the size of
// every file it writes; `interruptAfter` > 0 sends SIGINT once standard
// output has carried that many bytes (the child is held back meanwhile, since
// it cannot write past a full pipe that is not read).
RunResult RunChild(const std::filesystem::path& dir, const std::string& input, long fileLimit,
                   size_t interruptAfter) {
  Launch how;
  how.timeoutSeconds = 120;
  how.fileSizeLimit = fileLimit;
  if (interruptAfter > 0) {
    how.signal = SIGINT;
    how.signalAfterBytes = interruptAfter;
  }
  RunResult r = RunProgram(dir, input, how);
  EXPECT_FALSE(r.timedOut) << "the run did not end";
  return r;
}

size_t CountPrefix(const std::vector<std::string>& lines, char tab0) {
  size_t n = 0;
  for (const auto& l : lines) n += (l.size() == 31 && l[5] == tab0) ? 1 : 0;
  return n;
}

class Robustness : public DriverTest {};

TEST_F(Robustness, InterruptKeepsExactlyTheCompleteBlocks) {
  // A long recording, mode 2, N = 512: many blocks, interrupted early.
  WriteRecording("20080501000000SGD-0.BIN", 4 * 3000, Const(1000), Const(-700));
  RunResult r = RunChild(dir(), "2\n512\n0\n500\n", 0, 200000);
  ASSERT_TRUE(r.signal == SIGINT || r.status == 130) << r.status << " " << r.signal;
  EXPECT_EQ(r.err, "");
  const auto spc = Lines(ReadFile("200805010000SGD.spc"));
  const auto max = Lines(ReadFile("200805010000SGD.max"));
  ASSERT_GE(max.size(), 2u);
  const size_t blocks = max.size() - 1;  // after the header line
  EXPECT_LT(blocks, 3000u) << "the run was not stopped";
  // Every analysed block is whole in both files: 1 block line + 62 bins.
  EXPECT_EQ(spc.size(), blocks * 63);
  EXPECT_EQ(CountPrefix(spc, '\t'), blocks);
  for (const auto& l : max) EXPECT_EQ(l.size(), 109u);
}

TEST_F(Robustness, InterruptAtAPromptEndsQuietly) {
  WriteRecording("20080501000000SGD-0.BIN", 40, Const(1), Const(2));
  // No answers at all: the run waits at the first prompt; the interrupt
  // ends it without a report.
  const std::string prompt = "*** Output Files (1:qdr only, 2:spc&max): ";
  Launch how;
  how.holdInput = true;
  how.signal = SIGTERM;
  how.signalAfterBytes = prompt.size();
  const RunResult r = RunProgram(dir(), "", how);
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_EQ(r.out, prompt);
  EXPECT_EQ(r.err, "");
}

TEST_F(Robustness, WriteFailureIsReportedAndKeepsWholeLines) {
  WriteRecording("20080501000000SGD-0.BIN", 8 * 200, Const(1000), Const(-700));
  RunResult r = RunChild(dir(), "2\n1024\n0\n500\n", 50000, 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("\r\nrun-time error F6422: WRITE(200805010000SGD.spc)\r\n- ", 0), 0u)
      << r.err;
  const std::string spc = ReadFile("200805010000SGD.spc");
  EXPECT_LE(spc.size(), 50000u);
  ASSERT_GE(spc.size(), 2u);
  EXPECT_EQ(spc.substr(spc.size() - 2), "\r\n");  // ends with a whole line
  for (const auto& l : Lines(spc)) EXPECT_TRUE(l.size() == 31 || l.size() == 44) << l;
}

TEST_F(Robustness, ResultFileThatCannotBeCreatedIsFatalAfterEarlierRecordings) {
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  WriteRecording("20080502000000SGD-0.BIN", 16, Const(10), Const(20));
  // The second recording's spectrum file name is taken by a directory.
  std::filesystem::create_directory(Path("200805020000SGD.spc"));
  RunResult r = RunChild(dir(), "2\n1024\n0\n500\n", 0, 0);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error F"), std::string::npos);
  EXPECT_NE(r.err.find(": OPEN(200805020000SGD.spc)\r\n- "), std::string::npos) << r.err;
  // The first recording's results are complete: 2 blocks, then the block
  // line of the third, whose read found no data.
  EXPECT_EQ(Lines(ReadFile("200805010000SGD.max")).size(), 3u);
  EXPECT_EQ(Lines(ReadFile("200805010000SGD.spc")).size(), 2u * 124 + 1);
}

TEST_F(Robustness, HostileDirectoryEntries) {
  namespace fs = std::filesystem;
  // A FIFO named like a channel file, beside a real channel-0 file: the FIFO
  // is a channel that did not open, and the run never blocks on it.
  WriteChannel("20080501000000SGD-0.BIN", 64, Const(100));
  ASSERT_EQ(mkfifo(Path("20080501000000SGD-1.BIN").c_str(), 0600), 0);
  // A dangling symlink and a symlink to a directory, both named like recordings.
  fs::create_symlink("nowhere", Path("20080503000000SGD-0.BIN"));
  fs::create_directory(Path("target"));
  fs::create_directory_symlink("target", Path("20080504000000SGD-0.BIN"));
  // A sparse channel file of 2 GiB: its size does not fit the 9-column field.
  {
    int fd = open(Path("20080505000000KAK-0.BIN").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 2147483648LL), 0);
    close(fd);
  }
  RunResult r = RunChild(dir(), "1\n4096\n0\n500\n", 0, 0);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string& o = r.out;
  // "(2x,i5,2x,a30,i9,a1,a6)": number, name in 30 columns, size in 9, the
  // attribute letters after two blanks; the console does not show the
  // record's first blank (its carriage control).
  auto listing = [](int n, const std::string& name, const std::string& size9,
                    const std::string& attr5) {
    char num[6];
    std::snprintf(num, sizeof num, "%5d", n);
    std::string line(" ");
    line.append(num).append("  ").append(name).append(30 - name.size(), ' ');
    return line.append(size9).append("  ").append(attr5);
  };
  // The dangling link shows the link's own size (its target's name, 7
  // characters); the directory link is a directory; the sparse file's size
  // does not fit its field.
  EXPECT_NE(o.find(listing(2, "20080503000000SGD-0.BIN", "        7", "     ")), std::string::npos) << o;
  EXPECT_NE(o.find(listing(3, "20080504000000SGD-0.BIN", "", "").substr(0, 39)), std::string::npos);
  EXPECT_NE(o.find("D\r\n"), std::string::npos);
  EXPECT_NE(o.find(listing(4, "20080505000000KAK-0.BIN", "*********", "     ")), std::string::npos) << o;
  EXPECT_NE(o.find("=== total:     4"), std::string::npos);
  // Recording 1: channel 2 (the FIFO) at the floor level; 2 blocks of 4096.
  const auto qdr = Lines(ReadFile("200805010000SGD.qdr"));
  ASSERT_EQ(qdr.size(), 6u);
  EXPECT_EQ(qdr[5].substr(qdr[5].size() - 9), "\t  -60.00") << qdr[5];
  // Recordings 2 and 3 have no channel file that opens: the open error line.
  EXPECT_NE(o.find("### Data file open error! FILE=20080503000000SGD-0.BIN"), std::string::npos);
  EXPECT_NE(o.find("### Data file open error! FILE=20080504000000SGD-0.BIN"), std::string::npos);
  // The sparse file reads as zeros: every block up to midnight is analysed.
  EXPECT_EQ(Lines(ReadFile("200805050000KAK.qdr")).size(), 4u + 2109);
}

TEST_F(Robustness, ConsoleSentToAResultFileIsRefused) {
  // The transcript and the results would both write the file.
  WriteRecording("20080501120000SGD-0.BIN", 16, Const(100), Const(200));
  for (const char* redirect : {"> 200805011200SGD.qdr", "2> 200805011200SGD.qdr"}) {
    Launch how;
    how.binary = "/bin/sh";
    how.args = {"-c", std::string("exec \"$0\" --qdr --length 512 --all ") + redirect, HFD_BINARY};
    const RunResult r = RunProgram(dir(), "", how);
    EXPECT_EQ(r.status, 1) << redirect;
    EXPECT_EQ(ReadFile("200805011200SGD.qdr").find("Sugadaira"), std::string::npos) << redirect;
  }
  EXPECT_NE(ReadFile("200805011200SGD.qdr").find("F6419: OPEN(200805011200SGD.qdr)\r\n"
                                                   "- Standard output or error is this file"),
            std::string::npos);
}

TEST_F(Robustness, NameCutBeforeItsChannelDigitNeverOpensOneFileAsBothChannels) {
  // "20080501120000 x-0.BIN" is stored as "20080501120000": both channel
  // names would be that same name, and so would the result files.
  WriteText("20080501120000 x-0.BIN", "");
  WriteChannel("20080501120000", 16, Const(500));
  RunResult r = RunChild(dir(), "2\n1024\n0\n1\n", 0, 0);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("### Data file open error! FILE=20080501120000"), std::string::npos) << r.out;
  EXPECT_EQ(Entries().size(), 2u);  // no result file was created
}

TEST_F(Robustness, NamesWithFormatCharactersAndNonAsciiBytes) {
  // Listed byte for byte; such names are not date-stamped, so choosing one
  // ends the run with the conversion report, after the earlier recordings.
  WriteRecording("20080501000000SGD-0.BIN", 8, Const(10), Const(20));
  WriteText("2008050200%s%n(a5,\\)-0.BIN", "");
  WriteText("20080503000000\xce\xa9\xce\xa9-0.BIN", "");
  RunResult r = RunChild(dir(), "1\n1024\n0\n500\n", 0, 0);
  EXPECT_NE(r.out.find("2008050200%s%n(a5,\\)-0.BIN"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("20080503000000\xce\xa9\xce\xa9-0.BIN"), std::string::npos);
  EXPECT_EQ(Lines(ReadFile("200805010000SGD.qdr")).size(), 5u);  // header + 1 block
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("run-time error F6101: READ(internal)"), std::string::npos) << r.err;
}

TEST_F(Robustness, SixHundredRecordingsListFiveHundred) {
  for (int i = 0; i < 600; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "2008050100%04dSGD-0.BIN", i);
    WriteText(name, "");
  }
  RunResult r = RunChild(dir(), "2\n1024\n0\n0\n", 0, 0);
  // 0 is not a valid choice; the answers then end: the end-of-input report.
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("  500  20080501000499SGD-0.BIN"), std::string::npos);
  EXPECT_EQ(r.out.find("  501  "), std::string::npos);
  EXPECT_EQ(r.out.find("20080501000500SGD-0.BIN"), std::string::npos);
  EXPECT_NE(r.out.find("        100\r\n"), std::string::npos);  // how many were left out
  EXPECT_NE(r.out.find("=== total:   500\r\n"), std::string::npos);
  EXPECT_NE(r.err.find("F6501: READ(CON)"), std::string::npos);
}

}  // namespace
}  // namespace hfd::test
