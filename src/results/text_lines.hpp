// Internal to the result-file reader: a file read line by line through a
// window of memory (or bytes already there), and the fixed-column field
// parsers for its I and F fields.
//
//   TextFile f(path);                // throws ReadError
//   Line l; while (f.Next(l)) { int v; if (!ParseI(l.text + 0, 5, v)) ... }
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_files.hpp"

namespace hfd::results::detail {

struct Line {
  const char* text;  // valid until the next call of Next()
  size_t size;       // without the line end (LF or CR LF)
  bool ended;        // false for a last line without its LF
  long number;       // 1-based
};

// The bytes of a regular file as they were when it was opened: a file that
// grows meanwhile is read to that size, one that shrinks is a ReadError. A
// FIFO or device is refused without waiting for a writer. Memory stays one
// window, whatever the file's size.
class TextFile {
 public:
  explicit TextFile(const std::string& path);  // throws ReadError (line 0)
  // The bytes as they stand (not copied); `path` names them in errors.
  TextFile(std::string_view bytes, const std::string& path);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  size_t size() const { return size_; }
  size_t Offset() const { return start_ + pos_; }  // where the next line starts
  // Goes to a line start at `offset` (at most size()), which is line
  // `lines_before` + 1.
  void Seek(size_t offset, long lines_before);

  // The next line; throws ReadError when the file changed or a line is
  // longer than the window (no result file has such a line).
  bool Next(Line& l) {
    const char* p = data_ + pos_;
    const auto* nl = static_cast<const char*>(std::memchr(p, '\n', end_ - pos_));
    if (nl == nullptr) return NextAfterRead(l);
    l.text = p;
    l.number = ++line_;
    l.size = static_cast<size_t>(nl - p);
    l.ended = true;
    pos_ += l.size + 1;
    if (l.size > 0 && p[l.size - 1] == '\r') --l.size;
    return true;
  }

  static constexpr size_t kWindow = size_t{1} << 20;
  static constexpr size_t kSeekChunk = 4096;

 private:
  bool NextAfterRead(Line& l);

  std::string path_;
  std::vector<char> window_;
  const char* data_ = nullptr;  // the window, or the bytes given
  size_t start_ = 0;            // the file offset of data_[0]
  size_t pos_ = 0, end_ = 0;    // the unread part of data_
  size_t size_ = 0;             // the file's size when opened
  size_t read_ = 0;             // the file offset of data_[end_]
  size_t chunk_ = kWindow;      // bytes read at once: small after a seek, growing
  long line_ = 0;
  int fd_ = -1;
};

// Could a last line without its line end (`l`) be a line of `most`
// characters cut short? Result lines hold digits, blanks, tabs and . , - *
// only (a header line is never left incomplete).
inline bool CouldBeCut(const Line& l, size_t most) {
  return l.size <= most && std::string_view(l.text, l.size).find_first_not_of("0123456789 \t.,-*") ==
                               std::string_view::npos;
}

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

// Field i of a record layout L (RecordLayout) as an integer or a fixed-point number.
template <class L>
bool IntField(const char* t, int i, int32_t& v) {
  return ParseI(t + L::Column(i), L::Width(i), v);
}
template <class L, class T>
bool FixedField(const char* t, int i, T& v) {
  return ParseF(t + L::Column(i), L::Width(i), L::Decimals(i), v);
}

// Field i of a record layout L holding exactly `text`.
template <class L>
bool TextField(const char* t, int i, std::string_view text) {
  return std::string_view(t + L::Column(i), static_cast<size_t>(L::Width(i))) == text;
}

// Separator `c` at every one of the given columns.
template <size_t K>
inline bool SeparatorsAt(const char* t, const int (&cols)[K], char c) {
  for (int col : cols)
    if (t[col] != c) return false;
  return true;
}

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
