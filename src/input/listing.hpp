// Finding the recordings of the current directory.
//
// Every entry whose name matches "*-0.BIN" (letter case ignored) is one
// recording. They are listed on the console sorted by name (byte order), with
// number, name, size and attribute letters, then a total line; the name table
// receives each name cut at its first blank and at 30 characters. The
// dialogue's listing holds 500 recordings at most; a listing without a limit
// (runs driven by options) holds every one.
//
//   NameTable names; ListRecordings(io.console, ".", names);
//   // names.NFiles recordings, names.entry[0 .. NFiles-1]
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "recording/vocabulary.hpp"
#include "textio/format.hpp"

namespace hfd {

constexpr int kMaxRecordings = 500;

struct NameTable {
  // Entry i (0-based here) is recording number i+1; a name shorter than 30
  // characters is followed by NULs.
  std::vector<std::array<char, kNameLength>> entry;
  int32_t NFiles = 0;
  bool failed = false;  // the listing ended on a failure (its line was shown)

  // The name as stored: up to its first NUL.
  std::string_view Name(int index) const;
};

// True for names ending in "-0.BIN", letters in any case.
bool MatchesRecordingPattern(std::string_view name);

// Lists the matching entries of `directory` on `console` and fills `names`,
// with at most `limit` entries (0: no limit; those beyond it are counted).
void ListRecordings(RecordSink& console, const char* directory, NameTable& names,
                    size_t limit = kMaxRecordings);

}  // namespace hfd
