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

#include <bit>
#include <cstdint>
#include <cstring>

namespace hfd {

// Writes exactly w characters to out.
void FormatIntField(char* out, int64_t value, int w);
void FormatFixedField(char* out, double value, bool single, int w, int d);
// The same field through the full decimal expansion (the shortcut above must
// always agree with it).
void FormatFixedFieldReference(char* out, double value, bool single, int w, int d);

namespace fixed_detail {
extern const uint64_t kPow10[20];
// Decimal digits of v (1 for 0).
inline int DigitCount(uint64_t v) {
  const int bits = 64 - __builtin_clzll(v | 1);
  const int guess = (bits * 1233) >> 12;  // floor(bits * log10(2))
  return guess + (v >= kPow10[guess] ? 1 : 0);
}
extern const char kDigitPairs[201];
// The exact rounding decision next to a tie (rare): see FormatSingleFixedFast.
bool TieRoundsUp(uint64_t integerPart, uint64_t half, uint64_t remainder);
}  // namespace fixed_detail

namespace fixed_detail {
// The text of an F field's scaled value n (the value times 10^d, rounded),
// written backwards so that it ends just before `end`: d decimals, the point,
// the integer digits (none when zero, or a lone 0 when zeroBeforePoint), the
// sign. Returns its first character.
template <class U>
__attribute__((always_inline)) inline char* ScaledText(char* end, U n, int d, bool zeroBeforePoint,
                                                       bool minus) {
  char* p = end;
  int left = d;
  for (; left >= 2; left -= 2) {
    const char* pair = kDigitPairs + 2 * (n % 100);
    n /= 100;
    *--p = pair[1];
    *--p = pair[0];
  }
  if (left) {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  *--p = '.';
  if (zeroBeforePoint) *--p = '0';
  for (; n >= 10; n /= 100) {
    const char* pair = kDigitPairs + 2 * (n % 100);
    *--p = pair[1];
    *--p = pair[0];
  }
  if (n) *--p = static_cast<char>('0' + n);
  if (minus) *--p = '-';
  return p;
}
}  // namespace fixed_detail

// The scaled value n (value * 10^d, rounded as an F field of a single item
// rounds it) of a normal single below 2^23 with at most 9 decimals: the value
// is m / 2^k exactly; value * 10^d splits into the integer part i and the
// remainder r / 2^k, and the field's two roundings (17 digits, then the d-th
// decimal, both half up) raise i by one exactly when r >= half, or r lies just
// below half by no more than the 17-digit rounding can make up. False where
// this does not apply (the general routine then does the work).
inline bool ScaleSingle(uint32_t bits, int d, uint64_t& n) {
  using namespace fixed_detail;
  const int biased = static_cast<int>((bits >> 23) & 0xFF);
  const int k = 150 - biased;
  if (biased == 0 || k < 1 || k > 63 || d > 9) return false;
  const uint64_t m = (bits & 0x7FFFFF) | 0x800000;
  const uint64_t scaled = m * kPow10[d];
  const uint64_t i = scaled >> k;
  if (i >= 10000000) return false;  // more than the 7 digits a single item keeps
  const uint64_t r = scaled & ((1ULL << k) - 1);
  const uint64_t half = 1ULL << (k - 1);
  // Up at or above the tie, as an addition: which side of the tie a value
  // lies on is as good as random, so a branch here would often mispredict.
  n = i + (r >= half ? 1 : 0);
  // Just below the tie the 17-digit rounding may still reach it. It moves the
  // scaled value by at most 0.5e-10 (17 digits of a number below 10^7), so
  // only a remainder within half >> 26 (2^-27 of a unit) needs the exact test.
  if (half - r - 1 < (half >> 26) && TieRoundsUp(i, half, r)) ++n;
  return true;
}

// Fw.d of a single-precision item in the common case (see ScaleSingle; at
// most 4 decimals, at most 16 columns), inline for the result-file lines.
// Returns false, writing nothing, where the general routine must do the work.
// Inlined where w and d are constants, its layout branches disappear.
__attribute__((always_inline)) inline bool FormatSingleFixedFast(char* out, float value, int w,
                                                                 int d) {
  using namespace fixed_detail;
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  uint64_t n;
  if (d > 4 || w > 16 || !ScaleSingle(bits, d, n)) return false;
  const bool minus = (bits >> 31) != 0 && n != 0;
  const bool zeroBeforePoint = d == 0 && n == 0;
  // The text is [-] integer digits (if any) . d decimals: it fits when the
  // columns left for integer digits, `room`, hold those of n / 10^d.
  const int room = w - 1 - d - (minus ? 1 : 0) - (zeroBeforePoint ? 1 : 0);
  if (room < 0 || (room + d < 19 && n >= kPow10[room + d])) {
    for (int c = 0; c < w; ++c) out[c] = '*';
    return true;
  }
  // Blanks first with fixed-size stores (w is 4..16 here, or shorter), then
  // the characters from the right. Nothing is read back from what was just
  // stored, so no store has to be forwarded to a wider load.
  static constexpr char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (w >= 8) {
    std::memcpy(out, kBlanks, 8);
    std::memcpy(out + w - 8, kBlanks, 8);
  } else if (w >= 4) {
    std::memcpy(out, kBlanks, 4);
    std::memcpy(out + w - 4, kBlanks, 4);
  } else {
    for (int c = 0; c < w; ++c) out[c] = ' ';
  }
  // n <= 10^7 here: 32-bit digit arithmetic (cheaper division by constants).
  ScaledText(out + w, static_cast<uint32_t>(n), d, zeroBeforePoint, minus);
  return true;
}

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
