// What hfdoppler-export writes, whichever the format: the stations of one
// dataset (each with its files joined and cut to the span), the time axis
// they share, and the value columns of a peak series with their decimals.
//
//   std::vector<Station<results::PeakSeries>> st = ...;   // one kind, one N
//   const TimeAxis axis = CommonTimes(st);
//   for (const PeakColumn& c : PeakColumns(results::Kind::kPeak)) ...
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/result_files.hpp"
#include "stations/registry.hpp"

namespace hfd::exporter {

// Who recorded a series.
struct StationInfo {
  std::string code;  // from the file names ("SGD"); empty when they do not say
  std::string name;  // from the registry or a .qdr header; empty when unknown
  const stations::Station* registry = nullptr;  // its entry, when there is one
};

template <class Series>
struct Station {
  StationInfo info;
  Series series;
};
using PeakStations = std::vector<Station<results::PeakSeries>>;
using SpectrumStations = std::vector<Station<results::SpectrumSeries>>;

// Block start times of a series, in order.
std::vector<int64_t> BlockTimes(const results::PeakSeries& s);
inline const std::vector<int64_t>& BlockTimes(const results::SpectrumSeries& s) { return s.utc_ms; }

// Every block start of every station once, in time order; row[s][b] is the
// place of station s's block b on that axis.
struct TimeAxis {
  std::vector<int64_t> times;
  std::vector<std::vector<uint32_t>> row;
};
TimeAxis CommonTimes(const std::vector<std::vector<int64_t>>& per_station);

template <class Series>
TimeAxis CommonTimes(const std::vector<Station<Series>>& stations) {
  std::vector<std::vector<int64_t>> t;
  for (const Station<Series>& s : stations) t.push_back(BlockTimes(s.series));
  return CommonTimes(t);
}

// One value of a peak series per block and channel: its names in netCDF
// ("freq_5006") and CSV ("freq_5006_hz"), its meaning and the decimals the
// result file writes it with.
struct PeakColumn {
  std::string name, csv_name, long_name;
  enum Unit { kRatio, kHertz, kDbuv, kDegree } unit;
  int decimals;
  int channel;  // 0: 5006 kHz, 1: 8006 kHz
  double (*get)(const results::PeakBlock&, int channel);
};

// The columns a .max (kPeak) or .qdr (kAmplitude) file holds, channel 1's
// then channel 2's.
std::vector<PeakColumn> PeakColumns(results::Kind kind);

// Bin i's frequency, 1 / (N * 0.01 s) apart (exact in binary for every N).
inline double BinFrequency(size_t i, int32_t data_length) {
  return static_cast<double>(i) * 100.0 / data_length;
}

}  // namespace hfd::exporter
