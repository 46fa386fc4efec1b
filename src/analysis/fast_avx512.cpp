// The fast kernels for processors with AVX-512F: the passes of
// fast_passes.hpp on eight lanes (Lanes8; the stage of half = 4 on four),
// compiled without FMA (every multiply and add stays separate).
// Every header with code of its own (the library's, and ours that include
// them) comes before the target pragma: only what is defined after it is
// compiled for the wider instruction set.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "analysis/fast_kernels.hpp"
#include "analysis/fast_variants.hpp"
#include "analysis/spectrum_plan.hpp"

// GCC 12's AVX-512 conversion intrinsics start from an undefined vector and
// trip -Wmaybe-uninitialized falsely.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// clang takes the instruction set as a function attribute over the rest of
// the file (popped at its end); GCC by its target pragma.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC optimize("fp-contract=off")
#pragma GCC target("avx512f")
#endif

#include "analysis/fast_avx2_lanes.hpp"
#include "analysis/fast_passes.hpp"

namespace hfd::fast {
namespace {

struct Lanes8 {
  static constexpr int kLanes = 8;
  using F = __m256;
  using D = __m512d;
  using Narrower = Lanes4;
  static F LoadF(const float* p) { return _mm256_loadu_ps(p); }
  static void StoreF(float* p, F v) { _mm256_storeu_ps(p, v); }
  static D LoadD(const double* p) { return _mm512_loadu_pd(p); }
  static void StoreD(double* p, D v) { _mm512_storeu_pd(p, v); }
  static F SplatF(float v) { return _mm256_set1_ps(v); }
  static D SplatD(double v) { return _mm512_set1_pd(v); }
  static D Widen(F v) { return _mm512_cvtps_pd(v); }
  static F Narrow(D v) { return _mm512_cvtpd_ps(v); }
  static D Sqrt(D v) { return _mm512_sqrt_pd(v); }
  // Rows r0..r3 (lane l = point 4g_l + row) to the four points of each lane,
  // stored at out + base[l] .. + 3.
  static void StoreTransposed(float* out, const int32_t* base, F r0, F r1, F r2, F r3) {
    const F t0 = _mm256_unpacklo_ps(r0, r1);
    const F t1 = _mm256_unpackhi_ps(r0, r1);
    const F t2 = _mm256_unpacklo_ps(r2, r3);
    const F t3 = _mm256_unpackhi_ps(r2, r3);
    const F o0 = _mm256_shuffle_ps(t0, t2, 0x44);  // lanes 0 and 4
    const F o1 = _mm256_shuffle_ps(t0, t2, 0xEE);  // lanes 1 and 5
    const F o2 = _mm256_shuffle_ps(t1, t3, 0x44);  // lanes 2 and 6
    const F o3 = _mm256_shuffle_ps(t1, t3, 0xEE);  // lanes 3 and 7
    _mm_storeu_ps(out + base[0], _mm256_castps256_ps128(o0));
    _mm_storeu_ps(out + base[1], _mm256_castps256_ps128(o1));
    _mm_storeu_ps(out + base[2], _mm256_castps256_ps128(o2));
    _mm_storeu_ps(out + base[3], _mm256_castps256_ps128(o3));
    _mm_storeu_ps(out + base[4], _mm256_extractf128_ps(o0, 1));
    _mm_storeu_ps(out + base[5], _mm256_extractf128_ps(o1, 1));
    _mm_storeu_ps(out + base[6], _mm256_extractf128_ps(o2, 1));
    _mm_storeu_ps(out + base[7], _mm256_extractf128_ps(o3, 1));
  }
};

}  // namespace

extern const Kernels kAvx512Kernels = KernelsOn<Lanes8, Lanes4>("avx512");

}  // namespace hfd::fast

#if defined(__clang__)
#pragma clang attribute pop
#endif
