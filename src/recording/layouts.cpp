#include "recording/layouts.hpp"

#include <utility>

namespace hfd {
namespace {

struct TextSink final : RecordSink {
  std::string text;
  void PutRecord(std::string_view record, bool) override { text += record; }
};

}  // namespace

void WriteHeaderLine(RecordSink& sink, const FixedTextLine& line) {
  FormatPlan(line.format).Write(sink, {line.fields[0], line.fields[1], line.fields[2]});
}

void WritePeakHeaderLine(RecordSink& sink) {
  static constexpr RecordFormat<kPeakHeaderLine> kHeader;
  // Each label followed by a tab.
  [&]<size_t... I>(std::index_sequence<I...>) {
    const Item items[] = {Item(I % 2 ? std::string_view("\t") : kPeakHeaderLabels[I / 2])...};
    kHeader.Write(sink, items, static_cast<int>(sizeof...(I)));
  }(std::make_index_sequence<2 * std::size(kPeakHeaderLabels)>{});
}

std::string HeaderLineText(const FixedTextLine& line) {
  TextSink sink;
  WriteHeaderLine(sink, line);
  return sink.text;
}

std::string PeakHeaderLineText() {
  TextSink sink;
  WritePeakHeaderLine(sink);
  return sink.text;
}

}  // namespace hfd
