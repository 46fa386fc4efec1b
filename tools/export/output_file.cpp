#include "output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>

namespace hfd::exporter {

OutputFile::OutputFile(std::string path) : path_(std::move(path)), buf_(1 << 20, '\0') {
  const size_t slash = path_.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "" : path_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  temp_ = dir + "." + base + ".XXXXXX";
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) {
    const int e = errno;
    throw WriteError{path_ + ": cannot create a file in its folder: " + std::strerror(e)};
  }
  const mode_t mask = ::umask(0);  // mkstemp makes 0600; give the file the usual mode
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temp_.c_str());
}

void OutputFile::Fail(const char* step) {
  const int e = errno;
  throw WriteError{path_ + ": " + step + ": " + std::strerror(e)};
}

void OutputFile::CloseForOthers() {
  if (fd_ >= 0 && ::close(fd_) != 0) {
    fd_ = -1;
    Fail("close");
  }
  fd_ = -1;
}

void OutputFile::Flush() {
  size_t done = 0;
  while (done < used_) {
    const ssize_t n = ::write(fd_, buf_.data() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("write");
    done += static_cast<size_t>(n);
  }
  used_ = 0;
}

void OutputFile::Append(std::string_view s) {
  while (!s.empty()) {
    if (used_ == buf_.size()) Flush();
    const size_t n = std::min(s.size(), buf_.size() - used_);
    std::memcpy(buf_.data() + used_, s.data(), n);
    used_ += n;
    s.remove_prefix(n);
  }
}

void OutputFile::Commit() {
  if (fd_ >= 0) {
    Flush();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail("close");
  }
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) Fail("rename");
  committed_ = true;
}

}  // namespace hfd::exporter
