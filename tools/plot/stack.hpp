// The day stack: .max or .qdr files of any number of days drawn as one image
// per channel (5006 kHz left, 8006 kHz right), one row per day and the time of
// day across, coloured by the peak frequency (the Doppler shift when the zero
// frequency is known), the peak level or S4Indx of the blocks in each cell,
// each image with its colour bar; blank where no block lies.
//
//   hfd::plot::StackLayout lay = hfd::plot::PlanStack(files, options, StackValue::kFreq);
//   hfd::plot::WriteStack(lay, files, "year.png", Format::kPng, pdf_date, warn);
//
// The cost follows the picture, not the span: the files' first and last
// blocks are read to find the days, then each file is read in turn and folded
// into an image of at most one row per pixel row (several days share a row
// when there are more days than pixel rows) and one column per pixel column;
// no file is held after it is folded, and no work is done per day without data.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "drawing.hpp"
#include "figure.hpp"
#include "picture_file.hpp"
#include "stations/registry.hpp"
#include "stations/sun.hpp"

namespace hfd::plot {

enum class StackValue { kFreq, kLevel, kS4 };

// "freq", "level" or "s4"; false for any other name.
bool ParseStackValue(std::string_view name, StackValue& v);

struct StackLayout {
  int width = 0, height = 0;
  double scale = 1;          // of fonts, ticks and margins
  StackValue value = StackValue::kFreq;
  int64_t zone_ms = 0;       // offset of the zone of rows and columns: 9 h for JST, 0 for UTC
  int64_t t0_ms = 0, t1_ms = 0;  // the blocks drawn start in [t0_ms, t1_ms)
  int64_t day0 = 0;          // the first row's day: days since 1970-01-01 in the zone
  int64_t days = 1;          // rows of the stack, one per day
  int rows = 1;              // rows of the image: days, or the panel height in pixels when less
  int32_t data_length = 0;   // N (0 when no file tells it)
  std::string station;       // the files' station code
  // Per channel: the frequency of zero shift, subtracted from the peak
  // frequency when `shift` (from --zero, else the registry's).
  double zero_hz[2] = {0, 0};
  bool shift[2] = {false, false};
  bool sun = false;          // sunrise and sunset curves, seen from `place`
  stations::LatLon place{0, 0};  // the reflection point of the station
  Rect panel[2];             // data areas, whole pixels
  Rect colorbar[2];
  std::string title;

  // The day of a UTC time in the zone, and the image row of a day.
  int64_t Day(int64_t utc_ms) const;
  int Row(int64_t day) const { return static_cast<int>((day - day0) * rows / days); }
};

// The station registry when the stack needs it (for the Sun, or for the zero
// frequency when --zero is not given), else an empty one. A registry that
// cannot be read throws stations::RegistryError naming the file and line.
stations::Registry StackRegistry(const PlotOptions& opt, StackValue value);

// Reads the first and last block of every file and plans the picture; the
// files' station is looked up in `reg` (a note on stderr when it is not
// there). Throws results::ReadError naming the file for a file that cannot be
// read, of another kind, station or data length than the first; PlotError
// when no block lies in --from/--to or the picture is too small.
StackLayout PlanStack(const std::vector<std::string>& files, const PlotOptions& opt, StackValue value,
                      const stations::Registry& reg);

// Reads the files one by one into the stack's image and writes the picture
// (through an output file: nothing is left behind on a failure). `warn` hears
// of each file's incomplete end.
void WriteStack(const StackLayout& lay, const std::vector<std::string>& files, const PlotOptions& opt,
                const std::string& out, Format fmt, int64_t pdf_date,
                const std::function<void(const std::string&, long)>& warn);

}  // namespace hfd::plot
