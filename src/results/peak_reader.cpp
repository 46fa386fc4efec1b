// Reads the peak summary file (.max) and the amplitude file (.qdr) into one
// series of per-block peaks, by fixed columns.
#include <cmath>
#include <limits>
#include <string_view>

#include "results/data_length.hpp"
#include "results/result_files.hpp"
#include "recording/layouts.hpp"
#include "results/text_lines.hpp"

namespace hfd::results {
namespace {

using namespace detail;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using MaxLine = RecordLayout<kPeakBlockLine>;
using QdrHeader = RecordLayout<kAmplitudeHeaderLine>;
using QdrLine = RecordLayout<kAmplitudeBlockLine, kAmplitudeBlockItems>;

// The fields of a channel's values: channel c's value v is field
// v + c * kPerChannel (its separators are the fields between).
struct MaxFields {
  static constexpr int kMean = 16, kScint = 18, kFreq = 20, kLevel = 22, kPhase = 24, kPerChannel = 10;
};
struct QdrFields {
  static constexpr int kFreq = 6, kLevel = 8, kPerChannel = 4;
};

std::string_view Text(const Line& l) { return {l.text, l.size}; }

// Blocks of a .max line: step, date, time, seconds of day, then per channel
// mean "," spread "," frequency, level, phase.
bool ParseMaxLine(const char* t, PeakBlock& b) {
  using L = MaxLine;
  // Fields 0-15: step, year, month, day, hour, minute, second, seconds of day,
  // each followed by a tab; then per channel (10 fields from 16 + 10 c) mean
  // "," spread "," frequency, level, phase, each followed by a tab.
  static constexpr int kTabs[] = {L::Column(1),  L::Column(3),  L::Column(5),  L::Column(7),
                                  L::Column(9),  L::Column(11), L::Column(13), L::Column(15),
                                  L::Column(21), L::Column(23), L::Column(25), L::Column(31),
                                  L::Column(33), L::Column(35)};
  static constexpr int kCommas[] = {L::Column(17), L::Column(19), L::Column(27), L::Column(29)};
  if (!SeparatorsAt(t, kTabs, '\t') || !SeparatorsAt(t, kCommas, ',')) return false;
  int32_t y, mo, d, h, mi, s, sod;
  if (!IntField<L>(t, 0, b.step) || !IntField<L>(t, 2, y) || !IntField<L>(t, 4, mo) ||
      !IntField<L>(t, 6, d) || !IntField<L>(t, 8, h) || !IntField<L>(t, 10, mi) ||
      !IntField<L>(t, 12, s) || !IntField<L>(t, 14, sod))
    return false;
  if (b.step < 0 || !StampInRange(mo, d, h, mi, s) || sod != h * 3600 + mi * 60 + s)
    return false;
  b.utc_ms = UtcMsOfJst(y, mo, d, h, mi, s * 1000);
  for (int c = 0; c < 2; ++c) {
    using F = MaxFields;
    const int at = F::kPerChannel * c;
    Peak& p = b.peak[c];
    if (!FixedField<L>(t, F::kMean + at, b.mean[c]) || !FixedField<L>(t, F::kScint + at, b.scint[c]) ||
        !FixedField<L>(t, F::kFreq + at, p.freq_hz) || !FixedField<L>(t, F::kLevel + at, p.level_dbuv) ||
        !FixedField<L>(t, F::kPhase + at, p.phase_deg))
      return false;
  }
  return true;
}

// hh, mm, ss.mmm, then per channel frequency and level, separated by tabs.
bool ParseQdrLine(const char* t, int32_t& h, int32_t& mi, int64_t& ms, PeakBlock& b) {
  using L = QdrLine;
  static constexpr int kTabs[] = {L::Column(1), L::Column(3), L::Column(5),
                                  L::Column(7), L::Column(9), L::Column(11)};
  double sec;
  if (!SeparatorsAt(t, kTabs, '\t') || !IntField<L>(t, 0, h) || !IntField<L>(t, 2, mi) ||
      !FixedField<L>(t, 4, sec) || std::isnan(sec) || h < 0 || mi < 0 || mi > 59 || sec < 0 ||
      sec >= 60)
    return false;
  ms = std::llround(sec * 1000);
  b.step = -1;
  for (int c = 0; c < 2; ++c) {
    b.mean[c] = b.scint[c] = b.peak[c].phase_deg = kNaN;
    using F = QdrFields;
    if (!FixedField<L>(t, F::kFreq + F::kPerChannel * c, b.peak[c].freq_hz) ||
        !FixedField<L>(t, F::kLevel + F::kPerChannel * c, b.peak[c].level_dbuv))
      return false;
  }
  return true;
}

// Header line 1: station, date, hour:minute of the first block, sampling
// rate "Hz", N.
bool ParseQdrHeader(const Line& l, int32_t& y, int32_t& mo, int32_t& d, int32_t& h, int32_t& mi,
                    int32_t& n) {
  using L = QdrHeader;
  const char* t = l.text;
  int32_t rate;
  return l.size == L::kLength && l.ended && TextField<L>(t, 2, "/") && TextField<L>(t, 4, "/") &&
         TextField<L>(t, 7, ":") && TextField<L>(t, 10, "Hz") && IntField<L>(t, 1, y) &&
         IntField<L>(t, 3, mo) && IntField<L>(t, 5, d) && IntField<L>(t, 6, h) &&
         IntField<L>(t, 8, mi) && IntField<L>(t, 9, rate) && IntField<L>(t, 11, n) &&
         StampInRange(mo, d, h, mi, 0) && rate == 100 && IsDataLength(n);
}

// Blocks stand in time order, each after the one before.
void AddBlock(PeakSeries& s, const PeakBlock& b, const Line& l) {
  if (!TimeInRange(b.utc_ms)) throw ReadError(s.path, l.number, "block time out of range");
  if (!s.blocks.empty() && b.utc_ms <= s.blocks.back().utc_ms)
    throw ReadError(s.path, l.number, "block time not after the previous block's");
  s.blocks.push_back(b);
}

void ReadMax(TextFile& f, PeakSeries& s) {
  static const std::string kHeader = PeakHeaderLineText();
  Line l{};
  f.Next(l);
  if (Text(l) != kHeader || !l.ended) throw ReadError(s.path, 0, "not a peak summary (.max) file");
  s.blocks.reserve(f.size() / (MaxLine::kLength + 2) + 1);
  while (f.Next(l)) {
    if (!l.ended) {  // the end of an interrupted run: the line may be cut anywhere
      if (!CouldBeCut(l, MaxLine::kLength)) throw ReadError(s.path, l.number, "not a peak summary block line");
      ++s.dropped_lines;
      break;
    }
    PeakBlock b;
    if (l.size != MaxLine::kLength || !ParseMaxLine(l.text, b))
      throw ReadError(s.path, l.number, "not a peak summary block line");
    AddBlock(s, b, l);
  }
  if (!s.blocks.empty()) {
    DataLengthClues clues;
    clues.first = &s.blocks.front();
    clues.last = &s.blocks.back();
    clues.path = s.path;
    s.data_length = InferDataLength(clues);
  }
  if (s.data_length != 0)
    for (PeakBlock& b : s.blocks) b.utc_ms += StampFractionMs(b.step, s.data_length);
}

void ReadQdr(TextFile& f, PeakSeries& s) {
  Line l{};
  f.Next(l);
  int32_t y, mo, d, h, mi, n;
  if (!ParseQdrHeader(l, y, mo, d, h, mi, n)) throw ReadError(s.path, 0, "not an amplitude (.qdr) file");
  std::string_view name(l.text + QdrHeader::Column(0), QdrHeader::Width(0));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  s.station_name = name;
  s.data_length = n;
  static const std::string kTexts[] = {HeaderLineText(kAmplitudeHeaderTexts[0]),
                                       HeaderLineText(kAmplitudeHeaderTexts[1]),
                                       HeaderLineText(kAmplitudeHeaderTexts[2])};
  for (const std::string& want : kTexts) {
    if (!f.Next(l) || Text(l) != want || !l.ended)
      throw ReadError(s.path, 0, "not an amplitude (.qdr) file (incomplete header)");
  }
  // Block hours count from 00:00 of the day the first block's hour counts from.
  const int32_t start_day = d - h / 24;
  s.blocks.reserve(f.size() / (QdrLine::kLength + 2) + 1);
  while (f.Next(l)) {
    if (!l.ended) {
      if (!CouldBeCut(l, QdrLine::kLength)) throw ReadError(s.path, l.number, "not an amplitude block line");
      ++s.dropped_lines;
      break;
    }
    PeakBlock b;
    int32_t bh, bm;
    int64_t ms;
    if (l.size != QdrLine::kLength || !ParseQdrLine(l.text, bh, bm, ms, b))
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
  s.station_code = StationCodeOfPath(path);
  if (kind == Kind::kPeak) {
    ReadMax(f, s);
  } else {
    ReadQdr(f, s);
  }
  return s;
}

}  // namespace

PeakDecimals PeakDecimalsOf(Kind kind) {
  using M = MaxLine;
  using F = MaxFields;
  if (kind == Kind::kPeak)
    return {M::Decimals(F::kMean), M::Decimals(F::kScint), M::Decimals(F::kFreq),
            M::Decimals(F::kLevel), M::Decimals(F::kPhase)};
  return {-1, -1, QdrLine::Decimals(QdrFields::kFreq), QdrLine::Decimals(QdrFields::kLevel), -1};
}

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
