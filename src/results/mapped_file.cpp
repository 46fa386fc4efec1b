// The result file as one mapped block of memory; the reader's errors and the
// kinds of result file by name.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "results/result_files.hpp"
#include "results/text_lines.hpp"

namespace hfd::results {
namespace {

std::string Message(const std::string& file, long line, const std::string& what) {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + what : file + ": " + what;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

}  // namespace

ReadError::ReadError(std::string file, long line, const std::string& what)
    : std::runtime_error(Message(file, line, what)), file_(std::move(file)), line_(line) {}

Kind KindOfPath(std::string_view path) {
  if (EndsWith(path, ".qdr")) return Kind::kAmplitude;
  if (EndsWith(path, ".spc")) return Kind::kSpectrum;
  if (EndsWith(path, ".max")) return Kind::kPeak;
  throw ReadError(std::string(path), 0, "not a result file name (.qdr, .spc or .max)");
}

namespace detail {

MappedFile::MappedFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ReadError(path, 0, std::strerror(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    throw ReadError(path, 0, std::strerror(e));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw ReadError(path, 0, S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file");
  }
  size_ = static_cast<size_t>(st.st_size);
  if (size_ == 0) {
    ::close(fd);
    throw ReadError(path, 0, "empty file");
  }
  void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
  const int e = errno;
  ::close(fd);
  if (p == MAP_FAILED) throw ReadError(path, 0, std::strerror(e));
  ::madvise(p, size_, MADV_SEQUENTIAL);
  data_ = static_cast<const char*>(p);
  mapped_ = true;
}

MappedFile::MappedFile(std::string_view bytes, const std::string& path)
    : data_(bytes.data()), size_(bytes.size()) {
  if (size_ == 0) throw ReadError(path, 0, "empty file");
}

void MappedFile::Release() {
  if (!mapped_) return;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t end = (pos_ - pos_ % page) - page;  // keep the page of the line before
  if (end <= released_) return;
  ::madvise(const_cast<char*>(data_) + released_, end - released_, MADV_DONTNEED);
  released_ = end;
}

MappedFile::~MappedFile() {
  if (mapped_) ::munmap(const_cast<char*>(data_), size_);
}

std::string StationCodeOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string_view base =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (base.size() != 19 || base[15] != '.') return {};
  for (size_t i = 0; i < 12; ++i)
    if (base[i] < '0' || base[i] > '9') return {};
  for (size_t i = 12; i < 15; ++i)
    if (!((base[i] >= 'A' && base[i] <= 'Z') || (base[i] >= 'a' && base[i] <= 'z'))) return {};
  return std::string(base.substr(12, 3));
}

}  // namespace detail

std::string StationCodeOfPath(const std::string& path) { return detail::StationCodeOf(path); }
}  // namespace hfd::results
