// Waiting for the files of a folder to grow or appear, for runs that follow
// recordings while the receiver writes them.
//
// A FolderWatch sleeps until something changes in its folder (inotify, where
// the system has it), a timeout passes, or a stop signal arrives; it also
// wakes at least once a second, so that files written from another machine
// (network file systems send no events) are seen too. It never spins.
// A GrowingFile remembers what a followed channel file looked like: its size
// and when it last grew, and it tells a truncated, replaced or deleted file.
//
//   FolderWatch watch(".", StopFlag());
//   GrowingFile ch; ch.Begin("x-0.BIN", fd, 600.0);
//   while (ch.Look() == GrowingFile::State::Ok && ch.Records() < 8)
//     if (watch.Wait(1.0) == FolderWatch::Woken::Stop) break;
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "recording/vocabulary.hpp"

namespace hfd {

// Seconds on the monotonic clock.
double MonotonicSeconds();

class FolderWatch {
 public:
  // `stopFlag` non-zero means a stop was asked for (runtime/signals).
  explicit FolderWatch(const volatile int* stopFlag);
  FolderWatch(const char* dir, const volatile int* stopFlag) : FolderWatch(stopFlag) { Watch(dir); }
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Sleeps until the folder changes, `seconds` (at most 1) pass, or a stop
  // signal arrives (also one that came before the wait). Without events a
  // wait always ends as a Change: anything may have changed.
  enum class Woken { Stop, Change, Timeout };
  Woken Wait(double seconds);
  // Adds a folder; false when its changes cannot be watched (the waits
  // then end as a Change every time: a timer only).
  bool Watch(const char* dir);
  bool HasEvents() const { return !timerOnly_; }

 private:
  int fd_ = -1;
  bool timerOnly_ = false;
  const volatile int* stop_;
};

class GrowingFile {
 public:
  enum class State { Ok, Truncated, Replaced, Deleted };

  // Starts following the open file `fd` known as `name` (relative to the
  // current folder). A file not modified for a while counts as idle that
  // long already (its modification time), so a finished recording ends at
  // once.
  void Begin(std::string name, int fd);
  // Looks at the file again; whole records it holds, and whether it is
  // still the file named so and has not shrunk.
  State Look();
  // The same by the name alone, once the file is closed.
  State LookByName() const;
  int64_t Records() const { return size_ / kRecordBytes; }
  int64_t Bytes() const { return size_; }
  // Seconds since the file last grew (or, before it grew while followed,
  // since it was last modified).
  double IdleSeconds() const;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  int fd_ = -1;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  int64_t size_ = 0;
  double lastGrowth_ = 0;  // monotonic seconds
};

// Seconds since the file at `name` was last modified (0 for a time ahead of
// the clock); negative when it does not exist.
double AgeOfFile(const char* name);

}  // namespace hfd
