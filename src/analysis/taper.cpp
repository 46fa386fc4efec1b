#include "analysis/taper.hpp"

#include <cmath>

// The results are reproduced bit for bit: never fuse a multiply and an add,
// whatever the build flags (GCC; clang ignores this pragma and relies on the
// build's -ffp-contract=off).
#pragma GCC optimize("fp-contract=off")

namespace hfd {

namespace {
// Single-precision constants of the Hamming window, widened to double
// (0.5400000214576721 and 0.46000000834465027).
constexpr double kHamming054 = static_cast<double>(0.54f);
constexpr double kHamming046 = static_cast<double>(0.46f);
}  // namespace

float HannStep(int32_t n) {
  return static_cast<float>((kTaperPi * 2.0) / static_cast<double>(n - 1));
}

void TaperWindow(float* block, int32_t n, int32_t type, float& WinScale) {
  if (type < 0 || type > 3) return;  // unrecognised: nothing changes
  if (type == 0) {
    WinScale = 1.0f;
    return;
  }
  if (n < 2 || block == nullptr) return;  // rejected, see the header
  WinScale = 0.5f;

  if (type == 1) {
    const float delta = static_cast<float>(2.0 / static_cast<double>(n - 1));
    const double d = static_cast<double>(delta);
    const int32_t h = (n - 1) / 2;
    for (int32_t i = 0; i <= h; ++i) {
      block[i] = static_cast<float>((static_cast<double>(block[i]) * static_cast<double>(i)) * d);
    }
    for (int32_t i = h + 1; i <= n - 1; ++i) {
      block[i] = static_cast<float>((2.0 - static_cast<double>(i) * d) * static_cast<double>(block[i]));
    }
    return;
  }

  const double d = static_cast<double>(HannStep(n));
  if (type == 2) {
    for (int32_t i = 0; i <= n - 1; ++i) {
      block[i] = static_cast<float>(((1.0 - std::cos(static_cast<double>(i) * d)) *
                                     static_cast<double>(block[i])) * 0.5);
    }
    return;
  }
  // type 3
  for (int32_t i = 0; i <= n - 1; ++i) {
    block[i] = static_cast<float>((kHamming054 - std::cos(static_cast<double>(i) * d) * kHamming046) *
                                  static_cast<double>(block[i]));
  }
}

}  // namespace hfd
