#include "netcdf_export.hpp"

#include <netcdf.h>

#include <algorithm>
#include <array>
#include <optional>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace hfd::exporter {
namespace {

// A level in dBuV (20 log10 of the amplitude relative to 1 uV) as UDUNITS
// writes it: a twentieth of a decimal logarithmic unit of 1 uV.
constexpr const char* kDbuvUnits = "0.05 lg(re 1e-6 V)";
constexpr const char* kTimeUnits = "milliseconds since 1970-01-01 00:00:00 UTC";
constexpr const char* kReferences =
    "The result file formats: docs/formats.md of the hfdoppler sources; "
    "this file's layout: the manual page hfdoppler-export(1)";
constexpr double kPowerOfTen[] = {1, 10, 100, 1000, 10000};

// One netCDF file being written; every call's status checked, the message
// naming the output file.
class Nc {
 public:
  Nc(const std::string& path, std::string name, int deflate) : name_(std::move(name)), deflate_(deflate) {
    Check(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id_), "create");
  }
  ~Nc() {
    if (id_ >= 0) nc_close(id_);
  }
  Nc(const Nc&) = delete;
  Nc& operator=(const Nc&) = delete;

  void Check(int status, const char* what) const {
    if (status != NC_NOERR)
      throw tools::WriteError("cannot write " + name_ + ": netCDF " + what + ": " + nc_strerror(status));
  }
  // netCDF knows no fixed dimension of length 0: an empty one is unlimited.
  int Dim(const char* name, size_t len) {
    int d;
    Check(nc_def_dim(id_, name, len, &d), "dimension");
    if (static_cast<size_t>(d) >= len_.size()) len_.resize(static_cast<size_t>(d) + 1);
    len_[static_cast<size_t>(d)] = len;
    return d;
  }
  // A variable over `dims`: contiguous when the file is not compressed,
  // else in chunks of `chunk` (clamped to each dimension), deflated with
  // shuffle. Unlimited (empty) dimensions need chunks too.
  int Var(const std::string& name, nc_type type, const std::vector<int>& dims, std::vector<size_t> chunk = {}) {
    int v;
    Check(nc_def_var(id_, name.c_str(), type, static_cast<int>(dims.size()), dims.data(), &v), "variable");
    if (dims.empty() || type == NC_STRING) return v;  // no filters on strings
    bool empty = false;
    for (size_t i = 0; i < dims.size(); ++i) {
      const size_t len = len_[static_cast<size_t>(dims[i])];
      if (i >= chunk.size()) chunk.push_back(len);
      if (len == 0) empty = true;
      chunk[i] = std::max<size_t>(1, len == 0 ? chunk[i] : std::min(chunk[i], len));
    }
    if (deflate_ == 0 && !empty) {
      Check(nc_def_var_chunking(id_, v, NC_CONTIGUOUS, nullptr), "layout");
      return v;
    }
    Check(nc_def_var_chunking(id_, v, NC_CHUNKED, chunk.data()), "layout");
    if (deflate_ > 0) Check(nc_def_var_deflate(id_, v, 1, 1, deflate_), "compression");
    return v;
  }
  void Text(int var, const char* name, const std::string& value) {
    Check(nc_put_att_text(id_, var, name, value.size(), value.data()), "attribute");
  }
  void Double(int var, const char* name, double value) {
    Check(nc_put_att_double(id_, var, name, NC_DOUBLE, 1, &value), "attribute");
  }
  void Ints(int var, const char* name, std::initializer_list<int> v) {
    Check(nc_put_att_int(id_, var, name, NC_INT, v.size(), std::data(v)), "attribute");
  }
  template <class T>
  void Fill(int var, T value) {
    Check(nc_def_var_fill(id_, var, NC_FILL, &value), "fill value");
  }
  void Strings(int var, const std::vector<std::string>& v) {
    std::vector<const char*> p;
    for (const std::string& s : v) p.push_back(s.c_str());
    Check(nc_put_var_string(id_, var, p.data()), "write");
  }
  void EndDef() { Check(nc_enddef(id_), "define"); }
  int id() const { return id_; }
  void Close() {
    const int id = id_;
    id_ = -1;
    Check(nc_close(id), "close");
  }

 private:
  std::string name_;
  int id_ = -1;
  int deflate_;
  std::vector<size_t> len_;  // by dimension id
};

std::string BaseName(const std::string& p) {
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

template <class Series>
int32_t DataLength(const std::vector<Station<Series>>& st) {
  for (const auto& s : st)
    if (s.series.data_length > 0) return s.series.data_length;
  return 0;
}

// The dimensions of a dataset, and the dims and chunks of its variables: a
// station dimension only when there are several.
struct Shape {
  int station = -1, time = -1, freq = -1;
  size_t block_chunk = 1;  // blocks in one chunk of a data variable
  std::string coordinates = "station_code";  // of every data variable
  std::vector<int> Dims(bool per_bin) const {
    std::vector<int> d;
    if (station >= 0) d.push_back(station);
    d.push_back(time);
    if (per_bin) d.push_back(freq);
    return d;
  }
  std::vector<size_t> Chunks() const {
    std::vector<size_t> c;
    if (station >= 0) c.push_back(1);
    c.push_back(block_chunk);
    return c;  // the frequency dimension whole
  }
};

// What both kinds share: dimensions, time and its bounds, the stations,
// global attributes. Returns the shape; `time_vars` gets time and time_bnds
// (-1 when the block length is unknown).
template <class Series>
Shape DefineCommon(Nc& nc, const std::vector<Station<Series>>& st, const TimeAxis& axis, size_t bins,
                   const NetcdfOptions& o, const std::string& title, int time_vars[2]) {
  Shape sh;
  const int32_t n = DataLength(st);
  if (st.size() > 1) sh.station = nc.Dim("station", st.size());
  sh.time = nc.Dim("time", axis.times.size());
  if (bins > 0 || std::is_same_v<Series, results::SpectrumSeries>) sh.freq = nc.Dim("frequency", bins);
  sh.block_chunk = sh.freq >= 0 ? std::max<size_t>(1, 65536 / std::max<size_t>(bins, 1)) : 65536;

  const int t = time_vars[0] = nc.Var("time", NC_INT64, {sh.time}, {65536});
  nc.Text(t, "standard_name", "time");
  nc.Text(t, "long_name", "start of the block (UTC)");
  nc.Text(t, "units", kTimeUnits);
  nc.Text(t, "calendar", "standard");
  nc.Text(t, "axis", "T");
  time_vars[1] = -1;
  if (n > 0) {
    nc.Text(t, "bounds", "time_bnds");
    time_vars[1] = nc.Var("time_bnds", NC_INT64, {sh.time, nc.Dim("nv", 2)}, {65536});
  }

  const int code = nc.Var("station_code", NC_STRING, sh.station >= 0 ? std::vector<int>{sh.station} : std::vector<int>{});
  nc.Text(code, "long_name", "station code");
  if (!std::is_same_v<Series, results::SpectrumSeries>) nc.Text(code, "cf_role", "timeseries_id");
  bool named = false;
  for (const auto& s : st) named = named || !s.info.name.empty();
  if (named) {
    sh.coordinates += " station_name";
    const int name = nc.Var("station_name", NC_STRING, sh.station >= 0 ? std::vector<int>{sh.station} : std::vector<int>{});
    nc.Text(name, "long_name", "station name");
  }

  std::string codes, inputs;
  for (const auto& s : st) codes += (codes.empty() ? "" : ", ") + s.info.code;
  for (const std::string& f : o.inputs) inputs += (inputs.empty() ? "" : ", ") + BaseName(f);
  nc.Text(NC_GLOBAL, "Conventions", "CF-1.10");
  nc.Text(NC_GLOBAL, "title", title + (st.size() > 1 ? ", stations " : ", station ") + codes);
  nc.Text(NC_GLOBAL, "source", std::string("hfdoppler-export ") + HFD_VERSION + " from hfdoppler result files");
  nc.Text(NC_GLOBAL, "history", o.history);
  nc.Text(NC_GLOBAL, "references", kReferences);
  nc.Text(NC_GLOBAL, "comment",
          "time is the exact start of each block in UTC; the result files give Japan Standard Time "
          "(UTC+09:00), and whole seconds except in .qdr files");
  nc.Text(NC_GLOBAL, "input_files", inputs);
  if (st.size() == 1) {
    nc.Text(NC_GLOBAL, "station_code", st[0].info.code);
    if (!st[0].info.name.empty()) nc.Text(NC_GLOBAL, "station_name", st[0].info.name);
  }
  if (n > 0) {
    nc.Ints(NC_GLOBAL, "data_length", {n});
    nc.Ints(NC_GLOBAL, "sampling_rate_hz", {100});
  }
  nc.Ints(NC_GLOBAL, "carrier_frequencies_khz", {kCarriersKhz[0], kCarriersKhz[1]});
  nc.Text(NC_GLOBAL, "channels", "channel 1: 5006 kHz, channel 2: 8006 kHz");
  return sh;
}

// What the station registry tells of the stations: position, transmitter,
// carriers and zero-shift frequencies, each variable only when at least one
// station has it (the fill value for the others).
struct RegistryVars {
  int lat = -1, lon = -1, tx_name = -1, tx_lat = -1, tx_lon = -1, carriers = -1, zero = -1;
};

template <class Series>
RegistryVars DefineRegistry(Nc& nc, Shape& sh, const std::vector<Station<Series>>& st) {
  RegistryVars r;
  bool known = false, tx = false, zero = false, placed = true;
  for (const auto& s : st) {
    const stations::Station* e = s.info.registry;
    known = known || e != nullptr;
    placed = placed && e != nullptr;
    tx = tx || (e != nullptr && e->transmitter);
    zero = zero || (e != nullptr && (e->zero_doppler_hz[0] || e->zero_doppler_hz[1]));
  }
  if (!known) return r;
  const std::vector<int> dims = sh.station >= 0 ? std::vector<int>{sh.station} : std::vector<int>{};
  auto coordinate = [&](const char* name, const char* standard_name, const char* units,
                        const std::string& long_name, const char* axis) {
    const int v = nc.Var(name, NC_DOUBLE, dims);
    nc.Text(v, "standard_name", standard_name);
    nc.Text(v, "long_name", long_name);
    nc.Text(v, "units", units);
    if (sh.station < 0) nc.Text(v, "axis", axis);  // a scalar coordinate; none on auxiliary ones
    nc.Fill(v, NC_FILL_DOUBLE);
    return v;
  };
  r.lat = coordinate("latitude", "latitude", "degrees_north", "latitude of the station", "Y");
  r.lon = coordinate("longitude", "longitude", "degrees_east", "longitude of the station", "X");
  sh.coordinates += " latitude longitude";
  if (placed && sh.freq < 0) nc.Text(NC_GLOBAL, "featureType", "timeSeries");
  if (tx) {
    r.tx_name = nc.Var("transmitter_name", NC_STRING, dims);
    nc.Text(r.tx_name, "long_name", "transmitter of the carriers");
    auto place = [&](const char* name, const char* units, const char* long_name) {
      const int v = nc.Var(name, NC_DOUBLE, dims);
      nc.Text(v, "long_name", long_name);
      nc.Text(v, "units", units);
      nc.Fill(v, NC_FILL_DOUBLE);
      return v;
    };
    r.tx_lat = place("transmitter_latitude", "degrees_north", "latitude of the transmitter");
    r.tx_lon = place("transmitter_longitude", "degrees_east", "longitude of the transmitter");
  }
  std::vector<int> per_channel = dims;
  per_channel.push_back(nc.Dim("channel", 2));
  r.carriers = nc.Var("carrier_frequency", NC_DOUBLE, per_channel);
  nc.Text(r.carriers, "long_name", "radio carrier of channel 1 and channel 2 (level_5006..., level_8006...)");
  nc.Text(r.carriers, "units", "kHz");
  nc.Fill(r.carriers, NC_FILL_DOUBLE);
  if (zero) {
    r.zero = nc.Var("zero_doppler_frequency", NC_DOUBLE, per_channel);
    nc.Text(r.zero, "long_name", "frequency of zero Doppler shift of channel 1 and channel 2");
    nc.Text(r.zero, "units", "Hz");
    nc.Fill(r.zero, NC_FILL_DOUBLE);
  }
  return r;
}

template <class Series>
void WriteRegistry(Nc& nc, const RegistryVars& r, const std::vector<Station<Series>>& st) {
  if (r.lat < 0) return;
  std::vector<double> lat, lon, tx_lat, tx_lon, carriers, zero;
  std::vector<std::string> tx_name;
  for (const auto& s : st) {
    const stations::Station* e = s.info.registry;
    const bool tx = e != nullptr && e->transmitter;
    lat.push_back(e ? e->latitude_deg : NC_FILL_DOUBLE);
    lon.push_back(e ? e->longitude_deg : NC_FILL_DOUBLE);
    tx_name.push_back(tx ? e->transmitter->name : "");
    tx_lat.push_back(tx ? e->transmitter->latitude_deg : NC_FILL_DOUBLE);
    tx_lon.push_back(tx ? e->transmitter->longitude_deg : NC_FILL_DOUBLE);
    for (int c = 0; c < 2; ++c) {
      carriers.push_back(e ? e->carriers_khz[c] : NC_FILL_DOUBLE);
      zero.push_back(e && e->zero_doppler_hz[c] ? *e->zero_doppler_hz[c] : NC_FILL_DOUBLE);
    }
  }
  nc.Check(nc_put_var_double(nc.id(), r.lat, lat.data()), "write");
  nc.Check(nc_put_var_double(nc.id(), r.lon, lon.data()), "write");
  nc.Check(nc_put_var_double(nc.id(), r.carriers, carriers.data()), "write");
  if (r.zero >= 0) nc.Check(nc_put_var_double(nc.id(), r.zero, zero.data()), "write");
  if (r.tx_name < 0) return;
  nc.Strings(r.tx_name, tx_name);
  nc.Check(nc_put_var_double(nc.id(), r.tx_lat, tx_lat.data()), "write");
  nc.Check(nc_put_var_double(nc.id(), r.tx_lon, tx_lon.data()), "write");
}

// The Doppler shift of every bin per channel, frequency less the channel's
// zero-shift frequency, as coordinates of the spectra: one `doppler_shift`
// when both channels of every station share their zero, else one per
// channel. Returns the variables per channel (-1: none).
std::array<int, 2> DefineDopplerShift(Nc& nc, const Shape& sh, const SpectrumStations& st) {
  bool known = false, shared = true;
  for (const auto& s : st) {
    const stations::Station* e = s.info.registry;
    if (e == nullptr) continue;
    known = known || e->zero_doppler_hz[0] || e->zero_doppler_hz[1];
    shared = shared && e->zero_doppler_hz[0] == e->zero_doppler_hz[1];
  }
  if (!known) return {-1, -1};
  std::vector<int> dims = sh.Dims(false);
  dims.back() = sh.freq;  // (station,) frequency
  std::array<int, 2> v{};
  for (int c = 0; c < 2; ++c) {
    const std::string khz = std::to_string(kCarriersKhz[c]);
    if (shared && c == 1) {
      v[1] = v[0];
      break;
    }
    v[c] = nc.Var(shared ? "doppler_shift" : "doppler_shift_" + khz, NC_DOUBLE, dims);
    nc.Text(v[c], "long_name", std::string("Doppler shift") + (shared ? "" : " at " + khz + " kHz"));
    nc.Text(v[c], "comment", "the bin frequency less the receiver's frequency of zero Doppler shift");
    nc.Text(v[c], "units", "Hz");
    nc.Fill(v[c], NC_FILL_DOUBLE);
  }
  return v;
}

void WriteDopplerShift(Nc& nc, const std::array<int, 2>& v, const SpectrumStations& st,
                       const std::vector<double>& freq) {
  for (int c = 0; c < 2 && v[0] >= 0; ++c) {
    if (c == 1 && v[1] == v[0]) break;
    std::vector<double> shift;
    for (const auto& s : st) {
      const stations::Station* e = s.info.registry;
      const std::optional<double> zero = e ? e->zero_doppler_hz[c] : std::nullopt;
      for (double f : freq) shift.push_back(zero ? f - *zero : NC_FILL_DOUBLE);
    }
    nc.Check(nc_put_var_double(nc.id(), v[c], shift.data()), "write");
  }
}

// The station and time values, after the definitions.
template <class Series>
void WriteCommon(Nc& nc, const std::vector<Station<Series>>& st, const TimeAxis& axis, const int time_vars[2]) {
  std::vector<std::string> codes, names;
  for (const auto& s : st) codes.push_back(s.info.code), names.push_back(s.info.name);
  int v;
  nc.Check(nc_inq_varid(nc.id(), "station_code", &v), "write");
  nc.Strings(v, codes);
  if (nc_inq_varid(nc.id(), "station_name", &v) == NC_NOERR) nc.Strings(v, names);
  if (axis.times.empty()) return;
  static_assert(sizeof(long long) == sizeof(int64_t));
  nc.Check(nc_put_var_longlong(nc.id(), time_vars[0], reinterpret_cast<const long long*>(axis.times.data())),
           "write");
  if (time_vars[1] < 0) return;
  const int64_t block_ms = int64_t{DataLength(st)} * 10;
  std::vector<long long> bounds(2 * axis.times.size());
  for (size_t i = 0; i < axis.times.size(); ++i) bounds[2 * i] = axis.times[i], bounds[2 * i + 1] = axis.times[i] + block_ms;
  nc.Check(nc_put_var_longlong(nc.id(), time_vars[1], bounds.data()), "write");
}

// Values stored as whole numbers of their last decimal: 16-bit when every
// value fits (See() them all first), else 32-bit.
struct Packing {
  int decimals;
  nc_type type = NC_SHORT;
  int32_t fill = NC_FILL_SHORT;

  int32_t Of(double v) const {
    return std::isnan(v) ? fill : static_cast<int32_t>(std::llround(v * kPowerOfTen[decimals]));
  }
  void See(double v) {
    if (type == NC_INT || std::isnan(v)) return;
    const int64_t m = std::llround(v * kPowerOfTen[decimals]);
    if (m <= NC_FILL_SHORT || m > 32767) type = NC_INT, fill = NC_FILL_INT;
  }
};

// A data variable: `type` (NC_FLOAT or NC_DOUBLE) with its fill value, or
// packed as `pack` says.
int DataVar(Nc& nc, const Shape& sh, bool per_bin, const std::string& name, nc_type type, const Packing* pack,
            const std::string& long_name, const char* units, const std::string& extra = "") {
  const int v = nc.Var(name, pack ? pack->type : type, sh.Dims(per_bin), sh.Chunks());
  nc.Text(v, "long_name", long_name);
  nc.Text(v, "units", units);
  if (pack) {
    if (pack->type == NC_SHORT) {
      nc.Fill(v, static_cast<short>(pack->fill));
    } else {
      nc.Fill(v, pack->fill);
    }
    nc.Double(v, "scale_factor", 1.0 / kPowerOfTen[pack->decimals]);
    nc.Double(v, "add_offset", 0.0);
  } else if (type == NC_FLOAT) {
    nc.Fill(v, NC_FILL_FLOAT);
  } else {
    nc.Fill(v, NC_FILL_DOUBLE);
  }
  nc.Text(v, "coordinates", sh.coordinates + extra);
  return v;
}

int StepVar(Nc& nc, const Shape& sh) {
  const int v = nc.Var("step", NC_INT, sh.Dims(false), sh.Chunks());
  nc.Text(v, "long_name", "block step from the recording start");
  if (sh.station >= 0) nc.Fill(v, NC_FILL_INT);  // a station without a block at a time
  return v;
}

// Values of every station on the common axis, fill where a station has no
// block: values(s, b) gives station s's block b.
template <class T, class Value>
std::vector<T> OnAxis(const TimeAxis& axis, T fill, Value value) {
  std::vector<T> out(axis.row.size() * axis.times.size(), fill);
  for (size_t s = 0; s < axis.row.size(); ++s)
    for (size_t b = 0; b < axis.row[s].size(); ++b) out[s * axis.times.size() + axis.row[s][b]] = value(s, b);
  return out;
}

}  // namespace

void WriteSpectrumNetcdf(SpectrumStations& st, const NetcdfOptions& o, OutputFile& out) {
  out.CloseForOthers();
  Nc nc(out.temp_path(), out.path(), o.deflate);
  const TimeAxis axis = CommonTimes(st);
  size_t bins = 0;
  for (const auto& s : st) bins = std::max(bins, s.series.bins());
  int time_vars[2];
  Shape sh = DefineCommon(nc, st, axis, bins, o, "HF Doppler spectra", time_vars);
  const RegistryVars reg = DefineRegistry(nc, sh, st);
  const int f = nc.Var("frequency", NC_DOUBLE, {sh.freq});
  nc.Text(f, "long_name", "Doppler frequency (spectral bin)");
  nc.Text(f, "units", "Hz");
  const std::array<int, 2> shift = DefineDopplerShift(nc, sh, st);
  const int step = StepVar(nc, sh);
  int var[4];  // level, phase of 5006 kHz; level, phase of 8006 kHz
  std::vector<Packing> packing;
  const results::SpectrumDecimals dec = results::SpectrumDecimalsOf();
  for (int k = 0; k < 4; ++k) {
    packing.push_back({k % 2 == 0 ? dec.level : dec.phase});
    if (o.pack)  // the packing is looked at only then
      for (const auto& s : st)
        for (float v : k % 2 == 0 ? s.series.level[k / 2] : s.series.phase[k / 2]) packing[k].See(v);
  }
  for (int c = 0; c < 2; ++c) {
    const std::string khz = std::to_string(kCarriersKhz[c]);
    std::string extra;
    if (shift[c] >= 0) extra = shift[0] == shift[1] ? " doppler_shift" : " doppler_shift_" + khz;
    var[2 * c] = DataVar(nc, sh, true, "level_" + khz, NC_FLOAT, o.pack ? &packing[2 * c] : nullptr,
                         "spectral level at " + khz + " kHz, dBuV", kDbuvUnits, extra);
    var[2 * c + 1] = DataVar(nc, sh, true, "phase_" + khz, NC_FLOAT, o.pack ? &packing[2 * c + 1] : nullptr,
                             "spectral phase at " + khz + " kHz", "degree", extra);
  }
  nc.EndDef();

  WriteCommon(nc, st, axis, time_vars);
  WriteRegistry(nc, reg, st);
  const int32_t n = DataLength(st);
  std::vector<double> freq(bins);
  for (size_t i = 0; i < bins; ++i) freq[i] = BinFrequency(i, n);
  if (bins > 0) nc.Check(nc_put_var_double(nc.id(), f, freq.data()), "write");
  if (bins > 0) WriteDopplerShift(nc, shift, st, freq);
  if (!axis.times.empty()) {
    const auto steps = OnAxis<int32_t>(axis, NC_FILL_INT, [&](size_t s, size_t b) { return st[s].series.step[b]; });
    nc.Check(nc_put_var_int(nc.id(), step, steps.data()), "write");
  }
  if (axis.times.empty() || bins == 0) {
    nc.Close();
    return out.Commit();
  }
  // One station's values at a time, as a slab of the time x frequency grid
  // (the series itself when its blocks are the whole axis).
  const size_t slab = axis.times.size() * bins;
  std::vector<float> grid;
  std::vector<int32_t> packed;
  for (size_t s = 0; s < st.size(); ++s) {
    results::SpectrumSeries& series = st[s].series;
    for (int k = 0; k < 4; ++k) {
      std::vector<float>& values = k % 2 == 0 ? series.level[k / 2] : series.phase[k / 2];
      const size_t start[3] = {s, 0, 0}, count[3] = {1, axis.times.size(), bins};
      const size_t* at = sh.station >= 0 ? start : start + 1;
      const size_t* size = sh.station >= 0 ? count : count + 1;
      const bool whole = series.blocks() == axis.times.size();
      if (o.pack) {
        packed.assign(slab, packing[k].fill);
        for (size_t b = 0; b < series.blocks(); ++b) {
          const size_t row = axis.row[s][b] * bins;
          for (size_t i = 0; i < bins; ++i) packed[row + i] = packing[k].Of(values[b * bins + i]);
        }
        nc.Check(nc_put_vara_int(nc.id(), var[k], at, size, packed.data()), "write");
        continue;
      }
      for (float& v : values)
        if (std::isnan(v)) v = NC_FILL_FLOAT;
      if (!whole) {
        grid.assign(slab, NC_FILL_FLOAT);
        for (size_t b = 0; b < series.blocks(); ++b)
          std::copy_n(values.begin() + static_cast<ptrdiff_t>(b * bins), bins,
                      grid.begin() + static_cast<ptrdiff_t>(axis.row[s][b] * bins));
      }
      nc.Check(nc_put_vara_float(nc.id(), var[k], at, size, whole ? values.data() : grid.data()), "write");
    }
  }
  nc.Close();
  out.Commit();
}

void WritePeakNetcdf(PeakStations& st, const NetcdfOptions& o, OutputFile& out) {
  out.CloseForOthers();
  const results::Kind kind = st.empty() ? results::Kind::kPeak : st[0].series.kind;
  Nc nc(out.temp_path(), out.path(), o.deflate);
  const TimeAxis axis = CommonTimes(st);
  int time_vars[2];
  const bool qdr = kind == results::Kind::kAmplitude;
  Shape sh = DefineCommon(nc, st, axis, 0, o, qdr ? "HF Doppler peaks" : "HF Doppler peak summary", time_vars);
  const RegistryVars reg = DefineRegistry(nc, sh, st);
  const int step = qdr ? -1 : StepVar(nc, sh);
  const std::vector<PeakColumn> cols = PeakColumns(kind);
  std::vector<int> vars;
  std::vector<Packing> packing;
  for (const PeakColumn& c : cols) {
    static constexpr const char* kUnits[] = {"1", "Hz", kDbuvUnits, "degree"};
    Packing& p = packing.emplace_back(Packing{c.decimals});
    if (o.pack)
      for (const auto& s : st)
        for (const results::PeakBlock& b : s.series.blocks) p.See(c.get(b, c.channel));
    vars.push_back(DataVar(nc, sh, false, c.name, NC_DOUBLE, o.pack ? &p : nullptr,
                           c.long_name + (c.unit == PeakColumn::kDbuv ? ", dBuV" : ""), kUnits[c.unit]));
  }
  nc.EndDef();

  WriteCommon(nc, st, axis, time_vars);
  WriteRegistry(nc, reg, st);
  if (!axis.times.empty()) {
    if (step >= 0) {
      const auto steps = OnAxis<int32_t>(axis, NC_FILL_INT, [&](size_t s, size_t b) { return st[s].series.blocks[b].step; });
      nc.Check(nc_put_var_int(nc.id(), step, steps.data()), "write");
    }
    for (size_t i = 0; i < cols.size(); ++i) {
      const PeakColumn& c = cols[i];
      auto value = [&](size_t s, size_t b) { return c.get(st[s].series.blocks[b], c.channel); };
      if (o.pack) {
        const Packing& p = packing[i];
        const auto v = OnAxis<int32_t>(axis, p.fill, [&](size_t s, size_t b) { return p.Of(value(s, b)); });
        nc.Check(nc_put_var_int(nc.id(), vars[i], v.data()), "write");
      } else {
        const auto v = OnAxis<double>(axis, NC_FILL_DOUBLE, [&](size_t s, size_t b) {
          const double x = value(s, b);
          return std::isnan(x) ? NC_FILL_DOUBLE : x;
        });
        nc.Check(nc_put_var_double(nc.id(), vars[i], v.data()), "write");
      }
    }
  }
  nc.Close();
  out.Commit();
}

}  // namespace hfd::exporter
