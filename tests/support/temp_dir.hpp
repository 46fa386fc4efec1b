// A fresh, empty folder under the system's temporary directory, removed with
// everything in it (read-only entries included) when the object goes.
//
//   TempDir dir;
//   std::ofstream(dir.path / "x.max") << "...";
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace hfd::test {

struct TempDir {
  std::filesystem::path path;

  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "hfd-test-XXXXXX").string();
    if (!::mkdtemp(t.data())) throw std::runtime_error("cannot make a folder from " + t);
    path = t;
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Read-only entries made by a test must not stop the clean-up.
    for (const auto& e : fs::recursive_directory_iterator(path, ec))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

}  // namespace hfd::test
