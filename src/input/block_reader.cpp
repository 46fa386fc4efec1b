#include "input/block_reader.hpp"

namespace hfd {

bool ReadChannelBlock(ChannelFile& unit, int32_t IRecBase, int32_t Na, double SampleScale,
                      float* x, double& sum, int16_t* raw) {
  if (!unit.ReadRecords(static_cast<int64_t>(IRecBase) + 1, Na, raw)) return false;
  const int32_t n = Na * kRecordSamples;
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
