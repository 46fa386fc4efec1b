#include "input/recording.hpp"

#include <cstring>

namespace hfd {
namespace {

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

ReadError DeriveRecordingNames(const std::array<char, kNameLength>& entry, RecordingState& rec) {
  static const int kDateWidths[6] = {4, 2, 2, 2, 2, 2};  // "(i4,5i2)"
  std::array<char, kNameLength> work = entry;
  rec.StationName = StationNameFor(std::string_view(work.data() + 14, 3));
  for (int c = 0; c < 2; ++c) {
    work[18] = static_cast<char>('0' + c);
    rec.ChFileName[static_cast<size_t>(c)] = work;
  }
  int32_t fields[6] = {0, 0, 0, 0, 0, 0};
  ReadError e = ReadIntFields(std::string_view(rec.ChFileName[0].data(), 14), kDateWidths, 6, fields);
  if (e != ReadError::None) return e;
  rec.RecStart.kYear = fields[0];
  rec.RecStart.kMonth = fields[1];
  rec.RecStart.kDay = fields[2];
  rec.RecStart.kH = fields[3];
  rec.RecStart.kM = fields[4];
  rec.RecStart.kS = fields[5];
  return ReadError::None;
}

void RecordingFiles::CloseUnits() {
  unit1.Close();
  unit2.Close();
  unit3.Close();
  unit4.Close();
}

void OpenRecording(RecordSink& console, FatalHandler& fatal, RecordingFiles& files,
                   const NameTable& names, int32_t IFile, RecordingState& rec) {
  const auto& entry = names.entry[static_cast<size_t>(IFile - 1)];
  WriteList(console, {"*** Specified BIN Filename: ", std::string_view(entry.data(), entry.size())});
  ReadError e = DeriveRecordingNames(entry, rec);
  if (e != ReadError::None) fatal.InputFailure(e, "internal");

  char ch0[kNameLength + 1], ch1[kNameLength + 1];
  ToCString(rec.ChFileName[0], ch0);
  ToCString(rec.ChFileName[1], ch1);
  // A name that ends before the channel digit's position cannot name two
  // different channel files (both would be the same name): neither opens.
  const bool hasChannelDigit = std::strlen(ch0) >= 19;
  rec.ChOpenErr[1] = hasChannelDigit && files.unit1.Open(ch0) ? 0 : 1;
  rec.ChOpenErr[2] = hasChannelDigit && files.unit2.Open(ch1) ? 0 : 1;
  const int failures = rec.ChOpenErr[1] + rec.ChOpenErr[2];

  if (failures < 2) {
    rec.IOpenStatus = 0;
  } else {
    WriteList(console,
              {"### Data file open error! FILE=",
               std::string_view(rec.ChFileName[0].data(), kNameLength),
               std::string_view(rec.ChFileName[1].data(), kNameLength)});
    rec.IOpenStatus = 1;
  }
}

}  // namespace hfd
