// The record formatter: every console line and result-file line is built here.
//
// A format string such as "(f6.3,2(a1,f10.3,a1,f7.1))" is compiled into a
// FormatPlan, at run time or, for a constexpr plan, by the C++ compiler (an
// unusable format then fails the build). Each Write walks the plan with an
// item list and hands finished records to a RecordSink (console, text file or
// an internal character record).
//
//   static constexpr FormatPlan kLine("(i5,a1,i4)");
//   kLine.Write(sink, {k, "\t", year});
//
// The walk for the item count of one pass through the format is flattened
// when the plan is made, so the usual write replays a straight list of steps.
// RecordFormat (record_format.hpp) turns that list into code with constant
// columns and widths for the lines written at every block and bin.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace hfd {

// One value handed to a write, in order.
struct Item {
  enum class Kind : uint8_t { Int, Single, Double, Text };
  Kind kind;
  union {
    int32_t i;
    float f;
    double d;
    struct {
      const char* p;
      size_t n;
    } t;
  };

  Item(int32_t v) : kind(Kind::Int), i(v) {}
  Item(float v) : kind(Kind::Single), f(v) {}
  Item(double v) : kind(Kind::Double), d(v) {}
  Item(std::string_view v) : kind(Kind::Text), t{v.data(), v.size()} {}
  Item(const char* v) : Item(std::string_view(v)) {}
  std::string_view text() const { return {t.p, t.n}; }
};
using Items = std::initializer_list<Item>;

// Receives the records of a write. `advance` is false only for the last
// record of a write whose format ended with the no-advance descriptor.
class RecordSink {
 public:
  virtual void PutRecord(std::string_view record, bool advance) = 0;

 protected:
  ~RecordSink() = default;
};

// Longest record the formatter builds; characters beyond it are dropped.
constexpr int kMaxRecord = 4096;
// Widest field, X move or T column a format may ask for.
constexpr int kMaxFieldWidth = 1000;
// Steps one walk may take (a guard against formats whose nested repeat
// counts would run practically forever).
constexpr long kMaxWalkSteps = 1L << 20;

[[noreturn]] void AbortOnFormat(std::string_view format, const char* why);

class FormatPlan {
 public:
  enum class Op : uint8_t { Int, Fixed, Chars, Skip, Tab, Slash, NoAdvance, Open, Close, End };
  // One descriptor of the compiled format.
  struct Node {
    Op op;
    int16_t w;       // field width (-1 for A without width); X count; T column
    int16_t d;       // decimals for F
    int16_t repeat;  // for Open: group repeat count
  };
  // One step of a walk: a field (Int, Fixed, Chars) taking the next item, a
  // move (Skip, Tab), the end of a record (Slash) or of the write (End).
  struct Step {
    Op op;
    bool noAdvance;  // End: the last record stays open
    int16_t w, d;
  };
  static constexpr int kMaxNodes = 64;
  static constexpr int kMaxSteps = 96;

  // Compiles the format. An unusable format string is a programming error in
  // this program: a build error for a constexpr plan, else an abort naming it.
  constexpr explicit FormatPlan(std::string_view format) {
    if (const char* why = Compile(format)) AbortOnFormat(format, why);
  }
  // Compiles a format that may be unusable: false (and `why`) instead of abort.
  static bool TryCompile(std::string_view format, FormatPlan& out, const char** why) {
    out = FormatPlan();
    *why = out.Compile(format);
    return *why == nullptr;
  }
  constexpr FormatPlan() = default;

  void Write(RecordSink& sink, Items items) const {
    Write(sink, items.begin(), static_cast<int>(items.size()));
  }
  void Write(RecordSink& sink, const Item* items, int count) const;

  // The widths of the I descriptors in the order a read meets them, repeat
  // counts and groups expanded (one pass, no reversion). Returns the count.
  constexpr int IntWidths(int* widths, int max) const {
    struct Collect : Visitor {
      int* widths;
      int max;
      int n = 0;
      constexpr void Take(const Node& nd) {
        if (nd.op == Op::Int && n < max) widths[n++] = nd.w;
      }
    } c;
    c.widths = widths;
    c.max = max;
    Walk(kOnePass, c);
    return c.n;
  }

  // The steps of a write of OnePassItems() items (ending with End), or none
  // when that walk is longer than kMaxSteps.
  constexpr std::span<const Step> OnePassSteps() const {
    return {steps_, static_cast<size_t>(stepCount_)};
  }
  constexpr int OnePassItems() const { return onePassItems_; }

  // The steps of a write of `count` items, ending with End (none when the
  // walk is longer than kMaxSteps): OnePassSteps() for another count, such as
  // a line that stops inside a repeated group.
  struct StepList {
    Step steps[kMaxSteps] = {};
    int n = 0;
    constexpr std::span<const Step> view() const { return {steps, static_cast<size_t>(n)}; }
  };
  constexpr StepList StepsOf(int count) const;

 private:
  // A walk reports, in order: Take(node) for each data descriptor that takes
  // an item, Skip(n), Tab(column), Slash() for every record ended inside the
  // walk (a slash or a reversion), and finally Finish(noAdvance).
  struct Visitor {
    constexpr void Take(const Node&) {}
    constexpr void Skip(int) {}
    constexpr void Tab(int) {}
    constexpr void Slash() {}
    constexpr void Finish(bool) {}
  };
  // A walk's count that means: once through the format, taking every data
  // descriptor, without reversion.
  static constexpr int kOnePass = -1;

  template <class V>
  constexpr void Walk(int count, V& v) const;
  constexpr const char* Compile(std::string_view format);
  constexpr void Flatten();

  Node nodes_[kMaxNodes] = {};
  int count_ = 0;
  int reversion_ = 0;  // node index where format reversion resumes
  Step steps_[kMaxSteps] = {};
  int stepCount_ = 0;
  int onePassItems_ = 0;
};

// One field of width w (>= 1) by the formatter's rules: op Int (Iw), Fixed
// (Fw.d) or Chars (Aw), the item of any kind (a mismatch gives asterisks).
void FormatOneField(char* out, FormatPlan::Op op, int w, int d, const Item& item);

// List-directed write: one record starting with a blank; integers in 11
// columns (12 after another number); text exactly as given.
void WriteList(RecordSink& sink, Items items);
void WriteList(RecordSink& sink, const Item* items, int count);

// ---------------------------------------------------------------------------
// The format compiler and the walk, usable by the C++ compiler.

constexpr const char* FormatPlan::Compile(std::string_view format) {
  count_ = 0;
  reversion_ = 0;
  size_t p = 0;
  const auto digit = [&] { return p < format.size() && format[p] >= '0' && format[p] <= '9'; };
  const auto skipBlanks = [&] {
    while (p < format.size() && (format[p] == ' ' || format[p] == '\t')) ++p;
  };
  bool tooLarge = false;
  const auto number = [&](int& out) {
    if (!digit()) return false;
    int v = 0;
    while (digit()) {
      v = v * 10 + (format[p++] - '0');
      if (v > kMaxFieldWidth) tooLarge = true, v = kMaxFieldWidth;
    }
    out = v;
    return true;
  };
  bool full = false;
  const auto add = [&](Node nd) {
    if (count_ >= kMaxNodes - 1) {
      full = true;
      return;
    }
    nodes_[count_++] = nd;
  };
  const auto i16 = [](int v) { return static_cast<int16_t>(v); };
  int depth = 0;
  skipBlanks();
  if (p >= format.size() || format[p] != '(') return "must start with '('";
  ++p;
  for (bool closed = false; !closed;) {
    skipBlanks();
    if (tooLarge) return "number too large";
    if (full) return "too many descriptors";
    if (p >= format.size()) return "missing ')'";
    if (format[p] == ',') {
      ++p;
      continue;
    }
    int rep = 1;
    const bool hasRep = number(rep);
    if (hasRep && rep < 1) return "repeat count must be positive";
    skipBlanks();
    if (p >= format.size()) return "unexpected end";
    char c = format[p++];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    int w = -1, d = 0;
    switch (c) {
      case 'i':
        if (!number(w) || w < 1) return "I needs a width";
        for (int r = 0; r < rep; ++r) add({Op::Int, i16(w), 0, 1});
        break;
      case 'f':
        if (!number(w) || w < 1) return "F needs a width";
        if (p >= format.size() || format[p] != '.') return "F needs .d";
        ++p;
        if (!number(d) || d >= w) return "F needs decimals below the width";
        for (int r = 0; r < rep; ++r) add({Op::Fixed, i16(w), i16(d), 1});
        break;
      case 'a':
        if (number(w) && w < 1) return "A width must be positive";
        for (int r = 0; r < rep; ++r) add({Op::Chars, i16(w), 0, 1});
        break;
      case 'x':
        add({Op::Skip, i16(rep), 0, 1});
        break;
      case 't':
        if (hasRep || !number(w) || w < 1) return "T needs a column";
        add({Op::Tab, i16(w), 0, 1});
        break;
      case '/':
        for (int r = 0; r < rep; ++r) add({Op::Slash, 0, 0, 1});
        break;
      case '\\':
        add({Op::NoAdvance, 0, 0, 1});
        break;
      case '(':
        if (depth >= 16) return "groups nested too deep";
        if (depth++ == 0) reversion_ = count_;
        add({Op::Open, 0, 0, i16(rep)});
        break;
      case ')':
        if (hasRep) return "repeat count before ')'";
        if (depth == 0) {
          closed = true;
          break;
        }
        --depth;
        add({Op::Close, 0, 0, 1});
        break;
      default:
        return "unknown descriptor";
    }
  }
  if (tooLarge) return "number too large";
  if (full) return "too many descriptors";
  nodes_[count_++] = {Op::End, 0, 0, 1};
  Flatten();
  return nullptr;
}

template <class V>
constexpr void FormatPlan::Walk(int count, V& v) const {
  struct Level {
    int open;
    int remaining;
  } stack[16] = {};
  int depth = 0;
  int idx = 0;
  int pos = 0;
  bool noAdvance = false;
  bool consumed = false;  // an item was taken since the last (re)start
  for (long steps = 0; steps <= kMaxWalkSteps; ++steps) {
    const Node& nd = nodes_[pos++];
    switch (nd.op) {
      case Op::Int:
      case Op::Fixed:
      case Op::Chars:
        if (idx == count) {
          v.Finish(noAdvance);
          return;
        }
        v.Take(nd);
        ++idx;
        consumed = true;
        break;
      case Op::Skip:
        v.Skip(nd.w);
        break;
      case Op::Tab:
        v.Tab(nd.w);
        break;
      case Op::Slash:
        v.Slash();
        noAdvance = false;
        break;
      case Op::NoAdvance:
        if (idx == count) noAdvance = true;
        break;
      case Op::Open:
        stack[depth++] = {pos, nd.repeat};
        break;
      case Op::Close:
        if (--stack[depth - 1].remaining > 0)
          pos = stack[depth - 1].open;
        else
          --depth;
        break;
      case Op::End:
        if (idx == count || !consumed || count == kOnePass) {
          v.Finish(noAdvance);
          return;
        }
        // Format reversion: end the record and resume at the last outermost group.
        v.Slash();
        depth = 0;
        consumed = false;
        pos = nodes_[reversion_].op == Op::Open ? reversion_ : 0;
        break;
    }
  }
  v.Finish(noAdvance);  // a walk that would run practically forever stops here
}

constexpr FormatPlan::StepList FormatPlan::StepsOf(int count) const {
  struct Record {
    StepList list;
    bool overflow = false;
    constexpr void Add(Op op, int w, int d, bool noAdvance = false) {
      if (list.n == kMaxSteps) {
        overflow = true;
        return;
      }
      list.steps[list.n++] = {op, noAdvance, static_cast<int16_t>(w), static_cast<int16_t>(d)};
    }
    constexpr void Take(const Node& nd) { Add(nd.op, nd.w, nd.d); }
    constexpr void Skip(int k) { Add(Op::Skip, k, 0); }
    constexpr void Tab(int col) { Add(Op::Tab, col, 0); }
    constexpr void Slash() { Add(Op::Slash, 0, 0); }
    constexpr void Finish(bool noAdvance) { Add(Op::End, 0, 0, noAdvance); }
  } rec;
  Walk(count, rec);
  if (rec.overflow) rec.list.n = 0;
  return rec.list;
}

constexpr void FormatPlan::Flatten() {
  struct Count : Visitor {
    int n = 0;
    constexpr void Take(const Node&) { ++n; }
  } items;
  Walk(kOnePass, items);
  const StepList list = StepsOf(items.n);
  for (int i = 0; i < list.n; ++i) steps_[i] = list.steps[i];
  onePassItems_ = items.n;
  stepCount_ = list.n;
}

}  // namespace hfd
