#include "textio/int_reader.hpp"

namespace hfd {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

const char* Describe(ReadError e) {
  switch (e) {
    case ReadError::None:
      return "no error";
    case ReadError::Interrupted:
      return "interrupted";
    case ReadError::Overflow:
      return "integer value out of range";
    case ReadError::BadChar:
      return "invalid character in an integer value";
    case ReadError::SecondHash:
      return "more than one # in an integer value";
    case ReadError::BadBase:
      return "base of an integer value not in the range 2 to 36";
    case ReadError::DeviceFailure:
      return "read failure on the device";
    case ReadError::EndOfInput:
      return "end of file";
    case ReadError::ZeroRepeat:
      return "zero repeat count";
    case ReadError::Quoted:
      return "character string where an integer was expected";
  }
  return "unknown error";
}

ReadError ParseIntegerValue(std::string_view t, int32_t& out) {
  size_t p = 0;
  bool negative = false;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) negative = t[p++] == '-';
  int base = 10;
  size_t hash = t.find('#', p);
  if (hash != std::string_view::npos) {
    if (t.find('#', hash + 1) != std::string_view::npos) return ReadError::SecondHash;
    if (hash == p) return ReadError::BadChar;
    long b = 0;
    for (size_t i = p; i < hash; ++i) {
      if (t[i] < '0' || t[i] > '9') return ReadError::BadChar;
      if (b < 1000) b = b * 10 + (t[i] - '0');
    }
    if (b < 2 || b > 36) return ReadError::BadBase;
    base = static_cast<int>(b);
    p = hash + 1;
  }
  if (p >= t.size()) return ReadError::BadChar;
  const uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
  uint64_t v = 0;
  bool overflow = false;
  for (; p < t.size(); ++p) {
    int dv = DigitValue(t[p]);
    if (dv >= base) return ReadError::BadChar;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(dv);
    if (v > limit) {
      overflow = true;
      v = limit;
    }
  }
  if (overflow) return ReadError::Overflow;
  out = negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
  return ReadError::None;
}

ListLine ParseListLine(std::string_view line, int32_t& target, ReadError& err) {
  err = ReadError::None;
  size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  if (p >= line.size()) return ListLine::Blank;
  if (line[p] == ',' || line[p] == '/') return ListLine::Null;
  size_t end = p;
  while (end < line.size() && !IsBlank(line[end]) && line[end] != ',' && line[end] != '/') ++end;
  std::string_view tok = line.substr(p, end - p);
  size_t star = tok.find('*');
  if (star != std::string_view::npos) {
    std::string_view count = tok.substr(0, star);
    int32_t n = 0;
    for (char c : count) {
      if (c < '0' || c > '9') {
        err = ReadError::BadChar;
        return ListLine::Error;
      }
    }
    if (!count.empty() && ParseIntegerValue(count, n) != ReadError::None) {
      err = ReadError::Overflow;
      return ListLine::Error;
    }
    if (count.empty()) {
      err = ReadError::BadChar;
      return ListLine::Error;
    }
    if (n == 0) {
      err = ReadError::ZeroRepeat;
      return ListLine::Error;
    }
    tok.remove_prefix(star + 1);
    if (tok.empty()) return ListLine::Null;  // "n*" alone: n null values
  }
  if (tok[0] == '\'' || tok[0] == '"') {
    err = ReadError::Quoted;
    return ListLine::Error;
  }
  int32_t v = 0;
  err = ParseIntegerValue(tok, v);
  if (err != ReadError::None) return ListLine::Error;
  target = v;
  return ListLine::Value;
}

ReadError ReadIntFields(std::string_view record, const int* widths, int count, int32_t* targets) {
  size_t pos = 0;
  bool ended = false;
  for (int f = 0; f < count; ++f) {
    char buf[64];
    size_t n = 0;
    if (!ended) {
      for (int taken = 0; taken < widths[f]; ++taken) {
        if (pos >= record.size()) {
          ended = true;
          break;
        }
        char c = record[pos++];
        if (c == ',') break;
        if (IsBlank(c)) continue;
        if (n < sizeof buf) buf[n++] = c;
      }
    }
    int32_t v = 0;
    if (n > 0) {
      ReadError e = ParseIntegerValue({buf, n}, v);
      if (e != ReadError::None) return e;
    }
    targets[f] = v;
  }
  return ReadError::None;
}

}  // namespace hfd
