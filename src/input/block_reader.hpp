// The reading of one channel's analysis block: its samples are the Na records
// IRecBase+1 .. IRecBase+Na of the channel file, scaled by 2^-16.
//
//   double sum; bool ok = ReadChannelBlock(io.unit1, Na * k, Na, SampleScale, x, sum, raw);
#pragma once

#include <cstdint>

#include "input/channel_file.hpp"

namespace hfd {

// Reads the block's records into x[0 .. Na*128-1] as single-precision samples
// and their sum (in order, in double precision). `raw` holds Na*128 samples.
// False when any record is missing or unreadable: the recording ends there.
// SampleScale must be a power of two (it is 2^-16), which keeps the sum exact.
bool ReadChannelBlock(ChannelFile& unit, int32_t IRecBase, int32_t Na, double SampleScale,
                      float* x, double& sum, int16_t* raw);

}  // namespace hfd
