#include "analysis/fast_kernels.hpp"

// GCC 12's AVX-512 conversion intrinsics start from an undefined vector and
// trip -Wmaybe-uninitialized falsely.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include <cmath>

#include <algorithm>
#include <cstring>

// The results are reproduced bit for bit: never fuse a multiply and an add,
// whatever the build flags (the vector code targets processors with FMA).
#pragma GCC optimize("fp-contract=off")

namespace hfd::fast {

double SumSquaredDeviations(const float* x, int32_t n, double mean) {
  double acc = 0.0;
  for (int32_t j = 0; j < n; ++j) {
    const double d = static_cast<double>(x[j]) - mean;
    acc = acc + d * d;
  }
  return acc;
}

namespace {

// The spread's sum of squared deviations, advanced a few samples at a time
// so that its chain of dependent additions (latency-bound) overlaps the
// transform's work (throughput-bound). The additions stay in the order of j.
struct Chain {
  const float* x;
  int32_t pos;
  int32_t n;
  double mean;
  double acc;
};

__attribute__((always_inline)) inline void ChainSteps(Chain& ch, int32_t k) {
  const int32_t end = std::min(ch.pos + k, ch.n);
  double acc = ch.acc;
  for (int32_t j = ch.pos; j < end; ++j) {
    const double d = static_cast<double>(ch.x[j]) - ch.mean;
    acc = acc + d * d;
  }
  ch.acc = acc;
  ch.pos = end;
}

// Vector variants of a chain step: the squares (x[j] - mean)^2 of 4 or 8
// samples are formed in vector lanes (independent values), then added to
// the sum one by one in order. Past the end of the samples they do nothing.
__attribute__((target("avx512f"), always_inline)) inline void ChainUnit8(Chain& ch) {
  if (ch.pos + 8 > ch.n) return;
  alignas(64) double sq[8];
  const __m512d d = _mm512_sub_pd(_mm512_cvtps_pd(_mm256_loadu_ps(ch.x + ch.pos)), _mm512_set1_pd(ch.mean));
  _mm512_store_pd(sq, _mm512_mul_pd(d, d));
  double acc = ch.acc;
  for (int k = 0; k < 8; ++k) acc = acc + sq[k];
  ch.acc = acc;
  ch.pos += 8;
}

__attribute__((target("avx2"), always_inline)) inline void ChainUnit4(Chain& ch) {
  if (ch.pos + 4 > ch.n) return;
  alignas(32) double sq[4];
  const __m256d d = _mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(ch.x + ch.pos)), _mm256_set1_pd(ch.mean));
  _mm256_store_pd(sq, _mm256_mul_pd(d, d));
  double acc = ch.acc;
  for (int k = 0; k < 4; ++k) acc = acc + sq[k];
  ch.acc = acc;
  ch.pos += 4;
}

// ---------------------------------------------------------------- generic --

// One butterfly of the transform's stages (a = point i, b = point j = i + half).
inline void Butterfly(float& ar_, float& ai_, float& br_, float& bi_, double wr, double wi) {
  const double br = static_cast<double>(br_);
  const double bi = static_cast<double>(bi_);
  const double tempr = br * wr - bi * wi;
  const double tempi = bi * wr + br * wi;
  const double ar = static_cast<double>(ar_);
  const double ai = static_cast<double>(ai_);
  br_ = static_cast<float>(ar - tempr);
  bi_ = static_cast<float>(ai - tempi);
  ar_ = static_cast<float>(ar + tempr);
  ai_ = static_cast<float>(ai + tempi);
}

// Tapered sample k: ((1 - cos(k delta)) * x) * 0.5, rounded to single.
inline float Tapered(const double* w, const float* x, int32_t k) {
  return static_cast<float>((w[k] * static_cast<double>(x[k])) * 0.5);
}

void StagesGeneric(float* re, float* im, const SpectrumPlan& plan, int32_t need, int32_t from_half) {
  const int32_t n = plan.N();
  for (int32_t half = from_half; half < n; half *= 2) {
    const double* wr = plan.TwiddleRe(half);
    const double* wi = plan.TwiddleIm(half);
    const int32_t mend = std::min(half, need);
    for (int32_t g = 0; g < n; g += 2 * half) {
      float* r0 = re + g;
      float* i0 = im + g;
      float* r1 = r0 + half;
      float* i1 = i0 + half;
      for (int32_t m = 0; m < mend; ++m) Butterfly(r0[m], i0[m], r1[m], i1[m], wr[m], wi[m]);
    }
  }
}

// Taper, bit reversal and the stages of half = 1 and 2, fused: the group of
// points 4g .. 4g+3 after the reordering holds input points u, u + N/2,
// u + N/4, u + 3N/4 with u = rev(4g) (< N/4), and 4g = rev(u).
void FirstPassGeneric(const float* x, const SpectrumPlan& plan, float* re, float* im) {
  const int32_t n = plan.N();
  const double* w = plan.HannFactor();
  const int32_t* rev = plan.BitReverse();
  if (n < 4) {  // N = 2: reordering is the identity; one stage
    for (int32_t k = 0; k < n; ++k) re[rev[k]] = im[rev[k]] = Tapered(w, x, k);
    StagesGeneric(re, im, plan, n, 1);
    return;
  }
  const int32_t q = n / 4;
  const double w1r = plan.TwiddleRe(1)[0], w1i = plan.TwiddleIm(1)[0];
  const double* w2r = plan.TwiddleRe(2);
  const double* w2i = plan.TwiddleIm(2);
  for (int32_t u = 0; u < q; ++u) {
    float r[4], i[4];
    r[0] = i[0] = Tapered(w, x, u);
    r[1] = i[1] = Tapered(w, x, u + 2 * q);
    r[2] = i[2] = Tapered(w, x, u + q);
    r[3] = i[3] = Tapered(w, x, u + 3 * q);
    Butterfly(r[0], i[0], r[1], i[1], w1r, w1i);
    Butterfly(r[2], i[2], r[3], i[3], w1r, w1i);
    Butterfly(r[0], i[0], r[2], i[2], w2r[0], w2i[0]);
    Butterfly(r[1], i[1], r[3], i[3], w2r[1], w2i[1]);
    const int32_t base = rev[u];
    for (int k = 0; k < 4; ++k) {
      re[base + k] = r[k];
      im[base + k] = i[k];
    }
  }
}

void AmplitudesGeneric(const float* re, const float* im, int32_t first, int32_t end, float ampnorm,
                       float* out) {
  const double norm = static_cast<double>(ampnorm);
  for (int32_t k = first; k < end; ++k) {
    const double r = static_cast<double>(re[k]);
    const double i = static_cast<double>(im[k]);
    out[k] = static_cast<float>(std::sqrt(r * r + i * i) * norm);
  }
}

void TransformGeneric(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need, double mean,
                      double& sumsq) {
  sumsq = SumSquaredDeviations(x, plan.N(), mean);
  FirstPassGeneric(x, plan, re, im);
  if (plan.N() >= 8) StagesGeneric(re, im, plan, need, 4);
}

// ------------------------------------------------------------------- AVX2 --
// Compiled for AVX2 without FMA: every multiply and add stays separate.

#define HFD_AVX2 __attribute__((target("avx2"), always_inline)) inline

// A butterfly whose twiddle is exactly (1.0, 0.0) (the first one of every
// stage: the recurrence starts from wr = 1.0, wi = 0.0), on 8 lanes in single
// precision. This is bit for bit the double computation: br*1, bi*0, their
// difference or sum (one term is a signed zero) and bi*1 + br*0 are exact
// in either precision, so tempr and tempi are single values computed
// identically; and a single-precision sum or difference of two single values
// equals the double one rounded to single (double rounding is innocuous for
// +/- since 53 >= 2*24 + 2).
HFD_AVX2 void UnitButterfly8(__m256& ar, __m256& ai, __m256& br, __m256& bi) {
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 zero = _mm256_setzero_ps();
  const __m256 tempr = _mm256_sub_ps(_mm256_mul_ps(br, one), _mm256_mul_ps(bi, zero));
  const __m256 tempi = _mm256_add_ps(_mm256_mul_ps(bi, one), _mm256_mul_ps(br, zero));
  br = _mm256_sub_ps(ar, tempr);
  bi = _mm256_sub_ps(ai, tempi);
  ar = _mm256_add_ps(ar, tempr);
  ai = _mm256_add_ps(ai, tempi);
}

// Four general butterflies in double, inputs and outputs single.
HFD_AVX2 void Butterfly4(__m128& ar_, __m128& ai_, __m128& br_, __m128& bi_, __m256d wr, __m256d wi) {
  const __m256d br = _mm256_cvtps_pd(br_);
  const __m256d bi = _mm256_cvtps_pd(bi_);
  const __m256d tempr = _mm256_sub_pd(_mm256_mul_pd(br, wr), _mm256_mul_pd(bi, wi));
  const __m256d tempi = _mm256_add_pd(_mm256_mul_pd(bi, wr), _mm256_mul_pd(br, wi));
  const __m256d ar = _mm256_cvtps_pd(ar_);
  const __m256d ai = _mm256_cvtps_pd(ai_);
  br_ = _mm256_cvtpd_ps(_mm256_sub_pd(ar, tempr));
  bi_ = _mm256_cvtpd_ps(_mm256_sub_pd(ai, tempi));
  ar_ = _mm256_cvtpd_ps(_mm256_add_pd(ar, tempr));
  ai_ = _mm256_cvtpd_ps(_mm256_add_pd(ai, tempi));
}

// Rows r0..r3 (lane l = point 4g_l + row) to the four points of each lane,
// stored at out + base[l] .. + 3.
HFD_AVX2 void StoreTransposed(float* out, const int32_t* base, __m256 r0, __m256 r1, __m256 r2, __m256 r3) {
  const __m256 t0 = _mm256_unpacklo_ps(r0, r1);
  const __m256 t1 = _mm256_unpackhi_ps(r0, r1);
  const __m256 t2 = _mm256_unpacklo_ps(r2, r3);
  const __m256 t3 = _mm256_unpackhi_ps(r2, r3);
  const __m256 o0 = _mm256_shuffle_ps(t0, t2, 0x44);  // lanes 0 and 4
  const __m256 o1 = _mm256_shuffle_ps(t0, t2, 0xEE);  // lanes 1 and 5
  const __m256 o2 = _mm256_shuffle_ps(t1, t3, 0x44);  // lanes 2 and 6
  const __m256 o3 = _mm256_shuffle_ps(t1, t3, 0xEE);  // lanes 3 and 7
  _mm_storeu_ps(out + base[0], _mm256_castps256_ps128(o0));
  _mm_storeu_ps(out + base[1], _mm256_castps256_ps128(o1));
  _mm_storeu_ps(out + base[2], _mm256_castps256_ps128(o2));
  _mm_storeu_ps(out + base[3], _mm256_castps256_ps128(o3));
  _mm_storeu_ps(out + base[4], _mm256_extractf128_ps(o0, 1));
  _mm_storeu_ps(out + base[5], _mm256_extractf128_ps(o1, 1));
  _mm_storeu_ps(out + base[6], _mm256_extractf128_ps(o2, 1));
  _mm_storeu_ps(out + base[7], _mm256_extractf128_ps(o3, 1));
}

// Tapered samples x[at .. at+7] in single precision (Hann table).
HFD_AVX2 __m256 Taper8(const float* x, const double* w, int32_t at) {
  const __m256d halfv = _mm256_set1_pd(0.5);
  const __m256d lo = _mm256_mul_pd(_mm256_mul_pd(_mm256_loadu_pd(w + at), _mm256_cvtps_pd(_mm_loadu_ps(x + at))), halfv);
  const __m256d hi =
      _mm256_mul_pd(_mm256_mul_pd(_mm256_loadu_pd(w + at + 4), _mm256_cvtps_pd(_mm_loadu_ps(x + at + 4))), halfv);
  return _mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo));
}

// The fused first pass (taper, reordering, stages half = 1 and 2) on 8
// values of u at a time; N >= 32.
__attribute__((target("avx2"))) void FirstPassAvx2(const float* x, const SpectrumPlan& plan, float* re,
                                                    float* im, Chain& chain) {
  const int32_t n = plan.N();
  const double* w = plan.HannFactor();
  const int32_t* rev = plan.BitReverse();
  const int32_t q = n / 4;
  const __m256d w21r = _mm256_set1_pd(plan.TwiddleRe(2)[1]);
  const __m256d w21i = _mm256_set1_pd(plan.TwiddleIm(2)[1]);
  Chain ch = chain;
  for (int32_t u = 0; u < q; u += 8) {
    __m256 r[4], i[4];
    r[0] = i[0] = Taper8(x, w, u);
    r[1] = i[1] = Taper8(x, w, u + 2 * q);
    r[2] = i[2] = Taper8(x, w, u + q);
    r[3] = i[3] = Taper8(x, w, u + 3 * q);
    UnitButterfly8(r[0], i[0], r[1], i[1]);  // stage half = 1
    UnitButterfly8(r[2], i[2], r[3], i[3]);
    UnitButterfly8(r[0], i[0], r[2], i[2]);  // stage half = 2, m = 0
    __m128 ar0 = _mm256_castps256_ps128(r[1]), ai0 = _mm256_castps256_ps128(i[1]);  // stage half = 2, m = 1
    __m128 br0 = _mm256_castps256_ps128(r[3]), bi0 = _mm256_castps256_ps128(i[3]);
    __m128 ar1 = _mm256_extractf128_ps(r[1], 1), ai1 = _mm256_extractf128_ps(i[1], 1);
    __m128 br1 = _mm256_extractf128_ps(r[3], 1), bi1 = _mm256_extractf128_ps(i[3], 1);
    Butterfly4(ar0, ai0, br0, bi0, w21r, w21i);
    Butterfly4(ar1, ai1, br1, bi1, w21r, w21i);
    r[1] = _mm256_set_m128(ar1, ar0);
    i[1] = _mm256_set_m128(ai1, ai0);
    r[3] = _mm256_set_m128(br1, br0);
    i[3] = _mm256_set_m128(bi1, bi0);
    StoreTransposed(re, rev + u, r[0], r[1], r[2], r[3]);
    StoreTransposed(im, rev + u, i[0], i[1], i[2], i[3]);
    ChainUnit4(ch);
    ChainUnit4(ch);
  }
  chain = ch;
}

// Butterflies m .. m+3 of one group (top at r0/i0, bottom at r1/i1).
HFD_AVX2 void Group4(float* r0, float* i0, float* r1, float* i1, const double* wr, const double* wi) {
  const __m256d br = _mm256_cvtps_pd(_mm_loadu_ps(r1));
  const __m256d bi = _mm256_cvtps_pd(_mm_loadu_ps(i1));
  const __m256d vwr = _mm256_loadu_pd(wr);
  const __m256d vwi = _mm256_loadu_pd(wi);
  const __m256d tempr = _mm256_sub_pd(_mm256_mul_pd(br, vwr), _mm256_mul_pd(bi, vwi));
  const __m256d tempi = _mm256_add_pd(_mm256_mul_pd(bi, vwr), _mm256_mul_pd(br, vwi));
  const __m256d ar = _mm256_cvtps_pd(_mm_loadu_ps(r0));
  const __m256d ai = _mm256_cvtps_pd(_mm_loadu_ps(i0));
  _mm_storeu_ps(r1, _mm256_cvtpd_ps(_mm256_sub_pd(ar, tempr)));
  _mm_storeu_ps(i1, _mm256_cvtpd_ps(_mm256_sub_pd(ai, tempi)));
  _mm_storeu_ps(r0, _mm256_cvtpd_ps(_mm256_add_pd(ar, tempr)));
  _mm_storeu_ps(i0, _mm256_cvtpd_ps(_mm256_add_pd(ai, tempi)));
}

__attribute__((target("avx2"))) void StagesAvx2(float* re, float* im, const SpectrumPlan& plan, int32_t need,
                                                int32_t from_half, int32_t to_half, Chain& chain) {
  const int32_t n = plan.N();
  const int32_t need4 = (need + 3) & ~3;
  Chain ch = chain;
  uint32_t tick = 0;
  for (int32_t half = from_half; half < n && half <= to_half; half *= 2) {
    const double* wr = plan.TwiddleRe(half);
    const double* wi = plan.TwiddleIm(half);
    const int32_t mend = std::min(half, need4);
    for (int32_t g = 0; g < n; g += 2 * half) {
      float* r0 = re + g;
      float* i0 = im + g;
      for (int32_t m = 0; m < mend; m += 4) {
        Group4(r0 + m, i0 + m, r0 + half + m, i0 + half + m, wr + m, wi + m);
        if ((++tick & 1) == 0) ChainUnit4(ch);
      }
    }
  }
  chain = ch;
}

__attribute__((target("avx2"))) void TransformAvx2(const float* x, const SpectrumPlan& plan, float* re,
                                                    float* im, int32_t need, double mean, double& sumsq) {
  const int32_t n = plan.N();
  if (n < 32) {
    TransformGeneric(x, plan, re, im, need, mean, sumsq);
    return;
  }
  Chain chain{x, 0, n, mean, 0.0};
  FirstPassAvx2(x, plan, re, im, chain);
  StagesAvx2(re, im, plan, need, 4, n, chain);
  ChainSteps(chain, n);  // the rest, if any
  sumsq = chain.acc;
}

__attribute__((target("avx2"))) void AmplitudesAvx2(const float* re, const float* im, int32_t first,
                                                     int32_t end, float ampnorm, float* out) {
  const __m256d norm = _mm256_set1_pd(static_cast<double>(ampnorm));
  int32_t k = first;
  for (; k + 4 <= end; k += 4) {
    const __m256d r = _mm256_cvtps_pd(_mm_loadu_ps(re + k));
    const __m256d i = _mm256_cvtps_pd(_mm_loadu_ps(im + k));
    const __m256d sum = _mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(i, i));
    _mm_storeu_ps(out + k, _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_sqrt_pd(sum), norm)));
  }
  AmplitudesGeneric(re, im, k, end, ampnorm, out);
}

// ---------------------------------------------------------------- AVX-512 --

#define HFD_AVX512 __attribute__((target("avx512f"), always_inline)) inline

HFD_AVX512 void Group8(float* r0, float* i0, float* r1, float* i1, const double* wr, const double* wi) {
  const __m512d br = _mm512_cvtps_pd(_mm256_loadu_ps(r1));
  const __m512d bi = _mm512_cvtps_pd(_mm256_loadu_ps(i1));
  const __m512d vwr = _mm512_loadu_pd(wr);
  const __m512d vwi = _mm512_loadu_pd(wi);
  const __m512d tempr = _mm512_sub_pd(_mm512_mul_pd(br, vwr), _mm512_mul_pd(bi, vwi));
  const __m512d tempi = _mm512_add_pd(_mm512_mul_pd(bi, vwr), _mm512_mul_pd(br, vwi));
  const __m512d ar = _mm512_cvtps_pd(_mm256_loadu_ps(r0));
  const __m512d ai = _mm512_cvtps_pd(_mm256_loadu_ps(i0));
  _mm256_storeu_ps(r1, _mm512_cvtpd_ps(_mm512_sub_pd(ar, tempr)));
  _mm256_storeu_ps(i1, _mm512_cvtpd_ps(_mm512_sub_pd(ai, tempi)));
  _mm256_storeu_ps(r0, _mm512_cvtpd_ps(_mm512_add_pd(ar, tempr)));
  _mm256_storeu_ps(i0, _mm512_cvtpd_ps(_mm512_add_pd(ai, tempi)));
}

__attribute__((target("avx512f"))) void StagesAvx512(float* re, float* im, const SpectrumPlan& plan,
                                                     int32_t need, int32_t from_half, Chain& chain) {
  const int32_t n = plan.N();
  const int32_t need8 = (need + 7) & ~7;
  Chain ch = chain;  // kept in registers across the loops
  uint32_t tick = 0;
  for (int32_t half = from_half; half < n; half *= 2) {
    const double* wr = plan.TwiddleRe(half);
    const double* wi = plan.TwiddleIm(half);
    const int32_t mend = std::min(half, need8);
    for (int32_t g = 0; g < n; g += 2 * half) {
      float* r0 = re + g;
      float* i0 = im + g;
      for (int32_t m = 0; m < mend; m += 8) {
        Group8(r0 + m, i0 + m, r0 + half + m, i0 + half + m, wr + m, wi + m);
        if ((++tick & 1) == 0) ChainUnit4(ch);
      }
    }
  }
  chain = ch;
}

#define HFD_AVX512_INL __attribute__((target("avx512f"), always_inline)) inline

// A general butterfly on 8 lanes in double, inputs and outputs single.
HFD_AVX512_INL void Butterfly8(__m256& ar_, __m256& ai_, __m256& br_, __m256& bi_, __m512d wr, __m512d wi) {
  const __m512d br = _mm512_cvtps_pd(br_);
  const __m512d bi = _mm512_cvtps_pd(bi_);
  const __m512d tempr = _mm512_sub_pd(_mm512_mul_pd(br, wr), _mm512_mul_pd(bi, wi));
  const __m512d tempi = _mm512_add_pd(_mm512_mul_pd(bi, wr), _mm512_mul_pd(br, wi));
  const __m512d ar = _mm512_cvtps_pd(ar_);
  const __m512d ai = _mm512_cvtps_pd(ai_);
  br_ = _mm512_cvtpd_ps(_mm512_sub_pd(ar, tempr));
  bi_ = _mm512_cvtpd_ps(_mm512_sub_pd(ai, tempi));
  ar_ = _mm512_cvtpd_ps(_mm512_add_pd(ar, tempr));
  ai_ = _mm512_cvtpd_ps(_mm512_add_pd(ai, tempi));
}

// The fused first pass (taper, reordering, stages half = 1 and 2) on 8
// values of u at a time; N >= 32.
__attribute__((target("avx512f"))) void FirstPassAvx512(const float* x, const SpectrumPlan& plan, float* re,
                                                        float* im, Chain& chain) {
  const int32_t n = plan.N();
  const double* w = plan.HannFactor();
  const int32_t* rev = plan.BitReverse();
  const int32_t q = n / 4;
  const int32_t off[4] = {0, 2 * q, q, 3 * q};
  const __m512d w21r = _mm512_set1_pd(plan.TwiddleRe(2)[1]);
  const __m512d w21i = _mm512_set1_pd(plan.TwiddleIm(2)[1]);
  const __m512d halfv = _mm512_set1_pd(0.5);
  Chain ch = chain;
  for (int32_t u = 0; u < q; u += 8) {
    __m256 r[4], i[4];
    for (int k = 0; k < 4; ++k) {
      const int32_t at = u + off[k];
      const __m512d xv = _mm512_cvtps_pd(_mm256_loadu_ps(x + at));
      const __m512d wv = _mm512_loadu_pd(w + at);
      r[k] = i[k] = _mm512_cvtpd_ps(_mm512_mul_pd(_mm512_mul_pd(wv, xv), halfv));
    }
    UnitButterfly8(r[0], i[0], r[1], i[1]);         // stage half = 1
    UnitButterfly8(r[2], i[2], r[3], i[3]);
    UnitButterfly8(r[0], i[0], r[2], i[2]);         // stage half = 2, m = 0
    Butterfly8(r[1], i[1], r[3], i[3], w21r, w21i);  // stage half = 2, m = 1
    StoreTransposed(re, rev + u, r[0], r[1], r[2], r[3]);
    StoreTransposed(im, rev + u, i[0], i[1], i[2], i[3]);
    ChainUnit8(ch);
  }
  chain = ch;
}

__attribute__((target("avx512f"))) void TransformAvx512(const float* x, const SpectrumPlan& plan, float* re,
                                                         float* im, int32_t need, double mean, double& sumsq) {
  const int32_t n = plan.N();
  if (n < 32) {
    TransformGeneric(x, plan, re, im, need, mean, sumsq);
    return;
  }
  Chain chain{x, 0, n, mean, 0.0};
  FirstPassAvx512(x, plan, re, im, chain);
  StagesAvx2(re, im, plan, need, 4, 4, chain);
  StagesAvx512(re, im, plan, need, 8, chain);
  ChainSteps(chain, n);  // the rest, if any
  sumsq = chain.acc;
}

// -------------------------------------------------------------- dispatch --

using TransformFn = void (*)(const float*, const SpectrumPlan&, float*, float*, int32_t, double, double&);
using AmplitudesFn = void (*)(const float*, const float*, int32_t, int32_t, float, float*);

struct Variant {
  const char* name;
  TransformFn transform;
  AmplitudesFn amplitudes;
  bool (*supported)();
};

bool HasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2");
}
bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
bool Always() { return true; }

constexpr Variant kVariants[] = {
    {"avx512", TransformAvx512, AmplitudesAvx2, HasAvx512},
    {"avx2", TransformAvx2, AmplitudesAvx2, HasAvx2},
    {"generic", TransformGeneric, AmplitudesGeneric, Always},
};

const Variant* BestVariant() {
  for (const Variant& v : kVariants) {
    if (v.supported()) return &v;
  }
  return &kVariants[2];
}

const Variant*& Current() {
  static const Variant* current = BestVariant();
  return current;
}

}  // namespace

void Transform(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need, double mean,
               double& sumsq) {
  Current()->transform(x, plan, re, im, need, mean, sumsq);
}

void Amplitudes(const float* re, const float* im, int32_t first, int32_t end, float ampnorm, float* out) {
  Current()->amplitudes(re, im, first, end, ampnorm, out);
}

const char* KernelVariant() { return Current()->name; }

bool SelectKernelVariant(const char* name) {
  for (const Variant& v : kVariants) {
    if (std::strcmp(v.name, name) == 0 && v.supported()) {
      Current() = &v;
      return true;
    }
  }
  return false;
}

}  // namespace hfd::fast
