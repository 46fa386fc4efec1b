// Reads the peak summary file (.max) and the amplitude file (.qdr) into one
// series of per-block peaks, by fixed columns.
#include <cmath>
#include <limits>
#include <string_view>

#include "results/result_files.hpp"
#include "results/text_lines.hpp"

namespace hfd::results {
namespace {

using namespace detail;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr std::string_view kMaxHeader =
    "kkkkk\t YYYY\tMM\tDD\tHH\tMM\tSS\tsssss\t"
    " AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t";
constexpr std::string_view kQdrHeader[] = {
    "     CH\t\t5006kHz\t\t8006kHz",
    "     Time(JST)\t\tFreq\tAmp\tFreq\tAmp",
    "hh\tmm\tss.mmm\tHz\tdBuV\tHz\tdBuV",
};

std::string_view Text(const Line& l) { return {l.text, l.size}; }

// Blocks of a .max line: step, date, time, seconds of day, then per channel
// mean "," spread "," frequency, level, phase.
bool ParseMaxLine(const char* t, PeakBlock& b) {
  static constexpr int kTabs[] = {5, 11, 14, 17, 20, 23, 26, 32, 54, 62, 70, 92, 100, 108};
  static constexpr int kCommas[] = {39, 46, 77, 84};
  if (!SeparatorsAt(t, kTabs, '\t') || !SeparatorsAt(t, kCommas, ',')) return false;
  int32_t y, mo, d, h, mi, s, sod;
  if (!ParseI(t, 5, b.step) || !ParseI(t + 6, 5, y) || !ParseI(t + 12, 2, mo) ||
      !ParseI(t + 15, 2, d) || !ParseI(t + 18, 2, h) || !ParseI(t + 21, 2, mi) ||
      !ParseI(t + 24, 2, s) || !ParseI(t + 27, 5, sod))
    return false;
  if (b.step < 0 || !StampInRange(mo, d, h, mi, s) || sod != h * 3600 + mi * 60 + s)
    return false;
  b.utc_ms = UtcMsOfJst(y, mo, d, h, mi, s * 1000);
  for (int c = 0; c < 2; ++c) {
    const char* f = t + 33 + 38 * c;
    Peak& p = b.peak[c];
    if (!ParseF(f, 6, 3, b.mean[c]) || !ParseF(f + 7, 6, 3, b.scint[c]) ||
        !ParseF(f + 14, 7, 2, p.freq_hz) || !ParseF(f + 22, 7, 2, p.level_dbuv) ||
        !ParseF(f + 30, 7, 2, p.phase_deg))
      return false;
  }
  return true;
}

// hh, mm, ss.mmm, then per channel frequency and level.
bool ParseQdrLine(const char* t, int32_t& h, int32_t& mi, int64_t& ms, PeakBlock& b) {
  static constexpr int kTabs[] = {2, 5, 14, 23, 32, 41};
  double sec;
  if (!SeparatorsAt(t, kTabs, '\t') || !ParseI(t, 2, h) || !ParseI(t + 3, 2, mi) ||
      !ParseF(t + 6, 8, 3, sec) || std::isnan(sec) || h < 0 || mi < 0 || mi > 59 || sec < 0 ||
      sec >= 60)
    return false;
  ms = std::llround(sec * 1000);
  b.step = -1;
  for (int c = 0; c < 2; ++c) {
    b.mean[c] = b.scint[c] = b.peak[c].phase_deg = kNaN;
    if (!ParseF(t + 15 + 18 * c, 8, 4, b.peak[c].freq_hz) ||
        !ParseF(t + 24 + 18 * c, 8, 2, b.peak[c].level_dbuv))
      return false;
  }
  return true;
}

// N of a .max file: the one data length whose block spacing fits the steps
// and (whole-second) times of the first and last block.
int32_t InferDataLength(const std::vector<PeakBlock>& blocks) {
  if (blocks.size() < 2) return 0;
  const int64_t dk = blocks.back().step - blocks.front().step;
  const int64_t dt_ms = blocks.back().utc_ms - blocks.front().utc_ms;
  if (dk <= 0) return 0;
  for (int32_t n : kDataLengths) {
    if (std::llabs(dt_ms - dk * n * 10) < 1000) return n;  // N * 0.01 s = N * 10 ms
  }
  return 0;
}

// N of a .max file that does not show it in its blocks (one block): the one
// data length that puts the block's stamp within the start minute of the
// file name plus the whole seconds of k * N * 0.01 s. 0 when the name is not
// a result file name or more than one length fits.
int32_t DataLengthByName(const PeakSeries& s) {
  if (s.blocks.empty() || s.station_code.empty()) return 0;  // the code is there in a result name
  const size_t slash = s.path.find_last_of('/');
  const char* name = s.path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
  int32_t y, mo, d, h, mi;
  if (!ParseI(name, 4, y) || !ParseI(name + 4, 2, mo) || !ParseI(name + 6, 2, d) ||
      !ParseI(name + 8, 2, h) || !ParseI(name + 10, 2, mi) || !StampInRange(mo, d, h, mi, 0))
    return 0;
  const PeakBlock& b = s.blocks.front();
  const int64_t offset_ms = b.utc_ms - UtcMsOfJst(y, mo, d, h, mi, 0);
  int32_t found = 0;
  for (int32_t n : kDataLengths) {
    const int64_t seconds_of_start = offset_ms - int64_t{b.step} * n / 100 * 1000;
    if (seconds_of_start < 0 || seconds_of_start >= 60000) continue;
    if (found != 0) return 0;
    found = n;
  }
  return found;
}

// Blocks stand in time order, each after the one before.
void AddBlock(PeakSeries& s, const PeakBlock& b, const Line& l) {
  if (!TimeInRange(b.utc_ms)) throw ReadError(s.path, l.number, "block time out of range");
  if (!s.blocks.empty() && b.utc_ms <= s.blocks.back().utc_ms)
    throw ReadError(s.path, l.number, "block time not after the previous block's");
  s.blocks.push_back(b);
}

void ReadMax(TextFile& f, PeakSeries& s) {
  Line l{};
  f.Next(l);
  if (Text(l) != kMaxHeader || !l.ended) throw ReadError(s.path, 0, "not a peak summary (.max) file");
  s.blocks.reserve(f.size() / 111 + 1);
  while (f.Next(l)) {
    if (!l.ended) {  // the end of an interrupted run: the line may be cut anywhere
      if (l.size > kMaxHeader.size()) throw ReadError(s.path, l.number, "not a peak summary block line");
      ++s.dropped_lines;
      break;
    }
    PeakBlock b;
    if (l.size != kMaxHeader.size() || !ParseMaxLine(l.text, b))
      throw ReadError(s.path, l.number, "not a peak summary block line");
    AddBlock(s, b, l);
  }
  s.data_length = InferDataLength(s.blocks);
  if (s.data_length == 0) s.data_length = DataLengthByName(s);
  if (s.data_length != 0)
    for (PeakBlock& b : s.blocks) b.utc_ms += StampFractionMs(b.step, s.data_length);
}

void ReadQdr(TextFile& f, PeakSeries& s) {
  Line l{};
  f.Next(l);
  // "(a10,i8,2(a1,i2),i3,a1,i2,i5,a2,i5)": station, date, hour:minute of the
  // first block, sampling rate "Hz", N.
  const char* t = l.text;
  int32_t y, mo, d, h, mi, rate, n;
  if (l.size != 42 || !l.ended || t[18] != '/' || t[21] != '/' || t[27] != ':' || t[35] != 'H' ||
      t[36] != 'z' || !ParseI(t + 10, 8, y) || !ParseI(t + 19, 2, mo) || !ParseI(t + 22, 2, d) ||
      !ParseI(t + 24, 3, h) || !ParseI(t + 28, 2, mi) || !ParseI(t + 30, 5, rate) ||
      !ParseI(t + 37, 5, n) || !StampInRange(mo, d, h, mi, 0) || rate != 100 ||
      !IsDataLength(n))
    throw ReadError(s.path, 0, "not an amplitude (.qdr) file");
  std::string_view name(t, 10);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  s.station_name = name;
  s.data_length = n;
  for (std::string_view want : kQdrHeader) {
    if (!f.Next(l) || Text(l) != want || !l.ended)
      throw ReadError(s.path, 0, "not an amplitude (.qdr) file (incomplete header)");
  }
  // Block hours count from 00:00 of the day the first block's hour counts from.
  const int32_t start_day = d - h / 24;
  s.blocks.reserve(f.size() / 52 + 1);
  while (f.Next(l)) {
    if (!l.ended) {
      if (l.size > 50) throw ReadError(s.path, l.number, "not an amplitude block line");
      ++s.dropped_lines;
      break;
    }
    PeakBlock b;
    int32_t bh, bm;
    int64_t ms;
    if (l.size != 50 || !ParseQdrLine(l.text, bh, bm, ms, b))
      throw ReadError(s.path, l.number, "not an amplitude block line");
    b.utc_ms = UtcMsOfJst(y, mo, start_day + bh / 24, bh, bm, ms);
    AddBlock(s, b, l);
  }
}

// The kind of a peak series file by its name; throws for a spectrum file.
Kind PeakKindOf(const std::string& path) {
  const Kind kind = KindOfPath(path);
  if (kind == Kind::kSpectrum) throw ReadError(path, 0, "a spectrum file holds no peak series");
  return kind;
}

PeakSeries ReadPeaks(TextFile& f, const std::string& path, Kind kind) {
  PeakSeries s;
  s.kind = kind;
  s.path = path;
  s.station_code = StationCodeOf(path);
  if (kind == Kind::kPeak) {
    ReadMax(f, s);
  } else {
    ReadQdr(f, s);
  }
  return s;
}

}  // namespace

PeakSeries ReadPeakFile(const std::string& path) {
  const Kind kind = PeakKindOf(path);
  TextFile f(path);
  return ReadPeaks(f, path, kind);
}

PeakSeries ReadPeakText(std::string_view bytes, const std::string& path) {
  const Kind kind = PeakKindOf(path);
  TextFile f(bytes, path);
  return ReadPeaks(f, path, kind);
}

}  // namespace hfd::results
