// docs/formats.md describes the result lines that the layouts declare: its
// tables' widths, field by field, must be the layouts' data fields (the
// one-character separators aside), so the documentation cannot drift from
// what the writers write and the reader reads.
#include "recording/layouts.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hfd::test {
namespace {

std::string Trim(std::string s) {
  const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::string cell;
  for (size_t i = 1; i < row.size(); ++i) {
    if (row[i] == '|') {
      cells.push_back(Trim(cell));
      cell.clear();
    } else {
      cell += row[i];
    }
  }
  return cells;
}

// The "width" column of every table in the section whose heading has `title`,
// one list per table, a cell "F6.3 `,` F6.3" giving two descriptors.
std::vector<std::vector<std::string>> DocumentedWidths(const std::string& title) {
  std::ifstream in(HFD_DOCS_DIR "/formats.md");
  std::vector<std::vector<std::string>> tables;
  bool inSection = false;
  int column = -1;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#", 0) == 0) {
      inSection = line.find(title) != std::string::npos;
      continue;
    }
    if (!inSection || line.rfind("|", 0) != 0) {
      column = -1;
      continue;
    }
    const std::vector<std::string> cells = Cells(line);
    if (column < 0) {  // a table's header
      for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i] == "width") column = static_cast<int>(i), tables.emplace_back();
      if (column < 0) column = 1000;  // a table without widths
      continue;
    }
    if (column == 1000 || cells[0].rfind("---", 0) == 0) continue;
    std::istringstream parts(cells[static_cast<size_t>(column)]);
    for (std::string part; parts >> part;)
      if (part != "`,`") tables.back().push_back(part);
  }
  return tables;
}

// The layout's fields as the documentation writes them (I5, F6.3, A10): the
// number fields, and with `texts` the text fields too, a literal's width
// standing alone ("1" for "/") as the tables write it.
template <FormatText S, int Count = -1>
std::vector<std::string> DeclaredWidths(bool texts = false) {
  using L = RecordLayout<S, Count>;
  std::vector<std::string> widths;
  for (int i = 0; i < L::kFields; ++i) {
    const FormatPlan::Step& step = L::At(i).step;
    // Built by appending: "I" + std::to_string(n) draws a false -Wrestrict warning from GCC 12.
    std::string w(step.op == FormatPlan::Op::Int ? "I" : step.op == FormatPlan::Op::Fixed ? "F" : "A");
    w += std::to_string(step.w);
    if (step.op == FormatPlan::Op::Fixed) {
      w += '.';
      w += std::to_string(step.d);
    }
    if (step.op != FormatPlan::Op::Chars || texts) widths.push_back(w);
  }
  return widths;
}

std::vector<std::string> WithTextWidths(std::vector<std::string> documented) {
  for (std::string& w : documented)
    if (!w.empty() && std::isdigit(static_cast<unsigned char>(w[0]))) w.insert(0, 1, 'A');
  return documented;
}

// The fixed text lines the documentation shows indented, a TAB written "→":
// the text after "): " of lines starting with `label`, or the whole line.
std::vector<std::string> DocumentedTexts(const std::string& title, const std::string& label) {
  std::ifstream in(HFD_DOCS_DIR "/formats.md");
  std::vector<std::string> texts;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#", 0) == 0) inSection = line.find(title) != std::string::npos;
    if (!inSection || line.rfind("    " + label, 0) != 0) continue;
    std::string text = line.substr(4);
    if (const size_t colon = text.find("): "); colon != std::string::npos) text = text.substr(colon + 3);
    std::string tabbed;
    for (size_t at = 0, arrow; at < text.size(); at = arrow + std::strlen("→")) {
      arrow = std::min(text.find("→", at), text.size());
      tabbed.append(text, at, arrow - at);
      if (arrow < text.size()) tabbed += '\t';
    }
    texts.push_back(tabbed);
  }
  return texts;
}

TEST(Layouts, TheDocumentedColumnsAreTheDeclaredOnes) {
  const auto qdr = DocumentedWidths("`.qdr`");
  ASSERT_EQ(qdr.size(), 2u);
  EXPECT_EQ(WithTextWidths(qdr[0]), DeclaredWidths<kAmplitudeHeaderLine>(true));
  EXPECT_EQ(qdr[1], (DeclaredWidths<kAmplitudeBlockLine, kAmplitudeBlockItems>()));
  const auto spc = DocumentedWidths("`.spc`");
  ASSERT_EQ(spc.size(), 2u);
  EXPECT_EQ(spc[0], DeclaredWidths<kSpectrumBlockLine>());
  EXPECT_EQ(spc[1], DeclaredWidths<kSpectrumBinLine>());
  const auto max = DocumentedWidths("`.max`");
  ASSERT_EQ(max.size(), 1u);
  EXPECT_EQ(max[0], DeclaredWidths<kPeakBlockLine>());
}

TEST(Layouts, TheDocumentedHeaderTextsAreTheWrittenOnes) {
  const auto qdr = DocumentedTexts("`.qdr`", "line ");
  ASSERT_EQ(qdr.size(), std::size(kAmplitudeHeaderTexts));
  for (size_t i = 0; i < qdr.size(); ++i) EXPECT_EQ(qdr[i], HeaderLineText(kAmplitudeHeaderTexts[i]));
  const auto max = DocumentedTexts("`.max`", "kkkkk");
  ASSERT_EQ(max.size(), 1u);
  EXPECT_EQ(max[0], PeakHeaderLineText());
}

}  // namespace
}  // namespace hfd::test
