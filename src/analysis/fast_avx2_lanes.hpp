// Vector traits of four lanes for the fast passes (fast_passes.hpp): single
// values in an SSE register, double values in an AVX register. Included only
// after the instruction set is raised to AVX2 or wider (GCC's target pragma,
// clang's target attribute), as fast_avx2.cpp and fast_avx512.cpp do:
//
//   #pragma GCC target("avx2")
//   #include "analysis/fast_avx2_lanes.hpp"
//   extern const Kernels kAvx2Kernels = KernelsOn<Lanes4, Lanes4>("avx2");
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "analysis/fast_passes.hpp"

namespace hfd::fast {
namespace {

struct Lanes4 {
  static constexpr int kLanes = 4;
  using F = __m128;
  using D = __m256d;
  using Narrower = Scalar;
  static F LoadF(const float* p) { return _mm_loadu_ps(p); }
  static void StoreF(float* p, F v) { _mm_storeu_ps(p, v); }
  static D LoadD(const double* p) { return _mm256_loadu_pd(p); }
  static void StoreD(double* p, D v) { _mm256_storeu_pd(p, v); }
  static F SplatF(float v) { return _mm_set1_ps(v); }
  static D SplatD(double v) { return _mm256_set1_pd(v); }
  static D Widen(F v) { return _mm256_cvtps_pd(v); }
  static F Narrow(D v) { return _mm256_cvtpd_ps(v); }
  static D Sqrt(D v) { return _mm256_sqrt_pd(v); }
  // Rows r0..r3 (lane l = point 4g_l + row) to the four points of each lane,
  // stored at out + base[l] .. + 3.
  static void StoreTransposed(float* out, const int32_t* base, F r0, F r1, F r2, F r3) {
    const F t0 = _mm_unpacklo_ps(r0, r1);  // r0[0] r1[0] r0[1] r1[1]
    const F t1 = _mm_unpackhi_ps(r0, r1);  // r0[2] r1[2] r0[3] r1[3]
    const F t2 = _mm_unpacklo_ps(r2, r3);
    const F t3 = _mm_unpackhi_ps(r2, r3);
    _mm_storeu_ps(out + base[0], _mm_movelh_ps(t0, t2));
    _mm_storeu_ps(out + base[1], _mm_movehl_ps(t2, t0));
    _mm_storeu_ps(out + base[2], _mm_movelh_ps(t1, t3));
    _mm_storeu_ps(out + base[3], _mm_movehl_ps(t3, t1));
  }
};

}  // namespace
}  // namespace hfd::fast
