#include "driver/options.hpp"

namespace hfd {


void RunOptionsDialogue(RunIo& io, RunOptions& opt) {
  static const FormatPlan kPrompt("(a,\\)");
  kPrompt.Write(io.console, {" *** Output Files (1:qdr only, 2:spc&max): "});
  io.ReadListInt(opt.IOutFMT);
  if (opt.IOutFMT > 2 || opt.IOutFMT < 1) opt.IOutFMT = 2;

  // Only the four offered lengths reach the analysis: anything else is
  // refused and the question asked again.
  for (;;) {
    kPrompt.Write(io.console, {" *** data length (512, 1024, 2048 or 4096): "});
    io.ReadListInt(opt.NData);
    if (IsDataLength(opt.NData)) break;
    WriteList(io.console, {"=== Error!  NData=", opt.NData});
  }

  opt.NData2 = 2 * opt.NData;
  opt.dt = 0.01;
  opt.dFreq = 1.0 / ((opt.NData * opt.dt) * 2.0);
  opt.IWindow = 2;
  opt.SampleScale = 1.52587890625E-05;  // 2^-16
  opt.NChannel = 2;
  opt.NRecSample = kRecordSamples;
  opt.TBlock = opt.NData * opt.dt;
  opt.IBlockLength = 2 * opt.NRecSample;

  WriteList(io.console, {"IBlockLength=", opt.IBlockLength, "  IOutFMT=", opt.IOutFMT});
  static const FormatPlan kPromptNoComma("(a\\)");
  kPromptNoComma.Write(io.console, {" *** specify the time window (0:no  1:yes): "});
  io.ReadListInt(opt.ITimeWindow);
}

}  // namespace hfd
