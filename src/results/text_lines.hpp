// Internal to the result-file reader: a whole file mapped into memory (or
// bytes already there), split into lines, and the fixed-column field parsers
// for its I and F fields.
//
//   MappedFile f(path);              // throws ReadError
//   Line l; while (f.Next(l)) { int v; if (!ParseI(l.text + 0, 5, v)) ... }
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "results/result_files.hpp"

namespace hfd::results::detail {

struct Line {
  const char* text;
  size_t size;    // without the line end (LF or CR LF)
  bool ended;     // false for a last line without its LF
  long number;    // 1-based
};

class MappedFile {
 public:
  explicit MappedFile(const std::string& path);  // throws ReadError (line 0)
  // The bytes as they stand (not copied); `path` names them in errors.
  MappedFile(std::string_view bytes, const std::string& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  size_t size() const { return size_; }
  bool AtEnd() const { return pos_ == size_; }
  const char* Begin() const { return data_; }
  const char* Here() const { return data_ + pos_; }  // where the next line starts
  // Goes to a line start at `offset` (at most size()), which is line
  // `lines_before` + 1.
  void Seek(size_t offset, long lines_before) {
    pos_ = offset < size_ ? offset : size_;
    line_ = lines_before;
    if (released_ > pos_) released_ = pos_ - pos_ % kPageGuess;
  }

  bool Next(Line& l) {
    if (pos_ == size_) return false;
    if (pos_ - released_ >= kReleaseBytes) Release();
    const char* p = data_ + pos_;
    const size_t left = size_ - pos_;
    const auto* nl = static_cast<const char*>(std::memchr(p, '\n', left));
    l.text = p;
    l.number = ++line_;
    if (nl == nullptr) {
      l.size = left;
      l.ended = false;
      pos_ = size_;
    } else {
      l.size = static_cast<size_t>(nl - p);
      l.ended = true;
      pos_ += l.size + 1;
      if (l.size > 0 && p[l.size - 1] == '\r') --l.size;
    }
    return true;
  }

 private:
  // Pages already read are given back every so often, so a large file never
  // occupies more than a few megabytes (they read in again if touched).
  static constexpr size_t kReleaseBytes = size_t{4} << 20;
  static constexpr size_t kPageGuess = 4096;
  void Release();

  const char* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  size_t released_ = 0;  // pages before this offset are given back
  long line_ = 0;
  bool mapped_ = false;
};

inline constexpr double kPow10[] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// An Iw field: leading blanks, an optional minus sign, at least one digit.
inline bool ParseI(const char* f, int w, int32_t& v) {
  int i = 0;
  while (i < w && f[i] == ' ') ++i;
  bool neg = false;
  if (i < w && f[i] == '-') neg = true, ++i;
  if (i == w) return false;
  int32_t m = 0;
  for (; i < w; ++i) {
    const unsigned c = static_cast<unsigned char>(f[i]) - '0';
    if (c > 9) return false;
    m = m * 10 + static_cast<int32_t>(c);
  }
  v = neg ? -m : m;
  return true;
}

// An Fw.d field as the fixed-field writer leaves it: leading blanks, an
// optional minus sign, integer digits (none when the integer part is zero),
// the point at column w - d, d decimals; or w asterisks, read as NaN. The
// value is the decimal text correctly rounded to double (and, converted to
// float by the caller, to single: the quotient of two exact doubles).
inline bool ParseF(const char* f, int w, int d, double& v) {
  if (f[0] == '*') {
    for (int i = 1; i < w; ++i)
      if (f[i] != '*') return false;
    v = std::nan("");
    return true;
  }
  const int point = w - d - 1;
  if (f[point] != '.') return false;
  int i = 0;
  while (i < point && f[i] == ' ') ++i;
  bool neg = false;
  if (i < point && f[i] == '-') neg = true, ++i;
  int64_t m = 0;
  for (; i < point; ++i) {
    const unsigned c = static_cast<unsigned char>(f[i]) - '0';
    if (c > 9) return false;
    m = m * 10 + c;
  }
  for (i = point + 1; i < w; ++i) {
    const unsigned c = static_cast<unsigned char>(f[i]) - '0';
    if (c > 9) return false;
    m = m * 10 + c;
  }
  v = static_cast<double>(neg ? -m : m) / kPow10[d];
  return true;
}

inline bool ParseF(const char* f, int w, int d, float& v) {
  double x;
  if (!ParseF(f, w, d, x)) return false;
  v = static_cast<float>(x);
  return true;
}

// Separator `c` at every one of the given columns.
template <size_t K>
inline bool SeparatorsAt(const char* t, const int (&cols)[K], char c) {
  for (int col : cols)
    if (t[col] != c) return false;
  return true;
}

// "200805010000SGD.max" -> "SGD": the three letters after the twelve digits
// of the analyser's result-file name, or empty.
std::string StationCodeOf(const std::string& path);

// A block time stamp with its fields in range (hour not reduced modulo 24).
inline bool StampInRange(int32_t mo, int32_t d, int32_t h, int32_t mi, int32_t s) {
  return mo >= 1 && mo <= 12 && d >= 1 && d <= 99 && h >= 0 && mi >= 0 && mi <= 59 && s >= 0 &&
         s <= 59;
}

// Block times that ISO 8601 writes with a four-digit year in UTC and in JST:
// from 0000-01-01T00:00Z to before 10000-01-01T00:00+09:00.
inline bool TimeInRange(int64_t utc_ms) {
  return utc_ms >= -62167219200000 && utc_ms < 253402300800000 - kJstOffsetMs;
}

}  // namespace hfd::results::detail
