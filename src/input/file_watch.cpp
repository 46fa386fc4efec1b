#include "input/file_watch.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace hfd {
namespace {

double Seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9; }

double RealtimeSeconds() {
  timespec t;
  ::clock_gettime(CLOCK_REALTIME, &t);
  return Seconds(t);
}

}  // namespace

double MonotonicSeconds() {
  timespec t;
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return Seconds(t);
}

double AgeOfFile(const char* name) {
  struct stat st;
  if (::stat(name, &st) != 0) return -1.0;
  const double age = RealtimeSeconds() - Seconds(st.st_mtim);
  return age > 0 ? age : 0.0;
}

FolderWatch::FolderWatch(const volatile int* stopFlag) : stop_(stopFlag) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  timerOnly_ = fd_ < 0;
}

bool FolderWatch::Watch(const char* dir) {
  constexpr uint32_t kChanges = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
  if (fd_ < 0 || ::inotify_add_watch(fd_, dir, kChanges) < 0) timerOnly_ = true;
  return !timerOnly_;
}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

FolderWatch::Woken FolderWatch::Wait(double seconds) {
  if (seconds > 1.0) seconds = 1.0;
  if (seconds < 0.0) seconds = 0.0;
  // Signals are held from the look at the stop flag until ppoll lets them in
  // again, so a stop that arrives in between ends the wait at once.
  sigset_t all, old;
  ::sigfillset(&all);
  ::sigprocmask(SIG_BLOCK, &all, &old);
  if (stop_ && *stop_) {
    ::sigprocmask(SIG_SETMASK, &old, nullptr);
    return Woken::Stop;
  }
  const auto whole = static_cast<time_t>(seconds);
  const timespec timeout{whole, static_cast<long>((seconds - static_cast<double>(whole)) * 1e9)};
  pollfd p{fd_, POLLIN, 0};
  ::ppoll(fd_ >= 0 ? &p : nullptr, fd_ >= 0 ? 1 : 0, &timeout, &old);
  ::sigprocmask(SIG_SETMASK, &old, nullptr);
  if (stop_ && *stop_) return Woken::Stop;
  // The events only wake; what changed is looked at anew.
  bool any = false;
  alignas(inotify_event) char buf[4096];
  while (fd_ >= 0 && ::read(fd_, buf, sizeof buf) > 0) any = true;
  return any || timerOnly_ ? Woken::Change : Woken::Timeout;
}

void GrowingFile::Begin(std::string name, int fd) {
  name_ = std::move(name);
  fd_ = fd;
  struct stat st;
  if (::fstat(fd, &st) != 0) st = {};
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  size_ = st.st_size;
  const double age = RealtimeSeconds() - Seconds(st.st_mtim);
  lastGrowth_ = MonotonicSeconds() - (age > 0 ? age : 0.0);
}

GrowingFile::State GrowingFile::Look() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return State::Deleted;
  if (st.st_size < size_) {
    size_ = st.st_size;
    return State::Truncated;
  }
  if (st.st_size > size_) {
    size_ = st.st_size;
    lastGrowth_ = MonotonicSeconds();
  }
  // Another file renamed over the name unlinks this one: replaced, not deleted.
  const State named = LookByName();
  return named == State::Ok && st.st_nlink == 0 ? State::Deleted : named;
}

GrowingFile::State GrowingFile::LookByName() const {
  struct stat named;
  if (::stat(name_.c_str(), &named) != 0) return errno == ENOENT ? State::Deleted : State::Ok;
  if (named.st_dev != dev_ || named.st_ino != ino_) return State::Replaced;
  return named.st_size < size_ ? State::Truncated : State::Ok;
}

double GrowingFile::IdleSeconds() const { return MonotonicSeconds() - lastGrowth_; }

}  // namespace hfd
