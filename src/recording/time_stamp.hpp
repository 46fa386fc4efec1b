// A point in time of a recording: seconds since 00:00:00 of its start day and
// the calendar fields. The recording start, the time window's ends and every
// block's stamp are TimeStamps.
//
// Block step k starts TOffset = k * TBlock seconds after the recording start;
// its stamp counts hours and days on past midnight (hour 24, day + 1) and
// never advances the month.
//
//   TimeStamp t; t.kH = 12; t.Secs = 12 * 3600.0;
//   StampBlock(rec.RecStart, TOffset, rec.BlockTime);
#pragma once

#include <cstdint>

namespace hfd {

struct TimeStamp {
  double Secs = 0.0;
  int32_t kYear = 0, kMonth = 0, kDay = 0, kH = 0, kM = 0, kS = 0;
};

void StampBlock(const TimeStamp& RecStart, double TOffset, TimeStamp& BlockTime);
int32_t SecondsOfDay(const TimeStamp& t);

}  // namespace hfd
