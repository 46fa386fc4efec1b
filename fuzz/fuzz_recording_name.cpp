// Fuzzes the derivation of station, channel file names, start time and result
// file names from a name table entry of arbitrary bytes.
#include <cstdlib>
#include <cstring>

#include "input/recording.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::array<char, hfd::kNameLength> entry{};
  std::memcpy(entry.data(), data, size < entry.size() ? size : entry.size());
  hfd::RecordingState rec;
  hfd::ReadError e = hfd::DeriveRecordingNames(entry, rec);
  // The channel names differ from the entry at most at position 19.
  for (int c = 0; c < 2; ++c)
    for (size_t i = 0; i < entry.size(); ++i)
      if (i != 18 && rec.ChFileName[static_cast<size_t>(c)][i] != entry[i]) std::abort();
  if (e == hfd::ReadError::None) {
    char out[20];
    hfd::ResultFileName(rec.ChFileName[0], ".spc", out);
    if (std::strlen(out) > 19) std::abort();
  }
  return 0;
}
