// The amplitude file (.qdr) and the mode-1 console progress line, line by line.
//
// Expected lines are spelled out from the field layout of each format:
// Iw right-justified, Fw.d with no digit before the point for values below 1,
// the rounding of the decimal expansion of the single or double value, and
// w asterisks for a value too wide for its field. "\t" is the TAB separator.
#include "output/amplitude_file.hpp"

#include <gtest/gtest.h>

#include <string>

#include "output/time_stamp.hpp"
#include "textio/record_capture.hpp"

namespace hfd::test {
namespace {

using test::Records;

std::array<char, 10> Name(const char (&text)[11]) {
  std::array<char, 10> n{};
  for (size_t i = 0; i < 10; ++i) n[i] = text[i];
  return n;
}

using test::Stamp;

TEST(AmplitudeFile, HeaderOfFourLines) {
  Records file;
  WriteAmplitudeHeader(file, Name("Sugadaira "), Stamp(2008, 5, 1, 12, 0, 0, 43200.0), 0.01, 1024);
  ASSERT_EQ(file.lines.size(), 4u);
  // A10 name, I8 year, "/", I2 month, "/", I2 day, I3 hour, ":", I2 minute,
  // I5 sampling rate trunc(1/0.01) = 100, "Hz", I5 data length: 42 columns.
  EXPECT_EQ(file.lines[0], "Sugadaira     2008/ 5/ 1 12: 0  100Hz 1024");
  EXPECT_EQ(file.lines[0].size(), 42u);
  // T6 leaves five blanks; then A4 "CH"+2 TAB, A9 "5006kHz"+2 TAB, A7 "8006kHz".
  EXPECT_EQ(file.lines[1], "     CH\t\t5006kHz\t\t8006kHz");
  EXPECT_EQ(file.lines[2], "     Time(JST)\t\tFreq\tAmp\tFreq\tAmp");
  // No leading blanks, and the leading backslash does not keep the line open.
  EXPECT_EQ(file.lines[3], "hh\tmm\tss.mmm\tHz\tdBuV\tHz\tdBuV");
  EXPECT_TRUE(file.AllEnded());

  // Another station and time: hour 24 after midnight in I3, the data length
  // right-justified in I5, the seconds never written.
  Records late;
  WriteAmplitudeHeader(late, Name("Kure      "), Stamp(2010, 12, 31, 24, 5, 59, 86759.0), 0.01,
                       512);
  ASSERT_EQ(late.lines.size(), 4u);
  EXPECT_EQ(late.lines[0], "Kure          2010/12/31 24: 5  100Hz  512");
  Records wide;
  WriteAmplitudeHeader(wide, Name("Moshiri   "), Stamp(2008, 5, 1, 0, 0, 0, 0.0), 0.01, 4096);
  EXPECT_EQ(wide.lines[0], "Moshiri       2008/ 5/ 1  0: 0  100Hz 4096");
}

TEST(AmplitudeFile, BlockLinesAndConsoleLine) {
  BlockResult r;
  r.channel[0].AvAmp = 0.001, r.channel[0].S4Indx = 1.234;
  r.channel[0].DfFrqMx = 8.0078125f, r.channel[0].DfAmpMx = 75.31f;  // 75.30999755... as single
  r.channel[1].AvAmp = -0.002, r.channel[1].S4Indx = 0.987;
  r.channel[1].DfFrqMx = 7.91015625f, r.channel[1].DfAmpMx = 68.02f;  // 68.0199966... as single
  r.channel[0].DfPhsMx = 12.0f, r.channel[1].DfPhsMx = -99.0f;        // not written to this file

  Records console, file;
  WriteAmplitudeBlock(console, file, 0, Stamp(2008, 5, 1, 12, 0, 0, 43200.0), r);
  ASSERT_EQ(file.lines.size(), 1u);
  // I2 hour, I2 minute, F8.3 seconds (.000 without a leading zero), then per
  // channel F8.4 frequency (8.0078125 -> 8.0078, 7.91015625 -> 7.9102 by
  // half-up rounding) and F8.2 level; no TAB after the last field.
  EXPECT_EQ(file.lines[0], "12\t 0\t    .000\t  8.0078\t   75.31\t  7.9102\t   68.02");
  EXPECT_EQ(file.lines[0].size(), 50u);
  EXPECT_TRUE(file.AllEnded());
  // 2I5, "/", I2 "/" I2 " " I2 ":" I2 ":" I2 " ", then per channel F6.3 mean,
  // F6.3 spread, F7.3 frequency, F6.1 level, with no separators.
  ASSERT_EQ(console.lines.size(), 1u);
  EXPECT_EQ(console.lines[0],
            "    0 2008/ 5/ 1 12: 0: 0   .001 1.234  8.008  75.3 -.002  .987  7.910  68.0");
  EXPECT_EQ(console.lines[0].size(), 76u);
  EXPECT_TRUE(console.AllEnded());

  // One block step (10.24 s) later: the seconds field is kS plus the
  // fraction of Secs, 10 + .24.
  r.channel[0].DfFrqMx = 8.10546875f, r.channel[0].DfAmpMx = 74.87f;
  r.channel[1].DfAmpMx = 67.55f;
  Records console1, file1;
  WriteAmplitudeBlock(console1, file1, 1, Stamp(2008, 5, 1, 12, 0, 10, 43200.0 + 10.24), r);
  ASSERT_EQ(file1.lines.size(), 1u);
  EXPECT_EQ(file1.lines[0], "12\t 0\t  10.240\t  8.1055\t   74.87\t  7.9102\t   67.55");
}

TEST(AmplitudeFile, SecondsFieldFloorValuesAndOverflow) {
  BlockResult r;
  // A channel without a file: the first Doppler-band bin at the -60 dBuV floor.
  r.channel[0].DfFrqMx = 4.1015625f, r.channel[0].DfAmpMx = -60.0f;
  // Values too wide for F8.4 / F8.2 become eight asterisks.
  r.channel[1].DfFrqMx = 1234.5f, r.channel[1].DfAmpMx = -123456.0f;
  r.channel[0].AvAmp = 0.0, r.channel[0].S4Indx = 0.0;
  r.channel[1].AvAmp = 0.5, r.channel[1].S4Indx = 12.5;  // 12.500 needs 6 columns, fits F6.3

  Records console, file;
  // 23:59:50.88 (day seconds 86390.88): 50 + .88.
  WriteAmplitudeBlock(console, file, 16874, Stamp(2008, 5, 1, 23, 59, 50, 86390.88), r);
  ASSERT_EQ(file.lines.size(), 1u);
  EXPECT_EQ(file.lines[0], "23\t59\t  50.880\t  4.1016\t  -60.00\t********\t********");
  ASSERT_EQ(console.lines.size(), 1u);
  // I5 of 16874 fills its field, so the record starts with the digit 1
  // (taken as carriage control on the console). F7.3 of 1234.5 needs 8
  // columns: asterisks; F6.1 of -123456.0 as well.
  EXPECT_EQ(console.lines[0],
            "16874 2008/ 5/ 1 23:59:50   .000  .000  4.102 -60.0  .50012.500*************");
  EXPECT_EQ(console.lines[0][0], '1');
  EXPECT_EQ(console.lines[0].size(), 76u);
}

}  // namespace
}  // namespace hfd::test
