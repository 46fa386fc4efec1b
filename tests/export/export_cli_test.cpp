// hfdoppler-export as a command: the CSV it writes from result files made by
// the analyser's writers, and what it does with bad input (exit status, a
// message naming the file and line, no output left half written).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "e2e/e2e_run.hpp"
#include "results/result_writer.hpp"
#include "support/run_program.hpp"

namespace hfd::test {
namespace {

using test::ResultFolder;
using test::StampAt;

struct Outcome {
  int status;
  std::string err;
};

// Runs hfdoppler-export with the words of `args` in the test's folder.
Outcome Export(const std::string& args) {
  hfd::test::Launch how;
  how.binary = HFD_EXPORT_BINARY;
  std::istringstream words(args);
  for (std::string w; words >> w;) how.args.push_back(w);
  const hfd::test::RunResult r = hfd::test::RunProgram(std::filesystem::current_path(), "", how);
  return {r.status, r.err};
}

std::string Slurp(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

// A .max of `count` blocks of N = 100 * block_s from 23:59:50 JST; block 1's
// channel-2 level too wide for its field (asterisks).
std::string MaxText(int count, double block_s = 10.24) {
  auto s = std::make_unique<BlockResult>();
  test::Records con, file;
  WritePeakHeader(file);
  for (int k = 0; k < count; ++k) {
    s->channel[0].AvAmp = 0.001, s->channel[0].S4Indx = 1.5, s->channel[0].DfFrqMx = 8.0078125f, s->channel[0].DfAmpMx = 75.31f;
    s->channel[0].DfPhsMx = -23.47f, s->channel[1].AvAmp = -0.002, s->channel[1].S4Indx = 0.987, s->channel[1].DfFrqMx = 7.91f;
    s->channel[1].DfAmpMx = k == 1 ? 1e6f : 68.0f, s->channel[1].DfPhsMx = 0.0f;
    const TimeStamp t = StampAt(2008, 5, 1, 86390.0 + block_s * k);
    WritePeakBlock(con, file, k, t, test::SecOfDay(t), *s);
  }
  return test::FileText(file);
}

// Every file in the folder (to see that nothing is left behind).
std::vector<std::string> Listing(const ResultFolder& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path("")))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ExportCommand, PeakCsvRows) {
  ResultFolder dir;
  const std::string max = dir.Put("200805012359SGD.max", MaxText(2));
  ASSERT_EQ(Export(max + " -o " + dir.Path("out.csv")).status, 0);
  const std::string csv = Slurp(dir.Path("out.csv"));
  // Values as the file gives them, a digit before the point, the asterisk
  // field empty; the second block is after midnight JST (hour 24 in the file),
  // at its exact start (the file's stamp drops the .240).
  EXPECT_EQ(csv,
            "time_utc,time_jst,step,mean_5006,scint_5006,freq_5006_hz,level_5006_dbuv,"
            "phase_5006_deg,mean_8006,scint_8006,freq_8006_hz,level_8006_dbuv,phase_8006_deg\n"
            "2008-05-01T14:59:50.000Z,2008-05-01T23:59:50.000+09:00,0,0.001,1.500,8.01,75.31,-23.47,"
            "-0.002,0.987,7.91,68.00,0.00\n"
            "2008-05-01T15:00:00.240Z,2008-05-02T00:00:00.240+09:00,1,0.001,1.500,8.01,75.31,-23.47,"
            "-0.002,0.987,7.91,,0.00\n");
}

TEST(ExportCommand, AmplitudeCsvHoldsNoStep) {
  ResultFolder dir;
  auto s = std::make_unique<BlockResult>();
  test::Records con, file;
  WriteAmplitudeHeader(file, StationNameFor("SGD"), StampAt(2008, 5, 1, 43200), 0.01, 512);
  s->channel[0].DfFrqMx = 8.0078125f, s->channel[0].DfAmpMx = 75.31f, s->channel[1].DfFrqMx = -7.91015625f, s->channel[1].DfAmpMx = 6.5f;
  WriteAmplitudeBlock(con, file, 3, StampAt(2008, 5, 1, 43215.36), *s);
  const std::string qdr = dir.Put("200805011200SGD.qdr", test::FileText(file));
  ASSERT_EQ(Export(qdr + " -o " + dir.Path("q.csv")).status, 0);
  EXPECT_EQ(Slurp(dir.Path("q.csv")),
            "time_utc,time_jst,freq_5006_hz,level_5006_dbuv,freq_8006_hz,level_8006_dbuv\n"
            "2008-05-01T03:00:15.360Z,2008-05-01T12:00:15.360+09:00,8.0078,75.31,-7.9102,6.50\n");
}

TEST(ExportCommand, BadInputFailsWithoutOutput) {
  ResultFolder dir;
  const std::string good = dir.Put("200805012359SGD.max", MaxText(3));
  std::string text = MaxText(3);
  text[2 * 111 + 40] = 'x';  // block 1 is line 3
  const std::string bad = dir.Put("200805020000SGD.max", text);
  const std::string out = dir.Path("out.csv");
  dir.Put("out.csv", "keep me\n");

  Outcome r = Export(good + " " + bad + " -o " + out);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(bad + ":3:"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(out), "keep me\n");  // the old file stays whole

  r = Export(good + " " + dir.Put("empty.max", "") + " -o " + dir.Path("x.nc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("empty.max"), std::string::npos) << r.err;
  ASSERT_EQ(::mkfifo(dir.Path("fifo.max").c_str(), 0600), 0);  // refused, not waited on
  r = Export(dir.Path("fifo.max") + " -o " + out);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("fifo.max: not a regular file"), std::string::npos) << r.err;
  r = Export(good + " " + good + " -o " + dir.Path("x.csv"));  // overlapping blocks
  EXPECT_EQ(r.status, 1);
  // Another station may overlap in time, but not with another data length.
  const std::string kur = dir.Put("200805012359KUR.max", MaxText(3, 5.12));
  r = Export(good + " " + kur + " -o " + dir.Path("x.nc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(kur + ": data length 512 differs from 1024"), std::string::npos) << r.err;
  const std::string registry = dir.Put("bad.toml", "[SGD]\nname = 5\n");
  r = Export(good + " --stations " + registry + " -o " + dir.Path("x.nc"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(registry + ":2:"), std::string::npos) << r.err;
  r = Export(good + " -o " + dir.Path("no/such/folder/x.csv"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no/such/folder/x.csv"), std::string::npos) << r.err;
  EXPECT_EQ(Listing(dir), (std::vector<std::string>{"200805012359KUR.max", "200805012359SGD.max",
                                                    "200805020000SGD.max", "bad.toml", "empty.max",
                                                    "fifo.max", "out.csv"}));

  // Usage errors: exit status 2.
  for (const std::string& args :
       {good, "-o " + out, good + " -o x.txt", good + " --from 2008-05-01 -o " + out,
        good + " --to 2008-05-01T00:00Z --from 2008-05-02T00:00Z -o " + out,
        good + " " + dir.Path("a.qdr") + " -o " + out, good + " --bogus -o " + out,
        good + " -o", good + " --deflate 10 -o x.nc", good + " --pack -o " + out,
        good + " --pack -o -", good + " --deflate 1 -o -"}) {
    EXPECT_EQ(Export(args).status, 2) << args;
  }
  EXPECT_EQ(Export("--help").status, 0);
  EXPECT_EQ(Export("--version").status, 0);
}

TEST(ExportCommand, IncompleteEndNotedAndCut) {
  ResultFolder dir;
  const std::string text = MaxText(3);
  const std::string max = dir.Put("200805012359SGD.max", text.substr(0, text.size() - 20));
  const Outcome r = Export(max + " --from 2008-05-01T15:00Z -o " + dir.Path("out.nc"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find(max + ": 1 line of an incomplete end left out"), std::string::npos) << r.err;
  ASSERT_EQ(Export(max + " --to 2008-05-02T00:00:00+09:00 -o " + dir.Path("out.csv")).status, 0);
  const std::string csv = Slurp(dir.Path("out.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);  // header and block 0 only
}

// Standard output handed over non-blocking (as some services leave it): a
// full pipe is waited on, not a failure. The reading starts once the pipe is
// full (or the export has ended).
TEST(ExportCommand, NonBlockingStandardOutputIsWaitedOn) {
  ResultFolder dir;
  const std::string max = dir.Put("200805012359SGD.max", MaxText(1000));
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ASSERT_EQ(::fcntl(p[1], F_SETFL, O_NONBLOCK), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(p[1], STDOUT_FILENO);
    ::close(p[0]), ::close(p[1]);
    ::execl(HFD_EXPORT_BINARY, "hfdoppler-export", max.c_str(), "-o", "-", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(p[1]);
  const int full = ::fcntl(p[0], F_GETPIPE_SZ);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  pid_t ended = 0;
  for (int queued = 0; queued < full && ended == 0 && std::chrono::steady_clock::now() < deadline; ::usleep(1000)) {
    ::ioctl(p[0], FIONREAD, &queued);
    ended = ::waitpid(pid, &status, WNOHANG);
  }
  std::string out;
  char buf[1 << 16];
  for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  ::close(p[0]);
  if (ended == 0) ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1001);
}

// --help and --version of the export and the synthesiser on a full disk:
// said, status 1 (not 0 for a text lost).
TEST(ExportCommand, HelpOnAFullDiskFails) {
  for (const char* binary : {HFD_EXPORT_BINARY, HFD_SYNTH_BINARY}) {
    for (const char* opt : {"--help", "--version"}) {
      hfd::test::Launch how;
      how.binary = binary;
      how.args = {opt};
      how.output = hfd::test::Output::Full;
      const hfd::test::RunResult r = hfd::test::RunProgram(std::filesystem::current_path(), "", how);
      EXPECT_EQ(r.status, 1) << binary << " " << opt;
      EXPECT_NE(r.err.find("cannot write standard output"), std::string::npos) << r.err;
    }
  }
}

// Over the file size limit: a message and status 1, not SIGXFSZ; the
// earlier file kept, no temporary file left.
TEST(ExportCommand, FileSizeLimitIsAWriteError) {
  ResultFolder dir;
  const std::string max = dir.Put("200805012359SGD.max", MaxText(1000));
  for (const char* name : {"out.csv", "out.nc"}) {
    dir.Put(name, "keep me\n");
    hfd::test::Launch how;
    how.binary = HFD_EXPORT_BINARY;
    how.args = {max, "-o", dir.Path(name)};
    how.fileSizeLimit = 20000;
    const hfd::test::RunResult r = hfd::test::RunProgram(dir.Path(""), "", how);
    EXPECT_EQ(r.status, 1) << name << " signal " << r.signal;
    EXPECT_NE(r.err.find("cannot write " + dir.Path(name)), std::string::npos) << r.err;
    EXPECT_TRUE(Slurp(dir.Path(name)) == "keep me\n") << name;
  }
  EXPECT_FALSE(hfd::test::HasHiddenFile(dir.Path("")));
}

// Stopped while it writes a full day's spectra: no file left, not even the
// temporary one, and the program ended by the signal.
TEST(ExportCommand, StopSignalLeavesNoFile) {
  test::ScratchDir d;
  test::Synth(d, "--seconds 86400");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 512)).status, 0);
  const std::filesystem::path out = d.rec() / "day.csv";
  hfd::test::Launch how;
  how.binary = HFD_EXPORT_BINARY;
  how.args = {"200805010000SGD.spc", "-o", "day.csv"};
  how.signal = SIGTERM;
  const hfd::test::RunResult r = hfd::test::StopWhileWriting(d.rec(), how, [&] { std::filesystem::remove(out); });
  EXPECT_EQ(r.signal, SIGTERM) << r.status << r.err;
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(hfd::test::HasHiddenFile(d.rec()));
}

}  // namespace
}  // namespace hfd::test
