// Complex FFT: the iterative radix-2 decimation-in-time transform.
#pragma once

#include <cstdint>

namespace hfd {

// The constant 2*pi of the transform: the decimal 6.28318530717959 taken as a
// double (bit pattern 0x401921FB54442D1C).
inline constexpr double kFftTwoPi = 6.28318530717959;

// True when n is a power of two the transform accepts: 1 <= n <= 2^30.
bool IsFftLength(int32_t n);

// In-place, unnormalised transform of n complex points stored interleaved in
// data[0..2n-1] (data[2k] real part, data[2k+1] imaginary part of point k):
// point m becomes sum_k z(k) * exp(isign * 2 pi i k m / n). Exactly the
// routine: bit-reversal swaps, then butterfly stages whose
// twiddles come from the double-precision recurrence, single-precision data,
// double-precision temporaries, the updates in the order written there.
//
// Refusal: returns false and leaves data untouched when n is not a power of
// two, n < 1 (or n > 2^30), isign is not +1 or -1, or data is null. Otherwise
// returns true. It never reads or writes outside data[0..2n-1].
bool ComplexFFT(float* data, int32_t n, int32_t isign);

// The twiddle factors (wr, wi) of one butterfly stage, produced by the very
// recurrence ComplexFFT runs: for a stage whose butterflies span mmax = 2*half
// array positions (half = 1, 2, 4, ... complex points), wr[m], wi[m] for
// m = 0 .. half-1 are the values used by the butterflies of the m-th twiddle
// (array position 2m+1 of the group). Used to build the fast tables.
void FftStageTwiddles(int32_t half, int32_t isign, double* wr, double* wi);

}  // namespace hfd
