#include "textio/result_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hfd {

void ResultFile::Open(std::string_view name) {
  Close();
  nameLen_ = name.size() < sizeof name_ - 1 ? name.size() : sizeof name_ - 1;
  std::memcpy(name_, name.data(), nameLen_);
  name_[nameLen_] = '\0';
  used_ = lastEnd_ = 0;
  fileBytes_ = fileLastEnd_ = 0;
  created_ = cut_ = false;
  if (fatal_.StopRequested()) fatal_.StopForSignal();
  // O_NONBLOCK: a FIFO at this name must not hold the open; O_NOFOLLOW: nor
  // may a link lead the results elsewhere. A missing file is made with
  // O_EXCL, so that it is known to be this run's own.
  constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
  int fd;
  for (;;) {
    fd = ::open(name_, kFlags);
    if (fd < 0 && errno == ENOENT) {
      fd = ::open(name_, kFlags | O_CREAT | O_EXCL, 0666);
      created_ = fd >= 0;
      if (fd < 0 && errno == EEXIST) continue;  // made meanwhile: open it as it is
    }
    if (fd >= 0 || errno != EINTR) break;
    if (fatal_.StopRequested()) fatal_.StopForSignal();
  }
  if (fd < 0) {
    if (errno == ELOOP) fatal_.OpenRefused(Name(), "Symbolic link: results are not written through");
    if (errno == ENXIO) fatal_.OpenRefused(Name(), "Not a regular file");
    fatal_.FileFailure(Statement::Open, Name(), errno);
  }
  fd_ = fd;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Abandon();
    fatal_.OpenRefused(Name(), "Not a regular file");
  }
  // Standard output or error sent to this file (hfdoppler > x.qdr) would
  // write into it beside the results.
  for (int console : {1, 2}) {
    struct stat con;
    if (::fstat(console, &con) == 0 && con.st_dev == st.st_dev && con.st_ino == st.st_ino) {
      Abandon();
      fatal_.OpenRefused(Name(), "Standard output or error is this file");
    }
  }
  // A file system without locks still gets its results.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    created_ = false;  // another run's file now
    Abandon();
    fatal_.OpenRefused(Name(), "File in use by another run");
  }
}

bool ResultFile::Unlinked() const {
  struct stat st;
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 && st.st_nlink == 0;
}

void ResultFile::Cut(ResultFile& a, ResultFile* b) {
  if (a.fatal_.StopRequested()) a.fatal_.StopForSignal();  // the kept files are left whole
  a.CutNow();
  if (b) b->CutNow();
}

void ResultFile::CutNow() {
  if (::ftruncate(fd_, 0) != 0) {
    const int err = errno;
    Abandon();
    fatal_.FileFailure(Statement::Open, Name(), err);
  }
  cut_ = true;
}

bool ResultFile::WriteOut(int& err) {
  size_t done = 0;
  while (done < used_) {
    ssize_t n = ::write(fd_, buf_ + done, used_ - done);
    // Only regular files are written: a write never waits on another
    // process, so it is finished even at a stop (the lines are kept).
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? errno : ENOSPC;
      // The file keeps whole records only: cut a record the failed write left
      // half written, and drop the buffer so nothing is written twice.
      size_t end = done < lastEnd_ ? done : lastEnd_;
      while (end >= 2 && !(buf_[end - 2] == '\r' && buf_[end - 1] == '\n')) --end;
      const uint64_t keep = end >= 2 ? fileBytes_ + end : fileLastEnd_;
      if (::ftruncate(fd_, static_cast<off_t>(keep)) == 0) fileBytes_ = fileLastEnd_ = keep;
      used_ = lastEnd_ = 0;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (lastEnd_ > 0) fileLastEnd_ = fileBytes_ + lastEnd_;
  fileBytes_ += used_;
  used_ = lastEnd_ = 0;
  return true;
}

void ResultFile::Flush() {
  if (fd_ < 0) return;
  int err = 0;
  if (!WriteOut(err)) fatal_.FileFailure(Statement::Write, Name(), err);
}

void ResultFile::PutRecord(std::string_view record, bool advance) {
  size_t need = record.size() + (advance ? 2 : 0);
  if (used_ + need > kBufSize) Flush();
  if (need > kBufSize) {  // longer than the buffer: write it in pieces
    while (!record.empty()) {
      size_t take = record.size() < kBufSize ? record.size() : kBufSize;
      std::memcpy(buf_, record.data(), take);
      used_ = take;
      record.remove_prefix(take);
      Flush();
    }
  } else {
    std::memcpy(buf_ + used_, record.data(), record.size());
    used_ += record.size();
  }
  if (advance) {
    if (used_ + 2 > kBufSize) Flush();
    buf_[used_++] = '\r';
    buf_[used_++] = '\n';
    lastEnd_ = used_;
  }
}

void ResultFile::Close() {
  if (fd_ < 0) return;
  if (!cut_) {
    Abandon();
    return;
  }
  int err = 0;
  if (!WriteOut(err)) {
    fatal_.FileFailure(Statement::Write, Name(), err);
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) fatal_.FileFailure(Statement::Close, Name(), errno);
}

bool ResultFile::Abandon() {
  if (fd_ < 0) return true;
  if (!cut_) {  // opened, never written: as it was, or gone again when this run made it
    if (created_) ::unlink(name_);
    ::close(fd_);
    fd_ = -1;
    return true;
  }
  int err = 0;
  bool ok = WriteOut(err);
  used_ = 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  return ok;
}

}  // namespace hfd
