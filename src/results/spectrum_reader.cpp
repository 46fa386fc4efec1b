// Reads the spectrum file (.spc) by fixed columns: per block a block line
// (step and time stamp), then one line per bin with level and phase of both
// channels. The data length follows from the second bin's frequency.
#include <cmath>
#include <limits>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "results/data_length.hpp"
#include "results/result_files.hpp"
#include "recording/layouts.hpp"
#include "results/text_lines.hpp"

namespace hfd::results {
namespace {

using namespace detail;

using BlockLayout = RecordLayout<kSpectrumBlockLine>;
using BinLayout = RecordLayout<kSpectrumBinLine>;
constexpr size_t kBlockLine = BlockLayout::kLength;
constexpr size_t kBinLine = BinLayout::kLength;
constexpr size_t kFreqWidth = BinLayout::Width(0);  // a bin line's frequency field

bool IsBlockLine(const Line& l) {
  using L = BlockLayout;
  static constexpr int kTabs[] = {L::Column(1), L::Column(3), L::Column(5), L::Column(7),
                                  L::Column(9), L::Column(11), L::Column(13)};
  return l.size == kBlockLine && SeparatorsAt(l.text, kTabs, '\t');
}

bool ParseBlockLine(const char* t, int32_t& step, int64_t& utc_ms) {
  using L = BlockLayout;
  int32_t y, mo, d, h, mi, s, sod;
  if (!IntField<L>(t, 0, step) || !IntField<L>(t, 2, y) || !IntField<L>(t, 4, mo) ||
      !IntField<L>(t, 6, d) || !IntField<L>(t, 8, h) || !IntField<L>(t, 10, mi) ||
      !IntField<L>(t, 12, s) || !IntField<L>(t, 14, sod))
    return false;
  if (step < 0 || !StampInRange(mo, d, h, mi, s) || sod != h * 3600 + mi * 60 + s)
    return false;
  utc_ms = UtcMsOfJst(y, mo, d, h, mi, s * 1000);
  return true;
}

// Fields of a bin line: channel c's level and phase are fields kLevel and
// kPhase + kPerChannel * c.
constexpr int kLevel = 2, kPhase = 4, kPerChannel = 4;

bool ParseBinLine(const char* t, float* out) {
  using L = BinLayout;
  static constexpr int kTabs[] = {L::Column(1), L::Column(3), L::Column(5), L::Column(7)};
  return SeparatorsAt(t, kTabs, '\t') && FixedField<L>(t, kLevel, out[0]) &&
         FixedField<L>(t, kPhase, out[1]) && FixedField<L>(t, kLevel + kPerChannel, out[2]) &&
         FixedField<L>(t, kPhase + kPerChannel, out[3]);
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

void CheckSpectrumPath(const std::string& path) {
  if (KindOfPath(path) != Kind::kSpectrum) throw ReadError(path, 0, "not a spectrum file name (.spc)");
}

// The size of a block in a file of CR LF lines: its block line and bin lines.
size_t BlockBytes(size_t bins) { return kBlockLine + 2 + bins * (kBinLine + 2); }

// Reads block lines and their bin lines from the file's start, giving the
// visitor each whole block that starts in [from_ms, to_ms) and the last one
// that starts before from_ms. In a file of blocks of one size (as the
// analyser writes them) the blocks before from_ms are found by halving
// without reading them, and the reading ends at the first block at or after
// to_ms; only what is read is checked. Returns the lines of an incomplete end
// left out (0 when the reading ended before the end).
long ScanSpectra(TextFile& f, const std::string& path, int64_t from_ms, int64_t to_ms, SpectrumVisitor& v) {
  size_t bins = 0;                     // known from the first block's second bin line
  int32_t data_length = 0;
  std::string freq_text;               // the first block's frequency fields
  std::vector<float> stage(kMostSpectrumBins * 4);  // the block in progress, bin-major
  std::vector<float> held(kMostSpectrumBins * 4);  // the last whole block before from_ms
  bool have_held = false;
  int32_t held_step = 0;
  int64_t held_ms = 0;
  bool pending = false;                // a block line read, its bins not all yet
  bool started = false;                // the first whole block read
  long block_line = 0;
  int32_t step = 0;
  int64_t utc_ms = 0, prev_ms = 0;
  size_t filled = 0;
  auto give_held = [&] {
    if (have_held) v.Block(held_step, held_ms, held.data());
    have_held = false;
  };

  // The exact start of the block at an index of a file of blocks of one
  // size; false when no block line stands there.
  auto probe = [&](size_t index, int64_t& t) {
    Line pl{};
    const size_t at = index * BlockBytes(bins);
    f.Seek(at, static_cast<long>(index * (bins + 1)));
    int32_t k;
    if (!f.Next(pl) || !pl.ended || !IsBlockLine(pl) || f.Offset() != at + kBlockLine + 2 ||
        !ParseBlockLine(pl.text, k, t))
      return false;
    t += StampFractionMs(k, data_length);
    return true;
  };

  Line l{};
  while (f.Next(l)) {
    if (!l.ended) {  // the end of an interrupted run: the line may be cut anywhere
      if (!CouldBeCut(l, kBinLine))  // but not be text, nor longer than a whole line (no line ends at all)
        throw ReadError(path, l.number == 1 ? 0 : l.number,
                        l.number == 1 ? "not a spectrum (.spc) file" : "not a spectrum line");
      give_held();
      return pending ? l.number - block_line + 1 : 1;
    }
    if (IsBlockLine(l)) {
      if (pending) throw ReadError(path, l.number, "block line where a bin line belongs");
      if (!ParseBlockLine(l.text, step, utc_ms))
        throw ReadError(path, l.number == 1 ? 0 : l.number,
                        l.number == 1 ? "not a spectrum (.spc) file" : "not a block line");
      if (!TimeInRange(utc_ms)) throw ReadError(path, l.number, "block time out of range");
      if (started && utc_ms <= prev_ms)
        throw ReadError(path, l.number, "block time not after the previous block's");
      if (started && utc_ms + StampFractionMs(step, data_length) >= to_ms) {
        give_held();
        return 0;
      }
      pending = true;
      block_line = l.number;
      filled = 0;
      continue;
    }
    if (!pending) {
      throw ReadError(path, l.number == 1 ? 0 : l.number,
                      l.number == 1 ? "not a spectrum (.spc) file" : "not a block line");
    }
    float* val = &stage[4 * filled];
    if (l.size != kBinLine || !ParseBinLine(l.text, val))
      throw ReadError(path, l.number, "not a spectrum bin line");
    if (!started) {  // the first block: its frequencies are the ones every block must repeat
      double freq;
      if (!FixedField<BinLayout>(l.text, 0, freq)) throw ReadError(path, l.number, "not a spectrum bin line");
      if (filled == 1) {
        DataLengthClues clues;
        clues.second_bin = std::string_view(l.text, kFreqWidth);
        data_length = InferDataLength(clues);
        if (data_length == 0) throw ReadError(path, l.number, "bin spacing of no data length");
        bins = static_cast<size_t>(SpectrumBins(data_length));
      }
      if (!IsBinFrequency(freq, filled, data_length))
        throw ReadError(path, l.number, "not the frequency of bin " + std::to_string(filled));
      freq_text.append(l.text, kFreqWidth);
    } else if (std::memcmp(l.text, freq_text.data() + kFreqWidth * filled, kFreqWidth) != 0) {
      throw ReadError(path, l.number, "bin frequency differs from the first block's");
    }
    ++filled;
    if (bins == 0 || filled < bins) continue;

    pending = false;
    const int64_t exact = utc_ms + StampFractionMs(step, data_length);
    prev_ms = exact;
    const bool first = !started;
    if (first) {  // the first whole block: the frequencies
      started = true;
      std::vector<float> freq(bins);
      for (size_t i = 0; i < bins; ++i) FixedField<BinLayout>(freq_text.data() + kFreqWidth * i, 0, freq[i]);
      v.Start(data_length, freq);
    }
    if (exact < from_ms) {
      std::swap(stage, held);
      have_held = true, held_step = step, held_ms = exact;
    } else {
      give_held();
      v.Block(step, exact, stage.data());
    }
    if (!first) continue;
    // Blocks of one size from the start: on by halving to the last block
    // before from_ms.
    const size_t size = BlockBytes(bins), total = f.size() / size;
    int64_t t;
    if (exact >= from_ms || f.Offset() != size || total < 3) continue;
    size_t lo = 0, hi = total;  // the block at lo starts before from_ms, none from hi on
    bool regular = true;
    while (regular && hi - lo > 1) {
      const size_t mid = lo + (hi - lo) / 2;
      regular = probe(mid, t);
      (regular && t < from_ms ? lo : hi) = mid;
    }
    if (regular && lo > 0 && probe(lo, t) && t > prev_ms) {
      f.Seek(lo * size, static_cast<long>(lo * (bins + 1)));
    } else {
      f.Seek(size, static_cast<long>(bins + 1));  // not of one size: read on from the second block
    }
  }
  give_held();
  // A block line with fewer bin lines at the end: a block cut short. A whole
  // block line alone at the end is how every recording that runs out of data
  // ends (its block's read failed): nothing of it is missing.
  if (pending && (filled > 0 || !l.ended)) return l.number - block_line + 1;
  return 0;
}

// The whole series: every block kept.
class SeriesBuilder : public SpectrumVisitor {
 public:
  SeriesBuilder(SpectrumSeries& s, size_t file_size) : s_(s), file_size_(file_size) {}
  void Start(int32_t data_length, const std::vector<float>& freq_hz) override {
    s_.data_length = data_length;
    s_.freq_hz = freq_hz;
    const size_t blocks = file_size_ / BlockBytes(freq_hz.size()) + 1;
    s_.step.reserve(blocks);
    s_.utc_ms.reserve(blocks);
    for (auto* a : {&s_.level[0], &s_.level[1], &s_.phase[0], &s_.phase[1]}) a->reserve(blocks * freq_hz.size());
  }
  void Block(int32_t step, int64_t utc_ms, const float* values) override {
    s_.step.push_back(step);
    s_.utc_ms.push_back(utc_ms);
    for (size_t i = 0; i < s_.bins(); ++i) {
      s_.level[0].push_back(values[4 * i]);
      s_.phase[0].push_back(values[4 * i + 1]);
      s_.level[1].push_back(values[4 * i + 2]);
      s_.phase[1].push_back(values[4 * i + 3]);
    }
  }

 private:
  SpectrumSeries& s_;
  size_t file_size_;
};

SpectrumSeries ReadSpectra(TextFile& f, const std::string& path) {
  SpectrumSeries s;
  s.path = path;
  s.station_code = StationCodeOfPath(path);
  SeriesBuilder builder(s, f.size());
  s.dropped_lines = ScanSpectra(f, path, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), builder);
  if (s.step.empty()) s.data_length = 0, s.freq_hz.clear();
  return s;
}

}  // namespace

SpectrumDecimals SpectrumDecimalsOf() { return {BinLayout::Decimals(kLevel), BinLayout::Decimals(kPhase)}; }

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

long ScanSpectrumFile(const std::string& path, int64_t from_ms, int64_t to_ms, SpectrumVisitor& v) {
  CheckSpectrumPath(path);
  TextFile f(path);
  return ScanSpectra(f, path, from_ms, to_ms, v);
}

bool SpectrumFileExtent(const std::string& path, SpectrumExtent& e) {
  struct Ends : SpectrumVisitor {
    SpectrumExtent& e;
    bool any = false;
    explicit Ends(SpectrumExtent& out) : e(out) {}
    void Start(int32_t data_length, const std::vector<float>&) override { e.data_length = data_length; }
    void Block(int32_t, int64_t utc_ms, const float*) override {
      if (!any) e.first_ms = utc_ms;
      e.last_ms = utc_ms;
      any = true;
    }
  } ends(e);
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min(), kMax = std::numeric_limits<int64_t>::max();
  CheckSpectrumPath(path);
  e = {};
  TextFile f(path);
  const long dropped = ScanSpectra(f, path, kMin, kMin + 1, ends);  // the first block only
  if (!ends.any) {
    e.dropped_lines = dropped;  // less than one block: read to the end
    return false;
  }
  const int64_t first = e.first_ms;
  TextFile g(path);
  e.dropped_lines = ScanSpectra(g, path, kMax, kMax, ends);  // the last block only
  e.first_ms = first;
  return true;
}

}  // namespace hfd::results
