// Record formats compiled by the C++ compiler, for the lines written most
// often. A format string made of fields only (I, F and A with widths, repeat
// counts, nested groups) becomes a fixed list of fields at compile time, and
// Write lays out one record with every field's column, width and decimals as
// constants, so no field costs a dispatch. It writes exactly what FormatPlan
// writes for the same format and items; an item list of another length is
// handed to a FormatPlan of the same format.
//
//   static constexpr RecordFormat<"(f6.3,2(a1,f10.3,a1,f7.1))"> kLine;
//   kLine.Write(sink, {f, "\t", a1, "\t", p1, "\t", a2, "\t", p2});
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "textio/fixed_decimal.hpp"
#include "textio/format.hpp"

namespace hfd {

// A string literal usable as a template argument.
template <size_t N>
struct FormatText {
  char text[N] = {};
  constexpr FormatText(const char (&s)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = s[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
};

namespace record_format_detail {

struct Field {
  char kind;  // 'i', 'f' or 'a'
  int w;
  int d;
};

// A format this compile-time path does not take stops the compilation here.
inline void Unsupported(const char*) {}

constexpr int Number(std::string_view s, size_t& pos) {
  int v = -1;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    v = (v < 0 ? 0 : v * 10) + (s[pos] - '0');
    ++pos;
  }
  return v;
}

constexpr char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Expands the group starting at s[pos] == '(' into out[n...] (counts only
// when out is null).
constexpr void ExpandGroup(std::string_view s, size_t& pos, Field* out, int& n) {
  if (pos >= s.size() || s[pos] != '(') Unsupported("a group must start with (");
  ++pos;
  for (;;) {
    int repeat = Number(s, pos);
    if (repeat == 0) Unsupported("repeat count 0");
    if (repeat < 0) repeat = 1;
    if (pos >= s.size()) Unsupported("unterminated format");
    const char c = Lower(s[pos]);
    if (c == '(') {
      const size_t start = pos;
      for (int r = 0; r < repeat; ++r) {
        pos = start;
        ExpandGroup(s, pos, out, n);
      }
    } else if (c == 'i' || c == 'f' || c == 'a') {
      ++pos;
      const int w = Number(s, pos);
      if (w < 1) Unsupported("a field needs a width");
      int d = 0;
      if (c == 'f') {
        if (pos >= s.size() || s[pos] != '.') Unsupported("F needs decimals");
        ++pos;
        d = Number(s, pos);
        if (d < 0) Unsupported("F needs decimals");
      }
      for (int r = 0; r < repeat; ++r) {
        if (out) out[n] = {c, w, d};
        ++n;
      }
    } else {
      Unsupported("only I, F and A fields");
    }
    if (pos >= s.size()) Unsupported("unterminated format");
    if (s[pos] == ',') {
      ++pos;
    } else if (s[pos] == ')') {
      ++pos;
      return;
    } else {
      Unsupported("fields are separated by commas");
    }
  }
}

constexpr int CountFields(std::string_view s) {
  size_t pos = 0;
  int n = 0;
  ExpandGroup(s, pos, nullptr, n);
  if (pos != s.size()) Unsupported("text after the format");
  return n;
}

template <size_t Count>
constexpr std::array<Field, Count> ExpandFields(std::string_view s) {
  std::array<Field, Count> fields{};
  size_t pos = 0;
  int n = 0;
  ExpandGroup(s, pos, fields.data(), n);
  return fields;
}

}  // namespace record_format_detail

template <FormatText S>
class RecordFormat {
  using Field = record_format_detail::Field;
  static constexpr auto kFields =
      record_format_detail::ExpandFields<static_cast<size_t>(record_format_detail::CountFields(S.view()))>(
          S.view());
  static constexpr int kWidth = [] {
    int w = 0;
    for (const Field& f : kFields) w += f.w;
    return w;
  }();
  static_assert(kWidth <= kMaxRecord, "record longer than the formatter's limit");

 public:
  void Write(RecordSink& sink, Items items) const {
    Write(sink, items.begin(), static_cast<int>(items.size()));
  }
  void Write(RecordSink& sink, const Item* items, int count) const {
    if (count != static_cast<int>(kFields.size())) {
      static const FormatPlan plan(S.view());
      plan.Write(sink, items, count);
      return;
    }
    char record[kWidth];
    [&]<size_t... I>(std::index_sequence<I...>) {
      (Put<I>(record, items[I]), ...);
    }(std::make_index_sequence<kFields.size()>{});
    sink.PutRecord({record, static_cast<size_t>(kWidth)}, true);
  }

 private:
  template <size_t I>
  static constexpr int kColumn = [] {
    int c = 0;
    for (size_t j = 0; j < I; ++j) c += kFields[j].w;
    return c;
  }();

  template <size_t I>
  static void Put(char* record, const Item& it) {
    constexpr Field f = kFields[I];
    char* const out = record + kColumn<I>;
    if constexpr (f.kind == 'f') {
      if (it.kind == Item::Kind::Single && FormatSingleFixedFast(out, it.f, f.w, f.d)) return;
    } else if constexpr (f.kind == 'i') {
      if (it.kind == Item::Kind::Int) {
        FormatIntField(out, it.i, f.w);
        return;
      }
    } else if constexpr (f.w == 1) {
      if (it.kind == Item::Kind::Text && it.t.n == 1) {
        *out = *it.t.p;
        return;
      }
    }
    FormatOneField(out, f.kind, f.w, f.d, it);
  }
};

}  // namespace hfd
