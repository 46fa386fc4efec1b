// Helpers shared by the analysis tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/spectra.hpp"

namespace hfd::test {

inline constexpr int32_t kLengths[] = {512, 1024, 2048, 4096};

// dFreq exactly as the options dialogue forms it: 1.0 / ((N * dt) * 2.0), dt = 0.01.
inline double DFreqFor(int32_t n) { return 1.0 / ((static_cast<double>(n) * 0.01) * 2.0); }

inline uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}
inline uint64_t Bits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

// Puts a channel's block into s.x and its running sum (double, in order)
// into s.AvAmp[c], as the block reader hands it over.
inline void LoadChannel(BlockSpectra& s, int c, const std::vector<float>& block) {
  double sum = 0.0;
  for (size_t j = 0; j < block.size(); ++j) {
    s.x[j] = block[j];
    sum = sum + static_cast<double>(block[j]);
  }
  s.AvAmp[static_cast<size_t>(c)] = sum;
}

// Kinds of test blocks.
enum class BlockKind {
  Int16Noise,    // stored 16-bit counts times 2^-16, uniform over the full range
  SmallCounts,   // counts in -3..3 (many exact zeros and ties)
  Tones,         // a few sinusoids plus noise, as 16-bit counts
  Gaussian,      // general floats
  Tiny,          // values near the 1e-9 guards
  SignedZeros,   // +0.0 and -0.0 with a few non-zero samples
  Constant,      // one value everywhere
};
inline constexpr BlockKind kAllKinds[] = {BlockKind::Int16Noise, BlockKind::SmallCounts,
                                          BlockKind::Tones,      BlockKind::Gaussian,
                                          BlockKind::Tiny,       BlockKind::SignedZeros,
                                          BlockKind::Constant};

inline std::vector<float> MakeBlock(BlockKind kind, int32_t n, std::mt19937_64& rng) {
  std::vector<float> b(static_cast<size_t>(n));
  const double scale = 1.0 / 65536.0;
  switch (kind) {
    case BlockKind::Int16Noise: {
      std::uniform_int_distribution<int> d(-32768, 32767);
      for (auto& v : b) v = static_cast<float>(d(rng) * scale);
      break;
    }
    case BlockKind::SmallCounts: {
      std::uniform_int_distribution<int> d(-3, 3);
      for (auto& v : b) v = static_cast<float>(d(rng) * scale);
      break;
    }
    case BlockKind::Tones: {
      std::uniform_real_distribution<double> u(0.0, 1.0);
      const double f1 = 0.5 + 15.0 * u(rng), f2 = 3.0 + 10.0 * u(rng), ph = 6.0 * u(rng);
      const double a1 = 8000.0 * u(rng), a2 = 3000.0 * u(rng), off = 2000.0 * (u(rng) - 0.5);
      std::normal_distribution<double> g(0.0, 300.0 * u(rng));
      for (int32_t j = 0; j < n; ++j) {
        const double t = 0.01 * j;
        double v = off + a1 * std::sin(2 * M_PI * f1 * t + ph) + a2 * std::cos(2 * M_PI * f2 * t) + g(rng);
        v = std::fmax(-32768.0, std::fmin(32767.0, std::trunc(v)));
        b[static_cast<size_t>(j)] = static_cast<float>(v * scale);
      }
      break;
    }
    case BlockKind::Gaussian: {
      std::normal_distribution<float> g(0.01f, 0.2f);
      for (auto& v : b) v = g(rng);
      break;
    }
    case BlockKind::Tiny: {
      std::uniform_real_distribution<double> u(-1.0, 1.0);
      for (auto& v : b) v = static_cast<float>(u(rng) * 3e-10);
      break;
    }
    case BlockKind::SignedZeros: {
      std::uniform_int_distribution<int> d(0, 99);
      for (auto& v : b) {
        const int r = d(rng);
        v = r < 45 ? 0.0f : (r < 90 ? -0.0f : static_cast<float>((r - 95) * scale));
      }
      break;
    }
    case BlockKind::Constant: {
      std::uniform_int_distribution<int> d(-32768, 32767);
      const float c = static_cast<float>(d(rng) * scale);
      for (auto& v : b) v = c;
      break;
    }
  }
  return b;
}

}  // namespace hfd::test
