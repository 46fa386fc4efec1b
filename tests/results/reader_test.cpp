// The result-file reader against files written by the analyser's writers
// (every value read back as written, times as UTC across midnight), and
// against files it must refuse or cut short.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "results/result_files.hpp"
#include "results/result_writer.hpp"
#include "results/text_lines.hpp"

namespace hfd::test {
namespace {

using results::ReadError;
using test::ResultFolder;
using test::StampAt;

constexpr int64_t kMay1Utc = 1209600000000;  // 2008-05-01T00:00:00Z

// Peak values of block k; channel 2 of block 2 too wide for its fields.
void FillPeaks(BlockResult& s, int k) {
  s.channel[0].AvAmp = 0.001 * k, s.channel[0].S4Indx = 1.25 + k;
  s.channel[0].DfFrqMx = 4.0f + 0.5f * static_cast<float>(k), s.channel[0].DfAmpMx = 60.25f;
  s.channel[0].DfPhsMx = -170.5f + static_cast<float>(k);
  s.channel[1].AvAmp = -0.002, s.channel[1].S4Indx = 0.5;
  s.channel[1].DfFrqMx = 7.9101562f, s.channel[1].DfAmpMx = k == 2 ? 123456.0f : 68.02f, s.channel[1].DfPhsMx = 151.06f;
}

// A .max of blocks k = first..first+count-1 of a recording that started at
// `start` seconds of day (N = 1024: every 10.24 s).
std::string MaxText(double start, int count, int first = 0) {
  auto s = std::make_unique<BlockResult>();
  test::Records con, file;
  WritePeakHeader(file);
  for (int k = first; k < first + count; ++k) {
    FillPeaks(*s, k);
    const TimeStamp t = StampAt(2008, 5, 1, start + 10.24 * k);
    WritePeakBlock(con, file, k, t, test::SecOfDay(t), *s);
  }
  return test::FileText(file);
}

std::string QdrText(double start, int count) {
  auto s = std::make_unique<BlockResult>();
  test::Records con, file;
  WriteAmplitudeHeader(file, StationNameFor("SGD"), StampAt(2008, 5, 1, start), 0.01, 1024);
  for (int k = 0; k < count; ++k) {
    FillPeaks(*s, k);
    WriteAmplitudeBlock(con, file, k, StampAt(2008, 5, 1, start + 10.24 * k), *s);
  }
  return test::FileText(file);
}

float Level(int c, int k, int i) { return -60.0f + 0.125f * static_cast<float>(c * 1000 + k * 7 + i); }
float Phase(int c, int k, int i) { return static_cast<float>((c * 31 + k * 13 + i * 5) % 360) - 179.5f; }

// A .spc of N = n, blocks k = 0..count-1 from `start` seconds of day.
std::string SpcText(int n, double start, int count, int bins) {
  const auto b = static_cast<size_t>(bins);
  std::vector<float> freq(b), level[2] = {freq, freq}, phase[2] = {freq, freq};
  test::Records file;
  for (int k = 0; k < count; ++k) {
    const TimeStamp t = StampAt(2008, 5, 1, start + n * 0.01 * k);
    WriteSpectrumBlockLine(file, k, t, test::SecOfDay(t));
    SpectrumLines lines;
    lines.freq = freq;
    for (int c = 1; c <= 2; ++c) lines.level[c - 1] = level[c - 1], lines.phase[c - 1] = phase[c - 1];
    for (size_t i = 0; i < b; ++i) {
      freq[i] = static_cast<float>(static_cast<int>(i) / (n * 0.01));
      for (int c = 1; c <= 2; ++c) {
        level[c - 1][i] = Level(c, k, static_cast<int>(i));
        phase[c - 1][i] = Phase(c, k, static_cast<int>(i));
      }
    }
    WriteSpectrumLines(file, lines);
  }
  return test::FileText(file);
}

TEST(ResultReader, PeakSummaryValuesAndTimesAcrossMidnight) {
  ResultFolder dir;
  // From 23:59:40 JST: blocks 0..2 before midnight, 3..4 after (hour 24).
  const auto s = results::ReadPeakFile(dir.Put("200805012359SGD.max", MaxText(86380.0, 5)));
  EXPECT_EQ(s.kind, results::Kind::kPeak);
  EXPECT_EQ(s.station_code, "SGD");
  EXPECT_EQ(s.data_length, 1024);
  EXPECT_EQ(s.dropped_lines, 0);
  ASSERT_EQ(s.blocks.size(), 5u);
  for (int k = 0; k < 5; ++k) {
    const results::PeakBlock& b = s.blocks[k];
    EXPECT_EQ(b.step, k);
    // 86380 + 10.24 k s after 00:00 JST, less 9 hours: exact, although the
    // file holds whole seconds only.
    EXPECT_EQ(b.utc_ms, kMay1Utc + 86380000 + 10240 * k - results::kJstOffsetMs);
    EXPECT_DOUBLE_EQ(b.mean[0], std::round(k) * 0.001);
    EXPECT_DOUBLE_EQ(b.scint[0], 1.25 + k);
    EXPECT_DOUBLE_EQ(b.peak[0].freq_hz, 4.0 + 0.5 * k);
    EXPECT_DOUBLE_EQ(b.peak[0].level_dbuv, 60.25);
    EXPECT_DOUBLE_EQ(b.peak[0].phase_deg, -170.5 + k);
    EXPECT_DOUBLE_EQ(b.mean[1], -0.002);
    EXPECT_DOUBLE_EQ(b.peak[1].freq_hz, 7.91);  // two decimals as written
    EXPECT_DOUBLE_EQ(b.peak[1].phase_deg, 151.06);
    if (k == 2) {
      EXPECT_TRUE(std::isnan(b.peak[1].level_dbuv));  // asterisks
    } else {
      EXPECT_DOUBLE_EQ(b.peak[1].level_dbuv, 68.02);
    }
  }
  EXPECT_EQ(results::FormatIsoTime(s.blocks[4].utc_ms, 0), "2008-05-01T15:00:20.960Z");
  EXPECT_EQ(results::FormatIsoTime(s.blocks[4].utc_ms, 540), "2008-05-02T00:00:20.960+09:00");
}

// One block does not show N: the start minute in the file name tells it, or
// a joined part that knows it.
TEST(ResultReader, ExactTimeOfALoneBlock) {
  ResultFolder dir;
  const std::string one = MaxText(43200, 1, 20);  // 204.8 s after 12:00:00
  const int64_t exact = kMay1Utc + 43404800 - results::kJstOffsetMs;
  const auto named = results::ReadPeakFile(dir.Put("200805011200SGD.max", one));
  EXPECT_EQ(named.data_length, 1024);
  EXPECT_EQ(named.blocks[0].utc_ms, exact);
  auto unnamed = results::ReadPeakFile(dir.Put("one.max", one));
  EXPECT_EQ(unnamed.data_length, 0);
  EXPECT_EQ(unnamed.blocks[0].utc_ms, exact - 800);  // whole seconds: N unknown
  std::vector<results::PeakSeries> parts;
  parts.push_back(std::move(unnamed));
  parts.push_back(results::ReadPeakFile(dir.Put("200805010000SGD.max", MaxText(0, 2))));
  const auto joined = results::Join(std::move(parts));
  EXPECT_EQ(joined.blocks.back().utc_ms, exact);
}

TEST(ResultReader, AmplitudeFileMillisecondsAndHeader) {
  ResultFolder dir;
  const auto s = results::ReadPeakFile(dir.Put("200805012359SGD.qdr", QdrText(86380.0, 5)));
  EXPECT_EQ(s.kind, results::Kind::kAmplitude);
  EXPECT_EQ(s.station_name, "Sugadaira");
  EXPECT_EQ(s.data_length, 1024);
  ASSERT_EQ(s.blocks.size(), 5u);
  for (int k = 0; k < 5; ++k) {
    const results::PeakBlock& b = s.blocks[k];
    EXPECT_EQ(b.step, -1);
    EXPECT_EQ(b.utc_ms, kMay1Utc + 86380000 + 10240 * k - results::kJstOffsetMs) << k;
    EXPECT_DOUBLE_EQ(b.peak[0].freq_hz, 4.0 + 0.5 * k);
    EXPECT_DOUBLE_EQ(b.peak[1].freq_hz, 7.9102);  // four decimals here
    EXPECT_TRUE(std::isnan(b.mean[0]) && std::isnan(b.scint[1]) && std::isnan(b.peak[0].phase_deg));
  }
  EXPECT_TRUE(std::isnan(s.blocks[2].peak[1].level_dbuv));
}

TEST(ResultReader, SpectrumEveryValueForEachDataLength) {
  ResultFolder dir;
  for (auto [n, bins] : {std::pair{512, 62}, {1024, 123}, {2048, 246}, {4096, 492}}) {
    const auto s = results::ReadSpectrumFile(dir.Put("200805012359SGD.spc", SpcText(n, 86370.0, 4, bins)));
    ASSERT_EQ(s.data_length, n);
    ASSERT_EQ(s.bins(), static_cast<size_t>(bins));
    ASSERT_EQ(s.blocks(), 4u);
    EXPECT_EQ(s.dropped_lines, 0);
    EXPECT_FLOAT_EQ(s.freq_hz[1], static_cast<float>(std::round(100000.0 / n) / 1000));
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(s.step[k], k);
      EXPECT_EQ(s.utc_ms[k], kMay1Utc + 86370000 + n * 10 * k - results::kJstOffsetMs);
      for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < bins; ++i) {
          const size_t at = static_cast<size_t>(k * bins + i);
          ASSERT_EQ(s.level[c][at], Level(c + 1, k, i)) << n << " " << k << " " << i;
          ASSERT_EQ(s.phase[c][at], Phase(c + 1, k, i)) << n << " " << k << " " << i;
        }
      }
    }
  }
}

// The message names the file and the line.
void ExpectRefused(const std::string& path, long line, const char* what) {
  try {
    if (results::KindOfPath(path) == results::Kind::kSpectrum) {
      results::ReadSpectrumFile(path);
    } else {
      results::ReadPeakFile(path);
    }
    ADD_FAILURE() << what << ": read without error";
  } catch (const ReadError& e) {
    EXPECT_EQ(e.file(), path) << what;
    EXPECT_EQ(e.line(), line) << what << ": " << e.what();
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << what;
  }
}

TEST(ResultReader, RefusesWhatIsNoResultFile) {
  ResultFolder dir;
  ExpectRefused(dir.Put("a.max", ""), 0, "empty file");
  ExpectRefused(dir.Path("missing.spc"), 0, "missing file");
  ExpectRefused(dir.Put("a.max", "hello\r\n"), 0, "text");
  ExpectRefused(dir.Put("b.max", QdrText(0, 2)), 0, ".qdr named .max");
  ExpectRefused(dir.Put("b.qdr", MaxText(0, 2)), 0, ".max named .qdr");
  ExpectRefused(dir.Put("b.spc", MaxText(0, 2)), 0, ".max named .spc");
  ExpectRefused(dir.Put("b.txt", MaxText(0, 2)), 0, "other extension");
  ExpectRefused(dir.Put("c.spc", SpcText(1024, 0, 1, 123).substr(33)), 0, ".spc without block line");

  // No line end at all: random bytes, a result file with CR-only line ends.
  // Neither is an incomplete end (which is never longer than a line).
  std::string noise(5 << 20, '\0');
  uint32_t x = 1;
  for (char& c : noise) x = x * 1664525 + 1013904223, c = static_cast<char>(x >> 24 == '\n' ? 0 : x >> 24);
  ExpectRefused(dir.Put("d.spc", noise), 0, "5 MB of noise");
  ExpectRefused(dir.Put("e.spc", noise.substr(0, 5000)), 0, "5 kB of noise");
  // Nor is a short text without a line end, alone or after the last line.
  ExpectRefused(dir.Put("h.spc", "hello world"), 0, "text without a line end");
  ExpectRefused(dir.Put("h.max", MaxText(0, 2) + "hello"), 4, "text after the last line");
  for (const auto& [name, text] : {std::pair{"f.spc", SpcText(512, 0, 3, 62)}, {"f.max", MaxText(0, 3)},
                                   {"f.qdr", QdrText(0, 3)}}) {
    std::string cr = text;
    std::erase(cr, '\n');
    ExpectRefused(dir.Put(name, cr), 0, name);
  }
  // A FIFO, which nothing writes to, is refused without waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.Path("g.max").c_str(), 0600), 0);
  ExpectRefused(dir.Path("g.max"), 0, "FIFO");
}

TEST(ResultReader, RefusesGarbageInTheMiddle) {
  ResultFolder dir;
  std::string max = MaxText(0, 4);
  max.replace(max.find("60.25"), 5, "6x.25");  // block 0 is line 2
  ExpectRefused(dir.Put("a.max", max), 2, "letter in a .max field");
  std::string qdr = QdrText(0, 4);
  qdr.insert(qdr.find("\r\n", qdr.find("ss.mmm")) + 2, "\r\n");
  ExpectRefused(dir.Put("a.qdr", qdr), 5, "empty line in a .qdr");
  std::string spc = SpcText(1024, 0, 3, 123);
  const size_t line130 = 124 + 5;  // block 1's 5th bin line (0-based line 129)
  size_t at = 0;
  for (size_t i = 0; i < line130; ++i) at = spc.find('\n', at) + 1;
  spc[at + 20] = '#';
  ExpectRefused(dir.Put("a.spc", spc), 130, "garbage bin line");
  std::string shortblock = SpcText(1024, 0, 1, 60) + SpcText(1024, 20, 2, 123);
  ExpectRefused(dir.Put("b.spc", shortblock), 62, "block with too few bins");
  std::string mixed = SpcText(1024, 0, 1, 123) + SpcText(512, 20, 1, 62);
  ExpectRefused(dir.Put("c.spc", mixed), 127, "second block of another data length");
}

// Lines of a text: the first `n` with their ends.
size_t LineStart(const std::string& text, int n) {
  size_t at = 0;
  for (int i = 0; i < n; ++i) at = text.find('\n', at) + 1;
  return at;
}

// What the fuzzer found the reader let through: blocks out of time order
// (the joined series then out of order), times whose year ISO 8601 cannot
// write, and first-block bin frequencies of no bin. Read from memory, as the
// fuzzer does, the same as from the file.
TEST(ResultReader, RefusesBlocksOutOfOrderAndTimesOrFrequenciesOutOfPlace) {
  ResultFolder dir;
  auto refused = [](auto read, long line, const char* why) {
    try {
      read();
      ADD_FAILURE() << why << ": read without error";
    } catch (const ReadError& e) {
      EXPECT_EQ(e.line(), line) << why << ": " << e.what();
    }
  };
  const std::string max = MaxText(0, 3), qdr = QdrText(0, 3);
  const std::string path = dir.Put("200805010000SGD.max", max);
  EXPECT_EQ(results::ReadPeakText(max, path).blocks[2].utc_ms, results::ReadPeakFile(path).blocks[2].utc_ms);
  // Blocks 1 and 2 swapped (lines 3 and 4); a block repeated.
  std::string swapped = max.substr(0, LineStart(max, 2)) + max.substr(LineStart(max, 3), 111) +
                        max.substr(LineStart(max, 2), 111);
  refused([&] { results::ReadPeakText(swapped, "a.max"); }, 4, ".max blocks swapped");
  std::string repeated = qdr + qdr.substr(LineStart(qdr, 6), LineStart(qdr, 7) - LineStart(qdr, 6));
  refused([&] { results::ReadPeakText(repeated, "a.qdr"); }, 8, ".qdr block repeated");
  const std::string spc = SpcText(512, 0, 2, 62);
  refused([&] { results::ReadSpectrumText(spc + spc.substr(0, 33 + 62 * 46), "a.spc"); }, 127, ".spc block repeated");

  // Years past 9999: a .max year field, the .qdr header's eight-digit year.
  std::string far = max;
  far.replace(far.find(" 2008", LineStart(max, 1)), 5, "10000");
  refused([&] { results::ReadPeakText(far, "a.max"); }, 2, ".max year 10000");
  far = qdr;
  far.replace(far.find("    2008/"), 8, "   62008");
  refused([&] { results::ReadPeakText(far, "a.qdr"); }, 5, ".qdr year 62008");

  // Bin 0 not at 0 Hz; bin 9 of N = 512 (1.758 Hz) written as 1.760.
  std::string bins = spc;
  bins.replace(LineStart(bins, 1), 6, "  .001");
  refused([&] { results::ReadSpectrumText(bins, "a.spc"); }, 2, "bin 0 off zero");
  bins = spc;
  ASSERT_EQ(bins.substr(LineStart(bins, 10), 6), " 1.758");
  bins.replace(LineStart(bins, 10), 6, " 1.760");
  refused([&] { results::ReadSpectrumText(bins, "a.spc"); }, 11, "bin 9 off its frequency");
}

TEST(ResultReader, LeavesOutAnIncompleteEnd) {
  ResultFolder dir;
  const std::string max = MaxText(0, 4);
  auto s = results::ReadPeakFile(dir.Put("a.max", max.substr(0, max.size() - 30)));
  EXPECT_EQ(s.blocks.size(), 3u);
  EXPECT_EQ(s.dropped_lines, 1);
  // Cut right before the CR LF, or between them: the text is whole, its end is not.
  for (size_t cut : {2, 1}) {
    s = results::ReadPeakFile(dir.Put("a.max", max.substr(0, max.size() - cut)));
    EXPECT_EQ(s.blocks.size(), 3u);
    EXPECT_EQ(s.dropped_lines, 1);
  }
  const std::string qdr = QdrText(0, 3);
  s = results::ReadPeakFile(dir.Put("a.qdr", qdr.substr(0, qdr.size() - 7)));
  EXPECT_EQ(s.blocks.size(), 2u);
  EXPECT_EQ(s.dropped_lines, 1);
  s = results::ReadPeakFile(dir.Put("a.qdr", qdr.substr(0, qdr.size() - 1)));
  EXPECT_EQ(s.blocks.size(), 2u);
  EXPECT_EQ(s.dropped_lines, 1);
  // Header only (the first block's read failed): no blocks, nothing dropped.
  s = results::ReadPeakFile(dir.Put("b.qdr", QdrText(0, 0)));
  EXPECT_EQ(s.blocks.size(), 0u);
  EXPECT_EQ(s.dropped_lines, 0);

  // .spc: the last block cut inside its bins, or a block line alone at the end.
  const std::string spc = SpcText(512, 0, 3, 62);
  auto p = results::ReadSpectrumFile(dir.Put("a.spc", spc.substr(0, spc.size() - 46 * 10 - 3)));
  EXPECT_EQ(p.blocks(), 2u);
  EXPECT_EQ(p.dropped_lines, 1 + 52);
  EXPECT_EQ(p.level[0].size(), 2u * 62);
  const std::string spc4 = SpcText(512, 0, 4, 62);
  p = results::ReadSpectrumFile(dir.Put("a.spc", spc4.substr(0, 3 * (33 + 62 * 46) + 33)));
  EXPECT_EQ(p.blocks(), 3u);
  EXPECT_EQ(p.dropped_lines, 0);  // the normal end of a recording that ran out of data
  p = results::ReadSpectrumFile(dir.Put("a.spc", spc + spc.substr(0, 20)));
  EXPECT_EQ(p.blocks(), 3u);
  EXPECT_EQ(p.dropped_lines, 1);
  p = results::ReadSpectrumFile(dir.Put("a.spc", spc.substr(0, spc.size() - 1)));
  EXPECT_EQ(p.blocks(), 2u);
  EXPECT_EQ(p.dropped_lines, 1 + 62);
  p = results::ReadSpectrumFile(dir.Put("a.spc", spc.substr(0, 33 + 46 * 5)));
  EXPECT_EQ(p.blocks(), 0u);
  EXPECT_EQ(p.dropped_lines, 6);
}

// Block starts a scan gives, with the level of channel 2, bin 3 of each.
struct Starts : results::SpectrumVisitor {
  std::vector<int64_t> t;
  std::vector<float> level;
  int32_t n = 0;
  void Start(int32_t data_length, const std::vector<float>&) override { n = data_length; }
  void Block(int32_t, int64_t utc_ms, const float* v) override { t.push_back(utc_ms), level.push_back(v[4 * 3 + 2]); }
};

// Scans [a, b) of `path` and expects blocks first..first+count-1 of `whole`.
void ExpectScan(const std::string& path, const results::SpectrumSeries& whole, int64_t a, int64_t b,
                size_t first, size_t count) {
  Starts got;
  EXPECT_EQ(results::ScanSpectrumFile(path, a, b, got), 0);
  ASSERT_EQ(got.t.size(), count) << first;
  EXPECT_EQ(got.n, whole.data_length);
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(got.t[i], whole.utc_ms[first + i]);
    EXPECT_EQ(got.level[i], whole.level[1][(first + i) * whole.bins() + 3]);
  }
}

TEST(ResultReader, ScanGivesTheBlocksOfASpanWhetherItSkipsOrReadsThrough) {
  ResultFolder dir;
  const std::string crlf = SpcText(1024, 0, 40, 123);
  std::string lf = crlf;  // lines of other sizes: no skipping, the same blocks
  std::erase(lf, '\r');
  const auto whole = results::ReadSpectrumFile(dir.Put("w.spc", crlf));
  const int64_t t0 = whole.utc_ms[0];
  for (const std::string* text : {&crlf, static_cast<const std::string*>(&lf)}) {
    const std::string path = dir.Put("s.spc", *text);
    for (auto [from, to] : {std::pair{0, 40}, {17, 23}, {39, 40}, {1, 2}, {40, 41}}) {
      // From a little after block `from`'s start: that block is under way.
      const int64_t a = from == 0 ? std::numeric_limits<int64_t>::min() : whole.utc_ms[from - 1] + 5;
      const int64_t b = to < 40 ? whole.utc_ms[to] : std::numeric_limits<int64_t>::max();
      const int first = from == 0 ? 0 : from - 1;
      ExpectScan(path, whole, a, b, static_cast<size_t>(first), static_cast<size_t>(std::min(to, 40) - first));
    }
    results::SpectrumExtent e;
    ASSERT_TRUE(results::SpectrumFileExtent(path, e));
    EXPECT_EQ(e.first_ms, t0);
    EXPECT_EQ(e.last_ms, whole.utc_ms[39]);
    EXPECT_EQ(e.data_length, 1024);
  }
  // A cut end is counted when the reading reaches it; a garbled line is
  // found when read, not when skipped.
  results::SpectrumExtent e;
  ASSERT_TRUE(results::SpectrumFileExtent(dir.Put("c.spc", crlf.substr(0, crlf.size() - 100)), e));
  EXPECT_EQ(e.last_ms, whole.utc_ms[38]);
  EXPECT_GT(e.dropped_lines, 0);
  // Cut inside its first block (a run that has just begun): no block, and
  // the lines left out are counted all the same.
  EXPECT_FALSE(results::SpectrumFileExtent(dir.Put("f.spc", crlf.substr(0, 33 + 46 * 10 + 20)), e));
  EXPECT_EQ(e.dropped_lines, 12);  // the block line, ten bin lines and part of one
  std::string garbled = crlf;
  garbled[2 * (33 + 123 * 46) + 33 + 10] = 'x';  // block 2, bin 0
  const std::string g = dir.Put("g.spc", garbled);
  Starts late;
  EXPECT_EQ(results::ScanSpectrumFile(g, whole.utc_ms[30], std::numeric_limits<int64_t>::max(), late), 0);
  EXPECT_EQ(late.t.size(), 11u);
  Starts all;
  EXPECT_THROW(results::ScanSpectrumFile(g, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), all),
               ReadError);
}

TEST(ResultReader, JoinOrdersPartsAndRefusesMismatches) {
  ResultFolder dir;
  auto late = results::ReadPeakFile(dir.Put("200805011200SGD.max", MaxText(43200, 3)));
  auto early = results::ReadPeakFile(dir.Put("200805010000SGD.max", MaxText(0, 2)));
  const auto joined = results::Join({late, early});
  ASSERT_EQ(joined.blocks.size(), 5u);
  EXPECT_EQ(joined.path, early.path);
  for (size_t i = 1; i < joined.blocks.size(); ++i)
    EXPECT_LT(joined.blocks[i - 1].utc_ms, joined.blocks[i].utc_ms);

  auto cut = joined;
  results::Cut(cut, early.blocks[1].utc_ms, late.blocks[2].utc_ms);
  ASSERT_EQ(cut.blocks.size(), 3u);  // [from, to)
  EXPECT_EQ(cut.blocks.front().utc_ms, early.blocks[1].utc_ms);

  auto qdr = results::ReadPeakFile(dir.Put("200805010000SGD.qdr", QdrText(100, 2)));
  EXPECT_THROW(results::Join({early, qdr}), ReadError);
  EXPECT_THROW(results::Join({early, early}), ReadError);  // overlap
  auto other = results::ReadPeakFile(dir.Put("200805020000KOK.max", MaxText(0, 2)));
  EXPECT_THROW(results::Join({early, other}), ReadError);

  auto a = results::ReadSpectrumFile(dir.Put("200805010000SGD.spc", SpcText(1024, 0, 3, 123)));
  auto b = results::ReadSpectrumFile(dir.Put("200805010100SGD.spc", SpcText(512, 3600, 3, 62)));
  auto c = results::ReadSpectrumFile(dir.Put("200805010200SGD.spc", SpcText(1024, 7200, 2, 123)));
  try {
    results::Join({a, b});
    ADD_FAILURE() << "different data lengths joined";
  } catch (const ReadError& e) {
    EXPECT_EQ(e.file(), b.path);
  }
  auto s = results::Join({c, a});
  ASSERT_EQ(s.blocks(), 5u);
  EXPECT_EQ(s.level[1].size(), 5u * 123);
  EXPECT_EQ(s.level[1][3 * 123 + 7], Level(2, 0, 7));  // c's block 0 follows a's 3
  EXPECT_EQ(s.step[3], 0);
  results::Cut(s, c.utc_ms[0], c.utc_ms[1] + 1);
  ASSERT_EQ(s.blocks(), 2u);
  EXPECT_EQ(s.phase[0][123 + 9], Phase(1, 1, 9));
  EXPECT_EQ(s.level[0].size(), 2u * 123);
}

// A file larger than the reader's window: the scan's halving seeks outside
// it and reads the same blocks as the whole read. Cut short while it is read
// (the analyser run again in the folder): an error saying so, not a crash
// (the reader held after its first line).
TEST(ResultReader, AFileLargerThanTheWindow) {
  ResultFolder dir;
  const std::string text = SpcText(512, 0, 1100, 62);
  ASSERT_GT(text.size(), 3 * results::detail::TextFile::kWindow);
  const std::string path = dir.Put("big.spc", text);
  const auto whole = results::ReadSpectrumFile(path);
  for (size_t from : {3u, 400u, 1050u})
    ExpectScan(path, whole, whole.utc_ms[from] + 5, whole.utc_ms[from + 5], from, 5);

  results::detail::TextFile f(path);
  results::detail::Line l;
  ASSERT_TRUE(f.Next(l));
  ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
  try {
    while (f.Next(l)) {
    }
    ADD_FAILURE() << "read to the end";
  } catch (const ReadError& e) {
    EXPECT_NE(std::string(e.what()).find(path + ": the file changed while it was read"), std::string::npos)
        << e.what();
  }
}

TEST(IsoTime, ParsesOffsetsAndRefusesOthers) {
  int64_t t = 0;
  EXPECT_TRUE(results::ParseIsoTime("2008-05-01T00:00Z", t));
  EXPECT_EQ(t, kMay1Utc);
  EXPECT_TRUE(results::ParseIsoTime("2008-05-01T09:00+09:00", t));
  EXPECT_EQ(t, kMay1Utc);
  EXPECT_TRUE(results::ParseIsoTime("2008-04-30T23:30:10.25-00:30", t));
  EXPECT_EQ(t, kMay1Utc + 10250);
  EXPECT_TRUE(results::ParseIsoTime("2008-02-29T00:00Z", t));
  for (const char* bad : {"2008-05-01T00:00", "2008-05-01 00:00Z", "2008-5-01T00:00Z",
                          "2007-02-29T00:00Z", "2008-05-01T24:00Z", "2008-05-01T00:00:60Z",
                          "2008-05-01T00:00+9:00", "2008-05-01T00:00Zx", "2008-05-01T00:00:00.Z", ""})
    EXPECT_FALSE(results::ParseIsoTime(bad, t)) << bad;
  EXPECT_EQ(results::FormatIsoTime(kMay1Utc - 1, 0), "2008-04-30T23:59:59.999Z");
  EXPECT_EQ(results::FormatIsoTime(kMay1Utc + 10240, -90), "2008-04-30T22:30:10.240-01:30");
  char buf[32];
  EXPECT_EQ(std::string(buf, results::FormatIsoTime(buf, kMay1Utc, 540, true)),
            "2008-05-01T09:00:00.000+09:00");
  // Month ends and leap days through the JST stamps of the files: 31 May 24:00.
  EXPECT_EQ(results::FormatIsoTime(results::UtcMsOfJst(2008, 5, 32, 24, 0, 0), 540),
            "2008-06-01T00:00:00+09:00");
  EXPECT_EQ(results::FormatIsoTime(results::UtcMsOfJst(2000, 2, 29, 23, 59, 59999), 0),
            "2000-02-29T14:59:59.999Z");
}

}  // namespace
}  // namespace hfd::test
