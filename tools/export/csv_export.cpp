#include "csv_export.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace hfd::exporter {
namespace {

constexpr int kJstMinutes = 9 * 60;

char* Put(char* o, std::string_view s) {
  std::memcpy(o, s.data(), s.size());
  return o + s.size();
}

char* WriteInt(char* o, int64_t v) {
  char digits[24];
  int n = 0;
  uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  do digits[n++] = static_cast<char>('0' + u % 10); while (u /= 10);
  if (v < 0) *o++ = '-';
  while (n > 0) *o++ = digits[--n];
  return o;
}

// "time_utc,time_jst" fields of one block, to the millisecond.
char* WriteTimes(char* o, int64_t utc_ms) {
  o = results::FormatIsoTime(o, utc_ms, 0, true);
  *o++ = ',';
  return results::FormatIsoTime(o, utc_ms, kJstMinutes, true);
}

}  // namespace

char* WriteDecimal(char* o, double v, int decimals) {
  static constexpr int64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000,
                                       100000000, 1000000000};
  if (std::isnan(v)) return o;
  const int64_t m = std::llround(std::fabs(v) * static_cast<double>(kScale[decimals]));
  if (v < 0 && m != 0) *o++ = '-';
  o = WriteInt(o, m / kScale[decimals]);
  if (decimals == 0) return o;
  *o++ = '.';
  int64_t frac = m % kScale[decimals];
  for (int i = decimals - 1; i >= 0; --i) {
    o[i] = static_cast<char>('0' + frac % 10);
    frac /= 10;
  }
  return o + decimals;
}

void WritePeakCsv(const results::PeakSeries& s, OutputFile& out) {
  const bool qdr = s.kind == results::Kind::kAmplitude;
  if (qdr) {
    // The amplitude file holds the peak frequency (four decimals) and level.
    out.Append("time_utc,time_jst,freq_5006_hz,level_5006_dbuv,freq_8006_hz,level_8006_dbuv\n");
  } else {
    out.Append(
        "time_utc,time_jst,step,"
        "mean_5006,scint_5006,freq_5006_hz,level_5006_dbuv,phase_5006_deg,"
        "mean_8006,scint_8006,freq_8006_hz,level_8006_dbuv,phase_8006_deg\n");
  }
  for (const results::PeakBlock& b : s.blocks) {
    char* const start = out.Room(512);
    char* o = WriteTimes(start, b.utc_ms);
    if (!qdr) {
      *o++ = ',';
      o = WriteInt(o, b.step);
    }
    for (int c = 0; c < 2; ++c) {
      if (qdr) {
        *o++ = ',', o = WriteDecimal(o, b.peak[c].freq_hz, 4);
        *o++ = ',', o = WriteDecimal(o, b.peak[c].level_dbuv, 2);
        continue;
      }
      *o++ = ',', o = WriteDecimal(o, b.mean[c], 3);
      *o++ = ',', o = WriteDecimal(o, b.scint[c], 3);
      *o++ = ',', o = WriteDecimal(o, b.peak[c].freq_hz, 2);
      *o++ = ',', o = WriteDecimal(o, b.peak[c].level_dbuv, 2);
      *o++ = ',', o = WriteDecimal(o, b.peak[c].phase_deg, 2);
    }
    *o++ = '\n';
    out.Advance(static_cast<size_t>(o - start));
  }
}

void WriteSpectrumCsv(const results::SpectrumSeries& s, OutputFile& out) {
  out.Append(
      "time_utc,time_jst,step,frequency_hz,"
      "level_5006_dbuv,phase_5006_deg,level_8006_dbuv,phase_8006_deg\n");
  const size_t bins = s.bins();
  for (size_t b = 0; b < s.blocks(); ++b) {
    // The block's leading fields, once: times and step.
    char lead[96];
    char* e = WriteTimes(lead, s.utc_ms[b]);
    *e++ = ',';
    e = WriteInt(e, s.step[b]);
    *e++ = ',';
    const std::string_view prefix(lead, static_cast<size_t>(e - lead));
    for (size_t i = 0; i < bins; ++i) {
      const size_t at = b * bins + i;
      char* const start = out.Room(256);
      char* o = Put(start, prefix);
      o = WriteDecimal(o, s.freq_hz[i], 3);
      *o++ = ',', o = WriteDecimal(o, s.level[0][at], 3);
      *o++ = ',', o = WriteDecimal(o, s.phase[0][at], 1);
      *o++ = ',', o = WriteDecimal(o, s.level[1][at], 3);
      *o++ = ',', o = WriteDecimal(o, s.phase[1][at], 1);
      *o++ = '\n';
      out.Advance(static_cast<size_t>(o - start));
    }
  }
}

}  // namespace hfd::exporter
