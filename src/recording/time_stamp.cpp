#include "recording/time_stamp.hpp"

#include <cmath>

namespace hfd {

void StampBlock(const TimeStamp& RecStart, double TOffset, TimeStamp& BlockTime) {
  double secs = RecStart.Secs + TOffset;
  BlockTime.Secs = secs;
  BlockTime.kYear = RecStart.kYear;
  BlockTime.kMonth = RecStart.kMonth;
  BlockTime.kDay = RecStart.kDay + static_cast<int32_t>(secs / 86400.0);
  BlockTime.kH = static_cast<int32_t>(secs / 3600.0);
  BlockTime.kM = static_cast<int32_t>((secs - BlockTime.kH * 3600.0) / 60.0);
  BlockTime.kS = static_cast<int32_t>(std::fmod(secs, 60.0));
}

int32_t SecondsOfDay(const TimeStamp& t) { return t.kH * 3600 + t.kM * 60 + t.kS; }

}  // namespace hfd
