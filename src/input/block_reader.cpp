#include "input/block_reader.hpp"

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

bool ReadChannelBlock(ChannelFile& unit, int32_t IRecBase, int32_t Na, double SampleScale,
                      float* x, double& sum, int16_t* raw) {
  if (!unit.ReadRecords(static_cast<int64_t>(IRecBase) + 1, Na, raw)) return false;
  const int32_t n = Na * ChannelFile::kRecordSamples;
  // Every scaled sample is a multiple of the scale 2^-16 below 0.5 in
  // magnitude, so every partial sum of up to 16384 of them is exact in double:
  // summing the integer counts and scaling once gives the same bits as adding
  // the scaled samples one by one, in order.
  // For the same reason each scaled sample (16 significant bits) is exact in
  // single precision: scaling in single precision gives the bits of the
  // double product rounded to single, at twice the vector width.
  const auto scale = static_cast<float>(SampleScale);
  int64_t counts = 0;
  for (int32_t j = 0; j < n; ++j) {
    x[j] = static_cast<float>(raw[j]) * scale;
    counts += raw[j];
  }
  sum = static_cast<double>(counts) * SampleScale;
  return true;
}

}  // namespace hfd
