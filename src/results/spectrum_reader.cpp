// Reads the spectrum file (.spc) by fixed columns: per block a block line
// (step and time stamp), then one line per bin with level and phase of both
// channels. The data length follows from the second bin's frequency.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "results/result_files.hpp"
#include "results/text_lines.hpp"

namespace hfd::results {
namespace {

using namespace detail;

constexpr size_t kBlockLine = 31;  // "(i5,a1,i4,a1,5(i2,a1),i5)"
constexpr size_t kBinLine = 44;    // "(f6.3,2(a1,f10.3,a1,f7.1))"

bool IsBlockLine(const Line& l) {
  static constexpr int kTabs[] = {5, 10, 13, 16, 19, 22, 25};
  return l.size == kBlockLine && SeparatorsAt(l.text, kTabs, '\t');
}

bool ParseBlockLine(const char* t, int32_t& step, int64_t& utc_ms) {
  int32_t y, mo, d, h, mi, s, sod;
  if (!ParseI(t, 5, step) || !ParseI(t + 6, 4, y) || !ParseI(t + 11, 2, mo) ||
      !ParseI(t + 14, 2, d) || !ParseI(t + 17, 2, h) || !ParseI(t + 20, 2, mi) ||
      !ParseI(t + 23, 2, s) || !ParseI(t + 26, 5, sod))
    return false;
  if (step < 0 || !StampInRange(mo, d, h, mi, s) || sod != h * 3600 + mi * 60 + s)
    return false;
  utc_ms = UtcMsOfJst(y, mo, d, h, mi, s * 1000);
  return true;
}

bool ParseBinLine(const char* t, float* out) {
  static constexpr int kTabs[] = {6, 17, 25, 36};
  return SeparatorsAt(t, kTabs, '\t') && ParseF(t + 7, 10, 3, out[0]) &&
         ParseF(t + 18, 7, 1, out[1]) && ParseF(t + 26, 10, 3, out[2]) &&
         ParseF(t + 37, 7, 1, out[3]);
}

// N from the text of the second bin's frequency (1 / (N * 0.01 s) in F6.3).
int32_t DataLengthOf(std::string_view f) {
  if (f == "  .195") return 512;
  if (f == "  .098") return 1024;
  if (f == "  .049") return 2048;
  if (f == "  .024") return 4096;
  return 0;
}

// Bin i's frequency i / (N * 0.01 s) to the three decimals written (bin 0
// before N is known), compared in thousandths of a hertz as whole numbers.
bool IsBinFrequency(double freq, size_t i, int32_t n) {
  if (!(freq >= 0 && freq < 100)) return false;
  const int64_t milli = std::llround(freq * 1000);
  if (i == 0) return milli == 0;
  const int64_t off = milli * n - static_cast<int64_t>(i) * 100000;
  return 2 * std::llabs(off) <= n;
}

int32_t BinsOf(int32_t n) {  // bins from 0 to 12 Hz
  switch (n) {
    case 512: return 62;
    case 1024: return 123;
    case 2048: return 246;
    default: return 492;
  }
}

void CheckSpectrumPath(const std::string& path) {
  if (KindOfPath(path) != Kind::kSpectrum) throw ReadError(path, 0, "not a spectrum file name (.spc)");
}

SpectrumSeries ReadSpectra(TextFile& f, const std::string& path) {
  SpectrumSeries s;
  s.path = path;
  s.station_code = StationCodeOf(path);

  size_t bins = 0;                     // known from the first block's second bin line
  std::string freq_text;               // the first block's frequency fields
  std::vector<float> stage(492 * 4);   // the block in progress, bin-major
  bool pending = false;                // a block line read, its bins not all yet
  long block_line = 0;
  int32_t step = 0;
  int64_t utc_ms = 0;
  size_t filled = 0;

  Line l{};
  while (f.Next(l)) {
    if (!l.ended) {  // the end of an interrupted run: the line may be cut anywhere
      if (l.size > kBinLine)  // but not be longer than a whole line (no line ends at all)
        throw ReadError(path, l.number == 1 ? 0 : l.number,
                        l.number == 1 ? "not a spectrum (.spc) file" : "not a spectrum line");
      s.dropped_lines = pending ? l.number - block_line + 1 : 1;
      pending = false;
      break;
    }
    if (IsBlockLine(l)) {
      if (pending) throw ReadError(path, l.number, "block line where a bin line belongs");
      if (!ParseBlockLine(l.text, step, utc_ms))
        throw ReadError(path, l.number == 1 ? 0 : l.number,
                        l.number == 1 ? "not a spectrum (.spc) file" : "not a block line");
      if (!TimeInRange(utc_ms)) throw ReadError(path, l.number, "block time out of range");
      if (!s.utc_ms.empty() && utc_ms <= s.utc_ms.back())
        throw ReadError(path, l.number, "block time not after the previous block's");
      pending = true;
      block_line = l.number;
      filled = 0;
      continue;
    }
    if (!pending) {
      throw ReadError(path, l.number == 1 ? 0 : l.number,
                      l.number == 1 ? "not a spectrum (.spc) file" : "not a block line");
    }
    float* v = &stage[4 * filled];
    if (l.size != kBinLine || !ParseBinLine(l.text, v))
      throw ReadError(path, l.number, "not a spectrum bin line");
    if (s.step.empty()) {  // the first block: its frequencies are the ones every block must repeat
      double freq;
      if (!ParseF(l.text, 6, 3, freq)) throw ReadError(path, l.number, "not a spectrum bin line");
      if (filled == 1) {
        s.data_length = DataLengthOf(std::string_view(l.text, 6));
        if (s.data_length == 0) throw ReadError(path, l.number, "bin spacing of no data length");
        bins = static_cast<size_t>(BinsOf(s.data_length));
      }
      if (!IsBinFrequency(freq, filled, s.data_length))
        throw ReadError(path, l.number, "not the frequency of bin " + std::to_string(filled));
      freq_text.append(l.text, 6);
    } else if (std::memcmp(l.text, freq_text.data() + 6 * filled, 6) != 0) {
      throw ReadError(path, l.number, "bin frequency differs from the first block's");
    }
    ++filled;
    if (bins == 0 || filled < bins) continue;

    if (s.step.empty()) {  // the first whole block: frequencies and room for all
      s.freq_hz.resize(bins);
      for (size_t i = 0; i < bins; ++i) ParseF(freq_text.data() + 6 * i, 6, 3, s.freq_hz[i]);
      const size_t blocks = f.size() / (kBlockLine + 2 + bins * (kBinLine + 2)) + 1;
      s.step.reserve(blocks);
      s.utc_ms.reserve(blocks);
      for (auto* a : {&s.level[0], &s.level[1], &s.phase[0], &s.phase[1]}) a->reserve(blocks * bins);
    }
    s.step.push_back(step);
    s.utc_ms.push_back(utc_ms + StampFractionMs(step, s.data_length));
    for (size_t i = 0; i < bins; ++i) {
      s.level[0].push_back(stage[4 * i]);
      s.phase[0].push_back(stage[4 * i + 1]);
      s.level[1].push_back(stage[4 * i + 2]);
      s.phase[1].push_back(stage[4 * i + 3]);
    }
    pending = false;
  }
  // A block line with fewer bin lines at the end: a block cut short. A whole
  // block line alone at the end is how every recording that runs out of data
  // ends (its block's read failed): nothing of it is missing.
  if (pending && (filled > 0 || !l.ended)) s.dropped_lines = l.number - block_line + 1;
  if (s.step.empty()) s.data_length = 0;
  return s;
}

}  // namespace

SpectrumSeries ReadSpectrumFile(const std::string& path) {
  CheckSpectrumPath(path);
  TextFile f(path);
  return ReadSpectra(f, path);
}

SpectrumSeries ReadSpectrumText(std::string_view bytes, const std::string& path) {
  CheckSpectrumPath(path);
  TextFile f(bytes, path);
  return ReadSpectra(f, path);
}

}  // namespace hfd::results
