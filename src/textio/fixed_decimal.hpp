// Fixed-width numeric fields: Iw and Fw.d editing.
//
// Fw.d rounds the exact binary value to 17 significant decimal digits (half
// up), keeps at most 7 (single) or 16 (double) significant digits, rounds
// again half away from zero, and lays the number out without a leading zero
// ("  .500"). A value that does not fit is w asterisks.
//
//   char f[10]; FormatFixedField(f, 12.25f, /*single=*/true, 10, 3);  // "    12.250"
//   char i[5];  FormatIntField(i, -5, 5);                              // "   -5"
#pragma once

#include <cstdint>

namespace hfd {

// Writes exactly w characters to out.
void FormatIntField(char* out, int64_t value, int w);
void FormatFixedField(char* out, double value, bool single, int w, int d);
// The same field through the full decimal expansion (the shortcut above must
// always agree with it).
void FormatFixedFieldReference(char* out, double value, bool single, int w, int d);

// The first 18 significant decimal digits of |value| (> 0, finite), truncated,
// as an integer in [1e17, 1e18), and the exponent e with
// |value| = 0.d1d2d3... * 10^e. Exact for every double.
struct Digits18 {
  uint64_t digits;
  int exponent;
};
Digits18 ExactDigits18(double value);          // fast where it can be, exact always
Digits18 ExactDigits18Reference(double value); // plain big-integer expansion

}  // namespace hfd
