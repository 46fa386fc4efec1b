// The station registry of the companion programs: where each receiving
// station (by its three-letter code) lies, its transmitter when known, the
// radio carriers of its two channels and the frequency of zero Doppler shift.
// The analyser keeps its own fixed table of codes and names; this registry is
// read only by the programs that draw and export the results.
//
//   hfd::stations::Registry reg = hfd::stations::LoadRegistry(opt.stations_file);
//   if (const auto* s = reg.Find("SGD")) use(s->latitude_deg, s->zero_doppler_hz[0]);
//
// The file is TOML, one table per station code:
//
//   [SGD]
//   name = "Sugadaira"
//   latitude = 36.52                 # degrees, north positive
//   longitude = 138.35               # degrees, east positive
//   carriers_khz = [5006, 8006]      # channel 1, channel 2 (optional, this default)
//   zero_doppler_hz = [8.0, 8.0]     # per channel, or one number for both (optional)
//   [SGD.transmitter]                # optional
//   name = "..."
//   latitude = 35.0
//   longitude = 139.0
//
// A value out of range (latitude beyond +-90, longitude beyond +-180, a
// carrier not positive, a zero frequency outside 0..50 Hz), a missing or empty
// name, a wrong type, an unknown key, a code other than three letters or
// digits or given twice throws RegistryError naming the file and the line.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "recording/vocabulary.hpp"
#include "textio/file_line_error.hpp"

namespace hfd::stations {

struct Place {
  std::string name;
  double latitude_deg = 0, longitude_deg = 0;  // north and east positive
};

struct Station {
  std::string code, name;
  double latitude_deg = 0, longitude_deg = 0;  // north and east positive
  std::optional<Place> transmitter;
  std::array<double, 2> carriers_khz{kCarriersKhz[0], kCarriersKhz[1]};  // channel 1, channel 2
  std::array<std::optional<double>, 2> zero_doppler_hz;  // per channel, when known
};

// A registry that cannot be found or read. line() is 1-based; 0 when the
// fault is the file as a whole (cannot open, not a regular file, none found).
class RegistryError : public hfd::FileLineError {
 public:
  using FileLineError::FileLineError;
};

class Registry {
 public:
  // The registry in toml_text; path names it in errors and in path().
  static Registry Parse(std::string_view toml_text, const std::string& path);
  // The registry in a regular file (at most 1 MiB).
  static Registry Load(const std::string& path);

  const Station* Find(std::string_view code) const;  // nullptr when absent
  const std::string& path() const { return path_; }  // the file it came from
  const std::vector<Station>& stations() const { return stations_; }  // in file order

 private:
  std::string path_;
  std::vector<Station> stations_;
};

// The registry a program uses, the first of:
//   explicit_path (--stations FILE; empty: none given),
//   $HFDOPPLER_STATIONS,
//   $XDG_CONFIG_HOME/hfdoppler/stations.toml (default ~/.config/hfdoppler/...),
//   the installed default: ../share/hfdoppler/stations.toml beside the running
//   program's folder (also in a build tree), then the install prefix's.
// A file named by the option or the variable must exist; the user's file is
// used when it exists. Throws RegistryError, also when none is found.
Registry LoadRegistry(const std::string& explicit_path);

// The installed default file's place as LoadRegistry looks for it, or the
// install prefix's path when none is there (for --help and messages).
std::string DefaultRegistryPath();

}  // namespace hfd::stations
