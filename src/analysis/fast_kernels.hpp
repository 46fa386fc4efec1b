// Kernels of the fast analysis path (internal to src/analysis).
//
// Every kernel performs, for every value it produces, exactly the IEEE
// operations of the straightforward routines in the same order: the same
// products, sums and roundings to single precision, no fused multiply-add
// (the build uses -ffp-contract=off, and the vector variants are compiled for
// AVX2/AVX-512F without FMA and issue separate multiplies and adds). Vector
// lanes are independent values, so a lane computes what the scalar code
// computes. Only the loop order across independent values, the memory layout
// (split real and imaginary arrays) and the set of values formed differ.
// The passes are written once (fast_passes.hpp) for every vector width and
// built once per instruction set; a plan picks the set it runs when it is made
// (SpectrumPlan::Kernels()), so no caller chooses between them.
//
//   plan.Kernels().transform(x, plan, re, im, plan.FormEnd());
//   const double ss = fast::SumSquaredDeviations(x, plan.N(), mean);
#pragma once

#include <cstdint>
#include <string_view>

namespace hfd {

class SpectrumPlan;

namespace fast {

// The spread's sum: over j of ((double)x[j] - mean)^2, accumulated in order
// from 0.
double SumSquaredDeviations(const float* x, int32_t n, double mean);

// The kernels of one instruction set.
struct Kernels {
  // "avx512", "avx2" or "generic".
  const char* name;

  // Taper (Hann, from the plan's table) of x[0..N-1], the block copied into
  // the complex sequence with equal real and imaginary parts, the bit-reversal
  // reordering and the butterfly stages of ComplexFFT with isign = +1 - all on
  // split arrays: on return re[k], im[k] hold point k of the transform for
  // k = 0 .. need-1, bit for bit what TaperWindow + ComplexFFT give in CData.
  // Only the butterflies that feed those points are formed (at every stage the
  // first min(half, need) of each group, rounded up to the vector width); the
  // other points are left unspecified. x is not changed.
  void (*transform)(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need);

  // transform, returning SumSquaredDeviations(x, plan.N(), mean): the same
  // values as the two calls. The sum's N dependent additions are bound by the
  // adder's latency and, run alone, take about as long as the transform; here
  // they are run a few at a time between the transform's butterflies.
  double (*transform_with_spread)(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need,
                                  double mean);

  // Linear amplitudes of the block spectrum for points first .. end-1:
  // out[k] = (float)(sqrt(re^2 + im^2) * ampnorm), square root and products in
  // double (the vector square root is the correctly rounded IEEE one, as is
  // std::sqrt).
  void (*amplitudes)(const float* re, const float* im, int32_t first, int32_t end, float ampnorm, float* out);
};

// The kernels named ("avx512", "avx2", "generic"), or, for an empty name, the
// widest set the processor runs. nullptr when the name is unknown or the
// processor lacks its instruction set.
const Kernels* FindKernels(std::string_view name);

}  // namespace fast
}  // namespace hfd
