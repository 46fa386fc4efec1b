#include "input/block_reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "support/temp_dir.hpp"

namespace hfd::test {
namespace {

TEST(BlockRead, ScaledSamplesAndTheirSumMatchThePlainOrderedSum) {
  TempDir dir;
  const std::filesystem::path path = dir.path / "block-0.BIN";
  // Two records at the extremes, then every sample value once, shuffled.
  constexpr int kRecords = 2 + 65536 / 128;
  std::mt19937 rng(3);
  std::vector<int16_t> samples(kRecords * 128);
  for (size_t i = 0; i < samples.size(); ++i) {
    if (i < 128)
      samples[i] = -32768;
    else if (i < 256)
      samples[i] = 32767;
    else
      samples[i] = static_cast<int16_t>(i - 256);
  }
  std::shuffle(samples.begin() + 256, samples.end(), rng);
  {
    std::ofstream f(path, std::ios::binary);
    for (int16_t v : samples) {
      const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
      f.write(b, 2);
    }
  }
  ChannelFile ch;
  ASSERT_TRUE(ch.Open(path.c_str()));
  const double scale = 1.52587890625E-05;
  std::vector<float> x(4096);
  std::vector<int16_t> raw(4096);
  for (int na : {4, 8, 16, 32}) {
    for (int base = 0; base + na <= kRecords; base += na) {
      double sum = -1.0;
      ASSERT_TRUE(ReadChannelBlock(ch, base, na, scale, x.data(), sum, raw.data()));
      double plain = 0.0;
      for (int j = 0; j < na * 128; ++j) {
        const float v = static_cast<float>(samples[static_cast<size_t>(base * 128 + j)] * scale);
        ASSERT_EQ(x[static_cast<size_t>(j)], v);
        plain += v;
      }
      ASSERT_EQ(std::memcmp(&sum, &plain, sizeof sum), 0) << na << " " << base;
    }
  }
  double sum;
  ASSERT_TRUE(ReadChannelBlock(ch, 0, 4, scale, x.data(), sum, raw.data()));
  EXPECT_EQ(x[0], -0.5f);
  EXPECT_EQ(x[128], 0.4999847412109375f);
  EXPECT_FALSE(ReadChannelBlock(ch, kRecords - 2, 4, scale, x.data(), sum, raw.data()));  // past the end
}

}  // namespace
}  // namespace hfd::test
