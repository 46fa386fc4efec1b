#include "export_data.hpp"

#include <algorithm>

namespace hfd::exporter {

std::vector<int64_t> BlockTimes(const results::PeakSeries& s) {
  std::vector<int64_t> t(s.blocks.size());
  for (size_t b = 0; b < t.size(); ++b) t[b] = s.blocks[b].utc_ms;
  return t;
}

TimeAxis CommonTimes(const std::vector<std::vector<int64_t>>& per_station) {
  TimeAxis axis;
  for (const auto& t : per_station) {
    std::vector<int64_t> merged;
    merged.reserve(axis.times.size() + t.size());
    std::set_union(axis.times.begin(), axis.times.end(), t.begin(), t.end(), std::back_inserter(merged));
    axis.times = std::move(merged);
  }
  for (const auto& t : per_station) {
    std::vector<uint32_t>& row = axis.row.emplace_back(t.size());
    size_t at = 0;
    for (size_t b = 0; b < t.size(); ++b) {
      while (axis.times[at] != t[b]) ++at;  // both in order; every t[b] is there
      row[b] = static_cast<uint32_t>(at);
    }
  }
  return axis;
}

std::vector<PeakColumn> PeakColumns(results::Kind kind) {
  using results::PeakBlock;
  std::vector<PeakColumn> cols;
  const bool qdr = kind == results::Kind::kAmplitude;
  const results::PeakDecimals decimals = results::PeakDecimalsOf(kind);
  for (int c = 0; c < 2; ++c) {
    const std::string khz = std::to_string(kCarriersKhz[c]);
    const std::string at = " at " + khz + " kHz";
    auto add = [&](const char* what, const char* csv_unit, const std::string& long_name,
                   PeakColumn::Unit unit, int decimals, double (*get)(const PeakBlock&, int)) {
      cols.push_back({what + khz, what + khz + csv_unit, long_name + at, unit, decimals, c, get});
    };
    if (!qdr) {
      add("mean_", "", "block mean of the samples (full scale 1)", PeakColumn::kRatio, decimals.mean,
          [](const PeakBlock& b, int ch) { return b.mean[ch]; });
      add("scint_", "", "scintillation figure (ten times the standard deviation)", PeakColumn::kRatio,
          decimals.scint, [](const PeakBlock& b, int ch) { return b.scint[ch]; });
    }
    add("freq_", "_hz", "Doppler peak frequency", PeakColumn::kHertz, decimals.freq,
        [](const PeakBlock& b, int ch) { return b.peak[ch].freq_hz; });
    add("level_", "_dbuv", "Doppler peak level", PeakColumn::kDbuv, decimals.level,
        [](const PeakBlock& b, int ch) { return b.peak[ch].level_dbuv; });
    if (!qdr)
      add("phase_", "_deg", "Doppler peak phase", PeakColumn::kDegree, decimals.phase,
          [](const PeakBlock& b, int ch) { return b.peak[ch].phase_deg; });
  }
  return cols;
}

}  // namespace hfd::exporter
