// Record formats turned into code by the C++ compiler, for the lines written
// most often. The format is compiled into a constexpr FormatPlan; the steps of
// its one-pass write must be fields of fixed width in a single record (I, F,
// Aw; a build error otherwise), and Write lays the record out with every
// field's column, width and decimals as constants, so no field costs a
// dispatch. An item list of another length is written by the plan itself.
//
//   static constexpr RecordFormat<"(f6.3,2(a1,f10.3,a1,f7.1))"> kLine;
//   kLine.Write(sink, {f, "\t", a1, "\t", p1, "\t", a2, "\t", p2});
#pragma once

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

// The layout of a format's records for those who read them back: each
// field's column, width and decimals, and the record's length.
//
//   using L = RecordLayout<kSpectrumBinLine>;
//   ParseF(t + L::Column(2), L::Width(2), L::Decimals(2), x);  // the third field
template <FormatText S>
struct RecordLayout {
  static constexpr FormatPlan kPlan{S.view()};
  static constexpr auto kSteps = kPlan.OnePassSteps();
  static constexpr int kFields = kPlan.OnePassItems();
  static constexpr int Column(int i) {
    int c = 0;
    for (int j = 0; j < i; ++j) c += kSteps[static_cast<size_t>(j)].w;
    return c;
  }
  static constexpr int Width(int i) { return kSteps[static_cast<size_t>(i)].w; }
  static constexpr int Decimals(int i) { return kSteps[static_cast<size_t>(i)].d; }
  static constexpr int kLength = Column(kFields);
};

template <FormatText S>
class RecordFormat {
  using Op = FormatPlan::Op;
  static constexpr FormatPlan kPlan{S.view()};
  static constexpr auto kSteps = kPlan.OnePassSteps();
  static constexpr int kCount = kPlan.OnePassItems();
  static_assert(kSteps.size() == static_cast<size_t>(kCount) + 1,
                "a compiled record format takes fields only");
  static constexpr int kWidth = [] {
    int w = 0;
    for (int i = 0; i < kCount; ++i) w += kSteps[i].w;
    return w;
  }();
  static_assert([] {
    for (int i = 0; i < kCount; ++i)
      if (kSteps[i].w < 1) return false;
    return !kSteps[kCount].noAdvance;
  }(), "a compiled record format takes fields of fixed width, in one record");
  static_assert(kWidth <= kMaxRecord, "record longer than the formatter's limit");

 public:
  void Write(RecordSink& sink, Items items) const {
    Write(sink, items.begin(), static_cast<int>(items.size()));
  }
  void Write(RecordSink& sink, const Item* items, int count) const {
    if (count != kCount) {
      kPlan.Write(sink, items, count);
      return;
    }
    char record[kWidth];
    [&]<size_t... I>(std::index_sequence<I...>) {
      (Put<I>(record, items[I]), ...);
    }(std::make_index_sequence<kCount>{});
    sink.PutRecord({record, static_cast<size_t>(kWidth)}, true);
  }

 private:
  template <size_t I>
  static constexpr int kColumn = [] {
    int c = 0;
    for (size_t j = 0; j < I; ++j) c += kSteps[j].w;
    return c;
  }();

  template <size_t I>
  __attribute__((always_inline)) static void Put(char* record, const Item& it) {
    constexpr FormatPlan::Step f = kSteps[I];
    char* const out = record + kColumn<I>;
    if constexpr (f.op == Op::Fixed) {
      if (it.kind == Item::Kind::Single) return FormatFixedField(out, it.f, f.w, f.d);
      if (it.kind == Item::Kind::Double) return FormatFixedField(out, it.d, f.w, f.d);
    } else if constexpr (f.op == Op::Int) {
      if (it.kind == Item::Kind::Int) return FormatIntField(out, it.i, f.w);
    } else if constexpr (f.w == 1) {
      if (it.kind == Item::Kind::Text && it.t.n == 1) {
        *out = *it.t.p;
        return;
      }
    }
    FormatOneField(out, f.op, f.w, f.d, it);
  }
};

}  // namespace hfd
