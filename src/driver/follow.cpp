#include "driver/follow.hpp"

#include <malloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "driver/batch.hpp"
#include "driver/scripted_run.hpp"
#include "input/file_watch.hpp"
#include "input/recording.hpp"
#include "runtime/signals.hpp"

namespace hfd {
namespace {

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", s);
  return text;
}

// Ends the process by the stop signal received while no run was open.
[[noreturn]] void StopNow() {
  const int sig = StopSignal() ? StopSignal() : SIGTERM;
  RestoreStopDefaults();
  ::raise(sig);
  ::_exit(128 + sig);
}

// The recordings of one folder as they are followed: the waits of their
// blocks, and the log lines of their start and end.
class FollowedRecordings final : public RunObserver, public RecordWait {
 public:
  FollowedRecordings(const CommandLine& cl, int logFd, std::string prefix, FolderWatch& watch)
      : idle_(cl.idleSeconds), logFd_(logFd), prefix_(std::move(prefix)), watch_(watch) {}

  bool Failed() const { return failed_; }

  void RecordingOpened(const RecordingState& rec) override {
    name_ = prefix_ + std::string(rec.ChFileName[0].data(), strnlen(rec.ChFileName[0].data(), kNameLength));
    blocks_ = 0;
    reason_.clear();
    began_ = false;
    opened_ = rec.IOpenStatus != 1;
    for (int c = 0; c < 2; ++c) following_[c] = false;
    if (!opened_) {
      failed_ = true;
      WriteAll(2, "hfdoppler: " + name_ + ": neither channel file could be opened\n");
      return;
    }
    Log(name_ + ": started");
  }

  void BlocksPlanned(const RecordingState&, const RunOptions&, int32_t) override {}

  void BlockWritten() override {
    ++blocks_;
    if (StopRequested()) LogEnd("stopped");
  }

  void RecordingClosed() override {
    if (!opened_) return;
    // A read failed or the window ended: a file that shrank or went away
    // meanwhile is a fault all the same.
    for (int c = 0; c < 2 && reason_.empty(); ++c)
      if (following_[c]) Fault(c, files_[c].LookByName());
    LogEnd(reason_.empty() ? "end of window" : reason_);
  }

  bool AwaitRecords(RunIo& io, const RecordingState& rec, int64_t lastRecord) override {
    if (!began_) {
      began_ = true;
      const ChannelFile* units[2] = {&io.unit1, &io.unit2};
      for (int c = 0; c < 2; ++c) {
        following_[c] = rec.ChOpenErr[static_cast<size_t>(c + 1)] == 0;
        const auto& field = rec.ChFileName[static_cast<size_t>(c)];
        if (following_[c])
          files_[c].Begin(std::string(field.data(), strnlen(field.data(), kNameLength)), units[c]->Fd());
      }
    }
    for (;;) {
      // A result file deleted meanwhile would take the rest of the
      // recording's lines with it, unseen.
      for (const ResultFile* unit : {&io.unit3, &io.unit4}) {
        if (!unit->Unlinked()) continue;
        const std::string file = prefix_ + std::string(unit->Name());
        WriteAll(2, "hfdoppler: " + file + ": deleted while written; the recording ends here\n");
        reason_ = file + " deleted";
        failed_ = true;
        return false;
      }
      bool ready = true;
      double wait = 1.0;
      for (int c = 0; c < 2; ++c) {
        if (!following_[c] || files_[c].Records() >= lastRecord) continue;
        if (Fault(c, files_[c].Look())) return false;
        if (files_[c].Records() >= lastRecord) continue;
        ready = false;
        const double idle = files_[c].IdleSeconds();
        if (idle >= idle_) {
          const int other = 1 - c;
          if (following_[other] && files_[other].Records() >= lastRecord)
            reason_ = "no record on channel " + std::to_string(c + 1) + " for " + Seconds(idle_) +
                      " while channel " + std::to_string(other + 1) + " goes on";
          else
            reason_ = "no record for " + Seconds(idle_);
          return false;
        }
        wait = std::min(wait, idle_ - idle);
      }
      if (ready) return true;
      if (watch_.Wait(wait) == FolderWatch::Woken::Stop) {
        LogEnd("stopped");
        io.StopForSignal();
      }
    }
  }

 private:
  void Log(const std::string& line) { WriteAll(logFd_, line + "\n"); }

  void LogEnd(const std::string& reason) {
    if (ended_ == name_) return;  // once, also when a stop follows a logged end
    ended_ = name_;
    Log(name_ + ": ended after " + std::to_string(blocks_) + (blocks_ == 1 ? " block (" : " blocks (") +
        reason + ")");
  }

  // Reports a followed file that is no longer the one being read; true then.
  bool Fault(int c, GrowingFile::State s) {
    const char* what = s == GrowingFile::State::Truncated ? "truncated"
                       : s == GrowingFile::State::Replaced ? "replaced by another file"
                       : s == GrowingFile::State::Deleted  ? "deleted"
                                                           : nullptr;
    if (!what) return false;
    const std::string file = prefix_ + files_[c].Name();
    WriteAll(2, "hfdoppler: " + file + ": " + what + " while followed; the recording ends here\n");
    reason_ = file + " " + what;
    failed_ = true;
    return true;
  }

  const double idle_;
  const int logFd_;
  const std::string prefix_;
  FolderWatch& watch_;
  std::string name_, reason_, ended_;
  int64_t blocks_ = 0;
  bool opened_ = false, began_ = false, failed_ = false;
  bool following_[2] = {false, false};
  GrowingFile files_[2];
};

// The channel-1 file of a recording whose channel-0 file is listed may be
// created a moment later: waited for up to the idle time, unless the
// channel-0 file has not changed for that long already.
void AwaitPartner(const std::string& name, const std::string& prefix, double idle, FolderWatch& watch) {
  if (name.size() < 19) return;
  std::string partner = name;
  partner[18] = '1';
  const double start = MonotonicSeconds();
  for (;;) {
    if (::access(partner.c_str(), F_OK) == 0) return;
    const double age = AgeOfFile(name.c_str());
    const double waited = MonotonicSeconds() - start;
    if (age < 0 || age >= idle) return;
    if (waited >= idle) {
      WriteAll(2, "hfdoppler: " + prefix + partner + ": still missing after " + Seconds(idle) +
                      "; channel 2 is not analysed\n");
      return;
    }
    if (watch.Wait(idle - waited) == FolderWatch::Woken::Stop) StopNow();
  }
}

// Follows one recording of the current folder; false when it failed.
bool FollowOne(const CommandLine& cl, const FollowFolder& folder, size_t index, const std::string& name,
               FollowedRecordings& log, FolderWatch& watch, const FollowedRun& run) {
  AwaitPartner(name, folder.prefix, cl.idleSeconds, watch);
  return run(index, name, log, log) == 0;
}

// Whether the folder served, at `where` when the service began, is still
// there under that path: not deleted, not moved away nor replaced. Any other
// failure to look (a network file system's hiccup) is no verdict.
bool StillServed(const std::string& where) {
  struct stat here, there;
  if (where.empty() || ::stat(".", &here) != 0) return true;
  if (here.st_nlink == 0) return false;
  if (::stat(where.c_str(), &there) != 0) return errno != ENOENT && errno != ENOTDIR;
  return here.st_dev == there.st_dev && here.st_ino == there.st_ino;
}

// Whether a run can read the start date and time from the listed name; a
// stray name (notes-0.bin) would end its run, and the service with it.
bool GivesStartTime(const std::string& name) {
  std::array<char, kNameLength> entry{};
  std::copy_n(name.begin(), std::min(name.size(), entry.size()), entry.begin());
  RecordingState rec;
  return DeriveRecordingNames(entry, rec) == ReadError::None;
}

// Serves the current folder until a stop: every recording not yet taken, in
// name order, listed anew after each. Returns 1 once the folder is gone.
int Serve(const CommandLine& cl, const FollowFolder& folder, const FollowedRun& run, int logFd) {
  std::string where;
  if (char* cwd = ::getcwd(nullptr, 0)) {
    where = cwd;
    std::free(cwd);
  }
  FolderWatch watch(".", StopFlag());
  FollowedRecordings log(cl, logFd, folder.prefix, watch);
  std::set<std::string> taken;
  bool look = true;
  double lastLook = 0;
  for (;;) {
    // Without events (or to be safe with a network file system, every 30 s)
    // the folder is listed again at the timer.
    if (look || !watch.HasEvents() || MonotonicSeconds() - lastLook >= 30.0) {
      lastLook = MonotonicSeconds();
      if (!StillServed(where)) {
        // Nothing can arrive here any more: a supervisor may start the
        // service again once the folder is back.
        WriteAll(2, "hfdoppler: " + folder.path + ": deleted or moved away while served\n");
        return 1;
      }
      std::vector<std::string> listed;
      std::string why;
      if (!ListFolder(".", listed, why)) ReportUnlisted(folder.path, why);
      auto next = std::find_if(listed.begin(), listed.end(),
                               [&](const std::string& name) { return !taken.count(name); });
      if (next != listed.end()) {
        taken.insert(*next);
        if (!GivesStartTime(*next)) {
          WriteAll(2, "hfdoppler: " + folder.prefix + *next +
                          ": its name gives no start date and time; not analysed\n");
          continue;
        }
        FollowOne(cl, folder, 0, *next, log, watch, run);
        // Each run's storage goes back to the system: a service's memory
        // stays that of one run, however fragmented the heap has become.
        ::malloc_trim(0);
        continue;
      }
    }
    const FolderWatch::Woken woken = watch.Wait(1.0);
    if (woken == FolderWatch::Woken::Stop) StopNow();
    look = woken == FolderWatch::Woken::Change;
  }
}

}  // namespace

int RunFollowing(const CommandLine& cl, const std::vector<FollowFolder>& folders, int originFd,
                 int originErr, const FollowedRun& run) {
  const int logFd = cl.quiet ? 1 : 2;
  bool failed = false;
  for (size_t index = 0; index < folders.size(); ++index) {
    const FollowFolder& folder = folders[index];
    if (!EnterFolder(originFd, originErr, folder.path)) {
      WriteAll(2, "hfdoppler: " + folder.path + ": " + std::strerror(errno) + "\n");
      failed = true;
      continue;
    }
    if (cl.all) return Serve(cl, folder, run, logFd);
    FolderWatch watch(".", StopFlag());
    FollowedRecordings log(cl, logFd, folder.prefix, watch);
    for (const std::string& name : folder.selected)
      if (!FollowOne(cl, folder, index, name, log, watch, run)) failed = true;
    if (log.Failed()) failed = true;
  }
  return failed ? 1 : 0;
}

}  // namespace hfd
