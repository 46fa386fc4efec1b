// Fuzzes the "(3i2)" time answer reader with arbitrary answer lines.
#include <cstdlib>
#include <string_view>

#include "textio/format.hpp"
#include "textio/int_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const hfd::FormatPlan kTime("(3i2)");
  int widths[8];
  const int n = kTime.IntWidths(widths, 8);
  std::string_view line(reinterpret_cast<const char*>(data), size);
  int32_t t[3] = {0, 0, 0};
  hfd::ReadError e = hfd::ReadIntFields(line, widths, n, t);
  // Two columns hold at most two digits (or a sign and a digit).
  if (e == hfd::ReadError::None)
    for (int32_t v : t)
      if (v < -9 || v > 99) std::abort();
  return 0;
}
