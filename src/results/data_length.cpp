#include "results/data_length.hpp"

#include <cstdlib>
#include <string>

#include "recording/layouts.hpp"
#include "results/text_lines.hpp"
#include "textio/fixed_decimal.hpp"

namespace hfd::results::detail {
namespace {

// The bin spacing as the .spc writer prints it.
bool SecondBinFits(std::string_view field, int32_t n) {
  using L = RecordLayout<kSpectrumBinLine>;
  char text[L::Width(0)];
  FormatFixedField(text, 1.0 / (n * 0.01), L::Width(0), L::Decimals(0));
  return field == std::string_view(text, sizeof text);
}

// Steps and times of two blocks: k * N * 10 ms apart, within the second the
// stamps drop.
bool SpacingFits(const PeakBlock& a, const PeakBlock& b, int32_t n) {
  const int64_t dk = b.step - a.step;
  const int64_t dt_ms = b.utc_ms - a.utc_ms;
  return dk > 0 && std::llabs(dt_ms - dk * n * 10) < 1000;
}

// The block's stamp lies within the start minute of the file name plus the
// whole seconds of its step's time.
bool NameFits(std::string_view path, const PeakBlock& b, int32_t n) {
  const std::string p(path);
  if (StationCodeOfPath(p).empty()) return false;  // not a result file name
  const size_t slash = p.find_last_of('/');
  const char* name = p.c_str() + (slash == std::string::npos ? 0 : slash + 1);
  int32_t y, mo, d, h, mi;
  if (!ParseI(name, 4, y) || !ParseI(name + 4, 2, mo) || !ParseI(name + 6, 2, d) ||
      !ParseI(name + 8, 2, h) || !ParseI(name + 10, 2, mi) || !StampInRange(mo, d, h, mi, 0))
    return false;
  const int64_t offset_ms = b.utc_ms - UtcMsOfJst(y, mo, d, h, mi, 0);
  const int64_t seconds_of_start = offset_ms - int64_t{b.step} * n / 100 * 1000;
  return seconds_of_start >= 0 && seconds_of_start < 60000;
}

}  // namespace

int32_t InferDataLength(const DataLengthClues& c) {
  auto one = [](auto fits) {
    int32_t found = 0;
    for (int32_t n : kDataLengths) {
      if (!fits(n)) continue;
      if (found != 0) return 0;
      found = n;
    }
    return found;
  };
  int32_t n = 0;
  if (!c.second_bin.empty()) n = one([&](int32_t k) { return SecondBinFits(c.second_bin, k); });
  if (n == 0 && c.first != nullptr && c.last != nullptr)
    n = one([&](int32_t k) { return SpacingFits(*c.first, *c.last, k); });
  if (n == 0 && c.first != nullptr && !c.path.empty())
    n = one([&](int32_t k) { return NameFits(c.path, *c.first, k); });
  return n;
}

}  // namespace hfd::results::detail
