// The time window and the block-step loop: the default window from the
// recording start, NcMax / kMax / Na, typed windows (end 000000, reversed,
// across midnight, before the recording, after the data) and the "(3i2)"
// answer forms. The analysed blocks are read back from the result files.
#include <string>
#include <vector>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

using Window = DriverTest;

// The block steps k of the lines of a peak summary file, header checked.
std::vector<int> MaxSteps(const std::string& text) {
  std::vector<int> ks;
  const std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 0) {
      EXPECT_EQ(lines[0].rfind("kkkkk\t", 0), 0u) << lines[0];
      continue;
    }
    ks.push_back(std::stoi(lines[i].substr(0, 5)));
  }
  return ks;
}

// The block lines of a spectrum file (8 tab-separated fields; the spectrum
// lines have 5).
std::vector<std::string> SpcBlockLines(const std::string& text) {
  std::vector<std::string> out;
  for (const std::string& l : Lines(text))
    if (Fields(l).size() == 8) out.push_back(l);
  return out;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int k = from; k <= to; ++k) v.push_back(k);
  return v;
}

TEST_F(Window, DefaultWindowEchoesTheRecordingStart) {
  WriteRecording("20080501090507SGD-0.BIN", 0, Const(0), Const(0));
  RunResult r = Run("1\n512\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // "(a,i2,a1,i2,a1,i2)" with " start time (kH,kM,kS)= ": after the pending
  // echo line, CR LF and the record without its blank; each number in 2.
  // NcMax = trunc((86400 - 32707) / 5.12) = trunc(10486.91) = 10486.
  const std::string tail = "\r\nstart time (kH,kM,kS)=  9: 5: 7"
                           "\r\nNcMax=      10486  kMax=      16875  Na=          4"
                           "\r\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  const std::vector<std::string> qdr = Lines(ReadFile("200805010905SGD.qdr"));
  ASSERT_EQ(qdr.size(), 4u);
  EXPECT_EQ(qdr[0], "Sugadaira     2008/ 5/ 1  9: 5  100Hz  512");
}

TEST_F(Window, WholeDayStepCountsForEveryDataLength) {
  WriteRecording("20080501000000SGD-0.BIN", 0, Const(0), Const(0));
  // From 00:00:00 the default window is the whole day: NcMax = kMax =
  // trunc(86400 / TBlock) with TBlock = N * 0.01 s, and Na = N / 128.
  const struct {
    const char* n;
    const char* echo;
  } cases[] = {
      {"512", "\r\nNcMax=      16875  kMax=      16875  Na=          4\r\n"},
      {"1024", "\r\nNcMax=       8437  kMax=       8437  Na=          8\r\n"},
      {"2048", "\r\nNcMax=       4218  kMax=       4218  Na=         16\r\n"},
      {"4096", "\r\nNcMax=       2109  kMax=       2109  Na=         32\r\n"},
  };
  for (const auto& c : cases) {
    RunResult r = Run(std::string("1\n") + c.n + "\n0\n1\n");
    EXPECT_EQ(r.status, 0) << c.n;
    ASSERT_GE(r.out.size(), std::string(c.echo).size());
    EXPECT_EQ(r.out.substr(r.out.size() - std::string(c.echo).size()), c.echo) << c.n;
  }
}

TEST_F(Window, StartAt2300AnalysesNcMaxBlocksThoughTheDataGoOn) {
  // 2830 records: 362240 samples, past midnight (360000 samples after 23:00).
  WriteRecording("20080501230000SGD-0.BIN", 2830, Const(0), Const(0));
  RunResult r = Run("1\n1024\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // NcMax = trunc(3600 / 10.24) = 351, kMax = trunc(86400 / 10.24) = 8437,
  // Na = 1024 / 128 = 8.
  EXPECT_NE(r.out.find("\r\nstart time (kH,kM,kS)= 23: 0: 0"
                       "\r\nNcMax=        351  kMax=       8437  Na=          8\r\n"),
            std::string::npos);
  const std::vector<std::string> qdr = Lines(ReadFile("200805012300SGD.qdr"));
  ASSERT_EQ(qdr.size(), 4u + 351u);
  // All-zero blocks: peak at the first Doppler-band bin 4.00390625 Hz, floor
  // level. Block 0 at 23:00:00, block 350 at 3584 s = 23:59:44; block 351
  // (23:59:54.24, data present) is past NcMax.
  EXPECT_EQ(qdr[4], "23\t 0\t    .000\t  4.0039\t  -60.00\t  4.0039\t  -60.00");
  EXPECT_EQ(qdr[354], "23\t59\t  44.000\t  4.0039\t  -60.00\t  4.0039\t  -60.00");
  // One console progress line per analysed block; the last is k = 350
  // (record "  350 2008/...", shown without its first blank).
  size_t count = 0;
  for (size_t at = r.out.find(" 2008/ 5/ 1 "); at != std::string::npos;
       at = r.out.find(" 2008/ 5/ 1 ", at + 1))
    ++count;
  EXPECT_EQ(count, 351u);
  EXPECT_NE(r.out.find("\r\n 350 2008/ 5/ 1 23:59:44 "), std::string::npos);
}

TEST_F(Window, TypedWindowsEndAtMidnightOrNeverStart) {
  WriteRecording("20080501120000KUR-0.BIN", 16, Const(100), Const(100));
  WriteRecording("20080501120000KYO-0.BIN", 16, Const(100), Const(100));
  WriteRecording("20080501120000ORI-0.BIN", 16, Const(100), Const(100));
  WriteRecording("20080501120000SGD-0.BIN", 8, Const(100), Const(100));
  RunResult r = Run(
      "2\n1024\n1\n500\n"
      "120000\n000000\n"    // KUR: end 00:00:00 means 24:00:00
      "120000\n240000\n"    // KYO: the same window written as 24:00:00
      "220000\n020000\n"    // ORI: end before start
      "130000\n000000\n");  // SGD: window starts after the 8 records of data
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // The start prompt follows the pending echo line (CR LF, no blank); the end
  // prompt and the NcMax echo each follow an open prompt and are written
  // whole. NcMax = trunc(43200 / 10.24) = 4218 for 12:00 to 24:00.
  const std::string asked = "\r\n*** start time (hhmmss):  ***  end  time (hhmmss): ";
  for (const char* station : {"KUR", "KYO"}) {
    EXPECT_NE(r.out.find(std::string("20080501120000") + station + "-0.BIN" +
                         std::string(7, '\0') + asked +
                         " NcMax=       4218  kMax=       8437  Na=          8\r\n"),
              std::string::npos)
        << station;
    const std::string base = std::string("200805011200") + station;
    EXPECT_EQ(MaxSteps(ReadFile(base + ".max")), Range(0, 1)) << station;
  }
  // Reversed: NcMax = trunc((7200 - 79200) / 10.24) = trunc(-7031.25) =
  // -7031; no block, no header, no progress line; both files stay empty.
  EXPECT_NE(r.out.find("ORI-0.BIN" + std::string(7, '\0') + asked +
                       " NcMax=      -7031  kMax=       8437  Na=          8"
                       "\r\n*** Specified BIN Filename: 20080501120000SGD-0.BIN"),
            std::string::npos);
  EXPECT_EQ(ReadFile("200805011200ORI.spc"), "");
  EXPECT_EQ(ReadFile("200805011200ORI.max"), "");
  // From 13:00:00: NcMax = trunc(39600 / 10.24) = 3867; the first step at or
  // after 46800 s is k = 352 (3604.48 s, 13:00:04). Its header lines are
  // written, then its first read fails: no block line in the peak file.
  EXPECT_NE(r.out.find(" NcMax=       3867  kMax=       8437  Na=          8\r\n"),
            std::string::npos);
  EXPECT_EQ(Lines(ReadFile("200805011200SGD.spc")),
            (std::vector<std::string>{"  352\t2008\t 5\t 1\t13\t 0\t 4\t46804"}));
  EXPECT_EQ(MaxSteps(ReadFile("200805011200SGD.max")), std::vector<int>{});
}

TEST_F(Window, WindowAcrossMidnightCountsHoursAndDaysOnButNotTheMonth) {
  // Starts 23:59:00 on May 31; 80 records = blocks 0 to 9 of N = 1024.
  WriteRecording("20080531235900SGD-0.BIN", 80, Const(100), Const(-100));
  RunResult r = Run("2\n1024\n1\n1\n235900\n241000\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // NcMax = trunc((87000 - 86340) / 10.24) = trunc(64.45) = 64.
  EXPECT_NE(r.out.find(" NcMax=         64  kMax=       8437  Na=          8\r\n"),
            std::string::npos);
  const std::vector<std::string> blocks = SpcBlockLines(ReadFile("200805312359SGD.spc"));
  ASSERT_EQ(blocks.size(), 11u);  // blocks 0-9, then block 10 whose read fails
  // Secs = 86340 + 10.24 k: k = 5 is 86391.2 (23:59:51), k = 6 is 86401.44:
  // day 32, hour 24, 0 minutes, 1 second; month stays 5.
  EXPECT_EQ(blocks[0], "    0\t2008\t 5\t31\t23\t59\t 0\t86340");
  EXPECT_EQ(blocks[5], "    5\t2008\t 5\t31\t23\t59\t51\t86391");
  EXPECT_EQ(blocks[6], "    6\t2008\t 5\t32\t24\t 0\t 1\t86401");
  EXPECT_EQ(blocks[9], "    9\t2008\t 5\t32\t24\t 0\t32\t86432");
  EXPECT_EQ(blocks[10], "   10\t2008\t 5\t32\t24\t 0\t42\t86442");
  const std::vector<std::string> max = Lines(ReadFile("200805312359SGD.max"));
  ASSERT_EQ(max.size(), 11u);
  EXPECT_EQ(max[7].substr(0, 33), "    6\t 2008\t 5\t32\t24\t 0\t 1\t86401\t");
  // The console progress record of block 6, shown without its first blank.
  EXPECT_NE(r.out.find("\r\n   6 2008/ 5/32 24: 0: 1  86401\r\n"), std::string::npos);
}

TEST_F(Window, WindowStartingBeforeTheRecordingCountsFromItsFirstBlock) {
  WriteRecording("20080501220000KUR-0.BIN", 40, Const(100), Const(100));
  WriteRecording("20080501220000SGD-0.BIN", 40, Const(100), Const(100));
  RunResult r = Run("2\n1024\n1\n500\n010000\n010030\n013000\n023000\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // 01:00:00 to 01:00:30: every step passes the start test; NcMax =
  // trunc(30 / 10.24) = 2 blocks from the recording's first. The window is
  // not moved to the next day and its end time is not compared.
  EXPECT_NE(r.out.find(" NcMax=          2  kMax="), std::string::npos);
  EXPECT_EQ(MaxSteps(ReadFile("200805012200KUR.max")), Range(0, 1));
  EXPECT_EQ(SpcBlockLines(ReadFile("200805012200KUR.spc")).size(), 2u);
  // 01:30 to 02:30: NcMax = 351; the 40 records end it after block 4.
  EXPECT_NE(r.out.find(" NcMax=        351  kMax="), std::string::npos);
  EXPECT_EQ(MaxSteps(ReadFile("200805012200SGD.max")), Range(0, 4));
  const std::vector<std::string> sgd = SpcBlockLines(ReadFile("200805012200SGD.spc"));
  ASSERT_EQ(sgd.size(), 6u);
  EXPECT_EQ(sgd[0], "    0\t2008\t 5\t 1\t22\t 0\t 0\t79200");
}

TEST_F(Window, TimeAnswersAreReadAsThreeTwoColumnFields) {
  WriteRecording("20080501085950SGD-0.BIN", 20, Const(100), Const(100));
  WriteRecording("20080501092950SGD-0.BIN", 20, Const(100), Const(100));
  WriteRecording("20080501120000SGD-0.BIN", 200, Const(100), Const(100));
  RunResult r = Run(
      "2\n512\n1\n500\n"
      "9\n090011\n"           // 09:00:00 (short line: the other fields 0) to 09:00:11
      "093000\n0930101\n"     // 09:30:00 to 09:30:10 (column 7 ignored)
      "12 30 45\n1204\n");    // columns "12", " 3", "0 ": 12:03:00 to 12:04:00
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // 32400 to 32411 s: NcMax = trunc(11 / 5.12) = 2; the recording starts at
  // 32390 s, so the first step at or after 32400 is k = 2 (10.24 s).
  EXPECT_EQ(MaxSteps(ReadFile("200805010859SGD.max")), Range(2, 3));
  // 34200 to 34210: NcMax = 1; k = 2 again (34190 + 10.24).
  const std::vector<std::string> m2 = Lines(ReadFile("200805010929SGD.max"));
  ASSERT_EQ(m2.size(), 2u);
  EXPECT_EQ(m2[1].substr(0, 33), "    2\t 2008\t 5\t 1\t 9\t30\t 0\t34200\t");
  // 43380 to 43440: NcMax = trunc(60 / 5.12) = 11; first k = 36 (184.32 s,
  // 12:03:04), last k = 46.
  EXPECT_EQ(MaxSteps(ReadFile("200805011200SGD.max")), Range(36, 46));
  EXPECT_EQ(SpcBlockLines(ReadFile("200805011200SGD.spc"))[0],
            "   36\t2008\t 5\t 1\t12\t 3\t 4\t43384");
  const std::string ncmax = " NcMax=          2  kMax=      16875  Na=          4";
  EXPECT_NE(r.out.find(ncmax), std::string::npos);
  EXPECT_NE(r.out.find(" NcMax=          1  kMax="), std::string::npos);
  EXPECT_NE(r.out.find(" NcMax=         11  kMax="), std::string::npos);

  // Mode 1: the amplitude header carries the date and time of the first
  // analysed block, 12:03, not the recording start.
  RunResult one = Run("1\n512\n1\n3\n12 30 45\n1204\n");
  EXPECT_EQ(one.status, 0);
  const std::vector<std::string> qdr = Lines(ReadFile("200805011200SGD.qdr"));
  ASSERT_EQ(qdr.size(), 4u + 11u);
  EXPECT_EQ(qdr[0], "Sugadaira     2008/ 5/ 1 12: 3  100Hz  512");
  EXPECT_EQ(Fields(qdr[4])[2], "   4.320");  // seconds of block 36: 4 + .32
}

}  // namespace
}  // namespace hfd::test
