// The peak summary file (.max) and the four console records of a block in
// output mode 2.
//
// Expected lines follow from the formats: 18 labels each followed by a TAB;
// block fields as wide as the labels above them, with a comma instead of a
// TAB after the mean and the spread; F fields without a digit before the
// point below 1; the console's 5X and F10.3 fields and the empty record left
// by the slash before the closing parenthesis.
#include "output/peak_file.hpp"

#include <gtest/gtest.h>

#include <string>

#include "output/time_stamp.hpp"
#include "textio/record_capture.hpp"

namespace hfd::test {
namespace {

using test::Records;

using test::Stamp;

constexpr const char* kHeader =
    "kkkkk\t YYYY\tMM\tDD\tHH\tMM\tSS\tsssss\t"
    " AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t"
    " AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t";

TEST(PeakFile, HeaderLine) {
  Records file;
  WritePeakHeader(file);
  ASSERT_EQ(file.lines.size(), 1u);
  EXPECT_EQ(file.lines[0], kHeader);
  // 5+5+5*2+5 + 2*(2*6+3*7) label columns and 18 TABs.
  EXPECT_EQ(file.lines[0].size(), 109u);
  EXPECT_EQ(file.lines[0].back(), '\t');
  EXPECT_TRUE(file.AllEnded());
}

TEST(PeakFile, BlockLineAndConsoleRecords) {
  BlockResult r;
  r.channel[0].AvAmp = 0.001, r.channel[0].S4Indx = 1.234;
  r.channel[0].DfFrqMx = 8.0078125f, r.channel[0].DfAmpMx = 75.31f, r.channel[0].DfPhsMx = -23.47f;
  r.channel[1].AvAmp = -0.002, r.channel[1].S4Indx = 0.987;
  r.channel[1].DfFrqMx = 7.91015625f, r.channel[1].DfAmpMx = 68.02f, r.channel[1].DfPhsMx = 151.06f;

  Records console, file;
  WritePeakBlock(console, file, 0, Stamp(2008, 5, 1, 12, 0, 0), 43200, r);
  ASSERT_EQ(file.lines.size(), 1u);
  // I5 step, I5 year, five I2, I5 seconds of day; per channel F6.3 mean ",",
  // F6.3 spread ",", then F7.2 frequency, level and phase each with a TAB.
  // 8.0078125 -> 8.01, 151.0599975... -> 151.06, -23.4699993... -> -23.47.
  EXPECT_EQ(file.lines[0],
            "    0\t 2008\t 5\t 1\t12\t 0\t 0\t43200\t  .001, 1.234,   8.01\t  75.31\t -23.47\t"
            " -.002,  .987,   7.91\t  68.02\t 151.06\t");
  EXPECT_EQ(file.lines[0].size(), 109u);
  EXPECT_TRUE(file.AllEnded());
  // Column for column under the header: a separator of the block line stands
  // exactly where the header has its TAB.
  const std::string header = kHeader;
  for (size_t i = 0; i < header.size(); ++i) {
    const char b = file.lines[0][i];
    EXPECT_EQ(header[i] == '\t', b == '\t' || b == ',') << "column " << i + 1;
  }

  // 2I5 "/" I2 "/" I2 " " I2 ":" I2 ":" I2 " " I6 (32 characters); two records
  // of 5X and five F10.3 (55 characters); then the empty record of the slash.
  ASSERT_EQ(console.lines.size(), 4u);
  EXPECT_EQ(console.lines[0], "    0 2008/ 5/ 1 12: 0: 0  43200");
  EXPECT_EQ(console.lines[1], "           .001     1.234     8.008    75.310   -23.470");
  EXPECT_EQ(console.lines[2], "          -.002      .987     7.910    68.020   151.060");
  EXPECT_EQ(console.lines[3], "");
  EXPECT_EQ(console.lines[0].size(), 32u);
  EXPECT_EQ(console.lines[1].size(), 55u);
  EXPECT_EQ(console.lines[2].size(), 55u);
  EXPECT_TRUE(console.AllEnded());
}

TEST(PeakFile, FloorChannelLateStepsAndOverflow) {
  BlockResult r;
  // Channel 1: an all-zero block (floor level, phase 270). Channel 2 without
  // a file: first Doppler-band bin, -60 dBuV, phase 0 printed as .00, and a
  // mean and spread of 0.
  r.channel[0].AvAmp = 0.0, r.channel[0].S4Indx = 0.0;
  r.channel[0].DfFrqMx = 4.1015625f, r.channel[0].DfAmpMx = -60.0f, r.channel[0].DfPhsMx = 270.0f;
  r.channel[1].AvAmp = 0.0, r.channel[1].S4Indx = 0.0;
  r.channel[1].DfFrqMx = 4.1015625f, r.channel[1].DfAmpMx = -60.0f, r.channel[1].DfPhsMx = 0.0f;

  Records console, file;
  WritePeakBlock(console, file, 10000, Stamp(2008, 5, 1, 14, 13, 20), 51200, r);
  ASSERT_EQ(file.lines.size(), 1u);
  EXPECT_EQ(file.lines[0],
            "10000\t 2008\t 5\t 1\t14\t13\t20\t51200\t  .000,  .000,   4.10\t -60.00\t 270.00\t"
            "  .000,  .000,   4.10\t -60.00\t    .00\t");
  ASSERT_EQ(console.lines.size(), 4u);
  // From step 10000 on the first record starts with the digit 1.
  EXPECT_EQ(console.lines[0], "10000 2008/ 5/ 1 14:13:20  51200");
  EXPECT_EQ(console.lines[1], "           .000      .000     4.102   -60.000   270.000");
  EXPECT_EQ(console.lines[2], "           .000      .000     4.102   -60.000      .000");
  EXPECT_EQ(console.lines[3], "");

  // Too wide: a mean of 123.4 in F6.3, a level of -1234.5 in F7.2 and in
  // F10.3 (fits there), a step of 100000 in I5, seconds 123456 in I5 / I6.
  r.channel[0].AvAmp = 123.4, r.channel[0].DfAmpMx = -1234.5f;
  Records console2, file2;
  WritePeakBlock(console2, file2, 100000, Stamp(2008, 5, 2, 34, 17, 36), 123456, r);
  EXPECT_EQ(file2.lines[0],
            "*****\t 2008\t 5\t 2\t34\t17\t36\t*****\t******,  .000,   4.10\t*******\t 270.00\t"
            "  .000,  .000,   4.10\t -60.00\t    .00\t");
  EXPECT_EQ(console2.lines[0], "***** 2008/ 5/ 2 34:17:36 123456");
  EXPECT_EQ(console2.lines[1], "        123.400      .000     4.102 -1234.500   270.000");
}

}  // namespace
}  // namespace hfd::test
