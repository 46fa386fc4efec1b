// The fast kernels for processors with AVX2: the passes of fast_passes.hpp on
// four lanes (Lanes4), compiled for AVX2 without FMA (every multiply and add
// stays separate).
// Every library header comes before the target pragma: only what is defined
// after it is compiled for the wider instruction set.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "analysis/fast_kernels.hpp"
#include "analysis/fast_variants.hpp"

#pragma GCC optimize("fp-contract=off")
#pragma GCC target("avx2")

#include "analysis/fast_avx2_lanes.hpp"
#include "analysis/fast_passes.hpp"

namespace hfd::fast {
namespace {

void TransformAvx2(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need) {
  NoSide none;
  TransformOn<Lanes4>(x, plan, re, im, need, none);
}

double TransformWithSpreadAvx2(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need,
                               double mean) {
  return TransformWithSpreadOn<Lanes4, Lanes4>(x, plan, re, im, need, mean);
}

void AmplitudesAvx2(const float* re, const float* im, int32_t first, int32_t end, float ampnorm, float* out) {
  AmplitudesOn<Lanes4>(re, im, first, end, ampnorm, out);
}

}  // namespace

extern const Kernels kAvx2Kernels = {TransformAvx2, TransformWithSpreadAvx2, AmplitudesAvx2};

}  // namespace hfd::fast
