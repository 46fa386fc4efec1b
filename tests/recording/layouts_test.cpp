// docs/formats.md describes the result lines that the layouts declare: its
// tables' widths, field by field, must be the layouts' data fields (the
// one-character separators aside), so the documentation cannot drift from
// what the writers write and the reader reads.
#include "recording/layouts.hpp"

#include <gtest/gtest.h>

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

// The layout's data fields as the documentation writes them (I5, F6.3).
template <FormatText S>
std::vector<std::string> DeclaredWidths() {
  using L = RecordLayout<S>;
  std::vector<std::string> widths;
  for (int i = 0; i < L::kFields; ++i) {
    const auto& step = L::kSteps[static_cast<size_t>(i)];
    // Built by appending: "I" + std::to_string(n) draws a false -Wrestrict warning from GCC 12.
    std::string w(step.op == FormatPlan::Op::Int ? "I" : "F");
    w += std::to_string(step.w);
    if (step.op == FormatPlan::Op::Fixed) {
      w += '.';
      w += std::to_string(step.d);
    }
    if (step.op == FormatPlan::Op::Int || step.op == FormatPlan::Op::Fixed) widths.push_back(w);
  }
  return widths;
}

TEST(Layouts, TheDocumentedColumnsAreTheDeclaredOnes) {
  const auto spc = DocumentedWidths("`.spc`");
  ASSERT_EQ(spc.size(), 2u);
  EXPECT_EQ(spc[0], DeclaredWidths<kSpectrumBlockLine>());
  EXPECT_EQ(spc[1], DeclaredWidths<kSpectrumBinLine>());
  const auto max = DocumentedWidths("`.max`");
  ASSERT_EQ(max.size(), 1u);
  EXPECT_EQ(max[0], DeclaredWidths<kPeakBlockLine>());
}

}  // namespace
}  // namespace hfd::test
