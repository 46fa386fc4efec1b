// A block time stamp for the writer tests; Secs defaults to the seconds of
// the day that the fields give.
#pragma once

#include "recording/time_stamp.hpp"

namespace hfd::test {

inline TimeStamp Stamp(int y, int mo, int d, int h, int mi, int s, double secs = -1.0) {
  TimeStamp t;
  t.kYear = y, t.kMonth = mo, t.kDay = d, t.kH = h, t.kM = mi, t.kS = s;
  t.Secs = secs >= 0.0 ? secs : h * 3600.0 + mi * 60.0 + s;
  return t;
}

}  // namespace hfd::test
