#include "output/spectrum_file.hpp"

#include "recording/layouts.hpp"

namespace hfd {

void WriteSpectrumBlockLine(RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                            int32_t ISecOfDay) {
  static constexpr RecordFormat<kSpectrumBlockLine> kBlock;
  kBlock.Write(file, {k, "\t", BlockTime.kYear, "\t", BlockTime.kMonth, "\t", BlockTime.kDay, "\t",
                      BlockTime.kH, "\t", BlockTime.kM, "\t", BlockTime.kS, "\t", ISecOfDay});
}

void WriteSpectrumLines(RecordSink& file, const SpectrumLines& lines) {
  static constexpr RecordFormat<kSpectrumBinLine> kLine;
  for (size_t b = 0; b < lines.freq.size(); ++b) {
    kLine.Write(file, {lines.freq[b], "\t", lines.level[0][b], "\t", lines.phase[0][b], "\t",
                       lines.level[1][b], "\t", lines.phase[1][b]});
  }
}

}  // namespace hfd
