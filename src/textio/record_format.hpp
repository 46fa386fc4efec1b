// Record formats turned into code by the C++ compiler, for the lines written
// most often. The format is compiled into a constexpr FormatPlan; the steps of
// a write of its item count (by default, once through the format) must be
// fields of fixed width in a single record (I, F, Aw; a build error
// otherwise), and Write lays the record out with every
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

// The layout of a record written with `Count` items (by default, once
// through the format) for those who read it back: each field's column, width
// and decimals, and the record's length. X and T moves are followed.
//
//   using L = RecordLayout<kSpectrumBinLine>;
//   ParseF(t + L::Column(2), L::Width(2), L::Decimals(2), x);  // the third field
template <FormatText S, int Count = -1>
struct RecordLayout {
  static constexpr FormatPlan kPlan{S.view()};
  static constexpr int kFields = Count < 0 ? kPlan.OnePassItems() : Count;
  struct Field {
    FormatPlan::Step step;
    int column;
  };

 private:
  struct Fields {
    Field f[kFields > 0 ? kFields : 1] = {};
    int length = 0;      // the record's characters
    bool fixed = true;   // every field of a fixed width, in one record
  };
  static constexpr Fields kList = [] {
    using Op = FormatPlan::Op;
    Fields out;
    const auto walk = kPlan.StepsOf(kFields);
    int col = 0, n = 0;
    for (const FormatPlan::Step& st : walk.view()) {
      if (st.op == Op::Skip) col += st.w;
      if (st.op == Op::Tab) col = st.w - 1;
      if (st.op == Op::Slash || (st.op == Op::End && st.noAdvance)) out.fixed = false;
      if (st.op != Op::Int && st.op != Op::Fixed && st.op != Op::Chars) continue;
      if (st.w < 1) out.fixed = false;
      out.f[n++] = {st, col};
      col += st.w;
      if (col > out.length) out.length = col;
    }
    if (walk.n == 0 || n != kFields) out.fixed = false;
    return out;
  }();
  static_assert(kList.fixed, "a record layout takes fields of fixed width, in one ended record");

 public:
  static constexpr const Field& At(int i) { return kList.f[i]; }
  static constexpr int Column(int i) { return At(i).column; }
  static constexpr int Width(int i) { return At(i).step.w; }
  static constexpr int Decimals(int i) { return At(i).step.d; }
  static constexpr int kLength = kList.length;
};

// Writes records of `Count` items (by default, once through the format);
// another count is written by the plan itself.
template <FormatText S, int Count = -1>
class RecordFormat {
  using Op = FormatPlan::Op;
  static constexpr FormatPlan kPlan{S.view()};
  static constexpr int kCount = Count < 0 ? kPlan.OnePassItems() : Count;
  static constexpr auto kWalk = kPlan.StepsOf(kCount);
  static constexpr auto kSteps = kWalk.view();
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
