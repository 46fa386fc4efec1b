// Complex FFT.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "analysis/fft.hpp"
#include "analysis_test_util.hpp"

namespace hfd::test {
namespace {

using test::Bits;

TEST(ComplexFFT, TwoPiConstantIsTheStatedDouble) {
  EXPECT_EQ(Bits(kFftTwoPi), 0x401921FB54442D1CULL);
}

TEST(ComplexFFT, OnePointIsUnchanged) {
  float d[2] = {0.3f, -0.6f};
  EXPECT_TRUE(ComplexFFT(d, 1, +1));
  EXPECT_EQ(d[0], 0.3f);
  EXPECT_EQ(d[1], -0.6f);
}

TEST(ComplexFFT, ImpulseAtPointOneOfEight) {
  std::vector<float> d(16, 0.0f);
  d[2] = 1.0f;  // position 3 (1-based): real part of point 1
  ASSERT_TRUE(ComplexFFT(d.data(), 8, +1));
  for (int m = 0; m < 8; ++m) {
    const double ang = 2.0 * M_PI * m / 8.0;
    EXPECT_NEAR(d[2 * m], std::cos(ang), 1e-7) << m;
    EXPECT_NEAR(d[2 * m + 1], std::sin(ang), 1e-7) << m;
  }
  EXPECT_NEAR(d[2], 0.7071068f, 1e-7f);
  EXPECT_NEAR(d[3], 0.7071068f, 1e-7f);
  EXPECT_NEAR(d[4], 0.0f, 1e-7f);
  EXPECT_NEAR(d[5], 1.0f, 1e-7f);
  EXPECT_NEAR(d[14], 0.7071068f, 1e-7f);
  EXPECT_NEAR(d[15], -0.7071068f, 1e-7f);
}

TEST(ComplexFFT, ConstantInputGoesToPointZero) {
  for (int32_t n : {1, 2, 4, 8, 64, 512, 1024, 2048, 4096}) {
    std::vector<float> d(2 * static_cast<size_t>(n), 0.0f);
    for (int32_t k = 0; k < n; ++k) d[2 * static_cast<size_t>(k)] = 1.0f;
    ASSERT_TRUE(ComplexFFT(d.data(), n, +1));
    EXPECT_EQ(d[0], static_cast<float>(n));
    EXPECT_EQ(d[1], 0.0f);
    for (int32_t k = 1; k < n; ++k) {
      EXPECT_NEAR(d[2 * static_cast<size_t>(k)], 0.0f, 1e-4f * n) << n << " " << k;
      EXPECT_NEAR(d[2 * static_cast<size_t>(k) + 1], 0.0f, 1e-4f * n) << n << " " << k;
    }
  }
}

TEST(ComplexFFT, ForwardThenInverseGivesNTimesTheInput) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int32_t n : {2, 16, 512, 1024, 2048, 4096}) {
    std::vector<float> in(2 * static_cast<size_t>(n));
    for (auto& v : in) v = u(rng);
    std::vector<float> d = in;
    ASSERT_TRUE(ComplexFFT(d.data(), n, +1));
    ASSERT_TRUE(ComplexFFT(d.data(), n, -1));
    const double tol = 1e-5 * n;  // single-precision rounding over log2(n) stages
    for (size_t k = 0; k < d.size(); ++k) {
      EXPECT_NEAR(d[k], n * static_cast<double>(in[k]), tol) << n << " " << k;
    }
  }
}

TEST(ComplexFFT, MatchesDirectTransformWithBothSigns) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int32_t n : {8, 64, 512}) {
    for (int32_t isign : {+1, -1}) {
      std::vector<float> d(2 * static_cast<size_t>(n));
      for (auto& v : d) v = u(rng);
      std::vector<std::complex<double>> z(static_cast<size_t>(n));
      for (int32_t k = 0; k < n; ++k) z[k] = {d[2 * k], d[2 * k + 1]};
      ASSERT_TRUE(ComplexFFT(d.data(), n, isign));
      for (int32_t m = 0; m < n; ++m) {
        std::complex<double> acc = 0.0;
        for (int32_t k = 0; k < n; ++k) {
          const double ang = isign * 2.0 * M_PI * static_cast<double>((int64_t{k} * m) % n) / n;
          acc += z[k] * std::complex<double>(std::cos(ang), std::sin(ang));
        }
        EXPECT_NEAR(d[2 * m], acc.real(), 2e-5 * n) << n << " " << m;
        EXPECT_NEAR(d[2 * m + 1], acc.imag(), 2e-5 * n) << n << " " << m;
      }
    }
  }
}

TEST(ComplexFFT, EqualRealAndImaginaryPartsGiveOnePlusITimesTheRealTransform) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<float> u(-0.5f, 0.5f);
  const int32_t n = 256;
  std::vector<float> real(2 * n, 0.0f), both(2 * n, 0.0f);
  for (int32_t k = 0; k < n; ++k) {
    const float v = u(rng);
    real[2 * k] = v;
    both[2 * k] = v;
    both[2 * k + 1] = v;
  }
  ASSERT_TRUE(ComplexFFT(real.data(), n, +1));
  ASSERT_TRUE(ComplexFFT(both.data(), n, +1));
  for (int32_t m = 0; m < n; ++m) {
    const std::complex<double> r(real[2 * m], real[2 * m + 1]);
    const std::complex<double> want = std::complex<double>(1.0, 1.0) * r;
    EXPECT_NEAR(both[2 * m], want.real(), 1e-4) << m;
    EXPECT_NEAR(both[2 * m + 1], want.imag(), 1e-4) << m;
  }
  // Point 0 uses only the unit twiddle: real and imaginary parts are equal.
  EXPECT_EQ(Bits(both[0]), Bits(both[1]));
}

TEST(ComplexFFT, RefusesBadLengthsAndSignsWithoutTouchingData) {
  const std::vector<float> pattern = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (int32_t n : {0, -1, -8, 3, 5, 6, 7, 12, 1000, 1023, 1025, 3072, INT32_MIN, INT32_MAX}) {
    std::vector<float> d = pattern;
    EXPECT_FALSE(ComplexFFT(d.data(), n, +1)) << n;
    EXPECT_EQ(d, pattern) << n;
  }
  for (int32_t isign : {0, 2, -2, 5}) {
    std::vector<float> d = pattern;
    EXPECT_FALSE(ComplexFFT(d.data(), 8, isign)) << isign;
    EXPECT_EQ(d, pattern);
  }
  EXPECT_FALSE(ComplexFFT(nullptr, 8, +1));
  EXPECT_TRUE(IsFftLength(1));
  EXPECT_TRUE(IsFftLength(1 << 30));
  EXPECT_FALSE(IsFftLength(0));
  EXPECT_FALSE(IsFftLength(6));
}

TEST(ComplexFFT, StaysInsideItsArray) {
  // Guard values around the 2n floats must survive; the sanitizer build
  // checks the same with exact bounds.
  for (int32_t n : {1, 2, 4, 512, 4096}) {
    const size_t len = 2 * static_cast<size_t>(n);
    std::vector<float> buf(len + 64, 12345.0f);
    for (size_t k = 0; k < len; ++k) buf[32 + k] = static_cast<float>(k % 7) - 3.0f;
    ASSERT_TRUE(ComplexFFT(buf.data() + 32, n, +1));
    for (size_t k = 0; k < 32; ++k) {
      EXPECT_EQ(buf[k], 12345.0f);
      EXPECT_EQ(buf[32 + len + k], 12345.0f);
    }
  }
}

TEST(FftStageTwiddles, AreTheRecurrenceValues) {
  // Stage of half = 1: only the unit twiddle. Half = 4: the recurrence from
  // theta = 2pi/8, close to exp(+i 2pi m/8).
  double wr[4], wi[4];
  FftStageTwiddles(1, +1, wr, wi);
  EXPECT_EQ(wr[0], 1.0);
  EXPECT_EQ(wi[0], 0.0);
  FftStageTwiddles(4, +1, wr, wi);
  for (int m = 0; m < 4; ++m) {
    EXPECT_NEAR(wr[m], std::cos(2 * M_PI * m / 8), 1e-15);
    EXPECT_NEAR(wi[m], std::sin(2 * M_PI * m / 8), 1e-15);
  }
  // Run by hand: the same statements give the same bits.
  const double theta = kFftTwoPi / 8.0;
  const double w = std::sin(0.5 * theta);
  const double wpr = -2.0 * w * w, wpi = std::sin(theta);
  double r = 1.0, i = 0.0;
  for (int m = 0; m < 4; ++m) {
    EXPECT_EQ(Bits(wr[m]), Bits(r));
    EXPECT_EQ(Bits(wi[m]), Bits(i));
    const double t = r;
    r = (r * wpr - i * wpi) + r;
    i = (i * wpr + wpi * t) + i;
  }
}

}  // namespace
}  // namespace hfd::test
