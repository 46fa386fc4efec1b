#include "output/peak_file.hpp"

#include "textio/record_format.hpp"

namespace hfd {

void WritePeakHeader(RecordSink& file) {
  static const FormatPlan kHeader("(2(a5,a1),5(a2,a1),a5,a1,2(2(a6,a1),3(a7,a1)))");
  const char* t = "\t";
  kHeader.Write(file, {"kkkkk",  t, " YYYY",   t, "MM",      t, "DD",      t, "HH",     t,
                       "MM",     t, "SS",      t, "sssss",   t, " AvAmp",  t, "S4Indx", t,
                       "DfFrqMx", t, "DfAmpMx", t, "DfPhsMx", t, " AvAmp",  t, "S4Indx", t,
                       "DfFrqMx", t, "DfAmpMx", t, "DfPhsMx", t});
}

void WritePeakBlock(RecordSink& console, RecordSink& file, int32_t k, const TimeStamp& BlockTime,
                    int32_t ISecOfDay, const BlockSpectra& s) {
  static const FormatPlan kProgress("(2i5,a1,5(i2,a1),i6/2(5x,5f10.3/))");
  static constexpr RecordFormat<"(2(i5,a1),5(i2,a1),i5,a1,2(2(f6.3,a1),3(f7.2,a1)))"> kBlock;
  const TimeStamp& b = BlockTime;
  kProgress.Write(console, {k, b.kYear, "/", b.kMonth, "/", b.kDay, " ", b.kH, ":", b.kM, ":",
                            b.kS, " ", ISecOfDay, s.AvAmp[1], s.S4Indx[1], s.DfFrqMx[1],
                            s.DfAmpMx[1], s.DfPhsMx[1], s.AvAmp[2], s.S4Indx[2], s.DfFrqMx[2],
                            s.DfAmpMx[2], s.DfPhsMx[2]});
  const char* t = "\t";
  kBlock.Write(file, {k, t, b.kYear, t, b.kMonth, t, b.kDay, t, b.kH, t, b.kM, t, b.kS, t,
                      ISecOfDay, t, s.AvAmp[1], ",", s.S4Indx[1], ",", s.DfFrqMx[1], t,
                      s.DfAmpMx[1], t, s.DfPhsMx[1], t, s.AvAmp[2], ",", s.S4Indx[2], ",",
                      s.DfFrqMx[2], t, s.DfAmpMx[2], t, s.DfPhsMx[2], t});
}

}  // namespace hfd
