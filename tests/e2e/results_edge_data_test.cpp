// Hand-made channel files with extreme blocks: silence, constant levels,
// full-scale alternation and noise, an exact bin tone, one-count noise. The
// fast and the reference build write the same bytes for them, and the blocks
// whose results follow directly from their samples show those results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/e2e_run.hpp"

namespace hfd::test {
namespace {

constexpr int kPatterns = 7;
constexpr double kPi = 3.141592653589793;

// Block pattern p of N samples.
std::vector<int16_t> Pattern(int p, int n) {
  std::vector<int16_t> s(static_cast<size_t>(n), 0);
  uint32_t lcg = 12345u + static_cast<uint32_t>(p);
  const int bin = (8 * n + 50) / 100;  // the bin nearest 8 Hz
  for (int j = 0; j < n; ++j) {
    lcg = lcg * 1664525u + 1013904223u;
    int v = 0;
    switch (p) {
      case 0: v = 0; break;                               // silence
      case 1: v = 16384; break;                           // 0.25 in scaled units
      case 2: v = j % 2 == 0 ? 32767 : -32768; break;     // full-scale 50 Hz
      case 3: v = static_cast<int16_t>(lcg >> 16); break;  // full-scale noise
      case 4: v = -32768; break;                          // -0.5
      case 5: v = static_cast<int>(std::lround(16000.0 * std::sin(2.0 * kPi * bin * j / n))); break;
      default: v = static_cast<int>(lcg >> 31) * 2 - 1; break;  // +-1 count
    }
    s[static_cast<size_t>(j)] = static_cast<int16_t>(v);
  }
  return s;
}

void WriteChannel(const fs::path& path, const std::vector<int>& order, int n) {
  std::ofstream out(path, std::ios::binary);
  for (int p : order) {
    for (int16_t v : Pattern(p, n)) {
      const auto u = static_cast<uint16_t>(v);
      out.put(static_cast<char>(u & 0xFF));
      out.put(static_cast<char>(u >> 8));
    }
  }
}

TEST(EdgeData, FastAndReferenceAgreeAndPlainBlocksShowTheirValues) {
  for (int n : {512, 1024, 2048, 4096}) {
    SCOPED_TRACE("N " + std::to_string(n));
    ScratchDir d;
    WriteChannel(d.rec() / "20080501120000SGD-0.BIN", {0, 1, 2, 3, 4, 5, 6}, n);
    WriteChannel(d.rec() / "20080501120000SGD-1.BIN", {3, 0, 5, 1, 6, 2, 4}, n);
    for (int mode : {1, 2}) {
      const RunResult fast = RunAnalyser(HFD_BINARY, d, DayAnswers(mode, n));
      ASSERT_EQ(fast.status, 0) << fast.err;
      std::vector<std::string> exts = mode == 1 ? std::vector<std::string>{".qdr"}
                                                : std::vector<std::string>{".spc", ".max"};
      std::vector<std::string> fastFiles;
      for (const std::string& e : exts) fastFiles.push_back(Slurp(d.rec() / ("200805011200SGD" + e)));
      const RunResult ref = RunAnalyser(HFD_REFERENCE_BINARY, d, DayAnswers(mode, n));
      ASSERT_EQ(ref.status, 0) << ref.err;
      for (size_t i = 0; i < exts.size(); ++i) {
        EXPECT_EQ(fastFiles[i], Slurp(d.rec() / ("200805011200SGD" + exts[i])))
            << "mode " << mode << " " << exts[i];
      }
      EXPECT_EQ(fast.out, ref.out) << "mode " << mode;
    }

    // The last mode-2 run's files: all seven blocks are whole, the eighth
    // step finds no data.
    const std::vector<std::string> spc = SplitRecords(Slurp(d.rec() / "200805011200SGD.spc"), ".spc");
    const std::vector<std::string> max = SplitRecords(Slurp(d.rec() / "200805011200SGD.max"), ".max");
    const size_t per = static_cast<size_t>(12 * n / 100 + 2);
    ASSERT_EQ(spc.size(), kPatterns * per + 1);
    ASSERT_EQ(max.size(), 1u + kPatterns);
    const std::string band0 = n == 512 ? "   4.10" : "   4.00";
    // Block 0, channel 1 silent: mean and spread 0, floor level and phase 270
    // on every bin, the peak at the first Doppler-band bin.
    EXPECT_EQ(max[1].substr(33, 38), "  .000,  .000," + band0 + "\t -60.00\t 270.00\t");
    for (size_t j = 1; j < per; ++j) EXPECT_EQ(spc[j].substr(6, 19), "\t   -60.000\t  270.0");
    // Block 1, channel 1 at 0.25: spread 0; at 0 Hz re = im = 0.25 (N-1)/2,
    // so the level is 20 log10(sqrt(2) 0.25 (N-1)/N) + 120 and the phase 45.
    EXPECT_EQ(max[2].substr(33, 14), "  .250,  .000,");
    EXPECT_EQ(spc[per].substr(0, 6), "    1\t");
    if (n == 512 || n == 1024) {
      EXPECT_EQ(spc[per + 1].substr(0, 25),
                std::string("  .000\t   ") + (n == 512 ? "110.952" : "110.961") + "\t   45.0");
    }
    // Block 3, channel 2 at 0.25 as well.
    EXPECT_EQ(max[4].substr(71, 14), "  .250,  .000,");
    // Block 4, channel 1 at -0.5: a negative block sum, phase -135 at 0 Hz.
    EXPECT_EQ(max[5].substr(33, 14), " -.500,  .000,");
    EXPECT_EQ(spc[4 * per + 1].substr(17, 8), "\t -135.0");
    // Block 5, channel 1: a tone of 16000 counts on the bin nearest 8 Hz
    // peaks on that bin, about 20 log10(16000 / 65536 / sqrt(2)) + 120
    // = 104.7 dBuV; its spread is 10 * 16000 / 65536 / sqrt(2) = 1.726.
    const std::vector<std::string> f = Split(max[6], '\t');
    ASSERT_EQ(f.size(), 15u);
    const std::vector<std::string> g = Split(f[8], ',');
    ASSERT_EQ(g.size(), 3u);
    EXPECT_NEAR(Num(g[1]), 1.726, 0.002);
    EXPECT_NEAR(Num(g[2]), ((8 * n + 50) / 100) * 100.0 / n, 0.005);
    EXPECT_NEAR(Num(f[9]), 104.73, 0.1);
  }
}

}  // namespace
}  // namespace hfd::test
