#include "output/result_files.hpp"

#include <cstring>

namespace hfd {

std::span<const char* const> ResultExtensions(int32_t IOutFMT) {
  static constexpr const char* kAmplitude[] = {".qdr"};
  static constexpr const char* kSpectrum[] = {".spc", ".max"};
  if (IOutFMT == 1) return kAmplitude;
  return kSpectrum;
}

void CreateResultFiles(const std::array<char, kNameLength>& ch0, int32_t IOutFMT, ResultFile& unit3,
                       ResultFile& unit4) {
  ResultFile* units[2] = {&unit3, &unit4};
  const std::span<const char* const> exts = ResultExtensions(IOutFMT);
  for (size_t i = 0; i < exts.size(); ++i) {
    char out[20];
    ResultFileName(ch0, exts[i], out);
    units[i]->Open(std::string_view(out, strnlen(out, 19)));
  }
  ResultFile::Cut(unit3, exts.size() == 2 ? &unit4 : nullptr);
}

}  // namespace hfd
