#include "driver/batch.hpp"

#include <memory>
#include <vector>
#include <new>

#include "analysis/spectra.hpp"
#include "driver/options.hpp"
#include "driver/time_window.hpp"
#include "input/block_reader.hpp"
#include "input/listing.hpp"
#include "input/recording.hpp"
#include "output/amplitude_file.hpp"
#include "output/result_files.hpp"
#include "output/peak_file.hpp"
#include "output/spectrum_file.hpp"

namespace hfd {
namespace {

// Program-wide storage of a run, allocated once.
struct RunStorage {
  RunOptions opt;
  NameTable names;
  RecordingState rec;
  BlockSpectra spectra;
  int16_t raw[kMaxSamples];  // one channel's records of a block, as read
  RunObserver* observer = nullptr;
  RecordWait* wait = nullptr;
};

void ShowSelectionPrompt(RunIo& io) {
  static const FormatPlan kPrompt("(a,\\)");
  kPrompt.Write(io.console, {"  *** Specify the processing file number (500:all): "});
}

// Selection prompt until the answer is 500 (all) or a listed number.
void SelectRecordings(RunIo& io, int32_t NFiles, int32_t& first, int32_t& last) {
  int32_t iNumber = 0;
  for (;;) {
    ShowSelectionPrompt(io);
    io.ReadListInt(iNumber);
    if (iNumber == 500) {
      first = 1;
      last = NFiles;
      return;
    }
    if (iNumber >= 1 && iNumber <= NFiles) {
      first = last = iNumber;
      return;
    }
    WriteList(io.console, {"=== Error!  iNumber=", iNumber});
  }
}

// Reads and analyses one channel of the current block; false when its read
// failed (the recording ends).
bool ChannelWork(RunIo& io, RunStorage& st, const SpectrumPlan& plan, int c, int32_t IRecBase,
                 int32_t Na) {
  BlockSpectra& s = st.spectra;
  if (st.rec.ChOpenErr[static_cast<size_t>(c)] != 0) {
    FloorChannel(s, plan, c);
    return true;
  }
  ChannelFile& unit = c == 1 ? io.unit1 : io.unit2;
  double sum = 0.0;
  if (!ReadChannelBlock(unit, IRecBase, Na, st.opt.SampleScale, s.x.data(), sum, st.raw))
    return false;
  s.AvAmp[static_cast<size_t>(c)] = sum;
  AnalyseChannel(s, plan, c);
  return true;
}

// The block-step loop of one opened recording.
void ProcessRecording(RunIo& io, RunStorage& st, const SpectrumPlan& plan) {
  const RunOptions& opt = st.opt;
  RecordingState& rec = st.rec;
  BlockSpectra& s = st.spectra;
  ResetRecording(s);
  const int32_t Na = opt.NData / 128;
  int32_t Nc = 0;
  const auto NcMax = static_cast<int32_t>((rec.WinEnd.Secs - rec.WinStart.Secs) / opt.TBlock);
  const auto kMax = static_cast<int32_t>(86400.0 / opt.TBlock);
  WriteList(io.console, {"NcMax=", NcMax, "  kMax=", kMax, "  Na=", Na});
  if (st.observer) st.observer->BlocksPlanned(rec, opt, NcMax);

  for (int32_t k = 0; k <= kMax; ++k) {
    const double TOffset = opt.TBlock * k;
    StampBlock(rec.RecStart, TOffset, rec.BlockTime);
    if (rec.BlockTime.Secs < rec.WinStart.Secs) continue;
    ++Nc;
    if (Nc > NcMax) continue;
    rec.ISecOfDay = SecondsOfDay(rec.BlockTime);

    // Headers come before any sample of the block is read.
    if (opt.IOutFMT == 1) {
      if (Nc == 1) WriteAmplitudeHeader(io.unit3, rec.StationName, rec.BlockTime, opt.dt, opt.NData);
    } else {
      WriteSpectrumBlockLine(io.unit3, k, rec.BlockTime, rec.ISecOfDay);
      if (Nc == 1) WritePeakHeader(io.unit4);
    }

    const int32_t IRecBase = Na * k;
    if (st.wait && !st.wait->AwaitRecords(io, rec, static_cast<int64_t>(IRecBase) + Na)) return;
    BeginBlock(s, plan);
    if (!ChannelWork(io, st, plan, 1, IRecBase, Na)) return;
    if (!ChannelWork(io, st, plan, 2, IRecBase, Na)) return;
    const BlockResult result = BinPass(s, plan);
    if (opt.IOutFMT == 2) WriteSpectrumLines(io.unit3, result.lines);

    if (opt.IOutFMT == 1)
      WriteAmplitudeBlock(io.console, io.unit3, k, rec.BlockTime, result);
    else
      WritePeakBlock(io.console, io.unit4, k, rec.BlockTime, rec.ISecOfDay, result);
    EndBlock(s);
    if (st.wait) {  // readers of a file being written see whole blocks
      io.unit3.Flush();
      io.unit4.Flush();
    }
    if (st.observer) st.observer->BlockWritten();
    if (io.StopRequested()) io.StopForSignal();
  }
}

// The run; RunBatch adds the report for memory running out.
int Run(RunIo& io, AnalysisPath path, RunObserver* observer, RunSelection* selection,
        RecordWait* wait) {
  auto st = std::make_unique<RunStorage>();
  st->observer = observer;
  st->wait = wait;
  RunOptionsDialogue(io, st->opt);
  const SpectrumPlan plan(st->opt.NData, st->opt.dFreq, st->opt.IOutFMT, path);

  ListRecordings(io.console, ".", st->names, selection ? 0 : kMaxRecordings);
  std::vector<int32_t> numbers;
  if (st->names.NFiles == 0) {
    // The selection still learns of a listing that failed or came up empty.
    if (selection) selection->Choose(st->names, numbers);
    return io.Finish();
  }

  if (selection) {
    ShowSelectionPrompt(io);
    selection->Choose(st->names, numbers);
  } else {
    int32_t first = 0, last = 0;
    SelectRecordings(io, st->names.NFiles, first, last);
    for (int32_t IFile = first; IFile <= last; ++IFile) numbers.push_back(IFile);
  }

  for (const int32_t IFile : numbers) {
    if (observer) observer->RecordingChosen(st->names.Name(IFile - 1));
    OpenRecording(io.console, io.fatal, io, st->names, IFile, st->rec);
    if (st->rec.IOpenStatus == 0) CreateResultFiles(st->rec.ChFileName[0], st->opt.IOutFMT, io.unit3, io.unit4);
    if (observer) observer->RecordingOpened(st->rec);
    if (st->rec.IOpenStatus != 1) {
      SettleTimeWindow(io, st->opt.ITimeWindow, st->rec);
      ProcessRecording(io, *st, plan);
    }
    io.CloseUnits();
    if (observer) observer->RecordingClosed();
    if (io.StopRequested()) io.StopForSignal();
  }
  return io.Finish();
}

}  // namespace

int RunBatch(RunIo& io, AnalysisPath path, RunObserver* observer, RunSelection* selection,
             RecordWait* wait) {
  try {
    return Run(io, path, observer, selection, wait);
  } catch (const std::bad_alloc&) {
    io.fatal.MemoryFailure();
  }
}

int RunProgram(AnalysisPath path) {
  auto io = std::make_unique<RunIo>(0, 1, 2);
  io->InstallSignalHandlers();
  return RunBatch(*io, path);
}

}  // namespace hfd
