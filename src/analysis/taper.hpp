// Taper windows.
#pragma once

#include <cstdint>

namespace hfd {

// The value of pi used by the taper windows: the decimal 3.141592653589795
// taken as a double (bit pattern 0x400921FB54442D1C).
inline constexpr double kTaperPi = 3.141592653589795;

// Multiplies block[0..n-1] in place by the window of the given type and
// returns its scale factor in WinScale. Types: 0 rectangular (block untouched, WinScale 1.0), 1 triangular,
// 2 Hann, 3 Hamming (WinScale 0.5 for types 1..3); any other type changes
// nothing, WinScale included.
//
// Rejection (a choice made here): types 1..3 need n >= 2
// (their step divides by n-1). For n < 2 (n = 1, 0 or negative), or a null
// block, types 1..3 are treated like an unrecognised type: the call returns
// at once and changes nothing, neither the block nor WinScale. No division
// by zero happens, and no element is read or written. Type 0 sets WinScale
// to 1.0 for any n and never touches the block.
void TaperWindow(float* block, int32_t n, int32_t type, float& WinScale);

// The single-precision window step of types 2 and 3 for n >= 2:
// (float)((pi * 2.0) / (n - 1)). Exposed for the fast analysis tables.
float HannStep(int32_t n);

}  // namespace hfd
