#include "recording/vocabulary.hpp"

#include <cstring>

namespace hfd {
namespace {

struct Station {
  const char* code;
  const char* name;
};
constexpr Station kStations[] = {
    {"SGD", "Sugadaira "}, {"ORI", "Oarai     "}, {"KUR", "Kure      "}, {"KYO", "Kyoto     "},
    {"KSM", "Kasima    "}, {"MSR", "Moshiri   "}, {"SMZ", "Shimizu   "}, {"KAK", "Kakioka   "},
};

}  // namespace

std::array<char, 10> StationNameFor(std::string_view code) {
  std::array<char, 10> name;
  name.fill(' ');
  for (const Station& s : kStations) {
    if (code == s.code) {
      std::memcpy(name.data(), s.name, name.size());
      return name;
    }
  }
  std::memcpy(name.data(), code.data(), code.size() < name.size() ? code.size() : name.size());
  return name;
}

void ResultFileName(const std::array<char, kNameLength>& ch0, const char* ext, char (&out)[20]) {
  std::memcpy(out, ch0.data(), 12);
  std::memcpy(out + 12, ch0.data() + 14, 3);
  std::memcpy(out + 15, ext, 4);
  out[19] = '\0';
}

}  // namespace hfd
