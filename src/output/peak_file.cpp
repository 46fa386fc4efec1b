#include "output/peak_file.hpp"

#include "recording/layouts.hpp"

namespace hfd {

void WritePeakHeader(RecordSink& file) { WritePeakHeaderLine(file); }

void WritePeakBlock(RecordSink& console, RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                    int32_t ISecOfDay, const BlockResult& r) {
  static const FormatPlan kProgress("(2i5,a1,5(i2,a1),i6/2(5x,5f10.3/))");
  static constexpr RecordFormat<kPeakBlockLine> kBlock;
  const TimeStamp& b = BlockTime;
  const ChannelFigures& c1 = r.Ch(1);
  const ChannelFigures& c2 = r.Ch(2);
  kProgress.Write(console, {k, b.kYear, "/", b.kMonth, "/", b.kDay, " ", b.kH, ":", b.kM, ":",
                            b.kS, " ", ISecOfDay, c1.AvAmp, c1.S4Indx, c1.DfFrqMx,
                            c1.DfAmpMx, c1.DfPhsMx, c2.AvAmp, c2.S4Indx, c2.DfFrqMx,
                            c2.DfAmpMx, c2.DfPhsMx});
  const char* t = "\t";
  kBlock.Write(file, {k, t, b.kYear, t, b.kMonth, t, b.kDay, t, b.kH, t, b.kM, t, b.kS, t,
                      ISecOfDay, t, c1.AvAmp, ",", c1.S4Indx, ",", c1.DfFrqMx, t,
                      c1.DfAmpMx, t, c1.DfPhsMx, t, c2.AvAmp, ",", c2.S4Indx, ",",
                      c2.DfFrqMx, t, c2.DfAmpMx, t, c2.DfPhsMx, t});
}

}  // namespace hfd
