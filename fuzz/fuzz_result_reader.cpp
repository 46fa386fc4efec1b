// Fuzzes the result-file reader: the input is read as a .max, .qdr or .spc
// file (by its first byte), split on "@@@@" into up to four files that are
// joined and cut. Every series read, joined or cut is held to what the
// reader promises: its arrays agree in size, an error names the file and a
// line of it, a join keeps every block in time order and a cut keeps exactly
// the blocks of its span.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_files.hpp"

namespace {

using namespace hfd::results;

#define Check(ok) Require(ok, #ok, __LINE__)
void Require(bool ok, const char* what, int line) {
  if (ok) return;
  std::fprintf(stderr, "fuzz_result_reader.cpp:%d: check failed: %s\n", line, what);
  std::abort();
}

long Lines(std::string_view text) { return static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1; }

void CheckError(const ReadError& e, const std::string& path, long lines) {
  Check(e.file() == path && e.line() >= 0 && e.line() <= lines);
  Check(std::string_view(e.what()).starts_with(path + ":"));
}

void CheckTimes(const std::vector<int64_t>& t) {
  for (size_t i = 1; i < t.size(); ++i) Check(t[i - 1] < t[i]);
  char buf[32];
  for (int64_t v : {t.empty() ? 0 : t.front(), t.empty() ? 0 : t.back()}) {
    Check(FormatIsoTime(buf, v, 540, true) - buf <= 32);
    int64_t back;
    Check(ParseIsoTime(FormatIsoTime(v, 540), back) && back == v);
  }
}

std::vector<int64_t> Times(const PeakSeries& s) {
  std::vector<int64_t> t;
  for (const PeakBlock& b : s.blocks) t.push_back(b.utc_ms);
  return t;
}

void CheckSeries(const PeakSeries& s, long lines) {
  Check(s.data_length == 0 || s.data_length == 512 || s.data_length == 1024 || s.data_length == 2048 ||
        s.data_length == 4096);
  Check(s.kind == Kind::kPeak || s.data_length != 0);
  Check(s.dropped_lines >= 0 && static_cast<long>(s.blocks.size()) + s.dropped_lines <= lines);
  for (const PeakBlock& b : s.blocks) Check(s.kind == Kind::kPeak ? b.step >= 0 : b.step == -1);
  CheckTimes(Times(s));
}

void CheckSeries(const SpectrumSeries& s, long lines) {
  const size_t n = s.blocks() * s.bins();
  Check(s.utc_ms.size() == s.blocks());
  for (int c = 0; c < 2; ++c) Check(s.level[c].size() == n && s.phase[c].size() == n);
  if (s.blocks() > 0) {
    static const int kLengths[] = {512, 1024, 2048, 4096}, kBins[] = {62, 123, 246, 492};
    const int* at = std::find(kLengths, kLengths + 4, s.data_length);
    Check(at != kLengths + 4 && static_cast<size_t>(kBins[at - kLengths]) == s.bins());
    // Bin frequencies from 0 to 12 Hz, i / (N * 0.01 s) to the three decimals written.
    for (size_t i = 0; i < s.bins(); ++i) Check(std::fabs(s.freq_hz[i] - i * 100.0 / s.data_length) < 0.00051);
  }
  Check(s.dropped_lines >= 0 && s.dropped_lines <= lines);
  CheckTimes(s.utc_ms);
}

size_t Blocks(const PeakSeries& s) { return s.blocks.size(); }
size_t Blocks(const SpectrumSeries& s) { return s.blocks(); }
PeakSeries Read(std::string_view text, const std::string& path, PeakSeries*) { return ReadPeakText(text, path); }
SpectrumSeries Read(std::string_view text, const std::string& path, SpectrumSeries*) {
  return ReadSpectrumText(text, path);
}

// The blocks of [from, to) as Cut must keep them, compared after the cut.
void CheckCut(PeakSeries s, int64_t from, int64_t to) {
  PeakSeries want = s;
  want.blocks.clear();
  for (const PeakBlock& b : s.blocks)
    if (b.utc_ms >= from && b.utc_ms < to) want.blocks.push_back(b);
  Cut(s, from, to);
  Check(Times(s) == Times(want));
}

void CheckCut(SpectrumSeries s, int64_t from, int64_t to) {
  std::vector<int64_t> times;
  std::vector<float> level;
  for (size_t b = 0; b < s.blocks(); ++b) {
    if (s.utc_ms[b] < from || s.utc_ms[b] >= to) continue;
    times.push_back(s.utc_ms[b]);
    level.insert(level.end(), s.level[1].begin() + b * s.bins(), s.level[1].begin() + (b + 1) * s.bins());
  }
  Cut(s, from, to);
  CheckSeries(s, 1L << 40);
  Check(s.utc_ms == times && s.level[1].size() == level.size() &&
        std::equal(level.begin(), level.end(), s.level[1].begin(),
                   [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }));
}

template <class Series>
void Fuzz(const std::vector<std::string_view>& texts, const char* ext, uint8_t ctl, uint8_t cut) {
  std::vector<Series> parts;
  size_t blocks = 0;
  long lines = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    // Result-file names of one station, one of another when ctl says so, or a plain name.
    std::string path = "2008050100" + std::to_string(10 + i) + ((ctl >> 4 & 3) == i ? "TKY" : "SGD") + ext;
    if ((ctl >> 6) == 1 && i == 0) path = std::string("day") + ext;
    try {
      parts.push_back(Read(texts[i], path, static_cast<Series*>(nullptr)));
    } catch (const ReadError& e) {
      CheckError(e, path, Lines(texts[i]));
      continue;
    }
    CheckSeries(parts.back(), Lines(texts[i]));
    blocks += Blocks(parts.back());
    lines += Lines(texts[i]);
  }
  if (parts.empty()) return;
  Series joined;
  try {
    joined = Join(std::move(parts));
  } catch (const ReadError& e) {
    Check(e.line() == 0);
    return;
  }
  CheckSeries(joined, lines);
  Check(Blocks(joined) == blocks);
  if (Blocks(joined) == 0) return;
  // A span around the first block, the whole series or nothing.
  std::vector<int64_t> t;
  if constexpr (std::is_same_v<Series, PeakSeries>) t = Times(joined); else t = joined.utc_ms;
  const int64_t at = t[cut % t.size()];
  CheckCut(joined, at - (cut & 1) * 1000, at + (cut >> 1) * 10000);
  CheckCut(joined, INT64_MIN, INT64_MAX);
  CheckCut(std::move(joined), at, at);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t ctl = data[0], cut = data[1];
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  std::vector<std::string_view> texts;
  while (texts.size() < 3) {
    const size_t at = rest.find("@@@@");
    if (at == std::string_view::npos) break;
    texts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + 4);
  }
  texts.push_back(rest);
  switch (ctl % 3) {
    case 0: Fuzz<PeakSeries>(texts, ".max", ctl, cut); break;
    case 1: Fuzz<PeakSeries>(texts, ".qdr", ctl, cut); break;
    default: Fuzz<SpectrumSeries>(texts, ".spc", ctl, cut); break;
  }
  return 0;
}
