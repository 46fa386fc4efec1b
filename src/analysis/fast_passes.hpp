// The fast transform's passes, written once for every vector width (internal
// to the fast kernels: fast_kernels.cpp, fast_avx2.cpp, fast_avx512.cpp).
//
// Each pass is a template on a vector-traits type V describing W = V::kLanes
// independent values, each lane computing exactly what the scalar code
// computes:
//   V::F, V::D             W values in single and in double precision, with
//                          + - * lane by lane (GCC vector operators on the
//                          intrinsic types; plain float and double for W = 1)
//   LoadF, StoreF, LoadD,  unaligned loads and stores
//   StoreD
//   SplatF, SplatD         one value in every lane
//   Widen, Narrow          single to double (exact), double to single (rounded)
//   Sqrt                   the correctly rounded square root
//   StoreTransposed        four rows of W lanes to W runs of four points
//   Narrower               the traits of W/2 lanes (for a stage narrower than W)
//
// A file including this header after `#pragma GCC target(...)` compiles every
// pass for that instruction set; everything here has internal linkage, so no
// instance made for one instruction set is shared with another.
//
//   extern const Kernels kAvx512Kernels = KernelsOn<Lanes8, Lanes4>("avx512");
#pragma once

#include <cmath>
#include <cstdint>

#include "analysis/fast_variants.hpp"
#include "analysis/spectrum_plan.hpp"

namespace hfd::fast {
namespace {

// ---- traits: one lane in plain float and double ----
struct Scalar {
  static constexpr int kLanes = 1;
  using F = float;
  using D = double;
  using Narrower = Scalar;
  static F LoadF(const float* p) { return *p; }
  static void StoreF(float* p, F v) { *p = v; }
  static D LoadD(const double* p) { return *p; }
  static void StoreD(double* p, D v) { *p = v; }
  static F SplatF(float v) { return v; }
  static D SplatD(double v) { return v; }
  static D Widen(F v) { return static_cast<double>(v); }
  static F Narrow(D v) { return static_cast<float>(v); }
  static D Sqrt(D v) { return std::sqrt(v); }
  static void StoreTransposed(float* out, const int32_t* base, F r0, F r1, F r2, F r3) {
    float* o = out + base[0];
    o[0] = r0;
    o[1] = r1;
    o[2] = r2;
    o[3] = r3;
  }
};

// ---- butterflies ----

// One butterfly of the stages on W lanes (a = point i, b = point i + half):
// the products and sums in double, inputs and outputs single.
template <class V>
inline void Butterfly(typename V::F& ar_, typename V::F& ai_, typename V::F& br_, typename V::F& bi_,
                      typename V::D wr, typename V::D wi) {
  const typename V::D br = V::Widen(br_);
  const typename V::D bi = V::Widen(bi_);
  const typename V::D tempr = br * wr - bi * wi;
  const typename V::D tempi = bi * wr + br * wi;
  const typename V::D ar = V::Widen(ar_);
  const typename V::D ai = V::Widen(ai_);
  br_ = V::Narrow(ar - tempr);
  bi_ = V::Narrow(ai - tempi);
  ar_ = V::Narrow(ar + tempr);
  ai_ = V::Narrow(ai + tempi);
}

// A butterfly whose twiddle is exactly (1.0, 0.0) (the first one of every
// stage: the recurrence starts from wr = 1.0, wi = 0.0), in single precision.
// This is bit for bit the double computation: br*1, bi*0, their difference
// or sum (one term is a signed zero) and bi*1 + br*0 are exact in either
// precision, so tempr and tempi are single values computed identically; and a
// single-precision sum or difference of two single values equals the double
// one rounded to single (double rounding is innocuous for +/- since
// 53 >= 2*24 + 2).
template <class V>
inline void UnitButterfly(typename V::F& ar, typename V::F& ai, typename V::F& br, typename V::F& bi) {
  const typename V::F one = V::SplatF(1.0f);
  const typename V::F zero = V::SplatF(0.0f);
  const typename V::F tempr = br * one - bi * zero;
  const typename V::F tempi = bi * one + br * zero;
  br = ar - tempr;
  bi = ai - tempi;
  ar = ar + tempr;
  ai = ai + tempi;
}

// Tapered samples x[at .. at+W-1]: ((1 - cos(k delta)) * x) * 0.5, rounded to
// single (Hann factors from the plan's table).
template <class V>
inline typename V::F Taper(const float* x, const double* w, int32_t at) {
  return V::Narrow((V::LoadD(w + at) * V::Widen(V::LoadF(x + at))) * V::SplatD(0.5));
}

// ---- work run beside the transform ----

// Side work that does nothing: the plain transform.
struct NoSide {
  void Step() {}
};

// The spread's sum of squared deviations, sum over j of ((double)x[j] - mean)^2
// added in order from j = 0, advanced four samples per Step(): the squares are
// formed in the lanes of V (V::kLanes == 4 or 1), then added one by one in
// order. Its chain of dependent additions is latency-bound; stepped between
// the transform's butterflies (throughput-bound) it costs almost nothing.
template <class V>
struct SpreadSteps {
  const float* x;
  int32_t n;
  double mean;
  int32_t pos = 0;
  double acc = 0.0;

  void Step() {
    if (pos + 4 > n) return;
    double sq[4];
    for (int k = 0; k < 4; k += V::kLanes) {
      const typename V::D d = V::Widen(V::LoadF(x + pos + k)) - V::SplatD(mean);
      V::StoreD(sq + k, d * d);
    }
    double a = acc;
    for (int k = 0; k < 4; ++k) a = a + sq[k];
    acc = a;
    pos += 4;
  }
  // The samples not yet added; returns the whole sum.
  double Finish() {
    double a = acc;
    for (int32_t j = pos; j < n; ++j) {
      const double d = static_cast<double>(x[j]) - mean;
      a = a + d * d;
    }
    acc = a;
    pos = n;
    return a;
  }
};

// ---- passes ----

// One butterfly stage (points joined at distance half), on W lanes; half >= W.
// Only the butterflies feeding points 0 .. need-1 are formed: the first
// min(half, need rounded up to W) of each group. Every second group of
// butterflies is followed by one step of the side work.
template <class V, class Side>
inline void Stage(float* re, float* im, const SpectrumPlan& plan, int32_t need, int32_t half, Side& side,
                  uint32_t& tick) {
  const int32_t n = plan.N();
  const double* wr = plan.TwiddleRe(half);
  const double* wi = plan.TwiddleIm(half);
  const int32_t needw = (need + V::kLanes - 1) & ~(V::kLanes - 1);
  const int32_t mend = half < needw ? half : needw;
  for (int32_t g = 0; g < n; g += 2 * half) {
    float* r0 = re + g;
    float* i0 = im + g;
    float* r1 = r0 + half;
    float* i1 = i0 + half;
    for (int32_t m = 0; m < mend; m += V::kLanes) {
      typename V::F ar = V::LoadF(r0 + m), ai = V::LoadF(i0 + m);
      typename V::F br = V::LoadF(r1 + m), bi = V::LoadF(i1 + m);
      Butterfly<V>(ar, ai, br, bi, V::LoadD(wr + m), V::LoadD(wi + m));
      V::StoreF(r1 + m, br);
      V::StoreF(i1 + m, bi);
      V::StoreF(r0 + m, ar);
      V::StoreF(i0 + m, ai);
      if ((++tick & 1) == 0) side.Step();
    }
  }
}

// The stages from from_half up to N/2; a stage narrower than W runs on the
// narrower traits.
template <class V, class Side>
inline void Stages(float* re, float* im, const SpectrumPlan& plan, int32_t need, int32_t from_half, Side& side) {
  Side local = side;  // kept in registers across the loops
  uint32_t tick = 0;
  for (int32_t half = from_half; half < plan.N(); half *= 2) {
    if (V::kLanes > 1 && half < V::kLanes) {
      Stage<typename V::Narrower>(re, im, plan, need, half, local, tick);
    } else {
      Stage<V>(re, im, plan, need, half, local, tick);
    }
  }
  side = local;
}

// Taper, bit reversal and the stages of half = 1 and 2, fused, on W values of
// u at a time (N >= 4W): the group of points 4g .. 4g+3 after the reordering
// holds input points u, u + N/2, u + N/4, u + 3N/4 with u = rev(4g) (< N/4),
// and 4g = rev(u). Each W values of u are followed by W/4 steps of the side
// work.
template <class V, class Side>
inline void FirstPass(const float* x, const SpectrumPlan& plan, float* re, float* im, Side& side) {
  const int32_t n = plan.N();
  const double* w = plan.HannFactor();
  const int32_t* rev = plan.BitReverse();
  const int32_t q = n / 4;
  const int32_t off[4] = {0, 2 * q, q, 3 * q};
  const typename V::D w21r = V::SplatD(plan.TwiddleRe(2)[1]);
  const typename V::D w21i = V::SplatD(plan.TwiddleIm(2)[1]);
  Side local = side;  // kept in registers across the loop
  for (int32_t u = 0; u < q; u += V::kLanes) {
    typename V::F r[4], i[4];
    for (int k = 0; k < 4; ++k) r[k] = i[k] = Taper<V>(x, w, u + off[k]);
    UnitButterfly<V>(r[0], i[0], r[1], i[1]);  // stage half = 1
    UnitButterfly<V>(r[2], i[2], r[3], i[3]);
    UnitButterfly<V>(r[0], i[0], r[2], i[2]);         // stage half = 2, m = 0
    Butterfly<V>(r[1], i[1], r[3], i[3], w21r, w21i);  // stage half = 2, m = 1
    V::StoreTransposed(re, rev + u, r[0], r[1], r[2], r[3]);
    V::StoreTransposed(im, rev + u, i[0], i[1], i[2], i[3]);
    for (int s = 0; s < V::kLanes / 4; ++s) local.Step();
  }
  side = local;
}

// The whole transform on split arrays (see Kernels::transform in
// fast_kernels.hpp), with the side work stepped in between.
template <class V, class Side>
inline void TransformOn(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need, Side& side) {
  const int32_t n = plan.N();
  if constexpr (V::kLanes > 1) {
    if (n < 4 * V::kLanes) {
      TransformOn<Scalar>(x, plan, re, im, need, side);
      return;
    }
  }
  if (n < 4) {  // N = 2: the reordering is the identity; one stage
    const int32_t* rev = plan.BitReverse();
    for (int32_t k = 0; k < n; ++k) re[rev[k]] = im[rev[k]] = Taper<Scalar>(x, plan.HannFactor(), k);
    Stages<Scalar>(re, im, plan, n, 1, side);
    return;
  }
  FirstPass<V>(x, plan, re, im, side);
  Stages<V>(re, im, plan, need, 4, side);
}

template <class V>
void TransformPlainOn(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need) {
  NoSide none;
  TransformOn<V>(x, plan, re, im, need, none);
}

// The transform and the spread's sum SumSquaredDeviations(x, N, mean) (see
// fast_kernels.hpp), the sum stepped four samples at a time on the traits S.
// One value at a time the transform has no idle cycles to lend: the sum first.
template <class V, class S>
double TransformWithSpreadOn(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need,
                             double mean) {
  SpreadSteps<S> spread{x, plan.N(), mean};
  if constexpr (V::kLanes == 1) spread.Finish();
  TransformOn<V>(x, plan, re, im, need, spread);
  return spread.Finish();
}

// Linear amplitudes out[k] = (float)(sqrt(re^2 + im^2) * ampnorm) for
// k = first .. end-1, in double; the last ones (fewer than W) one by one.
template <class V>
inline void AmplitudesOn(const float* re, const float* im, int32_t first, int32_t end, float ampnorm, float* out) {
  const typename V::D norm = V::SplatD(static_cast<double>(ampnorm));
  int32_t k = first;
  for (; k + V::kLanes <= end; k += V::kLanes) {
    const typename V::D r = V::Widen(V::LoadF(re + k));
    const typename V::D i = V::Widen(V::LoadF(im + k));
    V::StoreF(out + k, V::Narrow(V::Sqrt(r * r + i * i) * norm));
  }
  if constexpr (V::kLanes > 1) AmplitudesOn<Scalar>(re, im, k, end, ampnorm, out);
}

// The kernel set of traits V (the spread's sum stepped on traits S), named name.
template <class V, class S>
constexpr Kernels KernelsOn(const char* name) {
  return {name, TransformPlainOn<V>, TransformWithSpreadOn<V, S>, AmplitudesOn<V>};
}

}  // namespace
}  // namespace hfd::fast
