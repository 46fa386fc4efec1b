#include "output/amplitude_file.hpp"

#include <cmath>
#include <string_view>

#include "recording/layouts.hpp"

namespace hfd {

void WriteAmplitudeHeader(RecordSink& file, const std::array<char, 10>& StationName,
                          const TimeStamp& BlockTime, double dt, int32_t NData) {
  static constexpr RecordFormat<kAmplitudeHeaderLine> kLine1;
  const auto rate = static_cast<int32_t>(1.0 / dt);
  kLine1.Write(file, {std::string_view(StationName.data(), StationName.size()), BlockTime.kYear,
                      "/", BlockTime.kMonth, "/", BlockTime.kDay, BlockTime.kH, ":", BlockTime.kM,
                      rate, "Hz", NData});
  for (const FixedTextLine& line : kAmplitudeHeaderTexts) WriteHeaderLine(file, line);
}

void WriteAmplitudeBlock(RecordSink& console, RecordSink& file, int32_t k,
                         const TimeStamp& BlockTime, const BlockResult& r) {
  static constexpr RecordFormat<"(2i5,a1,5(i2,a1),2(2f6.3,f7.3,f6.1))"> kProgress;
  static constexpr RecordFormat<kAmplitudeBlockLine, kAmplitudeBlockItems> kBlock;
  kProgress.Write(console, {k, BlockTime.kYear, "/", BlockTime.kMonth, "/", BlockTime.kDay, " ",
                            BlockTime.kH, ":", BlockTime.kM, ":", BlockTime.kS, " ", r.Ch(1).AvAmp,
                            r.Ch(1).S4Indx, r.Ch(1).DfFrqMx, r.Ch(1).DfAmpMx, r.Ch(2).AvAmp, r.Ch(2).S4Indx,
                            r.Ch(2).DfFrqMx, r.Ch(2).DfAmpMx});
  const double seconds = std::fmod(BlockTime.Secs, 1.0) + BlockTime.kS;
  kBlock.Write(file, {BlockTime.kH, "\t", BlockTime.kM, "\t", seconds, "\t", r.Ch(1).DfFrqMx, "\t",
                      r.Ch(1).DfAmpMx, "\t", r.Ch(2).DfFrqMx, "\t", r.Ch(2).DfAmpMx});
}

}  // namespace hfd
