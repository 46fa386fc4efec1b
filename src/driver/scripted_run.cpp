#include "driver/scripted_run.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/batch.hpp"
#include "driver/command_line.hpp"
#include "driver/follow.hpp"
#include "input/listing.hpp"
#include "output/result_files.hpp"
#include "recording/vocabulary.hpp"
#include "runtime/fatal_report.hpp"
#include "runtime/signals.hpp"
#include "textio/option_parser.hpp"

namespace hfd {
namespace {

// The first failed write to standard output (the --quiet lines, --help):
// reported at the end, as the console's is.
int g_outError = 0;

class DiscardRecords final : public RecordSink {
 public:
  void PutRecord(std::string_view, bool) override {}
};

}  // namespace

bool ListFolder(const char* dir, std::vector<std::string>& out, std::string& why) {
  static DiscardRecords discard;
  DIR* d = ::opendir(dir);
  if (!d) {
    why = std::strerror(errno);
    return false;
  }
  ::closedir(d);
  NameTable names;
  ListRecordings(discard, dir, names, 0);
  for (int i = 0; i < names.NFiles; ++i) out.emplace_back(names.Name(i));
  if (names.failed) why = "the listing failed";
  return !names.failed;
}

void ReportUnlisted(const std::string& path, const std::string& why) {
  WriteAll(2, "hfdoppler: " + path + ": cannot be listed: " + why + "\n");
}

void WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {  // wait for the reader
      pollfd p{fd, POLLOUT, 0};
      n = ::poll(&p, 1, -1) < 0 ? -1 : 0;
      if (n == 0) continue;
    }
    if (n < 0 && errno == EINTR) {
      if (StopRequested()) return;  // the stop ends the run; the line is dropped
      continue;
    }
    if (n <= 0) {
      if (fd == 1 && g_outError == 0) g_outError = n < 0 ? errno : EIO;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

bool EnterFolder(int originFd, int originErr, const std::string& path) {
  if (!path.starts_with('/')) {
    if (originFd < 0) {
      errno = originErr;
      return false;
    }
    if (::fchdir(originFd) != 0) return false;
  }
  return ::chdir(path.c_str()) == 0;
}

namespace {

// The exit status, or the console write report when standard output failed.
int Ended(int status) {
  if (g_outError != 0) ReportFileFailure(2, Statement::Write, "CON", g_outError);
  return status;
}

std::string NameOf(const std::array<char, kNameLength>& field) {
  return std::string(field.data(), strnlen(field.data(), field.size()));
}

// Per-recording summary lines (--quiet), the progress line on a terminal, and
// whether every selected recording could be opened.
class RunReport final : public RunObserver {
 public:
  RunReport(const CommandLine& cl, int total)
      : quiet_(cl.quiet), progress_(cl.quiet && ::isatty(2) == 1), mode_(cl.mode), total_(total) {}

  void SetFolder(const std::string& prefix) { prefix_ = prefix; }
  bool AnyUnopened() const { return unopened_; }
  // The recording being processed ("" between recordings), with its folder.
  const std::string& Current() const { return current_; }

  void RecordingChosen(std::string_view name) override { current_ = prefix_ + std::string(name); }

  void RecordingOpened(const RecordingState& rec) override {
    ++index_;
    name_ = NameOf(rec.ChFileName[0]);
    blocks_ = expected_ = 0;
    shownPercent_ = -1;
    opened_ = rec.IOpenStatus != 1;
    if (!opened_) {
      unopened_ = true;
      if (quiet_)
        WriteAll(2, "hfdoppler: " + prefix_ + name_ + ": neither channel file could be opened\n");
      return;
    }
    files_.clear();
    missing_.clear();
    for (const char* ext : ResultExtensions(mode_)) {
      char out[20];
      ResultFileName(rec.ChFileName[0], ext, out);
      files_ += " " + prefix_ + out;
    }
    for (int c = 1; c <= 2; ++c)
      if (rec.ChOpenErr[static_cast<size_t>(c)] != 0)
        missing_ += "; channel " + std::to_string(c) + " file missing";
  }

  void BlocksPlanned(const RecordingState& rec, const RunOptions& opt, int32_t NcMax) override {
    if (!progress_) return;
    // Blocks the channel files hold from the first block inside the window.
    int64_t records = -1;
    for (int c = 1; c <= 2; ++c) {
      struct stat st;
      if (rec.ChOpenErr[static_cast<size_t>(c)] != 0) continue;
      const std::string file = NameOf(rec.ChFileName[static_cast<size_t>(c - 1)]);
      const int64_t n = ::stat(file.c_str(), &st) == 0 ? st.st_size / kRecordBytes : 0;
      records = records < 0 ? n : std::min(records, n);
    }
    const int64_t available = std::max<int64_t>(records, 0) / (opt.NData / 128);
    int64_t first = 0;
    if (rec.WinStart.Secs > rec.RecStart.Secs)
      first = static_cast<int64_t>(std::ceil((rec.WinStart.Secs - rec.RecStart.Secs) / opt.TBlock));
    const auto steps = static_cast<int64_t>(86400.0 / opt.TBlock) + 1;
    expected_ = std::max<int64_t>(0, std::min({static_cast<int64_t>(NcMax), available - first,
                                               steps - first}));
    ShowProgress();
  }

  void BlockWritten() override {
    ++blocks_;
    if (progress_) ShowProgress();
  }

  void RecordingClosed() override {
    current_.clear();
    if (!opened_) return;
    if (progress_) WriteAll(2, "\r\033[K");
    if (quiet_)
      WriteAll(1, prefix_ + name_ + ": " + std::to_string(blocks_) +
                      (blocks_ == 1 ? " block" : " blocks") + " analysed" + missing_ + "; wrote" +
                      files_ + "\n");
  }

 private:
  void ShowProgress() {
    int percent = expected_ > 0 ? static_cast<int>(std::min<int64_t>(100, blocks_ * 100 / expected_)) : 0;
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    char line[128];
    std::snprintf(line, sizeof line, "\rrecording %d of %d: %3d%% ", index_, total_, percent);
    WriteAll(2, line + name_ + "\033[K");
  }

  bool quiet_, progress_;
  int32_t mode_;
  int total_;
  int index_ = 0;
  std::string prefix_, name_, files_, missing_, current_;
  bool opened_ = false, unopened_ = false;
  int64_t blocks_ = 0, expected_ = 0;
  int shownPercent_ = -1;
};

struct Folder {
  std::string path;    // as given ("." when none was)
  std::string prefix;  // shown before names: "" or the path and a slash
  std::vector<std::string> listed;
  std::vector<std::string> selected;  // with --select: the names listed here, in listing order
  std::string unlisted;               // why the folder could not be listed ("": it was)
};

// The recordings one answered run processes: every one listed, or the one
// named. With a window, the answers for them are added to the answer file
// then: the console reads the answers only as each is asked for.
class Choice final : public RunSelection {
 public:
  Choice(const CommandLine& cl, const std::string* name, int answers, size_t answered)
      : cl_(cl), name_(name), fd_(answers), end_(answered) {}

  void Choose(const NameTable& names, std::vector<int32_t>& numbers) override {
    for (int i = 0; i < names.NFiles; ++i)
      if (!name_ || names.Name(i) == *name_) numbers.push_back(i + 1);
    found_ = !numbers.empty();
    listFailed_ = names.failed;
    const std::string more = WindowAnswers(cl_, numbers.size());
    if (::pwrite(fd_, more.data(), more.size(), static_cast<off_t>(end_)) !=
        static_cast<ssize_t>(more.size())) {
      WriteAll(2, std::string("hfdoppler: cannot hold the answers: ") + std::strerror(errno) + "\n");
      numbers.clear();
      failed_ = true;
    }
  }
  // The named recording was in the run's own listing.
  bool Found() const { return found_; }
  bool Failed() const { return failed_; }
  bool ListFailed() const { return listFailed_; }

 private:
  const CommandLine& cl_;
  const std::string* name_;
  int fd_;
  size_t end_;
  bool found_ = false, failed_ = false, listFailed_ = false;
};

// One answered dialogue in the current folder, for every recording listed
// (name null) or the one named; returns its exit status. With `goOn`, a
// fatal report ends only this run: `ended` is then set. `wait` follows
// recordings being written (--follow).
int AnsweredRun(const CommandLine& cl, const std::string* name, int consoleFd, AnalysisPath path,
                RunObserver& report, const Folder& folder, bool goOn, bool& ended,
                RecordWait* wait = nullptr) {
  const std::string answers = DialogueAnswers(cl);
  const int in = ::memfd_create("hfdoppler-answers", MFD_CLOEXEC);
  if (in < 0 || ::write(in, answers.data(), answers.size()) != static_cast<ssize_t>(answers.size()) ||
      ::lseek(in, 0, SEEK_SET) != 0) {
    WriteAll(2, std::string("hfdoppler: cannot hold the answers: ") + std::strerror(errno) + "\n");
    return 1;
  }
  Choice choice(cl, name, in, answers.size());
  auto io = std::make_unique<RunIo>(in, consoleFd, 2);
  io->InstallSignalHandlers();
  if (goOn) io->fatal.ThrowAfterReport();
  int status = 1;
  try {
    status = RunBatch(*io, path, &report, &choice, wait);
  } catch (const RunFailed&) {
    ended = true;
  }
  if (io->StopRequested()) io->StopForSignal();
  io.reset();
  ::close(in);
  if (choice.Failed()) status = 1;
  if (choice.ListFailed()) {
    WriteAll(2, "hfdoppler: " + folder.path + ": the listing failed\n");
    status = 1;
  } else if (name && !choice.Found() && !choice.Failed() && !ended) {
    // Gone since the folder was first listed.
    WriteAll(2, "hfdoppler: " + folder.prefix + *name + ": no longer listed\n");
    status = 1;
  }
  return status;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, AnalysisPath path) {
  ::signal(SIGPIPE, SIG_IGN);  // a reader gone is a failed write, reported as such
  CommandLine cl;
  if (std::string err = ParseCommandLine(argc, argv, cl); !err.empty()) {
    WriteAll(2, UsageLine("hfdoppler", err));
    return 2;
  }
  if (cl.action == CommandLine::Action::Help) {
    WriteAll(1, kCommandLineUsage);
    return Ended(0);
  }
  if (cl.action == CommandLine::Action::Version) {
    WriteAll(1, "hfdoppler " HFD_VERSION "\n");
    return Ended(0);
  }

  // Everything is checked before the first run writes anything.
  std::vector<Folder> folders;
  for (const std::string& d : cl.dirs) {
    struct stat st;
    if (::stat(d.c_str(), &st) != 0) {
      WriteAll(2, "hfdoppler: " + d + ": " + std::strerror(errno) + "\n");
      return 2;
    }
    if (!S_ISDIR(st.st_mode)) {
      WriteAll(2, "hfdoppler: " + d + ": not a folder\n");
      return 2;
    }
    folders.push_back({d, d.ends_with('/') ? d : d + "/", {}, {}, {}});
  }
  if (folders.empty()) folders.push_back({".", "", {}, {}, {}});
  int total = 0;
  for (Folder& f : folders) {
    if (!ListFolder(f.path.c_str(), f.listed, f.unlisted)) continue;
    if (cl.all) {
      total += static_cast<int>(f.listed.size());
      continue;
    }
    for (const std::string& name : f.listed)
      if (std::find(cl.select.begin(), cl.select.end(), name) != cl.select.end())
        f.selected.push_back(name);
    total += static_cast<int>(f.selected.size());
  }
  for (const std::string& name : cl.select) {
    bool found = std::any_of(folders.begin(), folders.end(), [&](const Folder& f) {
      return std::find(f.listed.begin(), f.listed.end(), name) != f.listed.end();
    });
    if (!found) {
      WriteAll(2, "hfdoppler: --select: " + name + " is not listed in " +
                      (cl.dirs.size() == 1 ? cl.dirs[0] : cl.dirs.empty() ? "." : "any folder given") +
                      "\n");
      return 2;
    }
  }

  int console = 1;
  if (cl.quiet) console = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  // The starting folder need not be readable (nor searchable, when every
  // folder is given by its absolute path).
  const int origin = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  const int originErr = errno;
  if (console < 0) {
    WriteAll(2, std::string("hfdoppler: ") + std::strerror(errno) + "\n");
    return 1;
  }
  if (cl.follow) {
    std::vector<FollowFolder> follow;
    for (const Folder& f : folders) {
      if (!f.unlisted.empty()) {
        ReportUnlisted(f.path, f.unlisted);
        return Ended(1);
      }
      follow.push_back({f.path, f.prefix, f.selected});
    }
    const int status = RunFollowing(cl, follow, origin, originErr, [&](size_t folder, const std::string& name,
                                                            RunObserver& log, RecordWait& wait) {
      bool ended = false;
      return AnsweredRun(cl, &name, console, path, log, folders[folder], false, ended, &wait);
    });
    return Ended(status);
  }
  RunReport report(cl, total);
  // With several folders, a folder whose run fails is reported and the next
  // one goes on; the exit status tells of it at the end. Without the
  // transcript (--quiet), the report is followed by the recording it ended.
  const bool goOn = folders.size() > 1 || cl.quiet;
  int status = 0;
  for (const Folder& f : folders) {
    if (!f.unlisted.empty()) {
      ReportUnlisted(f.path, f.unlisted);
      status = 1;
      continue;
    }
    if (!EnterFolder(origin, originErr, f.path)) {
      WriteAll(2, "hfdoppler: " + f.path + ": " + std::strerror(errno) + "\n");
      status = 1;
      continue;
    }
    report.SetFolder(f.prefix);
    if (cl.quiet && f.listed.empty()) WriteAll(1, f.path + ": no recordings\n");
    bool ended = false;
    if (cl.all) {
      if (AnsweredRun(cl, nullptr, console, path, report, f, goOn, ended) != 0) status = 1;
    } else {
      for (const std::string& name : f.selected) {
        if (AnsweredRun(cl, &name, console, path, report, f, goOn, ended) != 0) status = 1;
        if (ended) break;
      }
    }
    if (ended && cl.quiet && !report.Current().empty())
      WriteAll(2, "hfdoppler: " + report.Current() + ": the run ended at this recording (reported above)\n");
    if (ended && folders.size() > 1)
      WriteAll(2, "hfdoppler: " + f.path + ": the run in this folder failed (reported above)\n");
  }
  if (report.AnyUnopened()) status = 1;
  return Ended(status);
}

}  // namespace hfd
