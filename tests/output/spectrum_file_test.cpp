// The spectrum file (.spc): the block line and the per-bin spectrum lines.
//
// Expected lines follow from "(i5,a1,i4,a1,5(i2,a1),i5)" and
// "(f6.3,2(a1,f10.3,a1,f7.1))": right-justified fields, TAB separators, no
// TAB at the end, no digit before the point for values below 1, half-up
// rounding of the single value's decimal expansion, asterisks on overflow.
#include "output/spectrum_file.hpp"

#include <gtest/gtest.h>


#include "output/time_stamp.hpp"
#include "textio/record_capture.hpp"

namespace hfd::test {
namespace {

using test::Records;

using test::Stamp;

// Four bins of spectrum-file values, handed to the writer as a view.
struct Bins {
  float freq[4] = {}, level[2][4] = {}, phase[2][4] = {};
  void Set(size_t i, float f, float a1, float p1, float a2, float p2) {
    freq[i] = f;
    level[0][i] = a1, phase[0][i] = p1;
    level[1][i] = a2, phase[1][i] = p2;
  }
  SpectrumLines Lines(size_t count) const {
    SpectrumLines v;
    v.freq = {freq, count};
    for (size_t c = 0; c < 2; ++c) {
      v.level[c] = {level[c], count};
      v.phase[c] = {phase[c], count};
    }
    return v;
  }
};

TEST(SpectrumFile, BlockLine) {
  Records file;
  WriteSpectrumBlockLine(file, 0, Stamp(2008, 5, 1, 12, 0, 0), 43200);
  // I5 step, I4 year (not I5 as in the peak file), five I2 fields, I5 seconds
  // of day: 8 columns, 31 characters, no trailing TAB.
  ASSERT_EQ(file.lines.size(), 1u);
  EXPECT_EQ(file.lines[0], "    0\t2008\t 5\t 1\t12\t 0\t 0\t43200");
  EXPECT_EQ(file.lines[0].size(), 31u);
  EXPECT_TRUE(file.AllEnded());

  // After midnight: day 16, hour 24, seconds of day past 86400 still fit I5;
  // the last step of N = 512 fills I5.
  Records late;
  WriteSpectrumBlockLine(late, 16875, Stamp(2008, 5, 16, 24, 0, 1), 86401);
  EXPECT_EQ(late.lines[0], "16875\t2008\t 5\t16\t24\t 0\t 1\t86401");
  // Too wide: a five-digit year in I4, a six-digit step in I5.
  Records wide;
  WriteSpectrumBlockLine(wide, 123456, Stamp(12008, 5, 1, 0, 0, 7), 7);
  EXPECT_EQ(wide.lines[0], "*****\t****\t 5\t 1\t 0\t 0\t 7\t    7");
}

TEST(SpectrumFile, SpectrumLines) {
  Bins s;
  // N = 1024: bins 1, 2 and 123 of the 0 .. 12 Hz band (0, 0.09765625 and
  // 11.9140625 Hz).
  s.Set(0, 0.0f, 52.317f, 45.0f, 49.882f, -135.0f);
  s.Set(1, 0.09765625f, 46.105f, -12.3f, 43.871f, 118.6f);
  s.Set(2, 11.9140625f, 21.774f, 97.2f, 19.538f, 270.0f);
  // A bin past the count must not be written.
  s.Set(3, 99.0f, 1.0f, 1.0f, 1.0f, 1.0f);

  Records file;
  WriteSpectrumLines(file, s.Lines(3));
  ASSERT_EQ(file.lines.size(), 3u);
  // F6.3 frequency (.000 and .098 without a leading zero; .09765625 rounds
  // up), then per channel F10.3 level and F7.1 phase.
  EXPECT_EQ(file.lines[0], "  .000\t    52.317\t   45.0\t    49.882\t -135.0");
  EXPECT_EQ(file.lines[1], "  .098\t    46.105\t  -12.3\t    43.871\t  118.6");
  EXPECT_EQ(file.lines[2], "11.914\t    21.774\t   97.2\t    19.538\t  270.0");
  for (const std::string& l : file.lines) EXPECT_EQ(l.size(), 44u) << l;
  EXPECT_TRUE(file.AllEnded());
}

TEST(SpectrumFile, FloorChannelLastBinsAndOverflow) {
  Bins s;
  // Channel 2 without a file: -60 dBuV and phase 0, which prints as .0.
  // Last bins for N = 2048 (11.962890625 rounds up to 11.963) and N = 4096
  // (11.9873046875 -> 11.987); an all-zero block's floor phase 270.0; a
  // negative level that rounds to zero prints without a sign.
  s.Set(0, 11.962890625f, -60.0f, 270.0f, -60.0f, 0.0f);
  s.Set(1, 11.9873046875f, -0.0004f, -179.96f, -60.0f, 0.0f);
  // Overflow: F10.3 takes at most 999999.999, F7.1 at most 99999.9, F6.3 99.999.
  s.Set(2, 100.0f, 1.0e6f, -1.0e5f, -99999.5f, 99999.9f);

  Records file;
  WriteSpectrumLines(file, s.Lines(3));
  ASSERT_EQ(file.lines.size(), 3u);
  EXPECT_EQ(file.lines[0], "11.963\t   -60.000\t  270.0\t   -60.000\t     .0");
  EXPECT_EQ(file.lines[1], "11.987\t      .000\t -180.0\t   -60.000\t     .0");
  EXPECT_EQ(file.lines[2], "******\t**********\t*******\t-99999.500\t99999.9");

  Records none;
  WriteSpectrumLines(none, s.Lines(0));
  EXPECT_TRUE(none.lines.empty());
}

}  // namespace
}  // namespace hfd::test
