// Kernels of the fast analysis path (internal to src/analysis).
//
// Every kernel performs, for every value it produces, exactly the IEEE
// operations of the straightforward routines in the same order (no fused
// multiply-add: the build uses -ffp-contract=off, and the vector code issues
// separate multiplies and adds); only the loop order across independent
// values, the memory layout and the set of values formed differ.
#pragma once

#include <cstdint>

#include "analysis/spectrum_plan.hpp"

namespace hfd::fast {

// Sum over j of ((double)x[j] - mean)^2, accumulated in order from 0.
double SumSquaredDeviations(const float* x, int32_t n, double mean);

// Taper (Hann, tables of the plan) of x[0..n-1] into re and im (both get the
// tapered sample), stored at the bit-reversed positions of Part 3.2.
void TaperBitReverse(const float* x, const SpectrumPlan& plan, float* re, float* im);

// The butterfly stages of Part 3.2 (isign = +1) on split data already in
// bit-reversed order. Only the butterflies that feed output points
// 0 .. need-1 are formed (at every stage the first min(half, need) of each
// group); the other outputs are left unspecified.
void FftStages(float* re, float* im, const SpectrumPlan& plan, int32_t need);

// Which instruction-set variant the kernels run ("avx2" or "generic").
const char* KernelVariant();

}  // namespace hfd::fast
