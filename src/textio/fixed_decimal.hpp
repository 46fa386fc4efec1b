// Fixed-width numeric fields: Iw and Fw.d editing.
//
// Fw.d rounds the exact binary value to 17 significant decimal digits (half
// up), keeps at most 7 (float item) or 16 (double item) significant digits,
// rounds again half away from zero, and lays the number out without a leading
// zero ("  .500"). A value that does not fit is w asterisks.
//
//   char f[10]; FormatFixedField(f, 12.25f, 10, 3);  // "    12.250"
//   char i[5];  FormatIntField(i, -5, 5);             // "   -5"
//
// FormatFixedField is inline so that a field of constant width and decimals
// costs no layout branches. Values of ordinary size with at most 9 decimals
// are scaled exactly by integer arithmetic; the rest (huge, many decimals,
// not finite) go through the full decimal expansion.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace hfd {

// Writes exactly w characters to out.
void FormatIntField(char* out, int64_t value, int w);
template <class T>
void FormatFixedField(char* out, T value, int w, int d);

namespace fixed_detail {

extern const uint64_t kPow10[20];
extern const char kDigitPairs[201];

// Decimal digits of v (1 for 0).
inline int DigitCount(uint64_t v) {
  const int bits = 64 - __builtin_clzll(v | 1);
  const int guess = (bits * 1233) >> 12;  // floor(bits * log10(2))
  return guess + (v >= kPow10[guess] ? 1 : 0);
}

// The field by the full decimal expansion of the value (exact for every
// double): what the scaled shortcut below must always agree with.
void FormatExpanded(char* out, double value, bool single, int w, int d);

// The first 18 significant decimal digits of |value| (> 0, finite), truncated,
// as an integer in [1e17, 1e18), and the exponent e with
// |value| = 0.d1d2d3... * 10^e.
struct Digits18 {
  uint64_t digits;
  int exponent;
};
Digits18 ExactDigits18(double value);

// Whether value * 10^d, split into the integer part i and a remainder
// r / 2^k (half = 2^(k-1)) just below one half, still rounds up: the field's
// first rounding (17 significant digits, half up) reaches the tie exactly when
// (half - r) * 10^(17 - K) <= half, K being the digits of i.
bool TieRoundsUp(uint64_t i, unsigned __int128 half, unsigned __int128 r);

// The scaled value n (|value| * 10^d, rounded as the field rounds it) of a
// value m / 2^k (1 <= k < the bits of U) with at most 9 decimals: the integer
// part i and the remainder r / 2^k of m * 10^d / 2^k; n is i + 1 exactly when
// r >= half, or r lies just below half by no more than the 17-digit rounding
// can make up. False when i has more digits than the item keeps (`kept`).
template <class U>
__attribute__((always_inline)) inline bool ScaleExact(U m, int k, int d, int kept, uint64_t& n) {
  const U scaled = m * static_cast<U>(kPow10[d]);
  if ((scaled >> k) >= kPow10[kept]) return false;
  const U half = static_cast<U>(1) << (k - 1);
  // Up at or above the tie by adding half before the shift: which side of the
  // tie a value lies on is as good as random, so it must not become a branch
  // (a comparison of r with half lets the compiler split the paths on it).
  n = static_cast<uint64_t>((scaled + half) >> k);
  // Below the tie by at most half / 10^(17 - kept) the 17-digit rounding may
  // still reach it (2^shift is at most that power of ten): one unsigned range
  // test, r in [half - near, half), rarely true. n is i there.
  const int shift = (17 - kept) * 3321 / 1000;
  const U near = half >> shift;
  const U r = scaled & ((half << 1) - 1);
  if (r - (half - near) < near && TieRoundsUp(n, half, r)) ++n;
  return true;
}

// The text of an F field's scaled value n, written backwards so that it ends
// just before `end`: d decimals, the point, the integer digits (none when
// zero, or a lone 0 when zeroBeforePoint), the sign.
template <class U>
__attribute__((always_inline)) inline void ScaledText(char* end, U n, int d, bool zeroBeforePoint,
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
  // The leading odd digit and the sign without branches on the value (whether
  // a phase has three integer digits, and its sign, are as good as random):
  // c goes to p - 1 when `put`, else the character at p is stored back, with
  // a mask rather than a select the compiler could turn into a branch.
  const auto putIf = [](char* at, bool put, char c) {
    const auto keep = static_cast<unsigned char>(*at);
    const auto mask = static_cast<unsigned char>(0U - static_cast<unsigned>(put));
    at -= put ? 1 : 0;
    *at = static_cast<char>(keep ^ ((keep ^ static_cast<unsigned char>(c)) & mask));
    return at;
  };
  p = putIf(p, n != 0, static_cast<char>('0' + n));
  putIf(p, minus, '-');
}

}  // namespace fixed_detail

// Fw.d of a float item (7 significant digits kept) or a double item (16).
template <class T>
__attribute__((always_inline)) inline void FormatFixedField(char* out, T value, int w, int d) {
  static_assert(std::is_same_v<T, float> || std::is_same_v<T, double>);
  using namespace fixed_detail;
  constexpr bool kSingle = std::is_same_v<T, float>;
  // Float items: 64-bit arithmetic (a 24-bit mantissa times 10^9 fits);
  // double items: 128-bit.
  using U = std::conditional_t<kSingle, uint64_t, unsigned __int128>;
  using Bits = std::conditional_t<kSingle, uint32_t, uint64_t>;
  constexpr int kMantissa = kSingle ? 23 : 52;
  constexpr int kBias = kSingle ? 127 : 1023;
  const auto bits = std::bit_cast<Bits>(value);
  const int biased = static_cast<int>(bits >> kMantissa) & (2 * kBias + 1);
  const int k = kBias + kMantissa - biased;  // |value| = m / 2^k
  const U m = (bits & ((Bits{1} << kMantissa) - 1)) | (Bits{1} << kMantissa);
  // Zeros, subnormals and values too small to reach the d-th decimal (k
  // beyond the bits of U) round to zero. Values beyond the mantissa's
  // integers or with more digits than the item keeps, many decimals,
  // infinities and NaNs take the full expansion.
  uint64_t n = 0;
  if (w < 1 || d < 0 || d > 9 || k < 1 ||
      (k < static_cast<int>(8 * sizeof(U)) && !ScaleExact<U>(m, k, d, kSingle ? 7 : 16, n))) {
    FormatExpanded(out, value, kSingle, w, d);
    return;
  }
  const bool minus = n != 0 && (bits >> (8 * sizeof(Bits) - 1)) != 0;
  const bool zeroBeforePoint = d == 0 && n == 0;
  // The text is [-] integer digits (if any) . d decimals: it fits when the
  // columns left for integer digits, `room`, hold those of n / 10^d.
  const int room = w - 1 - d - (minus ? 1 : 0) - (zeroBeforePoint ? 1 : 0);
  if (room < 0 || (room + d < 19 && n >= kPow10[room + d])) {
    std::memset(out, '*', static_cast<size_t>(w));
    return;
  }
  // Blanks first with fixed-size stores, then the characters from the right.
  // Nothing is read back from what was just stored, so no store has to be
  // forwarded to a wider load.
  static constexpr char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (w >= 8 && w <= 16) {
    std::memcpy(out, kBlanks, 8);
    std::memcpy(out + w - 8, kBlanks, 8);
  } else if (w >= 4 && w < 8) {
    std::memcpy(out, kBlanks, 4);
    std::memcpy(out + w - 4, kBlanks, 4);
  } else {
    std::memset(out, ' ', static_cast<size_t>(w));
  }
  // A float item's n is at most 10^7: 32-bit digit arithmetic (cheaper
  // division by constants).
  if constexpr (kSingle)
    ScaledText(out + w, static_cast<uint32_t>(n), d, zeroBeforePoint, minus);
  else
    ScaledText(out + w, n, d, zeroBeforePoint, minus);
}

}  // namespace hfd
