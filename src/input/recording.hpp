// Everything a recording's name tells: station, channel file names, start
// date and time; and the opening of its channel files.
//
// A recording is named after its channel-0 file, "YYYYMMDDhhmmssSSS-0.BIN":
// start time (JST), a three-letter station code, the channel digit.
//
//   RecordingFiles files(fatal); RecordingState rec;
//   OpenRecording(console, fatal, files, names, 1, rec);
//   if (rec.IOpenStatus == 0) { /* files.unit1, unit2 are open; create units 3, 4 */ }
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "input/channel_file.hpp"
#include "input/listing.hpp"
#include "recording/time_stamp.hpp"
#include "recording/vocabulary.hpp"
#include "textio/fatal_handler.hpp"
#include "textio/result_file.hpp"

namespace hfd {

// The files of the recording being processed: its channel files on units 1
// and 2, the amplitude or spectrum file on unit 3, the peak summary file on 4.
struct RecordingFiles {
  explicit RecordingFiles(FatalHandler& fatal) : unit3(fatal), unit4(fatal) {}
  ChannelFile unit1, unit2;
  ResultFile unit3, unit4;
  // Closes units 1 to 4 in order; result-file failures are fatal.
  void CloseUnits();
};

// Per-recording values, overwritten by every opening.
struct RecordingState {
  std::array<char, 10> StationName{};
  std::array<std::array<char, kNameLength>, 2> ChFileName{};
  std::array<int32_t, 10> ChOpenErr{};
  int32_t IOpenStatus = 0;
  TimeStamp RecStart, WinStart, WinEnd, BlockTime;
  int32_t ISecOfDay = 0;
};

// The names and start time that a name table entry gives: StationName,
// ChFileName (channel digit at position 19) and the date and time fields of
// RecStart, read "(i4,5i2)" from the first 14 characters. Returns the
// conversion error of those digits (None when they read).
ReadError DeriveRecordingNames(const std::array<char, kNameLength>& entry, RecordingState& rec);

// Opens recording IFile (1-based) of the name table: echoes the choice, derives
// the names and start time (a name whose first 14 characters are not the date
// digits ends the run with the conversion report) and opens the channel files
// on units 1 and 2: IOpenStatus 0 when at least one opened (the caller then
// creates the result files, CreateResultFiles). When neither opened, writes
// the open error line and sets IOpenStatus to 1.
// The choice and the open error line go to `console`; the conversion report
// ends the run through `fatal`.
void OpenRecording(RecordSink& console, FatalHandler& fatal, RecordingFiles& files,
                   const NameTable& names, int32_t IFile, RecordingState& rec);

}  // namespace hfd
