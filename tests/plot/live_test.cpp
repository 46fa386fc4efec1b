// hfdoppler-plot --every: the picture is drawn again as the result files grow
// and as new files match the pattern, replaced whole each time, and a stop
// leaves the last good picture and no temporary file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/day_runs.hpp"
#include "plot/plot_run.hpp"

namespace hfd::test {
namespace {

using Clock = std::chrono::steady_clock;

// The result files of a synthetic recording starting at `start`, cut into
// their blocks: spc[0] and max[0] hold what comes before the first block.
struct Results {
  std::vector<std::string> spc, max;
};

Results Analysed(const std::string& start) {
  ScratchDir d;
  Synth(d, "--start " + start + " --station SGD --seconds 300");
  EXPECT_EQ(RunFast(d, DayAnswers(2, 1024)).status, 0);
  const std::string base = (d.rec() / (start.substr(0, 12) + "SGD")).string();
  Results r{{""}, {""}};
  const std::vector<std::string> spc = SplitRecords(Slurp(base + ".spc"), "spc");
  const std::vector<std::string> max = SplitRecords(Slurp(base + ".max"), "max");
  const size_t perBlock = SpectrumLines(1024) + 1;
  for (size_t i = 0; i < spc.size(); ++i) {
    if (i % perBlock == 0) r.spc.emplace_back();
    r.spc.back() += spc[i] + "\r\n";
  }
  r.max[0] = max[0] + "\r\n";
  for (size_t i = 1; i < max.size(); ++i) r.max.push_back(max[i] + "\r\n");
  return r;
}

// Appends blocks [from, to) of the results (with the header at block 0).
void Append(const fs::path& dir, const std::string& name, const Results& r, size_t from, size_t to) {
  std::ofstream spc(dir / (name + ".spc"), std::ios::binary | std::ios::app);
  std::ofstream max(dir / (name + ".max"), std::ios::binary | std::ios::app);
  if (from == 0) max << r.max[0];
  for (size_t b = from; b < to; ++b) spc << r.spc[b + 1], max << r.max[b + 1];
}

ino_t Inode(const fs::path& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(PlotEvery, RedrawsAsFilesGrowAndAppearAndAStopLeavesTheLastPicture) {
  const Results day1 = Analysed("20080501120000"), day2 = Analysed("20080502000000");
  ASSERT_GT(day1.spc.size(), 21u);
  ScratchDir d;
  Append(d.rec(), "200805011200SGD", day1, 0, 10);
  const fs::path png = d.rec() / "live.png";

  Launch how;
  how.binary = HFD_PLOT_BINARY;
  how.args = {"--every", "0.2", "--last", "2m", "-o", "live.png", "*SGD.spc"};
  how.timeoutSeconds = 60;
  enum { kFirst, kGrown, kNextDay, kStopping } step = kFirst;
  std::vector<ino_t> pictures;
  Clock::time_point stopAt;
  how.whileRunning = [&](int pid, const RunResult&) {
      const ino_t now = Inode(png);
      if (now == 0 || (!pictures.empty() && pictures.back() == now)) {
        if (step == kStopping && (HasHiddenFile(d.rec()) || Clock::now() > stopAt)) ::kill(pid, SIGTERM);
        return;
      }
      pictures.push_back(now);  // a new picture took the name
      if (step == kFirst) {
        Append(d.rec(), "200805011200SGD", day1, 10, 20);
        step = kGrown;
      } else if (step == kGrown) {
        Append(d.rec(), "200805020000SGD", day2, 0, 5);  // matches the pattern
        step = kNextDay;
      } else if (step == kNextDay) {
        // Stopped while the next picture is written, if it can be caught.
        Append(d.rec(), "200805020000SGD", day2, 5, 6);
        stopAt = Clock::now() + std::chrono::seconds(3);
        step = kStopping;
      }
  };
  const RunResult r = RunProgram(d.rec(), "", how);
  EXPECT_EQ(r.signal, SIGTERM) << r.err;
  EXPECT_EQ(r.err.find("hfdoppler-plot:"), std::string::npos) << r.err;  // no drawing failed
  EXPECT_GE(pictures.size(), 3u);
  EXPECT_EQ(step, kStopping);
  EXPECT_FALSE(HasHiddenFile(d.rec()));
  EXPECT_TRUE(Png(png).ok());
}

// --last takes the span from the newest block of the file written last; that
// file is drawn even when its time of change lies before the span (the clock
// of the computer that wrote it was behind).
TEST(PlotLast, NewestFileIsDrawnWhateverItsTimeOfChange) {
  ScratchDir d;
  Synth(d, "--start 20080501120000 --station SGD --seconds 300");
  ASSERT_EQ(RunFast(d, DayAnswers(2, 1024)).status, 0);
  const fs::path max = d.rec() / "200805011200SGD.max";
  const struct timespec before_its_blocks[2] = {{1209607200, 0}, {1209607200, 0}};  // 2008-05-01T02:00Z
  ASSERT_EQ(::utimensat(AT_FDCWD, max.c_str(), before_its_blocks, 0), 0);
  const PlotRun r = RunPlot(d, "--last 2m -o last.png 200805011200SGD.max");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Png(d.rec() / "last.png").ok());
}

}  // namespace
}  // namespace hfd::test
