// Reading the blocks: block k is records Na*k+1 .. Na*k+Na of each channel
// file, and a record that cannot be read (missing or incomplete) ends the
// recording with nothing written for its block.
#include <string>
#include <vector>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

using Reading = DriverTest;

// "AvAmp,S4Indx" of channel c (1 or 2) in every block line of a peak file.
std::vector<std::string> Stats(const std::string& maxFile, int c) {
  std::vector<std::string> out;
  const std::vector<std::string> lines = Lines(maxFile);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    if (f.size() != 15u) {
      ADD_FAILURE() << lines[i];
      continue;
    }
    out.push_back(f[c == 1 ? 8 : 11].substr(0, 13));
  }
  return out;
}

std::string LastLine(const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  return lines.empty() ? "" : lines.back();
}

TEST_F(Reading, BlockKReadsItsOwnRecordsFromEachChannelFile) {
  // Every sample of record r is 1000 r in the channel-0 file, -500 r in the
  // channel-1 file, so a block's mean and spread tell which records it holds.
  WriteRecording("20080501120000SGD-0.BIN", 24, RecordNumberTimes(1000),
                 RecordNumberTimes(-500));
  RunResult r = Run("2\n512\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  // N = 512, Na = 4: block k holds records 4k+1 .. 4k+4, mean record number
  // 4k + 2.5, so AvAmp = 1000 (4k + 2.5) / 65536: .038, .099, .160, .221,
  // .282, .343 (F6.3, half away from zero); the spread of four equally
  // filled steps of 1000/65536 is sqrt(1.25) * 1000/65536, times 10: .171.
  // Channel 2 is -1/2 of that: -.019 ... -.172 and .085.
  EXPECT_EQ(Stats(ReadFile("200805011200SGD.max"), 1),
            (std::vector<std::string>{"  .038,  .171", "  .099,  .171", "  .160,  .171",
                                      "  .221,  .171", "  .282,  .171", "  .343,  .171"}));
  EXPECT_EQ(Stats(ReadFile("200805011200SGD.max"), 2),
            (std::vector<std::string>{" -.019,  .085", " -.050,  .085", " -.080,  .085",
                                      " -.111,  .085", " -.141,  .085", " -.172,  .085"}));
  // Block 6 (30.72 s: 12:00:30) needs record 25: its block line ends the
  // spectrum file.
  EXPECT_EQ(LastLine(ReadFile("200805011200SGD.spc")), "    6\t2008\t 5\t 1\t12\t 0\t30\t43230");

  // N = 1024, Na = 8: mean record number 8k + 4.5 and spread sqrt(5.25) steps:
  // AvAmp .069, .191, .313 and S4Indx .350; channel 2 -.034, -.095, -.156, .175.
  RunResult r2 = Run("2\n1024\n0\n1\n");
  EXPECT_EQ(r2.status, 0);
  EXPECT_EQ(Stats(ReadFile("200805011200SGD.max"), 1),
            (std::vector<std::string>{"  .069,  .350", "  .191,  .350", "  .313,  .350"}));
  EXPECT_EQ(Stats(ReadFile("200805011200SGD.max"), 2),
            (std::vector<std::string>{" -.034,  .175", " -.095,  .175", " -.156,  .175"}));
  EXPECT_EQ(LastLine(ReadFile("200805011200SGD.spc")), "    3\t2008\t 5\t 1\t12\t 0\t30\t43230");
}

TEST_F(Reading, AShortChannelFileEndsTheRecordingAtTheBlockItCannotFill) {
  // KUR: the channel-0 file has 19 whole records and 100 bytes of a 20th, so
  // block 4 (records 17-20) cannot be read: an incomplete record is a failed
  // read. SGD: the channel-1 file has 12 records, so block 3 fails on
  // channel 2 after channel 1 was read, and is abandoned all the same.
  WriteChannel("20080501120000KUR-0.BIN", 19, Const(300), 100);
  WriteChannel("20080501120000KUR-1.BIN", 24, Const(300));
  WriteChannel("20080501120000SGD-0.BIN", 24, Const(300));
  WriteChannel("20080501120000SGD-1.BIN", 12, Const(300));
  RunResult r = Run("2\n512\n0\n500\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> kur = Lines(ReadFile("200805011200KUR.max"));
  ASSERT_EQ(kur.size(), 1u + 4u);
  EXPECT_EQ(kur[4].substr(0, 5), "    3");
  EXPECT_EQ(LastLine(ReadFile("200805011200KUR.spc")), "    4\t2008\t 5\t 1\t12\t 0\t20\t43220");
  const std::vector<std::string> sgd = Lines(ReadFile("200805011200SGD.max"));
  ASSERT_EQ(sgd.size(), 1u + 3u);
  EXPECT_EQ(LastLine(ReadFile("200805011200SGD.spc")), "    3\t2008\t 5\t 1\t12\t 0\t15\t43215");
  // No console progress for the failing blocks (record 1 of a block, shown
  // without its first blank: "   k 2008/ 5/ 1 12: 0:ss  sssss").
  EXPECT_NE(r.out.find("\r\n   3 2008/ 5/ 1 12: 0:15  43215\r\n"), std::string::npos);
  EXPECT_EQ(r.out.find("\r\n   4 2008/ 5/ 1 12: 0:20  43220\r\n"), std::string::npos);
  size_t progress = 0;
  for (size_t at = r.out.find(" 2008/ 5/ 1 "); at != std::string::npos;
       at = r.out.find(" 2008/ 5/ 1 ", at + 1))
    ++progress;
  EXPECT_EQ(progress, 4u + 3u);

  // Mode 1: the amplitude files hold the header and the same blocks.
  RunResult one = Run("1\n512\n0\n500\n");
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(Lines(ReadFile("200805011200KUR.qdr")).size(), 4u + 4u);
  EXPECT_EQ(Lines(ReadFile("200805011200SGD.qdr")).size(), 4u + 3u);
}

}  // namespace
}  // namespace hfd::test
