// The recording listing: which names are found, the listing line columns
// "(2x,i5,2x,a30,i9,a1,a6)", attribute letters, the order, and the limit of
// 500 entries.
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

namespace fs = std::filesystem;
using Listing = DriverTest;

// A size right-aligned in an I9 field.
std::string I9(long long v) {
  std::string s = std::to_string(v);
  return std::string(9 - s.size(), ' ') + s;
}

// The console output after the time-window answer, up to the total line.
std::string ListingPart(const std::string& out) {
  return Between(out, "  ======== Matched BIN Files ========", "\r\n === total:");
}

TEST_F(Listing, LinesShowNumberNameSizeAndAttributesInTheirColumns) {
  WriteText("20080501120000SGD-0.BIN", "");
  fs::resize_file(Path("20080501120000SGD-0.BIN"), 1234567);
  WriteChannel("20080501130000sgd-0.bin", 2, Const(0));  // lower case is found
  WriteText(".20080501140000SGD-0.BIN", "");             // hidden
  fs::permissions(Path(".20080501140000SGD-0.BIN"), fs::perms(0444));
  WriteText("20080501150000SGD-0.BIN", "x");  // read-only for its owner
  fs::permissions(Path("20080501150000SGD-0.BIN"), fs::perms(0455));
  fs::create_directory(Path("20080501160000SGD-0.BIN"));
  WriteText("20080501170000SGD x-0.BIN", "");
  WriteText("20080501180000SGD_a_rather_long_name-0.BIN", "");
  // Not recordings: another channel digit, other endings.
  for (const char* other : {"20080501120000SGD-1.BIN", "20080501120000SGD-0.BIN.bak", "x-0.BI",
                            "-0.BINX", "x-00.BIN"})
    WriteText(other, "");
  struct stat st;
  ASSERT_EQ(::stat(Path("20080501160000SGD-0.BIN").c_str(), &st), 0);

  RunResult r = Run("1\n512\n0\n");  // the input ends at the selection prompt
  ASSERT_FALSE(r.timedOut);
  // Each line: CR LF (a line is pending), the record without its first blank:
  // one blank, the number in 5, two blanks, the name in 30 (blank-filled,
  // cut at 30), the size in 9, the blank item, a blank and the letters
  // H, S, R, A, D in their five positions (S and A never occur here).
  // Sorted by name in byte order: '.' comes before the digits.
  const std::string expected =
      std::string("\r\n     1  .20080501140000SGD-0.BIN      ") + I9(0) + "  H R  " +
      "\r\n     2  20080501120000SGD-0.BIN       " + I9(1234567) + "       " +
      "\r\n     3  20080501130000sgd-0.bin       " + I9(512) + "       " +
      "\r\n     4  20080501150000SGD-0.BIN       " + I9(1) + "    R  " +
      "\r\n     5  20080501160000SGD-0.BIN       " + I9(st.st_size) + "      D" +
      "\r\n     6  20080501170000SGD x-0.BIN     " + I9(0) + "       " +
      "\r\n     7  20080501180000SGD_a_rather_lon" + I9(0) + "       ";
  EXPECT_EQ(ListingPart(r.out), expected);
  EXPECT_EQ(I9(1234567), "  1234567");
  EXPECT_NE(r.out.find("\r\n === total:     7\r\n"), std::string::npos);
}

TEST_F(Listing, OnlyTheFirstFiveHundredAreListedAndTheRestCounted) {
  for (int i = 0; i < 503; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "r%03d-0.BIN", i);
    WriteText(name, "");
  }
  RunResult r = Run("1\n512\n0\n");
  ASSERT_FALSE(r.timedOut);
  const std::string part = ListingPart(r.out);
  EXPECT_NE(part.find("\r\n     1  r000-0.BIN                    "), std::string::npos);
  const std::string last = "\r\n   500  r499-0.BIN                    " + I9(0) + "       ";
  const size_t at = part.find(last);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(part.find("r500-0.BIN"), std::string::npos);
  // After the 500th line, one list-directed line that tells how many were
  // left out (3); its wording is free, the count stands as its last number.
  const std::string note = part.substr(at + last.size());
  ASSERT_EQ(note.rfind("\r\n", 0), 0u) << note;
  EXPECT_EQ(note.find("\r\n", 2), std::string::npos) << "one line only: " << note;
  EXPECT_EQ(note.substr(note.size() - 2), " 3") << note;
  EXPECT_NE(r.out.find("\r\n === total:   500\r\n"), std::string::npos);
}

}  // namespace
}  // namespace hfd::test
