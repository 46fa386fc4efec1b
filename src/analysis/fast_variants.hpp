// The fast kernels of one instruction set, as fast_kernels.cpp dispatches
// them (internal to the fast kernels). Each set is defined in the file
// compiled for its instruction set: fast_kernels.cpp (any processor),
// fast_avx2.cpp, fast_avx512.cpp.
//
//   kAvx2Kernels.transform(x, plan, re, im, need);
#pragma once

#include <cstdint>

#include "analysis/spectrum_plan.hpp"

namespace hfd::fast {

struct Kernels {
  void (*transform)(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need);
  double (*transform_with_spread)(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need,
                                  double mean);
  void (*amplitudes)(const float* re, const float* im, int32_t first, int32_t end, float ampnorm, float* out);
};

extern const Kernels kGenericKernels;
extern const Kernels kAvx2Kernels;
extern const Kernels kAvx512Kernels;

}  // namespace hfd::fast
