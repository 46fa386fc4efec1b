// The fast kernels of each instruction set, as FindKernels (fast_kernels.cpp)
// offers them (internal to the fast kernels). Each set is defined in the file
// compiled for its instruction set: fast_kernels.cpp (any processor),
// fast_avx2.cpp, fast_avx512.cpp.
//
//   extern const Kernels kAvx2Kernels = KernelsOn<Lanes4, Lanes4>("avx2");
#pragma once

#include "analysis/fast_kernels.hpp"

namespace hfd::fast {

extern const Kernels kGenericKernels;
extern const Kernels kAvx2Kernels;
extern const Kernels kAvx512Kernels;

}  // namespace hfd::fast
