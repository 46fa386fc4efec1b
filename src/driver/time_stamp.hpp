// A point in time of a recording: seconds since 00:00:00 of its start day and
// the calendar fields. The recording start, the time window's ends and every
// block's stamp are TimeStamps.
//
//   TimeStamp t; t.kH = 12; t.Secs = 12 * 3600.0;
#pragma once

#include <cstdint>

namespace hfd {

struct TimeStamp {
  double Secs = 0.0;
  int32_t kYear = 0, kMonth = 0, kDay = 0, kH = 0, kM = 0, kS = 0;
};

}  // namespace hfd
