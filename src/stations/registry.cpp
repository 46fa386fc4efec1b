// Reading the station registry: the TOML text checked table by table into
// Stations, every fault reported with its file and line.
#include "stations/registry.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <toml++/toml.h>

namespace hfd::stations {
namespace {

constexpr size_t kMaxFileBytes = size_t{1} << 20;

long LineOf(const toml::node& n) { return static_cast<long>(n.source().begin.line); }
long LineOf(const toml::key& k) { return static_cast<long>(k.source().begin.line); }

// Checks one station's table; every complaint names the key and its line.
class TableReader {
 public:
  TableReader(const std::string& path, const std::string& where, const toml::table& t)
      : path_(path), where_(where), table_(t) {}

  [[noreturn]] void Fail(long line, const std::string& what) const {
    throw RegistryError(path_, line, where_ + ": " + what);
  }

  // Every key must be one of `known`.
  void OnlyKeys(std::initializer_list<std::string_view> known) const {
    for (auto&& [key, node] : table_) {
      bool ok = false;
      for (std::string_view k : known) ok = ok || key.str() == k;
      if (!ok) Fail(LineOf(key), "unknown key '" + std::string(key.str()) + "'");
    }
  }

  const toml::node* Get(std::string_view key) const { return table_.get(key); }

  std::string Name() const {
    const toml::node* n = Get("name");
    if (!n) Fail(LineOf(table_), "missing name");
    const auto* s = n->as_string();
    if (!s) Fail(LineOf(*n), "name must be a string");
    if (s->get().empty()) Fail(LineOf(*n), "name is empty");
    return s->get();
  }

  double Number(const toml::node& n, const char* what, double lo, double hi) const {
    const std::optional<double> v = n.is_number() ? n.value<double>() : std::nullopt;
    if (!v) Fail(LineOf(n), std::string(what) + " must be a number");
    if (!(*v >= lo && *v <= hi)) {
      char range[96];
      std::snprintf(range, sizeof range, " %g is outside %g..%g", *v, lo, hi);
      Fail(LineOf(n), what + std::string(range));
    }
    return *v;
  }

  double Required(const char* key, double lo, double hi) const {
    const toml::node* n = Get(key);
    if (!n) Fail(LineOf(table_), std::string("missing ") + key);
    return Number(*n, key, lo, hi);
  }

  // An array of one number per channel; `scalar_ok` also takes one number
  // for both channels.
  std::array<double, 2> PerChannel(const toml::node& n, const char* key, double lo, double hi,
                                   bool scalar_ok) const {
    if (scalar_ok && n.is_number()) {
      const double v = Number(n, key, lo, hi);
      return {v, v};
    }
    const auto* a = n.as_array();
    if (!a || a->size() != 2) {
      Fail(LineOf(n), std::string(key) + " must be two numbers, channel 1 and channel 2" +
                          (scalar_ok ? " (or one for both)" : ""));
    }
    return {Number((*a)[0], key, lo, hi), Number((*a)[1], key, lo, hi)};
  }

  long line() const { return LineOf(table_); }

 private:
  const std::string& path_;
  std::string where_;
  const toml::table& table_;
};

bool IsCode(std::string_view code) {
  if (code.size() != 3) return false;
  for (char c : code) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

Station ReadStation(const std::string& path, std::string_view code, const toml::table& t) {
  const TableReader r(path, "station " + std::string(code), t);
  r.OnlyKeys({"name", "latitude", "longitude", "carriers_khz", "zero_doppler_hz", "transmitter"});
  Station s;
  s.code = std::string(code);
  s.name = r.Name();
  s.latitude_deg = r.Required("latitude", -90.0, 90.0);
  s.longitude_deg = r.Required("longitude", -180.0, 180.0);
  if (const toml::node* n = r.Get("carriers_khz")) {
    s.carriers_khz = r.PerChannel(*n, "carriers_khz", 1e-3, 1e9, false);
  }
  if (const toml::node* n = r.Get("zero_doppler_hz")) {
    const std::array<double, 2> z = r.PerChannel(*n, "zero_doppler_hz", 0.0, 50.0, true);
    s.zero_doppler_hz = {z[0], z[1]};
  }
  if (const toml::node* n = r.Get("transmitter")) {
    const auto* tt = n->as_table();
    if (!tt) r.Fail(LineOf(*n), "transmitter must be a table (name, latitude, longitude)");
    const TableReader tr(path, "station " + std::string(code) + " transmitter", *tt);
    tr.OnlyKeys({"name", "latitude", "longitude"});
    s.transmitter = Place{tr.Name(), tr.Required("latitude", -90.0, 90.0),
                          tr.Required("longitude", -180.0, 180.0)};
  }
  return s;
}

}  // namespace

Registry Registry::Parse(std::string_view toml_text, const std::string& path) {
  toml::table root;
  try {
    root = toml::parse(toml_text, path);
  } catch (const toml::parse_error& e) {
    throw RegistryError(path, static_cast<long>(e.source().begin.line),
                        "not a valid TOML file: " + std::string(e.description()));
  }
  Registry reg;
  reg.path_ = path;
  for (auto&& [key, node] : root) {
    const std::string code(key.str());
    if (!IsCode(code)) {
      throw RegistryError(path, LineOf(key),
                          "'" + code + "' is not a station code (three letters or digits)");
    }
    const auto* t = node.as_table();
    if (!t) {
      throw RegistryError(path, LineOf(key),
                          "station " + code + " must be a table ([" + code + "] with its name, "
                          "latitude and longitude)");
    }
    reg.stations_.push_back(ReadStation(path, code, *t));
  }
  // toml::table keeps its keys sorted; the file's order is the order of lines.
  std::stable_sort(reg.stations_.begin(), reg.stations_.end(), [&](const Station& a, const Station& b) {
    return LineOf(*root.get(a.code)) < LineOf(*root.get(b.code));
  });
  return reg;
}

Registry Registry::Load(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw RegistryError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  std::string text;
  struct stat st {};
  std::string fault;
  if (::fstat(fd, &st) != 0) {
    fault = std::string("cannot read: ") + std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    fault = "not a regular file";
  } else {
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) { fault = std::string("cannot read: ") + std::strerror(errno); break; }
      if (n == 0) break;
      text.append(buf, static_cast<size_t>(n));
      if (text.size() > kMaxFileBytes) { fault = "larger than 1 MiB: not a station registry"; break; }
    }
  }
  ::close(fd);
  if (!fault.empty()) throw RegistryError(path, 0, fault);
  return Parse(text, path);
}

const Station* Registry::Find(std::string_view code) const {
  for (const Station& s : stations_) {
    if (s.code == code) return &s;
  }
  return nullptr;
}

}  // namespace hfd::stations
