// The record formatter: every console line and result-file line is built here.
//
// A format string such as "(f6.3,2(a1,f10.3,a1,f7.1))" is compiled once into a
// FormatPlan; each Write walks the plan with an item list and hands finished
// records to a RecordSink (console, text file or an internal character record).
//
//   static const FormatPlan kLine("(i5,a1,i4)");
//   kLine.Write(sink, {k, "\t", year});
//
// The lines written at every block and bin use RecordFormat (record_format.hpp),
// the same formats compiled by the C++ compiler, which writes the same text.
#pragma once

#include <cstdint>
#include <initializer_list>
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
// Steps one write may walk (a guard against formats whose nested repeat
// counts would run practically forever).
constexpr long kMaxWalkSteps = 1L << 20;

class FormatPlan {
 public:
  // Compiles the format. An unusable format string is a programming error in
  // this program and aborts with a message naming it.
  explicit FormatPlan(std::string_view format);
  // Compiles a format that may be unusable: false (and `why`) instead of abort.
  static bool TryCompile(std::string_view format, FormatPlan& out, const char** why);
  FormatPlan() = default;

  void Write(RecordSink& sink, Items items) const;
  void Write(RecordSink& sink, const Item* items, int count) const;

  // The widths of the I descriptors in the order a read meets them, repeat
  // counts and groups expanded (one pass, no reversion). Returns the count.
  int IntWidths(int* widths, int max) const;

  enum class Op : uint8_t { Int, Fixed, Chars, Skip, Tab, Slash, NoAdvance, Open, Close, End };
  struct Node {
    Op op;
    int16_t w;       // field width (-1 for A without width); X count; T column
    int16_t d;       // decimals for F
    int16_t repeat;  // for Open: group repeat count
    int16_t match;   // for Close: index of its Open; for Open: index of its Close
  };
  static constexpr int kMaxNodes = 64;

 private:
  bool Compile(std::string_view format, const char** why);
  template <class Visitor>
  void Walk(int count, Visitor& v) const;
  bool BuildFlat(int count) const;

  // The walk for one item count, flattened once into a straight list of
  // field, position and record operations (the same count is written again
  // and again). Built on first use; flatFor_ is the count it was built for.
  struct FlatOp {
    Op op;  // Int, Fixed, Chars, Skip, Tab, Slash (end a record), End (last record)
    bool noAdvance;
    int16_t w, d;
  };
  static constexpr int kMaxFlat = 96;
  mutable FlatOp flat_[kMaxFlat];
  mutable int flatLen_ = 0;   // 0: no usable flat list for flatFor_
  mutable int flatFor_ = -1;

  Node nodes_[kMaxNodes];
  int count_ = 0;
  int reversion_ = 0;  // node index where format reversion resumes
  int reversionRepeat_ = 1;
};

// One field of width w (>= 1) by the formatter's rules: kind 'i' (Iw), 'f'
// (Fw.d) or 'a' (Aw), the item of any kind (a mismatch gives asterisks).
void FormatOneField(char* out, char kind, int w, int d, const Item& item);

// List-directed write: one record starting with a blank; integers in 11
// columns (12 after another number); text exactly as given.
void WriteList(RecordSink& sink, Items items);
void WriteList(RecordSink& sink, const Item* items, int count);

}  // namespace hfd
