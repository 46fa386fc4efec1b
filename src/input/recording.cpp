#include "input/recording.hpp"

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

// A fixed-length name field as a C string: up to its first NUL.
void ToCString(const std::array<char, kNameLength>& field, char (&out)[kNameLength + 1]) {
  size_t n = 0;
  while (n < field.size() && field[n] != '\0') {
    out[n] = field[n];
    ++n;
  }
  out[n] = '\0';
}

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

void OpenRecording(IoSystem& io, const NameTable& names, int32_t IFile, int32_t IOutFMT,
                   RecordingState& rec) {
  static const FormatPlan kDateDigits("(i4,5i2)");
  std::array<char, kNameLength> work = names.entry[static_cast<size_t>(IFile - 1)];
  WriteList(io.console, {"*** Specified BIN Filename: ", std::string_view(work.data(), work.size())});

  rec.StationName = StationNameFor(std::string_view(work.data() + 14, 3));

  for (int c = 0; c < 2; ++c) {
    work[18] = static_cast<char>('0' + c);
    rec.ChFileName[static_cast<size_t>(c)] = work;
  }

  int32_t fields[6] = {0, 0, 0, 0, 0, 0};
  io.ReadInternalInts(std::string_view(rec.ChFileName[0].data(), 14), kDateDigits, fields, 6);
  rec.RecStart.kYear = fields[0];
  rec.RecStart.kMonth = fields[1];
  rec.RecStart.kDay = fields[2];
  rec.RecStart.kH = fields[3];
  rec.RecStart.kM = fields[4];
  rec.RecStart.kS = fields[5];

  char ch0[kNameLength + 1], ch1[kNameLength + 1];
  ToCString(rec.ChFileName[0], ch0);
  ToCString(rec.ChFileName[1], ch1);
  int failures = 0;
  rec.ChOpenErr[1] = io.unit1.Open(ch0) ? 0 : 1;
  rec.ChOpenErr[2] = io.unit2.Open(ch1) ? 0 : 1;
  failures = rec.ChOpenErr[1] + rec.ChOpenErr[2];

  if (failures < 2) {
    // Year to minute, the station code, the extension: "200803151230SGD.spc".
    char out[20];
    std::memcpy(out, ch0, 12);
    std::memcpy(out + 12, rec.ChFileName[0].data() + 14, 3);
    out[19] = '\0';
    auto create = [&](ResultFile& unit, const char* ext) {
      std::memcpy(out + 15, ext, 4);
      unit.Create(std::string_view(out, strnlen(out, 19)));
    };
    if (IOutFMT == 1) {
      create(io.unit3, ".qdr");
    } else {
      create(io.unit3, ".spc");
      create(io.unit4, ".max");
    }
    rec.IOpenStatus = 0;
  } else {
    WriteList(io.console,
              {"### Data file open error! FILE=",
               std::string_view(rec.ChFileName[0].data(), kNameLength),
               std::string_view(rec.ChFileName[1].data(), kNameLength)});
    rec.IOpenStatus = 1;
  }
}

}  // namespace hfd
