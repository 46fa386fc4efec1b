// How a run ends when the world around it misbehaves: stop signals at awkward
// moments, a console nobody reads, full disks, result-file names taken by
// FIFOs and links, a second run on the same folder, too little memory. No run
// may hang, lose lines it had written, or end with status 0 when its results
// or console were not written.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

class Ending : public DriverTest {
 protected:
  // 2000 blocks of N = 512: far more console output than a pipe holds.
  void WriteLongRecording() const {
    WriteRecording("20080501000000SGD-0.BIN", 8000, Const(1000), Const(-700));
  }

  // Mode 2, N = 512, every recording.
  static constexpr const char* kMode2 = "2\n512\n0\n500\n";

  // The run is held writing its console, then gets `sig`.
  RunResult RunHeld(const std::string& input, int sig, bool readAfter = true,
                    long fileLimit = 0) const {
    Launch how;
    how.timeoutSeconds = 30;
    how.output = Output::Stalled;
    how.signal = sig;
    how.readAfterStall = readAfter;
    how.fileSizeLimit = fileLimit;
    return RunProgram(dir(), input, how);
  }

  // Both mode-2 files hold the same number of whole blocks (at least one):
  // a block line and 62 bin lines each in .spc, one line each in .max.
  void ExpectWholeBlocks() const {
    const auto spc = Lines(ReadFile("200805010000SGD.spc"));
    const auto max = Lines(ReadFile("200805010000SGD.max"));
    ASSERT_GE(max.size(), 2u);
    EXPECT_LT(max.size() - 1, 2000u) << "the run was not stopped";
    EXPECT_EQ(spc.size(), (max.size() - 1) * 63);
    for (const auto& l : max) EXPECT_EQ(l.size(), 109u);
  }

  static void ExpectReport(const RunResult& r, const std::string& head) {
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.substr(0, head.size()), head) << r.err;
  }
};

TEST_F(Ending, ResultFileThatIsAFifoIsRefusedWithoutBlocking) {
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  ASSERT_EQ(mkfifo(Path("200805010000SGD.qdr").c_str(), 0600), 0);
  const std::string head = "\r\nrun-time error F6419: OPEN(200805010000SGD.qdr)\r\n- ";
  ExpectReport(RunHfd(dir(), "1\n512\n0\n500\n", 20), head);
  // With a reader waiting on the FIFO the open succeeds; still refused.
  const int reader = open(Path("200805010000SGD.qdr").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const RunResult r = RunHfd(dir(), "1\n512\n0\n500\n", 20);
  ExpectReport(r, head);
  EXPECT_NE(r.err.find("Not a regular file"), std::string::npos) << r.err;
  char byte;
  EXPECT_LE(read(reader, &byte, 1), 0);  // nothing was written into it
  close(reader);
}

TEST_F(Ending, StopWhileNobodyReadsTheConsoleEndsTheRun) {
  WriteLongRecording();
  const RunResult r = RunHeld(kMode2, SIGTERM, /*readAfter=*/false);
  ASSERT_FALSE(r.timedOut) << "the stop waited for the console's reader";
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_EQ(r.err, "");
  ExpectWholeBlocks();
}

TEST_F(Ending, StopBeforeARecordingIsOpenedKeepsItsEarlierResults) {
  // The answers are all read at the first prompt; the stop arrives while the
  // long listing is written out, before the selected recording is opened.
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  for (int i = 0; i < 200; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "20080502%06dSGD-0.BIN", i);
    WriteText(name, "");
  }
  WriteText("200805010000SGD.spc", "earlier spectra\r\n");
  WriteText("200805010000SGD.max", "earlier peaks\r\n");
  const RunResult r = RunHeld("2\n512\n0\n1\n", SIGTERM);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_TRUE(ReadFile("200805010000SGD.spc") == "earlier spectra\r\n");
  EXPECT_TRUE(ReadFile("200805010000SGD.max") == "earlier peaks\r\n");
}

TEST_F(Ending, StopWhoseFilesCannotBeWrittenIsReported) {
  // Mode 1: the console fills its pipe long before the amplitude file's
  // buffer is first written out, which happens at the stop and fails.
  WriteLongRecording();
  const RunResult r = RunHeld("1\n512\n0\n500\n", SIGTERM, true, 20000);
  ExpectReport(r, "\r\nrun-time error F6422: WRITE(200805010000SGD.qdr)\r\n- ");
  const std::string qdr = ReadFile("200805010000SGD.qdr");
  EXPECT_LE(qdr.size(), 20000u);
  EXPECT_GT(Lines(qdr).size(), 4u);  // header and whole block lines
}

TEST_F(Ending, HangUpStopsAfterTheBlockWithFilesWhole) {
  WriteLongRecording();
  const RunResult r = RunHeld(kMode2, SIGHUP);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.signal, SIGHUP);
  EXPECT_EQ(r.err, "");
  ExpectWholeBlocks();
}

TEST_F(Ending, TooLittleMemoryAtStartIsReported) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than any limit here";
#else
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  // The smallest limit under which the program loads at all is too small for
  // its run storage.
  RunResult r;
  for (long mb = 2; mb <= 64; ++mb) {
    Launch how;
    how.timeoutSeconds = 20;
    how.addressSpaceLimit = mb << 20;
    r = RunProgram(dir(), kMode2, how);
    if (r.status != 127) break;  // 127: the loader failed
  }
  ExpectReport(r, "\r\nrun-time error F6700: ALLOCATE\r\n- ");
  EXPECT_EQ(r.signal, 0);
  EXPECT_FALSE(Exists("200805010000SGD.spc"));
#endif
}

TEST_F(Ending, ResultFileNamesThatAreLinksAreNeverWrittenThrough) {
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  namespace fs = std::filesystem;
  const fs::path outside = dir().parent_path() / (dir().filename().string() + "-outside");
  WriteText("victim", "keep me\r\n");
  fs::create_symlink("victim", Path("200805010000SGD.qdr"));
  ExpectReport(RunHfd(dir(), "1\n512\n0\n500\n", 20),
               "\r\nrun-time error F6419: OPEN(200805010000SGD.qdr)\r\n- ");
  EXPECT_TRUE(ReadFile("victim") == "keep me\r\n");
  // A dangling link would create a file outside the folder.
  fs::create_symlink(outside, Path("200805010000SGD.spc"));
  ExpectReport(RunHfd(dir(), kMode2, 20), "\r\nrun-time error F6419: OPEN(200805010000SGD.spc)\r\n- ");
  EXPECT_FALSE(fs::exists(outside));
  fs::remove(outside);
}

TEST_F(Ending, ResultFileInUseByAnotherRunIsNeitherTruncatedNorWritten) {
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  WriteText("200805010000SGD.spc", "the other run's lines\r\n");
  // The lock another run holds on its open result file.
  const int other = open(Path("200805010000SGD.spc").c_str(), O_WRONLY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  const RunResult r = RunHfd(dir(), kMode2, 20);
  ExpectReport(r, "\r\nrun-time error F6419: OPEN(200805010000SGD.spc)\r\n- ");
  EXPECT_NE(r.err.find("in use"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadFile("200805010000SGD.spc") == "the other run's lines\r\n");
  close(other);
  // Once the other run is done, the file is ours.
  EXPECT_EQ(RunHfd(dir(), kMode2, 20).status, 0);
  EXPECT_EQ(Lines(ReadFile("200805010000SGD.spc")).size(), 4u * 63 + 1);
}

TEST_F(Ending, RefusedPeakFileLeavesTheSpectrumFileAsItWas) {
  namespace fs = std::filesystem;
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  const std::string max = "200805010000SGD.max";
  const std::string head = "\r\nrun-time error F6419: OPEN(" + max + ")\r\n- ";
  int other = -1;  // another run's lock
  const std::vector<std::pair<const char*, std::function<void()>>> refusals = {
      {"FIFO", [&] { ASSERT_EQ(mkfifo(Path(max).c_str(), 0600), 0); }},
      {"link", [&] { fs::create_symlink("elsewhere", Path(max)); }},
      {"folder", [&] { fs::create_directory(Path(max)); }},
      {"in use",
       [&] {
         WriteText(max, "the other run's peaks\r\n");
         other = open(Path(max).c_str(), O_WRONLY);
         ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
       }},
  };
  for (const auto& [what, refuse] : refusals) {
    for (const bool earlier : {true, false}) {
      fs::remove(Path("200805010000SGD.spc"));
      if (earlier) WriteText("200805010000SGD.spc", "earlier spectra\r\n");
      refuse();
      const RunResult r = RunHfd(dir(), kMode2, 20);
      ExpectReport(r, head);
      // Neither file of the pair changed: the spectra are not cut, nor made.
      if (earlier)
        EXPECT_TRUE(ReadFile("200805010000SGD.spc") == "earlier spectra\r\n") << what;
      else
        EXPECT_FALSE(Exists("200805010000SGD.spc")) << what;
      if (other >= 0) {
        EXPECT_TRUE(ReadFile(max) == "the other run's peaks\r\n");
        close(other);
        other = -1;
      }
      fs::remove(Path(max));
    }
  }
}

TEST_F(Ending, ConsoleWriteFailuresNameTheirCause) {
  WriteRecording("20080501000000SGD-0.BIN", 16, Const(10), Const(20));
  const struct {
    Output output;
    const char* report;
  } cases[] = {
      {Output::Full, "\r\nrun-time error F6422: WRITE(CON)\r\n- No space left on device\r\n"},
      {Output::BrokenPipe, "\r\nrun-time error F6423: WRITE(CON)\r\n- Broken pipe\r\n"},
      {Output::Closed, "\r\nrun-time error F6423: WRITE(CON)\r\n- Bad file descriptor\r\n"},
  };
  for (const auto& c : cases) {
    Launch how;
    how.timeoutSeconds = 20;
    how.output = c.output;
    const RunResult r = RunProgram(dir(), kMode2, how);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.report);
    // The result files are complete all the same: 4 blocks.
    EXPECT_EQ(Lines(ReadFile("200805010000SGD.max")).size(), 5u);
  }
}

// Standard streams as others may hand them over: the run waits as needed
// and its transcript is the whole one.
TEST_F(Ending, HandedOverStreamsGiveTheWholeTranscript) {
  WriteLongRecording();
  const RunResult whole = RunHfd(dir(), kMode2, 30);
  ASSERT_EQ(whole.status, 0);
  const std::vector<std::pair<const char*, std::function<void(Launch&)>>> cases = {
      // Non-blocking input: the first read finds no answer yet.
      {"non-blocking input", [](Launch& how) { how.inputNonBlocking = true; }},
      // A background job of a script, sent Ctrl-C's signal.
      {"interrupt ignored",
       [](Launch& how) {
         how.ignoreInterrupt = true;
         how.signal = SIGINT;
         how.signalAfterBytes = 2000;
       }},
      // A non-blocking console that fills up waits for its reader.
      {"non-blocking console",
       [](Launch& how) {
         how.output = Output::Stalled;
         how.outputNonBlocking = true;
       }},
  };
  for (const auto& [what, handOver] : cases) {
    Launch how;
    how.timeoutSeconds = 30;
    handOver(how);
    const RunResult r = RunProgram(dir(), kMode2, how);
    EXPECT_EQ(r.signal, 0) << what;
    EXPECT_EQ(r.status, 0) << what << ": " << r.err;
    EXPECT_EQ(r.err, "") << what;
    EXPECT_TRUE(r.out == whole.out) << what << ": " << r.out.size() << " of " << whole.out.size() << " bytes";
  }
  // An answer that never comes on a non-blocking input: the wait still ends at a stop.
  Launch how;
  how.timeoutSeconds = 30;
  how.inputNonBlocking = true;
  how.holdInput = true;
  how.signal = SIGTERM;
  how.signalAfterBytes = 1;
  const RunResult stopped = RunProgram(dir(), "", how);
  EXPECT_FALSE(stopped.timedOut);
  EXPECT_EQ(stopped.signal, SIGTERM);
}

}  // namespace
}  // namespace hfd::test
