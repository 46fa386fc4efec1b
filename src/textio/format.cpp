#include "textio/format.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "textio/fixed_decimal.hpp"

namespace hfd {
namespace {

// The record being built: characters written so far (`len`), the current
// column (`col`, 0-based). Columns skipped by X or T are filled with blanks
// only when a later field is written beyond them.
struct RecordBuilder {
  // The record, then room for one field that would run past the record's
  // limit: such a field is formatted there and dropped.
  char buf[kMaxRecord + kMaxFieldWidth];
  int len = 0;
  int col = 0;

  // Reserves w columns (w <= kMaxFieldWidth) at the current column and
  // returns where to write them.
  char* Field(int w) {
    if (w < 0) w = 0;
    if (col + w > kMaxRecord) {
      col += w;
      return buf + kMaxRecord;
    }
    if (col > len) std::memset(buf + len, ' ', static_cast<size_t>(col - len));
    char* at = buf + col;
    col += w;
    if (col > len) len = col;
    return at;
  }
  void Text(std::string_view t) {
    const int w = static_cast<int>(t.size() < static_cast<size_t>(kMaxRecord) ? t.size() : kMaxRecord);
    if (col + w > kMaxRecord) {
      col += w;
      return;
    }
    std::memcpy(Field(w), t.data(), static_cast<size_t>(w));
  }
  void Reset() { len = col = 0; }
  std::string_view View() const { return {buf, static_cast<size_t>(len)}; }
};

// One field: op Int, Fixed or Chars; width w (-1: an A field as wide as its
// text), d decimals.
struct FieldSpec {
  FormatPlan::Op op;
  int w, d;
};

inline __attribute__((always_inline)) void PutItem(RecordBuilder& rb, FieldSpec nd, const Item& it) {
  using Op = FormatPlan::Op;
  if (nd.op == Op::Chars) {
    if (it.kind != Item::Kind::Text) {
      int w = nd.w < 0 ? 1 : nd.w;
      std::memset(rb.Field(w), '*', static_cast<size_t>(w));
      return;
    }
    std::string_view t = it.text();
    if (t.size() == 1 && nd.w == 1 && rb.col < kMaxRecord && rb.col >= rb.len) {
      // A one-character separator: the common case, written directly.
      if (rb.col > rb.len) std::memset(rb.buf + rb.len, ' ', static_cast<size_t>(rb.col - rb.len));
      rb.buf[rb.col++] = t[0];
      rb.len = rb.col;
      return;
    }
    if (nd.w < 0) {
      rb.Text(t);
      return;
    }
    int w = nd.w;
    char* at = rb.Field(w);
    if (static_cast<int>(t.size()) >= w) {
      std::memcpy(at, t.data(), static_cast<size_t>(w));
    } else {
      int pad = w - static_cast<int>(t.size());
      std::memset(at, ' ', static_cast<size_t>(pad));
      std::memcpy(at + pad, t.data(), t.size());
    }
    return;
  }
  char* at = rb.Field(nd.w);
  if (nd.op == Op::Int) {
    if (it.kind == Item::Kind::Int)
      FormatIntField(at, it.i, nd.w);
    else
      std::memset(at, '*', static_cast<size_t>(nd.w));
    return;
  }
  switch (it.kind) {  // Op::Fixed
    case Item::Kind::Single:
      FormatFixedField(at, it.f, nd.w, nd.d);
      break;
    case Item::Kind::Double:
      FormatFixedField(at, it.d, nd.w, nd.d);
      break;
    case Item::Kind::Int:
      FormatFixedField(at, static_cast<double>(it.i), nd.w, nd.d);
      break;
    case Item::Kind::Text:
      std::memset(at, '*', static_cast<size_t>(nd.w));
      break;
  }
}

}  // namespace

void AbortOnFormat(std::string_view format, const char* why) {
  std::fprintf(stderr, "internal error: format \"%.*s\": %s\n", static_cast<int>(format.size()),
               format.data(), why);
  std::abort();
}

namespace {

// Executes a walk at once: fields into the record, records to the sink.
struct WritingVisitor {
  RecordBuilder& rb;
  RecordSink& sink;
  const Item* items;
  int idx = 0;
  __attribute__((always_inline)) void Put(FieldSpec f) { PutItem(rb, f, items[idx++]); }
  void Take(const FormatPlan::Node& nd) { Put({nd.op, nd.w, nd.d}); }
  void Skip(int n) { rb.col = rb.col + n < 2 * kMaxRecord ? rb.col + n : 2 * kMaxRecord; }
  void Tab(int col) { rb.col = col - 1; }
  void Slash() {
    sink.PutRecord(rb.View(), true);
    rb.Reset();
  }
  void Finish(bool noAdvance) { sink.PutRecord(rb.View(), !noAdvance); }
};

}  // namespace

void FormatPlan::Write(RecordSink& sink, const Item* items, int count) const {
  if (count_ == 0) return;  // an empty plan writes nothing
  RecordBuilder rb;
  WritingVisitor v{rb, sink, items};
  if (count != onePassItems_ || stepCount_ == 0) {
    Walk(count, v);
    return;
  }
  // The usual write: the walk recorded when the plan was made, replayed.
  for (const Step* s = steps_;; ++s) {
    switch (s->op) {
      case Op::Int:
      case Op::Fixed:
      case Op::Chars:
        v.Put({s->op, s->w, s->d});
        break;
      case Op::Skip:
        v.Skip(s->w);
        break;
      case Op::Tab:
        v.Tab(s->w);
        break;
      case Op::Slash:
        v.Slash();
        break;
      default:  // End
        v.Finish(s->noAdvance);
        return;
    }
  }
}

void FormatOneField(char* out, FormatPlan::Op op, int w, int d, const Item& item) {
  RecordBuilder rb;  // the field as a record of its own
  PutItem(rb, {op, w, d}, item);
  std::memcpy(out, rb.buf, static_cast<size_t>(w));
}

void WriteList(RecordSink& sink, Items items) {
  WriteList(sink, items.begin(), static_cast<int>(items.size()));
}

void WriteList(RecordSink& sink, const Item* items, int count) {
  constexpr int kLimit = 80;  // the leading blank and 79 characters
  RecordBuilder rb;
  rb.Text(" ");
  bool prevNumeric = false;
  for (const Item* p = items; p != items + count; ++p) {
    const Item& it = *p;
    if (it.kind == Item::Kind::Text) {
      std::string_view t = it.text();
      while (static_cast<int>(t.size()) > kLimit - rb.len) {
        size_t room = static_cast<size_t>(kLimit - rb.len);
        rb.Text(t.substr(0, room));
        t.remove_prefix(room);
        sink.PutRecord(rb.View(), true);
        rb.Reset();
        rb.Text(" ");
      }
      rb.Text(t);
      prevNumeric = false;
      continue;
    }
    char field[32];
    int w = 11;
    if (it.kind == Item::Kind::Int)
      FormatIntField(field, it.i, w);
    else {
      w = 15;
      if (it.kind == Item::Kind::Single)
        FormatFixedField(field, it.f, w, 6);
      else
        FormatFixedField(field, it.d, w, 6);
    }
    int need = w + (prevNumeric ? 1 : 0);
    if (rb.len - 1 + need > kLimit - 2) {
      sink.PutRecord(rb.View(), true);
      rb.Reset();
      rb.Text(" ");
      need = w;
    }
    if (need > w) rb.Text(" ");
    rb.Text({field, static_cast<size_t>(w)});
    prevNumeric = true;
  }
  sink.PutRecord(rb.View(), true);
}

}  // namespace hfd
