// Several result files on one time axis, and a time span cut out of one.
#include <algorithm>
#include <numeric>

#include "results/result_files.hpp"

namespace hfd::results {
namespace {

// Part order by first block time; parts without blocks go last. Throws for
// blocks of one part that reach into the next.
template <class Series, class First, class Last>
std::vector<size_t> TimeOrder(const std::vector<Series>& parts, First first, Last last) {
  std::vector<size_t> order(parts.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const bool ea = first(parts[a]) == nullptr, eb = first(parts[b]) == nullptr;
    if (ea || eb) return !ea && eb;
    return *first(parts[a]) < *first(parts[b]);
  });
  for (size_t i = 1; i < order.size(); ++i) {
    const Series& prev = parts[order[i - 1]];
    const Series& cur = parts[order[i]];
    if (first(cur) == nullptr) break;
    if (*first(cur) <= *last(prev))
      throw ReadError(cur.path, 0, "blocks overlap in time with those of " + prev.path);
  }
  return order;
}

template <class Series>
void CheckStation(const Series& a, const Series& b) {
  if (!a.station_code.empty() && !b.station_code.empty() && a.station_code != b.station_code)
    throw ReadError(b.path, 0, "station " + b.station_code + " differs from " + a.station_code +
                                   " of " + a.path);
}

}  // namespace

PeakSeries Join(std::vector<PeakSeries> parts) {
  if (parts.empty()) return {};
  for (size_t i = 1; i < parts.size(); ++i) {
    const PeakSeries &a = parts[0], &b = parts[i];
    if (b.kind != a.kind) throw ReadError(b.path, 0, "not of the same kind as " + a.path);
    CheckStation(a, b);
  }
  // Data lengths of the parts that know theirs must agree.
  const PeakSeries* known = nullptr;
  for (const PeakSeries& p : parts) {
    if (p.data_length == 0) continue;
    if (known != nullptr && p.data_length != known->data_length)
      throw ReadError(p.path, 0,
                      "data length " + std::to_string(p.data_length) + " differs from " +
                          std::to_string(known->data_length) + " of " + known->path);
    if (known == nullptr) known = &p;
  }
  if (known != nullptr) {  // a part of unknown N (one block) now learns it
    for (PeakSeries& p : parts) {
      if (p.data_length != 0 || p.kind != Kind::kPeak) continue;
      p.data_length = known->data_length;
      for (PeakBlock& b : p.blocks) b.utc_ms += StampFractionMs(b.step, p.data_length);
    }
  }
  const auto order = TimeOrder(
      parts, [](const PeakSeries& p) { return p.blocks.empty() ? nullptr : &p.blocks.front().utc_ms; },
      [](const PeakSeries& p) { return &p.blocks.back().utc_ms; });
  PeakSeries out;
  const PeakSeries& head = parts[order[0]];
  out.kind = head.kind, out.path = head.path, out.station_code = head.station_code;
  out.station_name = head.station_name;
  out.data_length = known ? known->data_length : 0;
  size_t total = 0;
  for (const PeakSeries& p : parts) total += p.blocks.size();
  out.blocks.reserve(total);
  for (size_t i : order) {
    PeakSeries& p = parts[i];
    if (out.station_code.empty()) out.station_code = p.station_code;
    out.blocks.insert(out.blocks.end(), p.blocks.begin(), p.blocks.end());
    out.dropped_lines += p.dropped_lines;
  }
  return out;
}

SpectrumSeries Join(std::vector<SpectrumSeries> parts) {
  if (parts.empty()) return {};
  const SpectrumSeries* known = nullptr;  // first part with blocks
  for (const SpectrumSeries& p : parts) {
    if (p.blocks() == 0) continue;
    if (known == nullptr) {
      known = &p;
    } else if (p.data_length != known->data_length || p.freq_hz != known->freq_hz) {
      throw ReadError(p.path, 0,
                      "data length " + std::to_string(p.data_length) + " differs from " +
                          std::to_string(known->data_length) + " of " + known->path);
    }
  }
  for (size_t i = 1; i < parts.size(); ++i) CheckStation(parts[0], parts[i]);
  const auto order = TimeOrder(
      parts, [](const SpectrumSeries& p) { return p.utc_ms.empty() ? nullptr : &p.utc_ms.front(); },
      [](const SpectrumSeries& p) { return &p.utc_ms.back(); });
  SpectrumSeries out;
  const SpectrumSeries& head = parts[order[0]];
  out.path = head.path;
  if (known != nullptr) out.data_length = known->data_length, out.freq_hz = known->freq_hz;
  for (size_t i : order) {
    SpectrumSeries& p = parts[i];
    if (out.station_code.empty()) out.station_code = p.station_code;
    out.dropped_lines += p.dropped_lines;
    if (p.blocks() == 0) continue;
    if (out.step.empty()) {  // the first part's storage is taken over whole
      out.step = std::move(p.step), out.utc_ms = std::move(p.utc_ms);
      for (int c = 0; c < 2; ++c) out.level[c] = std::move(p.level[c]), out.phase[c] = std::move(p.phase[c]);
      continue;
    }
    out.step.insert(out.step.end(), p.step.begin(), p.step.end());
    out.utc_ms.insert(out.utc_ms.end(), p.utc_ms.begin(), p.utc_ms.end());
    for (int c = 0; c < 2; ++c) {
      out.level[c].insert(out.level[c].end(), p.level[c].begin(), p.level[c].end());
      out.phase[c].insert(out.phase[c].end(), p.phase[c].begin(), p.phase[c].end());
    }
  }
  return out;
}

void Cut(PeakSeries& s, int64_t from_ms, int64_t to_ms) {
  std::erase_if(s.blocks, [&](const PeakBlock& b) { return b.utc_ms < from_ms || b.utc_ms >= to_ms; });
}

void Cut(SpectrumSeries& s, int64_t from_ms, int64_t to_ms) {
  const size_t bins = s.bins();
  size_t kept = 0;
  for (size_t b = 0; b < s.blocks(); ++b) {
    if (s.utc_ms[b] < from_ms || s.utc_ms[b] >= to_ms) continue;
    if (kept != b) {
      s.step[kept] = s.step[b], s.utc_ms[kept] = s.utc_ms[b];
      for (auto* a : {&s.level[0], &s.level[1], &s.phase[0], &s.phase[1]})
        std::copy_n(a->begin() + static_cast<ptrdiff_t>(b * bins), bins,
                    a->begin() + static_cast<ptrdiff_t>(kept * bins));
    }
    ++kept;
  }
  s.step.resize(kept), s.utc_ms.resize(kept);
  for (auto* a : {&s.level[0], &s.level[1], &s.phase[0], &s.phase[1]}) a->resize(kept * bins);
}

}  // namespace hfd::results
