#include "textio/format.hpp"

#include <cctype>
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

[[noreturn]] void AbortOnFormat(std::string_view format, const char* why) {
  std::fprintf(stderr, "internal error: format \"%.*s\": %s\n", static_cast<int>(format.size()),
               format.data(), why);
  std::abort();
}

inline __attribute__((always_inline)) void PutItem(RecordBuilder& rb, const FormatPlan::Node& nd,
                                                  const Item& it) {
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
      if (!FormatSingleFixedFast(at, it.f, nd.w, nd.d)) FormatFixedField(at, it.f, true, nd.w, nd.d);
      break;
    case Item::Kind::Double:
      FormatFixedField(at, it.d, false, nd.w, nd.d);
      break;
    case Item::Kind::Int:
      FormatFixedField(at, static_cast<double>(it.i), false, nd.w, nd.d);
      break;
    case Item::Kind::Text:
      std::memset(at, '*', static_cast<size_t>(nd.w));
      break;
  }
}

}  // namespace

FormatPlan::FormatPlan(std::string_view format) {
  const char* why = nullptr;
  if (!Compile(format, &why)) AbortOnFormat(format, why);
}

bool FormatPlan::TryCompile(std::string_view format, FormatPlan& out, const char** why) {
  out = FormatPlan();
  return out.Compile(format, why);
}

bool FormatPlan::Compile(std::string_view format, const char** why) {
#define BadFormat(f, text) \
  do {                     \
    *why = (text);         \
    return false;          \
  } while (0)
  count_ = 0;
  reversion_ = 0;
  reversionRepeat_ = 1;
  size_t p = 0;
  auto skipBlanks = [&] {
    while (p < format.size() && (format[p] == ' ' || format[p] == '\t')) ++p;
  };
  bool tooLarge = false;
  auto number = [&](int& out) {
    if (p >= format.size() || !std::isdigit(static_cast<unsigned char>(format[p]))) return false;
    long v = 0;
    while (p < format.size() && std::isdigit(static_cast<unsigned char>(format[p]))) {
      v = v * 10 + (format[p++] - '0');
      if (v > kMaxFieldWidth) tooLarge = true, v = kMaxFieldWidth;
    }
    out = static_cast<int>(v);
    return true;
  };
  bool full = false;
  auto add = [&](Node nd) {
    if (count_ >= kMaxNodes - 1) {
      full = true;
      return;
    }
    nodes_[count_++] = nd;
  };
  int stack[16];
  int depth = 0;
  skipBlanks();
  if (p >= format.size() || format[p] != '(') BadFormat(format, "must start with '('");
  ++p;
  bool closed = false;
  while (!closed) {
    skipBlanks();
    if (tooLarge) BadFormat(format, "number too large");
    if (full) BadFormat(format, "too many descriptors");
    if (p >= format.size()) BadFormat(format, "missing ')'");
    char c = format[p];
    if (c == ',') {
      ++p;
      continue;
    }
    int rep = 1;
    bool hasRep = number(rep);
    if (hasRep && rep < 1) BadFormat(format, "repeat count must be positive");
    skipBlanks();
    if (p >= format.size()) BadFormat(format, "unexpected end");
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[p++])));
    switch (c) {
      case 'i': {
        int w;
        if (!number(w) || w < 1) BadFormat(format, "I needs a width");
        for (int r = 0; r < rep; ++r) add({Op::Int, static_cast<int16_t>(w), 0, 1, 0});
        break;
      }
      case 'f': {
        int w, d;
        if (!number(w) || w < 1) BadFormat(format, "F needs a width");
        if (p >= format.size() || format[p] != '.') BadFormat(format, "F needs .d");
        ++p;
        if (!number(d) || d >= w) BadFormat(format, "F needs decimals below the width");
        for (int r = 0; r < rep; ++r)
          add({Op::Fixed, static_cast<int16_t>(w), static_cast<int16_t>(d), 1, 0});
        break;
      }
      case 'a': {
        int w = -1;
        if (number(w) && w < 1) BadFormat(format, "A width must be positive");
        for (int r = 0; r < rep; ++r) add({Op::Chars, static_cast<int16_t>(w), 0, 1, 0});
        break;
      }
      case 'x':
        add({Op::Skip, static_cast<int16_t>(rep), 0, 1, 0});
        break;
      case 't': {
        int col;
        if (hasRep || !number(col) || col < 1) BadFormat(format, "T needs a column");
        add({Op::Tab, static_cast<int16_t>(col), 0, 1, 0});
        break;
      }
      case '/':
        for (int r = 0; r < rep; ++r) add({Op::Slash, 0, 0, 1, 0});
        break;
      case '\\':
        add({Op::NoAdvance, 0, 0, 1, 0});
        break;
      case '(':
        if (depth >= 16) BadFormat(format, "groups nested too deep");
        if (depth == 0) {
          reversion_ = count_;
          reversionRepeat_ = rep;
        }
        stack[depth++] = count_;
        add({Op::Open, 0, 0, static_cast<int16_t>(rep), 0});
        break;
      case ')':
        if (hasRep) BadFormat(format, "repeat count before ')'");
        if (depth == 0) {
          closed = true;
          break;
        }
        {
          int open = stack[--depth];
          nodes_[open].match = static_cast<int16_t>(count_);
          add({Op::Close, 0, 0, 1, static_cast<int16_t>(open)});
        }
        break;
      default:
        BadFormat(format, "unknown descriptor");
    }
  }
  if (tooLarge) BadFormat(format, "number too large");
  if (full) BadFormat(format, "too many descriptors");
  nodes_[count_++] = {Op::End, 0, 0, 1, 0};
  return true;
#undef BadFormat
}

void FormatPlan::Write(RecordSink& sink, Items items) const {
  Write(sink, items.begin(), static_cast<int>(items.size()));
}

// Walks the format for `count` items. The visitor sees, in order: Take(node)
// for each data descriptor that takes an item, Skip(n), Tab(column),
// Slash() for every record ended inside the walk (a slash or a reversion),
// and finally Finish(noAdvance) for the last record.
template <class Visitor>
void FormatPlan::Walk(int count, Visitor& v) const {
  struct Level {
    int open;
    int remaining;
  } stack[16];
  int depth = 0;
  int idx = 0;
  int pos = 0;
  bool noAdvance = false;
  bool consumed = false;  // an item was taken since the last (re)start
  for (long steps = 0; steps <= kMaxWalkSteps; ++steps) {
    const Node& nd = nodes_[pos];
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
        ++pos;
        break;
      case Op::Skip:
        v.Skip(nd.w);
        ++pos;
        break;
      case Op::Tab:
        v.Tab(nd.w);
        ++pos;
        break;
      case Op::Slash:
        v.Slash();
        noAdvance = false;
        ++pos;
        break;
      case Op::NoAdvance:
        if (idx == count) noAdvance = true;
        ++pos;
        break;
      case Op::Open:
        stack[depth++] = {pos, nd.repeat};
        ++pos;
        break;
      case Op::Close:
        if (--stack[depth - 1].remaining > 0) {
          pos = stack[depth - 1].open + 1;
        } else {
          --depth;
          ++pos;
        }
        break;
      case Op::End:
        if (idx == count || !consumed) {
          v.Finish(noAdvance);
          return;
        }
        // Format reversion: end the record and resume at the last outermost group.
        v.Slash();
        depth = 0;
        consumed = false;
        pos = reversion_;
        if (nodes_[pos].op != Op::Open) pos = 0;
        break;
    }
  }
  v.Finish(noAdvance);  // a walk that would run practically forever stops here
}

namespace {

// Executes a walk at once: fields into the record, records to the sink.
struct WritingVisitor {
  RecordBuilder& rb;
  RecordSink& sink;
  const Item* items;
  int idx = 0;
  void Take(const FormatPlan::Node& nd) { PutItem(rb, nd, items[idx++]); }
  void Skip(int n) { rb.col = rb.col + n < 2 * kMaxRecord ? rb.col + n : 2 * kMaxRecord; }
  void Tab(int col) { rb.col = col - 1; }
  void Slash() {
    sink.PutRecord(rb.View(), true);
    rb.Reset();
  }
  void Finish(bool noAdvance) { sink.PutRecord(rb.View(), !noAdvance); }
};

}  // namespace

bool FormatPlan::BuildFlat(int count) const {
  struct Recorder {
    FlatOp* ops;
    int n = 0;
    bool overflow = false;
    void Add(Op op, int w, int d, bool noAdvance = false) {
      if (n == kMaxFlat) {
        overflow = true;
        return;
      }
      ops[n++] = {op, noAdvance, static_cast<int16_t>(w), static_cast<int16_t>(d)};
    }
    void Take(const Node& nd) { Add(nd.op, nd.w, nd.d); }
    void Skip(int k) { Add(Op::Skip, k, 0); }
    void Tab(int col) { Add(Op::Tab, col, 0); }
    void Slash() { Add(Op::Slash, 0, 0); }
    void Finish(bool noAdvance) { Add(Op::End, 0, 0, noAdvance); }
  } rec{flat_};
  Walk(count, rec);
  flatFor_ = count;
  flatLen_ = rec.overflow ? 0 : rec.n;
  return flatLen_ > 0;
}

void FormatPlan::Write(RecordSink& sink, const Item* items, int count) const {
  if (count_ == 0) return;  // an empty plan writes nothing
  if (count != flatFor_) BuildFlat(count);
  RecordBuilder rb;
  if (flatLen_ == 0) {
    WritingVisitor v{rb, sink, items};
    Walk(count, v);
    return;
  }
  const Item* it = items;
  for (const FlatOp* op = flat_; op != flat_ + flatLen_; ++op) {
    switch (op->op) {
      case Op::Int:
      case Op::Fixed:
      case Op::Chars:
        PutItem(rb, Node{op->op, op->w, op->d, 1, 0}, *it++);
        break;
      case Op::Skip:
        rb.col = rb.col + op->w < 2 * kMaxRecord ? rb.col + op->w : 2 * kMaxRecord;
        break;
      case Op::Tab:
        rb.col = op->w - 1;
        break;
      case Op::Slash:
        sink.PutRecord(rb.View(), true);
        rb.Reset();
        break;
      default:  // End
        sink.PutRecord(rb.View(), !op->noAdvance);
        return;
    }
  }
}

void FormatOneField(char* out, char kind, int w, int d, const Item& item) {
  using Op = FormatPlan::Op;
  const Op op = kind == 'i' ? Op::Int : kind == 'f' ? Op::Fixed : Op::Chars;
  RecordBuilder rb;  // the field as a record of its own
  PutItem(rb, FormatPlan::Node{op, static_cast<int16_t>(w), static_cast<int16_t>(d), 1, 0}, item);
  std::memcpy(out, rb.buf, static_cast<size_t>(w));
}

int FormatPlan::IntWidths(int* widths, int max) const {
  struct Level {
    int open;
    int remaining;
  } stack[16];
  int depth = 0;
  int n = 0;
  for (int pos = 0; nodes_[pos].op != Op::End;) {
    const Node& nd = nodes_[pos];
    if (nd.op == Op::Int && n < max) widths[n++] = nd.w;
    if (nd.op == Op::Open) {
      stack[depth++] = {pos, nd.repeat};
    } else if (nd.op == Op::Close) {
      if (--stack[depth - 1].remaining > 0) {
        pos = stack[depth - 1].open + 1;
        continue;
      }
      --depth;
    }
    ++pos;
  }
  return n;
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
      FormatFixedField(field, it.kind == Item::Kind::Single ? it.f : it.d,
                       it.kind == Item::Kind::Single, w, 6);
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
