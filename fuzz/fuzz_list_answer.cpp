// Fuzzes the list-directed integer answer reader with arbitrary answer lines.
#include <cstdlib>
#include <string_view>

#include "textio/int_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  int32_t target = 12345;
  hfd::ReadError err;
  hfd::ListLine r = hfd::ParseListLine(line, target, err);
  // An error always carries its number; anything else carries none, and
  // only a value changes the target.
  if ((r == hfd::ListLine::Error) != (err != hfd::ReadError::None)) std::abort();
  if (r != hfd::ListLine::Value && target != 12345) std::abort();
  return 0;
}
