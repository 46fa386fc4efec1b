// Block time stamps and the reading of one channel's analysis block.
//
// Block step k starts TOffset = k * TBlock seconds after the recording start;
// its stamp counts hours and days on past midnight (hour 24, day + 1) and
// never advances the month. The block's samples are the Na records
// IRecBase+1 .. IRecBase+Na of the channel file, scaled by 2^-16.
//
//   StampBlock(rec.RecStart, TOffset, rec.BlockTime);
//   double sum; bool ok = ReadChannelBlock(io.unit1, Na * k, Na, SampleScale, x, sum, raw);
#pragma once

#include <cstdint>

#include "driver/time_stamp.hpp"
#include "input/channel_file.hpp"

namespace hfd {

void StampBlock(const TimeStamp& RecStart, double TOffset, TimeStamp& BlockTime);
int32_t SecondsOfDay(const TimeStamp& t);

// Reads the block's records into x[0 .. Na*128-1] as single-precision samples
// and their sum (in order, in double precision). `raw` holds Na*128 samples.
// False when any record is missing or unreadable: the recording ends there.
// SampleScale must be a power of two (it is 2^-16), which keeps the sum exact.
bool ReadChannelBlock(ChannelFile& unit, int32_t IRecBase, int32_t Na, double SampleScale,
                      float* x, double& sum, int16_t* raw);

}  // namespace hfd
