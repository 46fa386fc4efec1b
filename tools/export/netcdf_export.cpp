#include "netcdf_export.hpp"

#include <netcdf.h>

#include <cstdint>

namespace hfd::exporter {
namespace {

constexpr int kCarriersKhz[] = {5006, 8006};

// One open netCDF file; every call's status checked, the message naming the
// output file.
class Nc {
 public:
  Nc(const std::string& path, std::string name) : name_(std::move(name)) {
    Check(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &id_), "create");
  }
  ~Nc() {
    if (id_ >= 0) nc_close(id_);
  }
  void Check(int status, const char* what) const {
    if (status != NC_NOERR) throw tools::WriteError("cannot write " + name_ + ": netCDF " + what + ": " + nc_strerror(status));
  }
  int Dim(const char* name, size_t len) {
    int d;
    Check(nc_def_dim(id_, name, len, &d), "dimension");
    return d;
  }
  int Var(const char* name, nc_type type, std::initializer_list<int> dims) {
    int v;
    Check(nc_def_var(id_, name, type, static_cast<int>(dims.size()), std::data(dims), &v), "variable");
    if (dims.size() > 0) Check(nc_def_var_chunking(id_, v, NC_CONTIGUOUS, nullptr), "layout");
    return v;
  }
  void Text(int var, const char* name, const std::string& value) {
    Check(nc_put_att_text(id_, var, name, value.size(), value.data()), "attribute");
  }
  void Ints(int var, const char* name, const int* v, size_t n) {
    Check(nc_put_att_int(id_, var, name, NC_INT, n, v), "attribute");
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
};

std::string BaseName(const std::string& p) {
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

void GlobalAttributes(Nc& nc, const std::string& title, const std::string& station_code,
                      const std::string& station_name, int32_t data_length,
                      const std::vector<std::string>& sources) {
  std::string names;
  for (const std::string& s : sources) names += (names.empty() ? "" : ", ") + BaseName(s);
  nc.Text(NC_GLOBAL, "Conventions", "CF-1.8");
  nc.Text(NC_GLOBAL, "title", title);
  nc.Text(NC_GLOBAL, "station_code", station_code);
  if (!station_name.empty()) nc.Text(NC_GLOBAL, "station_name", station_name);
  nc.Text(NC_GLOBAL, "source", names);
  nc.Text(NC_GLOBAL, "source_time_zone", "JST (UTC+09:00); times here are UTC");
  if (data_length > 0) {
    const int n = data_length;
    nc.Ints(NC_GLOBAL, "data_length", &n, 1);
    const int rate = 100;
    nc.Ints(NC_GLOBAL, "sampling_rate_hz", &rate, 1);
  }
  nc.Ints(NC_GLOBAL, "carrier_frequencies_khz", kCarriersKhz, 2);
  nc.Text(NC_GLOBAL, "channels", "channel 1: 5006 kHz, channel 2: 8006 kHz");
}

// time(time): int64 milliseconds.
int TimeVariable(Nc& nc, int dim) {
  const int v = nc.Var("time", NC_INT64, {dim});
  nc.Text(v, "standard_name", "time");
  nc.Text(v, "long_name", "block start time (UTC)");
  nc.Text(v, "units", "milliseconds since 1970-01-01 00:00:00 UTC");
  nc.Text(v, "calendar", "standard");
  nc.Text(v, "axis", "T");
  return v;
}

int StepVariable(Nc& nc, int dim) {
  const int v = nc.Var("step", NC_INT, {dim});
  nc.Text(v, "long_name", "block step from the recording start");
  return v;
}

int DataVariable(Nc& nc, const char* name, nc_type type, std::initializer_list<int> dims,
                 const std::string& long_name, const char* units) {
  const int v = nc.Var(name, type, dims);
  nc.Text(v, "long_name", long_name);
  if (units != nullptr) nc.Text(v, "units", units);
  return v;
}

}  // namespace

void WriteSpectrumNetcdf(const results::SpectrumSeries& s, const std::vector<std::string>& sources,
                         OutputFile& out) {
  out.CloseForOthers();
  Nc nc(out.temp_path(), out.path());
  const int time = nc.Dim("time", s.blocks());
  const int freq = nc.Dim("frequency", s.bins());
  const int t = TimeVariable(nc, time);
  const int f = nc.Var("frequency", NC_FLOAT, {freq});
  nc.Text(f, "long_name", "Doppler frequency");
  nc.Text(f, "units", "Hz");
  const int step = StepVariable(nc, time);
  int level[2], phase[2];
  for (int c = 0; c < 2; ++c) {
    const std::string khz = std::to_string(kCarriersKhz[c]);
    level[c] = DataVariable(nc, ("level_" + khz).c_str(), NC_FLOAT, {time, freq},
                            "spectral level at " + khz + " kHz", "dBuV");
    phase[c] = DataVariable(nc, ("phase_" + khz).c_str(), NC_FLOAT, {time, freq},
                            "spectral phase at " + khz + " kHz", "degrees");
  }
  GlobalAttributes(nc, "HF Doppler spectra, station " + s.station_code, s.station_code, "",
                   s.data_length, sources);
  nc.EndDef();
  if (s.blocks() > 0) {
    static_assert(sizeof(long long) == sizeof(int64_t));
    nc.Check(nc_put_var_longlong(nc.id(), t, reinterpret_cast<const long long*>(s.utc_ms.data())), "write");
    nc.Check(nc_put_var_int(nc.id(), step, s.step.data()), "write");
  }
  if (s.bins() > 0) nc.Check(nc_put_var_float(nc.id(), f, s.freq_hz.data()), "write");
  if (s.blocks() > 0 && s.bins() > 0) {
    for (int c = 0; c < 2; ++c) {
      nc.Check(nc_put_var_float(nc.id(), level[c], s.level[c].data()), "write");
      nc.Check(nc_put_var_float(nc.id(), phase[c], s.phase[c].data()), "write");
    }
  }
  nc.Close();
  out.Commit();
}

void WritePeakNetcdf(const results::PeakSeries& s, const std::vector<std::string>& sources,
                     OutputFile& out) {
  out.CloseForOthers();
  const bool qdr = s.kind == results::Kind::kAmplitude;
  Nc nc(out.temp_path(), out.path());
  const size_t n = s.blocks.size();
  const int time = nc.Dim("time", n);
  const int t = TimeVariable(nc, time);
  const int step = qdr ? -1 : StepVariable(nc, time);
  // Per channel: the values the file holds.
  struct Column {
    int var;
    int channel;
    double (*get)(const results::PeakBlock&, int);
  };
  std::vector<Column> cols;
  for (int c = 0; c < 2; ++c) {
    const std::string khz = std::to_string(kCarriersKhz[c]);
    auto add = [&](const char* what, const std::string& long_name, const char* units,
                   double (*get)(const results::PeakBlock&, int)) {
      cols.push_back({DataVariable(nc, (what + khz).c_str(), NC_DOUBLE, {time},
                                   long_name + " at " + khz + " kHz", units),
                      c, get});
    };
    if (!qdr) {
      add("mean_", "block mean of the samples (full scale 1)", "1",
          [](const results::PeakBlock& b, int ch) { return b.mean[ch]; });
      add("scint_", "scintillation figure (ten times the standard deviation)", "1",
          [](const results::PeakBlock& b, int ch) { return b.scint[ch]; });
    }
    add("freq_", "Doppler peak frequency", "Hz",
        [](const results::PeakBlock& b, int ch) { return b.peak[ch].freq_hz; });
    add("level_", "Doppler peak level", "dBuV",
        [](const results::PeakBlock& b, int ch) { return b.peak[ch].level_dbuv; });
    if (!qdr)
      add("phase_", "Doppler peak phase", "degrees",
          [](const results::PeakBlock& b, int ch) { return b.peak[ch].phase_deg; });
  }
  GlobalAttributes(nc, std::string(qdr ? "HF Doppler peaks" : "HF Doppler peak summary") +
                           ", station " + s.station_code,
                   s.station_code, s.station_name, s.data_length, sources);
  nc.EndDef();
  if (n > 0) {
    std::vector<long long> times(n);
    std::vector<int> steps(n);
    for (size_t i = 0; i < n; ++i) {
      times[i] = s.blocks[i].utc_ms;
      steps[i] = s.blocks[i].step;
    }
    nc.Check(nc_put_var_longlong(nc.id(), t, times.data()), "write");
    if (!qdr) nc.Check(nc_put_var_int(nc.id(), step, steps.data()), "write");
    std::vector<double> v(n);
    for (const Column& col : cols) {
      for (size_t i = 0; i < n; ++i) v[i] = col.get(s.blocks[i], col.channel);
      nc.Check(nc_put_var_double(nc.id(), col.var, v.data()), "write");
    }
  }
  nc.Close();
  out.Commit();
}

}  // namespace hfd::exporter
