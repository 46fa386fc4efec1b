#include "input/listing.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace hfd {
namespace {

struct Entry {
  std::string name;
  int64_t size = 0;
  bool hidden = false, readOnly = false, directory = false;
};

enum class ListEnd { NoMore, OutOfMemory, Invalid };

// The platform listing: every matching entry of the directory, sorted by name.
ListEnd Enumerate(const char* directory, std::vector<Entry>& out) {
  try {
    DIR* dir = ::opendir(directory);
    if (!dir) return errno == ENOMEM ? ListEnd::OutOfMemory : ListEnd::Invalid;
    ListEnd end = ListEnd::NoMore;
    for (;;) {
      errno = 0;
      dirent* de = ::readdir(dir);
      if (!de) {
        if (errno != 0) end = errno == ENOMEM ? ListEnd::OutOfMemory : ListEnd::Invalid;
        break;
      }
      std::string_view name = de->d_name;
      if (!MatchesRecordingPattern(name)) continue;
      Entry e;
      e.name.assign(name.substr(0, 255));
      struct stat st;
      if (::fstatat(dirfd(dir), de->d_name, &st, 0) != 0 &&
          ::fstatat(dirfd(dir), de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        std::memset(&st, 0, sizeof st);
      }
      e.size = static_cast<int64_t>(st.st_size);
      e.hidden = name[0] == '.';
      e.readOnly = (st.st_mode & S_IWUSR) == 0;
      e.directory = S_ISDIR(st.st_mode);
      out.push_back(std::move(e));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return end;
  } catch (const std::bad_alloc&) {
    return ListEnd::OutOfMemory;
  }
}

}  // namespace

std::string_view NameTable::Name(int index) const {
  const auto& e = entry[static_cast<size_t>(index)];
  size_t n = 0;
  while (n < e.size() && e[n] != '\0') ++n;
  return {e.data(), n};
}

bool MatchesRecordingPattern(std::string_view name) {
  static constexpr std::string_view kTail = "-0.bin";
  if (name.size() < kTail.size()) return false;
  std::string_view tail = name.substr(name.size() - kTail.size());
  for (size_t i = 0; i < kTail.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kTail[i]) return false;
  }
  return true;
}

void ListRecordings(RecordSink& console, const char* directory, NameTable& names, size_t limit) {
  static const FormatPlan kLine("(2x,i5,2x,a30,i9,a1,a6)");
  static const FormatPlan kTotal("(a,i5)");
  WriteList(console, {" ======== Matched BIN Files ========"});
  names.NFiles = 0;
  std::vector<Entry> found;
  ListEnd end = Enumerate(directory, found);
  names.failed = end != ListEnd::NoMore;
  const size_t listed = limit == 0 ? found.size() : std::min(found.size(), limit);
  names.entry.resize(listed);
  for (size_t n = 0; n < listed; ++n) {
    const Entry& e = found[n];
    char attr[5] = {' ', ' ', ' ', ' ', ' '};
    if (e.hidden) attr[0] = 'H';
    if (e.readOnly) attr[2] = 'R';
    if (e.directory) attr[4] = 'D';
    auto& slot = names.entry[static_cast<size_t>(names.NFiles)];
    slot.fill('\0');
    for (size_t i = 0; i < slot.size() && i < e.name.size() && e.name[i] != ' '; ++i)
      slot[i] = e.name[i];
    ++names.NFiles;
    char full[255];
    std::memset(full, ' ', sizeof full);
    std::memcpy(full, e.name.data(), std::min(e.name.size(), sizeof full));
    int32_t size = e.size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(e.size);
    kLine.Write(console, {names.NFiles, std::string_view(full, sizeof full), size, " ",
                          std::string_view(attr, 5)});
  }
  if (found.size() > listed) {
    WriteList(console, {"=== Only the first", static_cast<int32_t>(listed),
                        " recordings are listed; not listed:",
                        static_cast<int32_t>(found.size() - listed)});
  }
  if (end == ListEnd::OutOfMemory) WriteList(console, {"Out of memory"});
  if (end == ListEnd::Invalid) WriteList(console, {"Invalid file or path name"});
  kTotal.Write(console, {"  === total: ", names.NFiles});
}

}  // namespace hfd
