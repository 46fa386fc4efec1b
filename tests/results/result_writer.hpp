// Result files for the reader tests, written by the analyser's own writers
// into a temporary folder that is removed with the object.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "analysis/spectra.hpp"
#include "input/recording.hpp"
#include "output/amplitude_file.hpp"
#include "output/peak_file.hpp"
#include "output/spectrum_file.hpp"
#include "support/temp_dir.hpp"
#include "textio/record_capture.hpp"

namespace hfd::test {

class ResultFolder {
 public:
  std::string Path(const std::string& name) const { return (dir_.path / name).string(); }
  // Writes text as it stands (no line ends added).
  std::string Put(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }

 private:
  TempDir dir_;
};

// The records, each ended by CR LF as in a result file.
inline std::string FileText(const Records& r) {
  std::string s;
  for (const std::string& l : r.lines) s += l + "\r\n";
  return s;
}

// Stamp of a block `secs` seconds after 00:00 of the start day, as the
// analyser forms it: the hour not reduced, the day advanced after midnight.
inline TimeStamp StampAt(int y, int mo, int d, double secs) {
  TimeStamp t;
  t.Secs = secs;
  t.kYear = y, t.kMonth = mo;
  t.kDay = d + static_cast<int>(secs / 86400.0);
  t.kH = static_cast<int>(secs / 3600.0);
  t.kM = static_cast<int>((secs - t.kH * 3600.0) / 60.0);
  t.kS = static_cast<int>(std::fmod(secs, 60.0));
  return t;
}

inline int SecOfDay(const TimeStamp& t) { return t.kH * 3600 + t.kM * 60 + t.kS; }

}  // namespace hfd::test
