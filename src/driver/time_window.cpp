#include "driver/time_window.hpp"

namespace hfd {
namespace {

double SecondsOf(const TimeStamp& t) {
  return static_cast<double>(t.kH * 3600 + t.kM * 60 + t.kS);
}

}  // namespace

void SettleTimeWindow(RunIo& io, int32_t ITimeWindow, RecordingState& rec) {
  rec.RecStart.Secs = SecondsOf(rec.RecStart);
  if (ITimeWindow == 0) {
    static const FormatPlan kEcho("(a,i2,a1,i2,a1,i2)");
    rec.WinStart.kH = rec.RecStart.kH;
    rec.WinStart.kM = rec.RecStart.kM;
    rec.WinStart.kS = rec.RecStart.kS;
    rec.WinEnd.kH = 24;
    rec.WinEnd.kM = 0;
    rec.WinEnd.kS = 0;
    kEcho.Write(io.console, {" start time (kH,kM,kS)= ", rec.WinStart.kH, ":", rec.WinStart.kM,
                             ":", rec.WinStart.kS});
  } else {
    static const FormatPlan kPrompt("(a\\)");
    static const FormatPlan kTime("(3i2)");
    int32_t t[3];
    kPrompt.Write(io.console, {" *** start time (hhmmss): "});
    io.ReadFormattedInts(kTime, t, 3);
    rec.WinStart.kH = t[0];
    rec.WinStart.kM = t[1];
    rec.WinStart.kS = t[2];
    kPrompt.Write(io.console, {" ***  end  time (hhmmss): "});
    io.ReadFormattedInts(kTime, t, 3);
    rec.WinEnd.kH = t[0];
    rec.WinEnd.kM = t[1];
    rec.WinEnd.kS = t[2];
    if (rec.WinEnd.kH == 0 && rec.WinEnd.kM == 0 && rec.WinEnd.kS == 0) rec.WinEnd.kH = 24;
  }
  rec.WinStart.Secs = SecondsOf(rec.WinStart);
  rec.WinEnd.Secs = SecondsOf(rec.WinEnd);
}

}  // namespace hfd
