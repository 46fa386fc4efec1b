#include "analysis/fft.hpp"

#include <cmath>
#include <utility>

// The results are reproduced bit for bit: never fuse a multiply and an add,
// whatever the build flags (GCC; clang ignores this pragma and relies on the
// build's -ffp-contract=off).
#pragma GCC optimize("fp-contract=off")

namespace hfd {
namespace {

// The twiddle factors of the stage with butterfly span mmax: (wr, wi) starts
// at (1, 0) and is advanced by the trigonometric recurrence after each
// twiddle's butterflies. The transform and the twiddle tables both use this,
// so the tables hold exactly the values the transform forms.
struct StageTwiddle {
  double wpr, wpi;
  double wr = 1.0, wi = 0.0;
  StageTwiddle(int64_t mmax, int32_t isign) {
    const double theta = kFftTwoPi / static_cast<double>(static_cast<int64_t>(isign) * mmax);
    const double w = std::sin(0.5 * theta);
    wpr = -2.0 * (w * w);
    wpi = std::sin(theta);
  }
  void Advance() {
    const double wtemp = wr;
    wr = (wr * wpr - wi * wpi) + wr;
    wi = (wi * wpr + wpi * wtemp) + wi;
  }
};

}  // namespace

bool IsFftLength(int32_t n) {
  return n >= 1 && n <= (int32_t{1} << 30) && (n & (n - 1)) == 0;
}

bool ComplexFFT(float* data, int32_t n, int32_t isign) {
  if (data == nullptr || !IsFftLength(n) || (isign != 1 && isign != -1)) return false;

  // Positions are counted from 1, as the routine is usually written: D(p) is data[p - 1].
  // Indices are 64-bit so that i + istep cannot overflow for n up to 2^30.
  auto D = [data](int64_t p) -> float& { return data[p - 1]; };
  const int64_t L = 2 * static_cast<int64_t>(n);

  // A. Bit-reversal reordering.
  int64_t j = 1;
  for (int64_t i = 1; i <= L - 1; i += 2) {
    if (j > i) {
      std::swap(D(j), D(i));
      std::swap(D(j + 1), D(i + 1));
    }
    int64_t m = L / 2;
    while (m >= 2 && j > m) {
      j = j - m;
      m = m / 2;
    }
    j = j + m;
  }

  // B. Butterfly stages.
  int64_t mmax = 2;
  while (L > mmax) {
    const int64_t istep = 2 * mmax;
    StageTwiddle tw(mmax, isign);
    for (int64_t m = 1; m <= mmax - 1; m += 2) {
      const double wr = tw.wr, wi = tw.wi;
      for (int64_t i = m; i <= L; i += istep) {
        const int64_t jj = i + mmax;
        const double tempr = static_cast<double>(D(jj)) * wr - static_cast<double>(D(jj + 1)) * wi;
        const double tempi = static_cast<double>(D(jj + 1)) * wr + static_cast<double>(D(jj)) * wi;
        D(jj) = static_cast<float>(static_cast<double>(D(i)) - tempr);
        D(jj + 1) = static_cast<float>(static_cast<double>(D(i + 1)) - tempi);
        D(i) = static_cast<float>(static_cast<double>(D(i)) + tempr);
        D(i + 1) = static_cast<float>(static_cast<double>(D(i + 1)) + tempi);
      }
      tw.Advance();
    }
    mmax = istep;
  }
  return true;
}

void FftStageTwiddles(int32_t half, int32_t isign, double* wr_out, double* wi_out) {
  // The same statements as stage mmax = 2*half of ComplexFFT, recording
  // (wr, wi) before each twiddle's butterflies.
  const int64_t mmax = 2 * static_cast<int64_t>(half);
  StageTwiddle tw(mmax, isign);
  for (int64_t m = 1, k = 0; m <= mmax - 1; m += 2, ++k) {
    wr_out[k] = tw.wr;
    wi_out[k] = tw.wi;
    tw.Advance();
  }
}

}  // namespace hfd
