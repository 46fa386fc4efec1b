#include "input/channel_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.hpp"

namespace hfd::test {
namespace {

namespace fs = std::filesystem;

TEST(ChannelFile, RecordsRegularFilesOnly) {
  TempDir dir;
  const fs::path p = dir.path / "c-0.BIN";
  {
    std::ofstream f(p, std::ios::binary);
    for (int i = 0; i < 2 * 128; ++i) {
      int16_t v = static_cast<int16_t>(i - 128);
      char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
      f.write(b, 2);
    }
    f.write("x", 1);  // an incomplete third record
  }
  ChannelFile ch;
  ASSERT_TRUE(ch.Open(p.c_str()));
  int16_t s[3 * 128];
  ASSERT_TRUE(ch.ReadRecords(1, 2, s));
  EXPECT_EQ(s[0], -128);
  EXPECT_EQ(s[255], 127);
  ASSERT_TRUE(ch.ReadRecords(2, 1, s));
  EXPECT_EQ(s[0], 0);
  EXPECT_FALSE(ch.ReadRecords(3, 1, s));  // incomplete record: a failed read
  EXPECT_FALSE(ch.ReadRecords(2, 2, s));
  EXPECT_FALSE(ch.ReadRecords(9, 1, s));
  ChannelFile d;
  EXPECT_FALSE(d.Open(dir.path.c_str()));  // a directory
  const fs::path fifo = dir.path / "f-0.BIN";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(d.Open(fifo.c_str()));  // a FIFO neither opens nor blocks
  EXPECT_FALSE(d.Open((dir.path / "none").c_str()));
}

// Records are served from read-ahead windows: every block across window
// boundaries holds its own samples, the end of the data is found where the
// file ends, and records appended later (a recording still being written)
// are read once they are there.
TEST(ChannelFile, WindowedReadsGiveEveryRecordAndSeeAppendedOnes) {
  TempDir dir;
  const fs::path p = dir.path / "w-0.BIN";
  const int kRecords = 2 * ChannelFile::kWindowRecords + 37;
  auto sample = [](int64_t record, int j) { return static_cast<int16_t>(record * 7 + j * 3 - 500); };
  auto append = [&](int64_t from, int64_t to) {
    std::ofstream f(p, std::ios::binary | std::ios::app);
    for (int64_t r = from; r <= to; ++r) {
      for (int j = 0; j < 128; ++j) {
        const auto v = static_cast<uint16_t>(sample(r, j));
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        f.write(b, 2);
      }
    }
  };
  append(1, kRecords);
  ChannelFile ch;
  ASSERT_TRUE(ch.Open(p.c_str()));
  int16_t s[32 * 128];
  auto holds = [&](int64_t first, int count) {
    for (int r = 0; r < count; ++r) {
      for (int j = 0; j < 128; j += 37) {
        if (s[r * 128 + j] != sample(first + r, j)) return false;
      }
    }
    return true;
  };
  for (int na : {8, 32, 3}) {  // block sizes that do and do not divide the window
    int64_t first = 1;
    for (; first + na - 1 <= kRecords; first += na) {
      ASSERT_TRUE(ch.ReadRecords(first, na, s)) << na << " " << first;
      ASSERT_TRUE(holds(first, na)) << na << " " << first;
    }
    EXPECT_FALSE(ch.ReadRecords(first, na, s));  // the block past the last whole one
  }
  // Backwards and overlapping requests are served too.
  ASSERT_TRUE(ch.ReadRecords(ChannelFile::kWindowRecords - 1, 4, s));
  EXPECT_TRUE(holds(ChannelFile::kWindowRecords - 1, 4));
  ASSERT_TRUE(ch.ReadRecords(2, 1, s));
  EXPECT_TRUE(holds(2, 1));
  EXPECT_FALSE(ch.ReadRecords(kRecords, 2, s));
  append(kRecords + 1, kRecords + 5);
  ASSERT_TRUE(ch.ReadRecords(kRecords, 2, s));
  EXPECT_TRUE(holds(kRecords, 2));
  EXPECT_FALSE(ch.ReadRecords(1, ChannelFile::kWindowRecords + 1, s));  // more than a window
}

}  // namespace
}  // namespace hfd::test
