#include "csv_export.hpp"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace hfd::exporter {
namespace {

constexpr int kJstMinutes = static_cast<int>(kJstOffsetMs / 60000);

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

// "time_utc,time_jst[,station],step," of one block.
std::string Lead(int64_t utc_ms, const std::string* station, int32_t step) {
  char buf[96];
  char* o = results::FormatIsoTime(buf, utc_ms, 0, true);
  *o++ = ',';
  o = results::FormatIsoTime(o, utc_ms, kJstMinutes, true);
  *o++ = ',';
  std::string lead(buf, o);
  if (station != nullptr) lead += *station + ",";
  if (step >= 0) {
    o = WriteInt(buf, step);
    *o++ = ',';
    lead.append(buf, o);
  }
  return lead;
}

// Calls row(station, block) for every block of every station in time order
// (stations in their order at equal times).
template <class Series, class Row>
void InTimeOrder(const std::vector<Station<Series>>& stations, Row row) {
  const TimeAxis axis = CommonTimes(stations);
  std::vector<size_t> next(stations.size(), 0);
  for (size_t t = 0; t < axis.times.size(); ++t) {
    for (size_t s = 0; s < stations.size(); ++s) {
      if (next[s] < axis.row[s].size() && axis.row[s][next[s]] == t) row(s, next[s]++);
    }
  }
}

const std::string* StationColumn(const std::string& code, size_t stations) {
  return stations > 1 ? &code : nullptr;
}

}  // namespace

TextOut::TextOut(OutputFile* file, int gzip_level) : file_(file), buf_(new char[kBuffer]) {
  if (gzip_level < 0) return;
  z_ = std::make_unique<z_stream>();
  zbuf_.reset(new char[kBuffer]);
  // windowBits 15 + 16: a gzip header and trailer around the deflate stream.
  if (deflateInit2(z_.get(), gzip_level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    z_.reset();
    throw std::bad_alloc();
  }
}

TextOut::~TextOut() {
  if (z_) deflateEnd(z_.get());
}

void TextOut::Append(std::string_view s) {
  while (!s.empty()) {
    const size_t n = std::min(s.size(), kBuffer);
    std::memcpy(Room(n), s.data(), n);
    Advance(n);
    s.remove_prefix(n);
  }
}

void TextOut::Write(const char* p, size_t n) {
  if (file_ != nullptr) return file_->Append(std::string_view(p, n));
  if (const int err = tools::WriteAll(STDOUT_FILENO, p, n); err != 0)
    throw tools::WriteError(std::string("cannot write standard output: ") + std::strerror(err));
}

void TextOut::Flush(bool end) {
  if (!z_) {
    Write(buf_.get(), used_);
    used_ = 0;
    return;
  }
  z_->next_in = reinterpret_cast<Bytef*>(buf_.get());
  z_->avail_in = static_cast<uInt>(used_);
  int status;
  do {
    z_->next_out = reinterpret_cast<Bytef*>(zbuf_.get());
    z_->avail_out = static_cast<uInt>(kBuffer);
    status = deflate(z_.get(), end ? Z_FINISH : Z_NO_FLUSH);
    Write(zbuf_.get(), kBuffer - z_->avail_out);
  } while (z_->avail_out == 0 || (end && status != Z_STREAM_END));
  used_ = 0;
}

void TextOut::Finish() { Flush(true); }

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

void WritePeakCsv(const PeakStations& stations, TextOut& out) {
  const results::Kind kind = stations.empty() ? results::Kind::kPeak : stations[0].series.kind;
  const bool steps = kind == results::Kind::kPeak;  // a .qdr file holds no step
  const std::vector<PeakColumn> cols = PeakColumns(kind);
  std::string head = stations.size() > 1 ? "time_utc,time_jst,station," : "time_utc,time_jst,";
  if (steps) head += "step,";
  for (const PeakColumn& c : cols) head += c.csv_name + ",";
  head.back() = '\n';
  out.Append(head);
  InTimeOrder(stations, [&](size_t s, size_t b) {
    const results::PeakBlock& block = stations[s].series.blocks[b];
    const std::string lead = Lead(block.utc_ms, StationColumn(stations[s].info.code, stations.size()),
                                  steps ? block.step : -1);
    char* const start = out.Room(512);
    char* o = Put(start, lead);
    for (const PeakColumn& c : cols) {
      o = WriteDecimal(o, c.get(block, c.channel), c.decimals);
      *o++ = ',';
    }
    o[-1] = '\n';
    out.Advance(static_cast<size_t>(o - start));
  });
}

void WriteSpectrumCsv(const SpectrumStations& stations, TextOut& out) {
  out.Append(std::string(stations.size() > 1 ? "time_utc,time_jst,station," : "time_utc,time_jst,") +
             "step,frequency_hz,level_5006_dbuv,phase_5006_deg,level_8006_dbuv,phase_8006_deg\n");
  // The exact bin frequencies, written once (at most ten decimals).
  std::vector<std::string> freq;
  for (const auto& st : stations) {
    for (size_t i = freq.size(); i < st.series.bins(); ++i) {
      char buf[32];
      freq.emplace_back(buf, std::to_chars(buf, buf + sizeof buf, BinFrequency(i, st.series.data_length)).ptr);
    }
  }
  const results::SpectrumDecimals dec = results::SpectrumDecimalsOf();
  InTimeOrder(stations, [&](size_t st, size_t b) {
    const results::SpectrumSeries& s = stations[st].series;
    const std::string lead = Lead(s.utc_ms[b], StationColumn(stations[st].info.code, stations.size()), s.step[b]);
    const size_t bins = s.bins();
    for (size_t i = 0; i < bins; ++i) {
      const size_t at = b * bins + i;
      char* const start = out.Room(256);
      char* o = Put(start, lead);
      o = Put(o, freq[i]);
      *o++ = ',', o = WriteDecimal(o, s.level[0][at], dec.level);
      *o++ = ',', o = WriteDecimal(o, s.phase[0][at], dec.phase);
      *o++ = ',', o = WriteDecimal(o, s.level[1][at], dec.level);
      *o++ = ',', o = WriteDecimal(o, s.phase[1][at], dec.phase);
      *o++ = '\n';
      out.Advance(static_cast<size_t>(o - start));
    }
  });
}

}  // namespace hfd::exporter
