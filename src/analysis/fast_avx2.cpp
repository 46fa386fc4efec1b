// The fast kernels for processors with AVX2: the passes of fast_passes.hpp on
// four lanes (Lanes4), compiled for AVX2 without FMA (every multiply and add
// stays separate).
// Every header with code of its own (the library's, and ours that include
// them) comes before the target pragma: only what is defined after it is
// compiled for the wider instruction set.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "analysis/fast_kernels.hpp"
#include "analysis/fast_variants.hpp"
#include "analysis/spectrum_plan.hpp"

// clang takes the instruction set as a function attribute over the rest of
// the file (popped at its end); GCC by its target pragma.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC optimize("fp-contract=off")
#pragma GCC target("avx2")
#endif

#include "analysis/fast_avx2_lanes.hpp"
#include "analysis/fast_passes.hpp"

namespace hfd::fast {

extern const Kernels kAvx2Kernels = KernelsOn<Lanes4, Lanes4>("avx2");

}  // namespace hfd::fast

#if defined(__clang__)
#pragma clang attribute pop
#endif
