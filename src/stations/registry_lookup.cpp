// Which station registry a program reads: the file named on its command line,
// in $HFDOPPLER_STATIONS, the user's own, or the installed default (found
// beside the running program, so that a build tree finds its copy too).
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "stations/registry.hpp"

namespace hfd::stations {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Anything at the path, a broken link included: the user meant it.
bool Present(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// $XDG_CONFIG_HOME (only an absolute path counts) or ~/.config; empty when
// neither is known.
std::string UserFile() {
  std::string base = Env("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') {
    const std::string home = Env("HOME");
    if (home.empty()) return {};
    base = home + "/.config";
  }
  return base + "/hfdoppler/stations.toml";
}

// ../share/hfdoppler/stations.toml from the running program's folder.
std::string BesideProgram() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return (exe.parent_path().parent_path() / "share" / "hfdoppler" / "stations.toml").string();
}

}  // namespace

std::string DefaultRegistryPath() {
  const std::string beside = BesideProgram();
  if (!beside.empty() && Present(beside)) return beside;
  return HFD_STATIONS_DEFAULT;
}

Registry LoadRegistry(const std::string& explicit_path) {
  if (!explicit_path.empty()) return Registry::Load(explicit_path);
  if (const std::string env = Env("HFDOPPLER_STATIONS"); !env.empty()) return Registry::Load(env);
  const std::string user = UserFile();
  if (!user.empty() && Present(user)) return Registry::Load(user);
  const std::string installed = DefaultRegistryPath();
  if (Present(installed)) return Registry::Load(installed);
  throw RegistryError(installed, 0,
                      "no station registry found (nor " + (user.empty() ? "a user's file" : user) +
                          "); give one with --stations FILE or HFDOPPLER_STATIONS");
}

}  // namespace hfd::stations
