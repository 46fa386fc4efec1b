// Opening a recording: the echo of the choice, the station name, channel
// file names, the open error line, which result files are created under
// which names, and that an existing result file is replaced.
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

namespace fs = std::filesystem;
using Opening = DriverTest;

const std::string kAsk = "\r\n *** Specify the processing file number (500:all): ";

// An 8 Hz tone of amplitude 8000: a real Doppler-band peak, far above the
// -60 dBuV floor that a channel without a file shows.
SampleFn Tone8Hz() {
  return [](int record, int j) {
    const double n = (record - 1) * 128 + j;
    const double phase = 2.0 * 3.141592653589793 * 8.0 * n / 100.0;
    return static_cast<int16_t>(std::lround(8000.0 * std::sin(phase)));
  };
}

TEST_F(Opening, StationTableNamesAndAnUnlistedCodeInTheAmplitudeHeader) {
  // Empty channel files: the first analysed block writes the header, then its
  // first read fails and the recording ends.
  const std::vector<std::pair<std::string, std::string>> stations = {
      {"KAK", "Kakioka   "}, {"KSM", "Kasima    "}, {"KUR", "Kure      "},
      {"KYO", "Kyoto     "}, {"MSR", "Moshiri   "}, {"ORI", "Oarai     "},
      {"SGD", "Sugadaira "}, {"SMZ", "Shimizu   "}, {"XYZ", "XYZ       "}};
  for (const auto& s : stations)
    WriteRecording("20080501120000" + s.first + "-0.BIN", 0, Const(0), Const(0));
  RunResult r = Run("1\n512\n0\n500\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  for (const auto& s : stations) {
    // The echo: list-directed, the 28-character text and the 30-character
    // name with its seven NULs (the first after the open prompt, the others
    // after a pending line).
    EXPECT_NE(r.out.find("*** Specified BIN Filename: 20080501120000" + s.first + "-0.BIN" +
                         std::string(7, '\0')),
              std::string::npos)
        << s.first;
    const std::vector<std::string> lines = Lines(ReadFile("200805011200" + s.first + ".qdr"));
    ASSERT_EQ(lines.size(), 4u) << s.first;
    // "(a10,i8,2(a1,i2),i3,a1,i2,i5,a2,i5)": the name in 10, 2008 in 8, the
    // date, the hour in 3, the minute in 2, 100 Hz, N = 512 in 5. The
    // unlisted XYZ (listed after SMZ) shows its code, not "Shimizu".
    EXPECT_EQ(lines[0], s.second + "    2008/ 5/ 1 12: 0  100Hz  512") << s.first;
  }
}

TEST_F(Opening, LowerCaseNameGivesLowerCaseFilesAndNoStationMatch) {
  WriteRecording("20080315123000sgd-0.bin", 8, Tone8Hz(), Tone8Hz());
  RunResult r = Run("1\n512\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> files = {"20080315123000sgd-0.bin", "20080315123000sgd-1.bin",
                                          "200803151230sgd.qdr"};
  EXPECT_EQ(Entries(), files);
  const std::vector<std::string> lines = Lines(ReadFile("200803151230sgd.qdr"));
  ASSERT_EQ(lines.size(), 6u);  // header and blocks 0 and 1 (records 1-8)
  EXPECT_EQ(lines[0], "sgd       " "    2008/ 3/15 12:30  100Hz  512");
  // Channel 2 was read from "...sgd-1.bin": its peak is the tone, not the
  // floor of a channel without a file.
  for (size_t i = 4; i < 6; ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_NE(f[6], "  -60.00") << lines[i];
    EXPECT_NE(f[4], "  -60.00") << lines[i];
  }
}

TEST_F(Opening, OnlyTheChannelZeroFileGivesChannelTwoTheFloorValues) {
  WriteChannel("20080501120000SGD-0.BIN", 16, RecordNumberTimes(1000));
  RunResult r = Run("2\n512\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("error"), std::string::npos) << "no message for a missing channel";
  const std::vector<std::string> max = Lines(ReadFile("200805011200SGD.max"));
  ASSERT_EQ(max.size(), 5u);  // header and blocks 0 to 3 (records 1-16)
  for (size_t i = 1; i < max.size(); ++i) {
    const std::vector<std::string> f = Fields(max[i]);
    ASSERT_EQ(f.size(), 15u) << max[i];
    // Channel 2: AvAmp and S4Indx never computed in this first recording
    // (.000), the first Doppler-band bin 4.1015625 Hz (N = 512) in F7.2, the
    // floor -60 dBuV and phase 0 (F7.2 of 0 is "    .00").
    EXPECT_EQ(f[11], "  .000,  .000,   4.10") << max[i];
    EXPECT_EQ(f[12], " -60.00") << max[i];
    EXPECT_EQ(f[13], "    .00") << max[i];
    EXPECT_NE(f[9], " -60.00") << "channel 1 has data";
  }
  // Every spectrum line: channel 2 at -60.000 (F10.3) and phase .0 (F7.1).
  const std::vector<std::string> spc = Lines(ReadFile("200805011200SGD.spc"));
  // A block line and 62 bins (0 to 11.9 Hz) per block, then the line of
  // block 4, whose first read fails.
  ASSERT_EQ(spc.size(), 4u * 63u + 1u);
  for (size_t i = 0; i + 1 < spc.size(); ++i) {
    if (i % 63 == 0) continue;
    const std::vector<std::string> f = Fields(spc[i]);
    ASSERT_EQ(f.size(), 5u) << spc[i];
    EXPECT_EQ(f[3], "   -60.000") << i;
    EXPECT_EQ(f[4], "     .0") << i;
  }
}

TEST_F(Opening, ADirectoryInPlaceOfTheChannelZeroFileLeavesChannelOneAtTheFloor) {
  // The listed entry is a directory, so only the channel-1 file opens: the
  // recording is processed with channel 1 at the floor values.
  fs::create_directory(Path("20080501120000SGD-0.BIN"));
  WriteChannel("20080501120000SGD-1.BIN", 8, RecordNumberTimes(1000));
  RunResult r = Run("2\n512\n0\n1\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("error"), std::string::npos);
  const std::vector<std::string> max = Lines(ReadFile("200805011200SGD.max"));
  ASSERT_EQ(max.size(), 3u);  // header and blocks 0 and 1 (records 1-8)
  for (size_t i = 1; i < max.size(); ++i) {
    const std::vector<std::string> f = Fields(max[i]);
    ASSERT_EQ(f.size(), 15u) << max[i];
    EXPECT_EQ(f[8], "  .000,  .000,   4.10") << max[i];
    EXPECT_EQ(f[9], " -60.00") << max[i];
    EXPECT_EQ(f[10], "    .00") << max[i];
  }
  // Channel 2 holds the data: block 0 is records 1-4, AvAmp 2500/65536.
  EXPECT_EQ(Fields(max[1])[11].substr(0, 6), "  .038");
}

TEST_F(Opening, UnopenableNamesGiveTheOpenErrorLineAndNoResultFile) {
  // A directory named like a recording and no channel-1 file: neither opens.
  fs::create_directory(Path("20080501100000SGD-0.BIN"));
  // Longer than 30 characters: listed and stored cut at 30, so its channel
  // names (digit at position 19) are "..._0_rather_lon", "..._1_rather_lon".
  WriteText("20080501110000SGD_a_rather_long_name-0.BIN", "");
  // A blank in the name: stored as the part before it, "20080501120000SGD"
  // and NULs; position 19 takes the digit after the NUL, so the names still
  // end at position 18 and no such file exists.
  WriteText("20080501120000SGD x-0.BIN", "");
  // A plain recording after the long name: its entry holds only its own name.
  WriteChannel("20080501130000SGD-0.BIN", 0, Const(0));
  RunResult r = Run("1\n512\n0\n500\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string nul7(7, '\0'), nul11(11, '\0'), nul13(13, '\0');
  // The error line is list-directed: a blank, the 31-character text and two
  // 30-character names make 92 characters; a record holds a blank and 79,
  // so the second name breaks after its 18th character and its last 12 go on
  // a second record after that record's blank. Every record but the first
  // follows a pending line: CR LF, then the record without its blank.
  const std::string expected =
      kAsk + " *** Specified BIN Filename: 20080501100000SGD-0.BIN" + nul7 +
      "\r\n### Data file open error! FILE=20080501100000SGD-0.BIN" + nul7 +
      "20080501100000SGD-" + "\r\n1.BIN" + nul7 +
      "\r\n*** Specified BIN Filename: 20080501110000SGD_a_rather_lon"
      "\r\n### Data file open error! FILE=20080501110000SGD_0_rather_lon20080501110000SGD_"
      "\r\n1_rather_lon"
      "\r\n*** Specified BIN Filename: 20080501120000SGD" +
      nul13 + "\r\n### Data file open error! FILE=20080501120000SGD" + std::string(1, '\0') +
      "0" + nul11 + "20080501120000SGD" + std::string(1, '\0') + "\r\n1" + nul11 +
      "\r\n*** Specified BIN Filename: 20080501130000SGD-0.BIN" + nul7 +
      "\r\nstart time (kH,kM,kS)= 13: 0: 0"
      "\r\nNcMax=       7734  kMax=      16875  Na=          4"
      "\r\n";
  const size_t at = r.out.find(kAsk);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(r.out.substr(at), expected);
  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           "20080501100000SGD-0.BIN", "20080501110000SGD_a_rather_long_name-0.BIN",
                           "20080501120000SGD x-0.BIN", "20080501130000SGD-0.BIN",
                           "200805011300SGD.qdr"}));
}

TEST_F(Opening, ARecordingThatDidNotOpenAsksForNoTimeWindow) {
  fs::create_directory(Path("20080501100000SGD-0.BIN"));
  WriteRecording("20080501120000SGD-0.BIN", 8, Const(100), Const(200));
  // Window answers for the second recording only: the first is skipped
  // straight after its open error line.
  RunResult r = Run("2\n512\n1\n500\n120000\n000000\n");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(ReadFile("200805011200SGD.max")).size(), 3u);  // header, blocks 0 and 1
  EXPECT_FALSE(Exists("200805011000SGD.max"));
}

TEST_F(Opening, ModeDecidesTheResultFilesNamedYearToMinuteAndStation) {
  // Seconds 59: dropped from the result names.
  WriteRecording("20080501120059SGD-0.BIN", 4, Const(100), Const(200));
  RunResult one = Run("1\n512\n0\n1\n");
  EXPECT_EQ(one.status, 0);
  const std::vector<std::string> mode1 = {"20080501120059SGD-0.BIN", "20080501120059SGD-1.BIN",
                                          "200805011200SGD.qdr"};
  EXPECT_EQ(Entries(), mode1);
  fs::remove(Path("200805011200SGD.qdr"));
  RunResult two = Run("2\n512\n0\n1\n");
  EXPECT_EQ(two.status, 0);
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{"20080501120059SGD-0.BIN", "20080501120059SGD-1.BIN",
                                      "200805011200SGD.max", "200805011200SGD.spc"}));
}

TEST_F(Opening, AnExistingResultFileIsReplacedWhole) {
  WriteRecording("20080501120000SGD-0.BIN", 8, Const(100), Const(200));
  const std::string junk(200000, 'J');
  WriteText("200805011200SGD.max", junk);
  WriteText("200805011200SGD.spc", junk);
  RunResult r = Run("2\n512\n0\n1\n");
  EXPECT_EQ(r.status, 0);
  const std::string max = ReadFile("200805011200SGD.max");
  EXPECT_EQ(max.find('J'), std::string::npos);
  EXPECT_EQ(Lines(max).size(), 3u);  // header and blocks 0 and 1
  const std::string spc = ReadFile("200805011200SGD.spc");
  EXPECT_EQ(spc.find('J'), std::string::npos);
  EXPECT_EQ(Lines(spc).size(), 2u * 63u + 1u);  // two blocks, then block 2's line

  // Two recordings whose names differ only in the seconds share the result
  // names: the one processed later replaces the earlier one's results.
  WriteRecording("20080501120030SGD-0.BIN", 4, Const(100), Const(200));
  RunResult both = Run("2\n512\n0\n500\n");
  EXPECT_EQ(both.status, 0);
  const std::vector<std::string> later = Lines(ReadFile("200805011200SGD.max"));
  ASSERT_EQ(later.size(), 2u);  // header and the 12:00:30 recording's block 0
  EXPECT_EQ(Fields(later[1])[6], "30");
}

}  // namespace
}  // namespace hfd::test
