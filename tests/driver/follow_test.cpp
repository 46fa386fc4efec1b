// Runs that follow recordings while they are written (--follow): a writer
// appends a synthetic recording in irregular chunks (half records, one
// channel ahead of the other, pauses) while the analyser follows it; the
// result files must be those of a batch run over the recording as it finally
// is. Also: the idle end, the folder service taking the next recording, a
// stop during a wait, and a channel file truncated while followed.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace hfd::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A synthetic recording of `seconds` in `dir`.
void Synth(const fs::path& dir, const std::string& start, int seconds) {
  fs::create_directories(dir);
  Launch how;
  how.binary = HFD_SYNTH_BINARY;
  how.args = {"--dir", dir.string(), "--start", start, "--station", "SGD", "--seconds",
              std::to_string(seconds)};
  ASSERT_EQ(RunProgram(dir, "", how).status, 0);
}

std::string Channel(const std::string& start, int c) {
  return start + "SGD-" + std::to_string(c) + ".BIN";
}

// Copies a recording's two channel files into a folder piece by piece, the
// way a receiver writes them: chunks of odd sizes (a record cut in two, a
// single byte), channel 1 running ahead of channel 2 now and then, pauses
// between, some long enough for the analyser to catch up and wait. The
// files are created empty at once.
class Writer {
 public:
  Writer(const fs::path& from, const fs::path& to, const std::string& start) {
    for (int c = 0; c < 2; ++c) {
      data_[c] = Slurp(from / Channel(start, c));
      path_[c] = to / Channel(start, c);
      std::ofstream(path_[c], std::ios::binary).flush();
    }
  }
  // Writes what is due by now; false when everything is written.
  bool Step() {
    static const size_t kSizes[] = {700, 128, 3000, 1, 255, 2048, 576, 1333, 4096, 17};
    static const int kPauseMs[] = {0, 30, 0, 250, 0, 0, 600, 10};
    while (Clock::now() >= due_ && !Done()) {
      int c = step_ % 5 == 3 ? 0 : static_cast<int>(step_ % 2);
      if (written_[c] == data_[c].size()) c = 1 - c;
      const size_t n = std::min(kSizes[step_ % std::size(kSizes)], data_[c].size() - written_[c]);
      std::ofstream(path_[c], std::ios::binary | std::ios::app).write(data_[c].data() + written_[c],
                                                                      static_cast<std::streamsize>(n));
      written_[c] += n;
      due_ = Clock::now() + std::chrono::milliseconds(kPauseMs[step_ % std::size(kPauseMs)]);
      ++step_;
    }
    return !Done();
  }
  void Finish() {
    due_ = Clock::now();
    while (Step()) due_ = Clock::now();
  }
  bool Done() const { return written_[0] == data_[0].size() && written_[1] == data_[1].size(); }
  // Stops after `bytes` of each channel (then Step writes no more).
  void Hold(size_t bytes) {
    for (int c = 0; c < 2; ++c) data_[c].resize(std::min(bytes, data_[c].size()));
  }

 private:
  std::string data_[2];
  fs::path path_[2];
  size_t written_[2] = {0, 0};
  size_t step_ = 0;
  Clock::time_point due_ = Clock::now();
};

// What the analyser has written of a recording: the block lines of its
// peak summary file (mode 2).
size_t BlocksOnDisk(const fs::path& max) {
  const std::string text = Slurp(max);
  const size_t lines = Count(text, "\r\n");
  return lines == 0 ? 0 : lines - 1;
}

class Follow : public ::testing::Test {
 protected:
  static constexpr const char* kStart = "20080501120000";
  void SetUp() override {
    Synth(src() / "x", kStart, 100);
    fs::create_directories(live());
  }
  fs::path src() const { return tmp_.path / "src"; }
  fs::path live() const { return tmp_.path / "live"; }

  // hfdoppler in `dir`; `during` is called while it runs.
  RunResult Run(const fs::path& dir, const Args& args,
                const std::function<void(int, const RunResult&)>& during = {}) const {
    Launch how;
    how.args = args;
    how.timeoutSeconds = 120;
    how.whileRunning = during;
    return RunProgram(dir, "", how);
  }

  // A batch run with `args` over a copy of the live folder's channel files;
  // its result files must equal the live folder's.
  void ExpectBatchBytes(const Args& args, const std::vector<std::string>& results) const {
    const fs::path batch = tmp_.path / "batch";
    fs::remove_all(batch);
    fs::create_directories(batch);
    for (int c = 0; c < 2; ++c) fs::copy_file(live() / Channel(kStart, c), batch / Channel(kStart, c));
    const RunResult r = Run(batch, args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& f : results) {
      ASSERT_TRUE(fs::exists(live() / f)) << f;
      EXPECT_TRUE(Slurp(live() / f) == Slurp(batch / f)) << f;
    }
  }

  // A recording followed as it is written, `fault` done to its files once
  // five blocks of the .max file are on disk.
  RunResult FollowWithFaultAtFiveBlocks(const std::function<void()>& fault) const {
    Writer writer(src() / "x", live(), kStart);
    writer.Hold(40 * 256);
    const Args args = {"--spc", "--length", "1024", "--select", Channel(kStart, 0), "--follow", "-q"};
    bool done = false;
    return Run(live(), args, [&](int, const RunResult&) {
      if (writer.Step() || done) return;
      if (BlocksOnDisk(live() / "200805011200SGD.max") == 5) {
        fault();
        done = true;
      }
    });
  }

  // The finished recording put into `folder`, written an hour ago: nothing
  // to wait for. The channel-1 file goes in first.
  void PutFinished(const fs::path& folder) const {
    for (int c : {1, 0}) {
      fs::copy_file(src() / "x" / Channel(kStart, c), folder / Channel(kStart, c));
      fs::last_write_time(folder / Channel(kStart, c), fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
  }

  // The folder service (--qdr, 512) of `folder`, run in the live folder;
  // `atEnd` is called once, when the first recording has ended.
  RunResult ServeUntilFirstEnd(const std::string& folder, const std::function<void(int pid)>& atEnd) const {
    bool done = false;
    return Run(live(), {"--qdr", "--length", "512", "--all", "--follow", "-q", folder},
               [&](int pid, const RunResult& sofar) {
                 if (done || sofar.out.find(": ended") == std::string::npos) return;
                 atEnd(pid);
                 done = true;
               });
  }

  TempDir tmp_;
};

struct Case {
  int mode, n;
  std::string window;  // "" for none
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << "mode " << c.mode << " N " << c.n << (c.window.empty() ? "" : " window " + c.window);
}

class FollowBytes : public Follow, public ::testing::WithParamInterface<Case> {};

TEST_P(FollowBytes, EqualTheBatchRunOverTheFinishedRecording) {
  const Case& c = GetParam();
  Args args = {"--mode", std::to_string(c.mode), "--length", std::to_string(c.n), "--all", "-q"};
  if (!c.window.empty()) args.insert(args.end(), {"--window", c.window});
  Args follow = args;
  follow.insert(follow.end(), {"--select", Channel(kStart, 0), "--follow", "--idle", "5"});
  follow.erase(std::find(follow.begin(), follow.end(), "--all"));

  Writer writer(src() / "x", live(), kStart);
  const RunResult r = Run(live(), follow, [&](int, const RunResult&) { writer.Step(); });
  writer.Finish();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string name = Channel(kStart, 0);
  EXPECT_EQ(r.out.rfind(name + ": started\n", 0), 0u) << r.out;
  // Without a window the data end first: the idle time ends the recording;
  // a window ends it by itself, before the writer is done.
  EXPECT_NE(r.out.find(c.window.empty() ? " (no record for 5 s)\n" : " (end of window)\n"),
            std::string::npos)
      << r.out;
  const std::vector<std::string> results =
      c.mode == 1 ? std::vector<std::string>{"200805011200SGD.qdr"}
                  : std::vector<std::string>{"200805011200SGD.spc", "200805011200SGD.max"};
  ExpectBatchBytes(args, results);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FollowBytes,
                         ::testing::Values(Case{2, 512, ""}, Case{2, 4096, "120010-120130"},
                                           Case{2, 512, "120020-120110"}, Case{1, 4096, ""}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name = "Mode" + std::to_string(info.param.mode) + "N";
                           name += std::to_string(info.param.n);
                           return name + (info.param.window.empty() ? "" : "Window");
                         });

TEST_F(Follow, StopDuringAWaitKeepsWholeBlocks) {
  // 40 records are written, then nothing: ten blocks of 512 are analysed and
  // the eleventh waits.
  Writer writer(src() / "x", live(), kStart);
  writer.Hold(40 * 256 + 100);
  const Args args = {"--spc", "--length", "512", "--select", Channel(kStart, 0), "--follow", "-q"};
  bool sent = false;
  const RunResult r = Run(live(), args, [&](int pid, const RunResult&) {
    if (writer.Step() || sent) return;
    if (BlocksOnDisk(live() / "200805011200SGD.max") == 10) {  // each block reaches the file
      ::kill(pid, SIGTERM);
      sent = true;
    }
  });
  EXPECT_EQ(r.signal, SIGTERM) << r.out << r.err;
  EXPECT_EQ(r.out, Channel(kStart, 0) + ": started\n" + Channel(kStart, 0) +
                       ": ended after 10 blocks (stopped)\n");
  // The files are those of a batch run over the recording as it is now (it
  // ends with the header of the block that was waited for).
  ExpectBatchBytes({"--spc", "--length", "512", "--all"}, {"200805011200SGD.spc", "200805011200SGD.max"});
}

TEST_F(Follow, TruncatedChannelFileEndsTheRecording) {
  const RunResult r = FollowWithFaultAtFiveBlocks([&] { fs::resize_file(live() / Channel(kStart, 1), 1000); });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "hfdoppler: " + Channel(kStart, 1) +
                       ": truncated while followed; the recording ends here\n");
  EXPECT_NE(r.out.find("ended after 5 blocks (" + Channel(kStart, 1) + " truncated)\n"),
            std::string::npos)
      << r.out;
  const std::string spc = Slurp(live() / "200805011200SGD.spc");
  EXPECT_EQ(spc.substr(spc.size() - 2), "\r\n");
  EXPECT_EQ(BlocksOnDisk(live() / "200805011200SGD.max"), 5u);
}

TEST_F(Follow, ResultFileDeletedWhileWrittenEndsTheRecording) {
  const RunResult r = FollowWithFaultAtFiveBlocks([&] { fs::remove(live() / "200805011200SGD.max"); });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "hfdoppler: 200805011200SGD.max: deleted while written; the recording ends here\n");
  EXPECT_NE(r.out.find("ended after 5 blocks (200805011200SGD.max deleted)\n"), std::string::npos) << r.out;
}

TEST_F(Follow, FolderServiceTakesEachNewRecordingOnce) {
  // The folder is empty at the start; a finished recording is put in, then
  // the next one is written while followed.
  const std::string next = "20080502000000";
  Synth(src() / "y", next, 30);
  enum { kEmpty, kFirst, kSecond, kStopped } phase = kEmpty;
  const Clock::time_point start = Clock::now();
  std::unique_ptr<Writer> writer;
  const Args args = {"--qdr", "--length", "512", "--all", "--follow", "--idle", "4", "-q", "."};
  const RunResult r = Run(live(), args, [&](int pid, const RunResult& sofar) {
    if (phase == kEmpty && Clock::now() - start > std::chrono::milliseconds(300)) {
      PutFinished(live());
      phase = kFirst;
    } else if (phase == kFirst && sofar.out.find(kStart + std::string("SGD-0.BIN: ended")) != std::string::npos) {
      writer = std::make_unique<Writer>(src() / "y", live(), next);
      phase = kSecond;
    } else if (phase == kSecond && !writer->Step() && sofar.out.find(next + "SGD-0.BIN: ended") != std::string::npos) {
      ::kill(pid, SIGTERM);
      phase = kStopped;
    }
  });
  EXPECT_EQ(r.signal, SIGTERM) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "./" + Channel(kStart, 0) + ": started\n./" + Channel(kStart, 0) +
                       ": ended after 19 blocks (no record for 4 s)\n./" + Channel(next, 0) +
                       ": started\n./" + Channel(next, 0) + ": ended after 6 blocks (no record for 4 s)\n");
  EXPECT_TRUE(fs::exists(live() / "200805020000SGD.qdr"));
}

TEST_F(Follow, FolderServicePassesOverAStrayName) {
  // A file named like a recording but without its date, listed first: the
  // service says so and goes on with the recordings.
  std::ofstream(live() / "0-0.BIN").flush();
  PutFinished(live());
  const RunResult r = ServeUntilFirstEnd(".", [](int pid) { ::kill(pid, SIGTERM); });
  EXPECT_EQ(r.signal, SIGTERM) << r.out << r.err;
  EXPECT_EQ(r.err, "hfdoppler: ./0-0.BIN: its name gives no start date and time; not analysed\n");
  EXPECT_EQ(r.out, "./" + Channel(kStart, 0) + ": started\n./" + Channel(kStart, 0) +
                       ": ended after 19 blocks (no record for 600 s)\n");
}

TEST_F(Follow, FolderServiceEndsWhenItsFolderIsMovedOrDeleted) {
  // Nothing can arrive there any more: the service says so and fails, so
  // that a supervisor starts it again once the folder is back.
  for (const bool deleted : {false, true}) {
    const fs::path served = live() / "served";
    fs::create_directories(served);
    PutFinished(served);
    const RunResult r = ServeUntilFirstEnd("served", [&](int) {
      if (deleted)
        fs::remove_all(served);
      else
        fs::rename(served, live() / "moved");
    });
    EXPECT_EQ(r.status, 1) << (deleted ? "deleted: " : "moved: ") << r.out << r.err;
    EXPECT_EQ(r.err, "hfdoppler: served: deleted or moved away while served\n");
    EXPECT_EQ(fs::exists(live() / "moved/200805011200SGD.qdr"), !deleted);
    fs::remove_all(live() / "moved");
  }
}

}  // namespace
}  // namespace hfd::test
