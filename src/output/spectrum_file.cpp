#include "output/spectrum_file.hpp"

#include "textio/record_format.hpp"

namespace hfd {

void WriteSpectrumBlockLine(RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                            int32_t ISecOfDay) {
  static constexpr RecordFormat<"(i5,a1,i4,a1,5(i2,a1),i5)"> kBlock;
  kBlock.Write(file, {k, "\t", BlockTime.kYear, "\t", BlockTime.kMonth, "\t", BlockTime.kDay, "\t",
                      BlockTime.kH, "\t", BlockTime.kM, "\t", BlockTime.kS, "\t", ISecOfDay});
}

void WriteSpectrumLines(RecordSink& file, const BlockSpectra& s, int32_t count) {
  static constexpr RecordFormat<"(f6.3,2(a1,f10.3,a1,f7.1))"> kLine;
  for (int32_t i = 0; i < count; ++i) {
    const auto b = static_cast<size_t>(i);
    kLine.Write(file, {s.SpcFrq[b], "\t", s.SpcAmp[1][b], "\t", s.SpcPhs[1][b], "\t",
                       s.SpcAmp[2][b], "\t", s.SpcPhs[2][b]});
  }
}

}  // namespace hfd
