// The result file read through a window of memory; the reader's errors and
// the kinds of result file by name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "results/result_files.hpp"
#include "results/text_lines.hpp"

namespace hfd::results {

Kind KindOfPath(std::string_view path) {
  if (path.ends_with(".qdr")) return Kind::kAmplitude;
  if (path.ends_with(".spc")) return Kind::kSpectrum;
  if (path.ends_with(".max")) return Kind::kPeak;
  throw ReadError(std::string(path), 0, "not a result file name (.qdr, .spc or .max)");
}

namespace detail {

TextFile::TextFile(const std::string& path) : path_(path) {
  // Without blocking: a FIFO opens at once and is refused below.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) throw ReadError(path, 0, std::strerror(errno));
  struct stat st;
  if (::fstat(fd_, &st) != 0) {
    const int e = errno;
    ::close(fd_);
    throw ReadError(path, 0, std::strerror(e));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    throw ReadError(path, 0, S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file");
  }
  size_ = static_cast<size_t>(st.st_size);
  if (size_ == 0) {
    ::close(fd_);
    throw ReadError(path, 0, "empty file");
  }
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  window_.resize(std::min(size_, kWindow));
  data_ = window_.data();
}

TextFile::TextFile(std::string_view bytes, const std::string& path)
    : path_(path), data_(bytes.data()), end_(bytes.size()), size_(bytes.size()), read_(bytes.size()) {
  if (size_ == 0) throw ReadError(path, 0, "empty file");
}

TextFile::~TextFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TextFile::Seek(size_t offset, long lines_before) {
  offset = std::min(offset, size_);
  line_ = lines_before;
  if (offset >= start_ && offset <= start_ + end_) {
    pos_ = offset - start_;
    return;
  }
  start_ = read_ = offset;  // read from there, a little at first (a seek looks at one line)
  pos_ = end_ = 0;
  chunk_ = kSeekChunk;
}

bool TextFile::NextAfterRead(Line& l) {
  if (read_ < size_) {  // the window's unread part moved to its start and filled up
    if (end_ - pos_ == window_.size()) {  // longer than any line of a result file
      const std::string what = "no line end in " + std::to_string(window_.size()) + " bytes";
      throw ReadError(path_, line_ == 0 ? 0 : line_ + 1, line_ == 0 ? "not a result file: " + what : what);
    }
    std::memmove(window_.data(), data_ + pos_, end_ - pos_);
    start_ += pos_;
    end_ -= pos_;
    pos_ = 0;
    const size_t want = std::min({window_.size() - end_, size_ - read_, chunk_});
    chunk_ = std::min(2 * chunk_, kWindow);
    for (size_t got = 0; got < want;) {
      const ssize_t n = ::pread(fd_, window_.data() + end_ + got, want - got, static_cast<off_t>(read_ + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw ReadError(path_, 0, std::strerror(errno));
      if (n == 0) throw ReadError(path_, 0, "the file changed while it was read (it is shorter now)");
      got += static_cast<size_t>(n);
    }
    read_ += want;
    end_ += want;
    return Next(l);
  }
  if (pos_ == end_) return false;
  l.text = data_ + pos_;  // the last line, without its line end
  l.number = ++line_;
  l.size = end_ - pos_;
  if (data_[end_ - 1] == '\r') --l.size;  // a line end cut between its CR and LF
  l.ended = false;
  pos_ = end_;
  return true;
}

}  // namespace detail

std::string StationCodeOfPath(const std::string& path) {
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

}  // namespace hfd::results
