// Fuzzes the format compiler, the formatted and list-directed writers and the
// Fw.d shortcut: the input is a format string, a NUL, then bytes that become
// the items.
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "textio/fixed_decimal.hpp"
#include "textio/format.hpp"

namespace {

struct CheckingSink final : hfd::RecordSink {
  int records = 0;
  void PutRecord(std::string_view r, bool) override {
    if (r.size() > static_cast<size_t>(hfd::kMaxRecord)) std::abort();
    ++records;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(text, 0, size);
  size_t flen = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
  std::string_view format(text, flen);
  const uint8_t* p = data + flen + (nul ? 1 : 0);
  const uint8_t* end = data + size;

  static const char kTexts[] = "\tabc  ,/xyz0123456789";
  std::vector<hfd::Item> items;
  while (p + 9 <= end && items.size() < 64) {
    uint64_t bits;
    std::memcpy(&bits, p + 1, 8);
    switch (p[0] % 4) {
      case 0:
        items.emplace_back(static_cast<int32_t>(bits));
        break;
      case 1: {
        float f;
        std::memcpy(&f, &bits, 4);
        items.emplace_back(f);
        break;
      }
      case 2: {
        double d;
        std::memcpy(&d, &bits, 8);
        items.emplace_back(d);
        break;
      }
      default:
        items.emplace_back(std::string_view(kTexts, bits % sizeof kTexts));
        break;
    }
    p += 9;
  }
  CheckingSink sink;
  hfd::FormatPlan plan;
  const char* why = nullptr;
  if (hfd::FormatPlan::TryCompile(format, plan, &why)) {
    plan.Write(sink, items.data(), static_cast<int>(items.size()));
    int widths[16];
    volatile int n = plan.IntWidths(widths, 16);  // sanitizers watch the one-pass walk
    (void)n;
  }
  hfd::WriteList(sink, items.data(), static_cast<int>(items.size()));

  // Every Fw.d field must be what the full decimal expansion gives.
  for (size_t i = 0; i < items.size(); ++i) {
    const hfd::Item& it = items[i];
    if (it.kind != hfd::Item::Kind::Single && it.kind != hfd::Item::Kind::Double) continue;
    const int w = 1 + static_cast<int>(i * 7 + flen) % 24;
    const int d = static_cast<int>(i + flen) % (w < 12 ? w : 12);
    char got[32], want[32];
    const bool single = it.kind == hfd::Item::Kind::Single;
    if (single)
      hfd::FormatFixedField(got, it.f, w, d);
    else
      hfd::FormatFixedField(got, it.d, w, d);
    hfd::fixed_detail::FormatExpanded(want, single ? it.f : it.d, single, w, d);
    if (std::memcmp(got, want, static_cast<size_t>(w)) != 0) std::abort();
  }
  return 0;
}
