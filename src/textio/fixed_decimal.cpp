#include "textio/fixed_decimal.hpp"

#include <cmath>
#include <cstring>

namespace hfd {
namespace fixed_detail {

const uint64_t kPow10[20] = {1ULL,
                             10ULL,
                             100ULL,
                             1000ULL,
                             10000ULL,
                             100000ULL,
                             1000000ULL,
                             10000000ULL,
                             100000000ULL,
                             1000000000ULL,
                             10000000000ULL,
                             100000000000ULL,
                             1000000000000ULL,
                             10000000000000ULL,
                             100000000000000ULL,
                             1000000000000000ULL,
                             10000000000000000ULL,
                             100000000000000000ULL,
                             1000000000000000000ULL,
                             10000000000000000000ULL};

const char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace fixed_detail

namespace {

using fixed_detail::kPow10;

using fixed_detail::DigitCount;

void Stars(char* out, int w) { std::memset(out, '*', static_cast<size_t>(w)); }

// Splits a finite positive double into m * 2^q with m an integer.
void Decompose(double v, uint64_t& m, int& q) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  int biased = static_cast<int>((bits >> 52) & 0x7FF);
  m = bits & ((1ULL << 52) - 1);
  if (biased == 0) {
    q = -1074;
  } else {
    m |= 1ULL << 52;
    q = biased - 1075;
  }
}

// A fixed-size unsigned big integer, enough for any double's integer part or
// its fraction scaled by 2^1074, times 10. Limbs from `top` up are zero, so
// the loops cover only the limbs in use.
struct Big {
  static constexpr int kLimbs = 40;
  uint32_t limb[kLimbs] = {};
  int top = 0;

  bool IsZero() const {
    for (int i = 0; i < top; ++i)
      if (limb[i]) return false;
    return true;
  }
  void Trim() {
    while (top > 0 && limb[top - 1] == 0) --top;
  }
  void ShiftLeft(int bits) {
    const int words = bits / 32, rest = bits % 32;
    top = top + words + 1 < kLimbs ? top + words + 1 : kLimbs;
    for (int i = top - 1; i >= 0; --i) {
      uint64_t v = 0;
      int src = i - words;
      if (src >= 0) v = static_cast<uint64_t>(limb[src]) << rest;
      if (rest && src - 1 >= 0) v |= static_cast<uint64_t>(limb[src - 1]) >> (32 - rest);
      limb[i] = static_cast<uint32_t>(v);
    }
  }
  void MulSmall(uint32_t f) {
    uint64_t carry = 0;
    for (int i = 0; i < top; ++i) {
      uint64_t v = static_cast<uint64_t>(limb[i]) * f + carry;
      limb[i] = static_cast<uint32_t>(v);
      carry = v >> 32;
    }
    if (carry && top < kLimbs) limb[top++] = static_cast<uint32_t>(carry);
  }
  uint32_t DivSmall(uint32_t div) {
    uint64_t rem = 0;
    for (int i = top - 1; i >= 0; --i) {
      uint64_t v = (rem << 32) | limb[i];
      limb[i] = static_cast<uint32_t>(v / div);
      rem = v % div;
    }
    Trim();
    return static_cast<uint32_t>(rem);
  }
  // Bits at and above position k (the integer part of this / 2^k), which must be < 10.
  uint32_t TakeAbove(int k) {
    int word = k / 32, bit = k % 32;
    uint64_t v = limb[word] >> bit;
    if (word + 1 < kLimbs && bit) v |= static_cast<uint64_t>(limb[word + 1]) << (32 - bit);
    // Clear everything from bit k upward.
    limb[word] &= bit ? ((1U << bit) - 1) : 0U;
    for (int i = word + 1; i < top; ++i) limb[i] = 0;
    if (top > word + 1) top = word + 1;
    return static_cast<uint32_t>(v & 0xF);
  }
};

}  // namespace

void FormatIntField(char* out, int64_t value, int w) {
  char buf[24];
  int n = 0;
  uint64_t mag = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    buf[n++] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag);
  if (value < 0) buf[n++] = '-';
  if (n > w) {
    Stars(out, w);
    return;
  }
  int pad = w - n;
  std::memset(out, ' ', static_cast<size_t>(pad));
  for (int i = 0; i < n; ++i) out[pad + i] = buf[n - 1 - i];
}

void fixed_detail::FormatExpanded(char* out, double value, bool single, int w, int d) {
  if (!std::isfinite(value) || w <= 0 || d < 0) {
    if (w > 0) Stars(out, w);
    return;
  }
  bool negative = std::signbit(value);
  // Kept digits K and the count of zeros written after them.
  uint64_t kept = 0;   // the kept significant digits, rounded
  int zerosAfter = 0;  // positions beyond the kept digits, down to the d-th decimal
  if (value != 0.0) {
    fixed_detail::Digits18 x = fixed_detail::ExactDigits18(value);
    int e = x.exponent;
    uint64_t r17 = x.digits / 10 + (x.digits % 10 >= 5 ? 1 : 0);
    if (r17 == kPow10[17]) {
      r17 = kPow10[16];
      ++e;
    }
    if (e >= -d) {
      int maxSig = single ? 7 : 16;
      int K = e + d < maxSig ? e + d : maxSig;
      int drop = 17 - K;
      uint64_t first = (r17 / kPow10[drop - 1]) % 10;
      kept = r17 / kPow10[drop] + (first >= 5 ? 1 : 0);
      // kept * 10^(e-K) is the rounded value (a carry out of the first digit
      // simply leaves kept with K+1 digits); times 10^d it is kept * 10^(e+d-K).
      zerosAfter = e + d - K;
    }
  }
  // Digit string of N = kept * 10^zerosAfter: the value times 10^d.
  char digs[1400];
  int nd = 0;
  if (kept != 0) {
    char rev[24];
    int nr = 0;
    for (uint64_t t = kept; t; t /= 10) rev[nr++] = static_cast<char>('0' + t % 10);
    if (nr + zerosAfter > static_cast<int>(sizeof digs) - 24) {
      Stars(out, w);
      return;
    }
    for (int i = nr - 1; i >= 0; --i) digs[nd++] = rev[i];
    for (int i = 0; i < zerosAfter; ++i) digs[nd++] = '0';
  }
  bool anyNonZero = kept != 0;
  int intDigits = nd > d ? nd - d : 0;
  bool zeroBeforePoint = (d == 0 && !anyNonZero);
  int need = (negative && anyNonZero ? 1 : 0) + intDigits + (zeroBeforePoint ? 1 : 0) + 1 + d;
  if (need > w) {
    Stars(out, w);
    return;
  }
  int pos = w - need;
  std::memset(out, ' ', static_cast<size_t>(pos));
  if (negative && anyNonZero) out[pos++] = '-';
  for (int i = 0; i < intDigits; ++i) out[pos++] = digs[i];
  if (zeroBeforePoint) out[pos++] = '0';
  out[pos++] = '.';
  // Fraction: the last d digits of N, zero-padded on the left.
  int fracAvail = nd - intDigits;
  for (int i = 0; i < d - fracAvail; ++i) out[pos++] = '0';
  for (int i = intDigits; i < nd; ++i) out[pos++] = digs[i];
}

namespace fixed_detail {

Digits18 ExactDigits18(double value) {
  uint64_t m;
  int q;
  Decompose(std::fabs(value), m, q);
  char digits[400];
  int n = 0;
  int exponent = 0;
  Big b;
  b.limb[0] = static_cast<uint32_t>(m);
  b.limb[1] = static_cast<uint32_t>(m >> 32);
  b.top = 2;
  int k = q < 0 ? -q : 0;
  if (q > 0) b.ShiftLeft(q);
  // Integer part: the bits above position k.
  Big ip = b;
  if (k > 0) {
    for (int i = 0; i < Big::kLimbs; ++i) {
      int src = i + k / 32;
      uint64_t v = src < Big::kLimbs ? ip.limb[src] >> (k % 32) : 0;
      if (k % 32 && src + 1 < Big::kLimbs)
        v |= static_cast<uint64_t>(ip.limb[src + 1]) << (32 - k % 32);
      ip.limb[i] = static_cast<uint32_t>(v);
    }
    ip.top = Big::kLimbs;
    ip.Trim();
  }
  char rev[400];
  int nrev = 0;
  while (!ip.IsZero()) rev[nrev++] = static_cast<char>('0' + ip.DivSmall(10));
  for (int i = nrev - 1; i >= 0 && n < 18; --i) digits[n++] = rev[i];
  exponent = nrev;
  if (k > 0) {
    Big frac = b;
    frac.TakeAbove(k);  // keep the fraction bits only
    bool leading = (nrev == 0);
    while (n < 18 && !frac.IsZero()) {
      frac.MulSmall(10);
      uint32_t dgt = frac.TakeAbove(k);
      if (leading && dgt == 0) {
        --exponent;
        continue;
      }
      leading = false;
      digits[n++] = static_cast<char>('0' + dgt);
    }
  }
  uint64_t d = 0;
  for (int i = 0; i < 18; ++i) d = d * 10 + (i < n ? static_cast<uint64_t>(digits[i] - '0') : 0);
  return {d, exponent};
}


bool TieRoundsUp(uint64_t i, unsigned __int128 half, unsigned __int128 r) {
  const uint64_t p = kPow10[17 - (i ? DigitCount(i) : 0)];
  unsigned __int128 product;
  return !__builtin_mul_overflow(half - r, static_cast<unsigned __int128>(p), &product) &&
         product <= half;
}

}  // namespace fixed_detail

}  // namespace hfd
