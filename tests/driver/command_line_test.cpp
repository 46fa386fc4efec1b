// Runs driven by command-line options: they must leave the same console and
// result files as the piped dialogue with the same answers; usage errors stop
// before anything is written; --quiet summarises.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/recording_fixture.hpp"

namespace hfd::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

std::string Parse(const Args& args, hfd::CommandLine& cl) {
  std::vector<const char*> argv{"hfdoppler"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return hfd::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), cl);
}

TEST(CommandLineParse, OptionsGiveTheDialogueAnswers) {
  const std::string win = "101500\n000000\n";
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"--qdr", "--length", "512", "--all"}, "1\n512\n0\n"},
      {{"--mode=2", "--length=4096", "--all"}, "2\n4096\n0\n"},
      {{"--spc", "--mode", "1", "--length", "1024", "--all"}, "1\n1024\n0\n"},  // last wins
      {{"--select", "A-0.BIN", "--spc", "--length", "2048", "--window", "101500-000000"},
       "2\n2048\n1\n" + win + win},
  };
  for (const auto& [args, answers] : cases) {
    hfd::CommandLine cl;
    ASSERT_EQ(Parse(args, cl), "") << args[0];
    EXPECT_EQ(hfd::DialogueAnswers(cl) + hfd::WindowAnswers(cl, 2), answers) << args[0];
  }
  hfd::CommandLine cl;
  ASSERT_EQ(Parse({"--qdr", "--length", "512", "--all", "--window", "101500-000000", "x", "--",
                   "--y"},
                  cl),
            "");
  EXPECT_EQ(cl.dirs, (std::vector<std::string>{"x", "--y"}));
  // Names are kept once, in the order given.
  ASSERT_EQ(Parse({"--qdr", "--length", "512", "--select", "b-0.bin", "--select", "a-0.BIN",
                   "--select", "b-0.bin", "-q"},
                  cl),
            "");
  EXPECT_EQ(cl.select, (std::vector<std::string>{"b-0.bin", "a-0.BIN"}));
  EXPECT_TRUE(cl.quiet);
  // --help and --version win over errors elsewhere on the line.
  ASSERT_EQ(Parse({"--bogus", "--version"}, cl), "");
  EXPECT_EQ(cl.action, hfd::CommandLine::Action::Version);
  ASSERT_EQ(Parse({"--version", "-h"}, cl), "");
  EXPECT_EQ(cl.action, hfd::CommandLine::Action::Help);
}

TEST(CommandLineParse, EveryUsageErrorNamesItsOption) {
  auto with = [&](Args extra, bool keepAll = true) {
    Args a = {"--spc", "--length", "1024"};
    if (keepAll) a.push_back("--all");
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  const std::vector<std::pair<Args, std::string>> cases = {
      {with({"--frobnicate"}), "--frobnicate: unknown option"},
      {with({"--mode"}), "--mode: needs a value"},
      {with({"--mode", "3"}), "--mode: must be 1 or 2, not '3'"},
      {with({"--length", "1000"}), "--length: must be 512, 1024, 2048 or 4096, not '1000'"},
      {with({"--length", "01024"}), "--length: must be 512"},
      {with({"--window", "1015-1100"}), "--window: must be HHMMSS-HHMMSS, not '1015-1100'"},
      {with({"--window", "106000-120000"}), "--window: must be HHMMSS-HHMMSS"},
      {with({"--window", "100000-12000a"}), "--window: must be HHMMSS-HHMMSS"},
      {with({"--window", "230000-010000"}), "--window: must end after its start"},
      {with({"--window", "120000-120000"}), "--window: must end after its start"},
      {with({"--window", "250000-000000"}), "--window: must end after its start"},
      {with({"--select", "notes.txt"}, false), "--select: 'notes.txt' is not a channel-0 file"},
      {with({"--select", "d/20080501120000SGD-0.BIN"}, false), "--select: 'd/"},
      {with({"--all=yes"}), "--all: takes no value"},
      {{"--length", "512", "--all"}, "--mode (or --qdr, --spc): missing"},
      {{"--qdr", "--all"}, "--length: missing"},
      {{"--qdr", "--length", "512", "dir"}, "--all or --select: missing"},
  };
  hfd::CommandLine cl;
  for (const auto& [args, message] : cases) {
    const std::string err = Parse(args, cl);
    EXPECT_EQ(err.substr(0, message.size()), message) << args.back();
    EXPECT_EQ(err.find('\n'), std::string::npos);
  }
}

// A folder tree of recordings, made twice: the piped dialogue runs in one
// copy, the option run in the other, and both must leave the same bytes.
class OptionRun : public DriverTest {
 protected:
  // A recording of `records` records in folder `sub`: an 8 Hz tone on
  // channel 1, 7.5 Hz on channel 2, both with a slow level change.
  void Recording(const std::string& sub, const std::string& channel0, int records,
                 bool channel2 = true) const {
    fs::create_directories(Path(sub));
    auto tone = [](double hz, double level) {
      return [hz, level](int r, int j) {
        const double t = ((r - 1) * 128 + j) * 0.01;
        return static_cast<int16_t>(std::lround(level * (1.0 + 0.3 * std::sin(t / 7.0)) *
                                                std::sin(2.0 * M_PI * hz * t)));
      };
    };
    WriteChannel(sub + "/" + channel0, records, tone(8.0, 3000.0));
    std::string ch1 = channel0;
    ch1[18] = '1';
    if (channel2) WriteChannel(sub + "/" + ch1, records, tone(7.5, 2000.0));
  }

  // The program run as nobody, for tests of permissions (root reads and lists
  // any folder); false when that cannot be done here.
  static bool AsNobody(Launch& how) {
    if (::geteuid() != 0) return true;
    if (!fs::exists("/usr/bin/setpriv")) return false;
    how.binary = "/usr/bin/setpriv";
    how.args = {"--reuid=65534", "--regid=65534", "--clear-groups", HFD_BINARY};
    return true;
  }

  // Three recordings in "a", one in "b" (its channel-2 file missing), none in "c".
  void Tree() const {
    Recording("a", "20080501120000SGD-0.BIN", 48);
    Recording("a", "20080501120100ORI-0.BIN", 40);
    Recording("a", "20080501235930KUR-0.BIN", 64);
    Recording("b", "20080502000000SGD-0.BIN", 33, false);
    fs::create_directories(Path("c"));
    fs::create_directories(Path("dialogue"));
    fs::copy(dir() / "a", dir() / "dialogue/a", fs::copy_options::recursive);
    fs::copy(dir() / "b", dir() / "dialogue/b", fs::copy_options::recursive);
    fs::copy(dir() / "c", dir() / "dialogue/c", fs::copy_options::recursive);
  }

  static std::map<std::string, std::string> Contents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
      std::ifstream in(e.path(), std::ios::binary);
      files[e.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
  }

  // The piped dialogue in dialogue/<sub>.
  RunResult Dialogue(const std::string& sub, const std::string& answers) const {
    return RunHfd(dir() / "dialogue" / sub, answers);
  }
  RunResult Options(const Args& args, const std::string& cwd = "") const {
    return RunHfd(dir() / cwd, "", 60.0, args);
  }

  void ExpectSameFiles(const std::string& sub) const {
    const auto got = Contents(dir() / sub), want = Contents(dir() / "dialogue" / sub);
    EXPECT_GT(got.size(), 0u);
    EXPECT_EQ(got.size(), want.size()) << sub;
    for (const auto& [name, bytes] : want) {
      ASSERT_TRUE(got.count(name)) << sub << "/" << name;
      EXPECT_TRUE(got.at(name) == bytes) << sub << "/" << name << " differs";
    }
  }
};

TEST_F(OptionRun, EachOptionCombinationEqualsThePipedDialogue) {
  Tree();
  struct Case {
    Args args;
    std::vector<std::string> answers;  // one piped dialogue run each
  };
  const std::vector<Case> cases = {
      {{"--qdr", "--length", "1024", "--all"}, {"1\n1024\n0\n500\n"}},
      {{"--mode", "2", "--length", "512", "--all"}, {"2\n512\n0\n500\n"}},
      {{"--spc", "--length", "2048", "--all", "--window", "120015-000000"},
       {"2\n2048\n1\n500\n120015\n000000\n120015\n000000\n120015\n000000\n"}},
      {{"--qdr", "--length", "512", "--window", "000010-240000", "--select",
        "20080501120100ORI-0.BIN"},
       {"1\n512\n1\n2\n000010\n240000\n"}},
      // Several names: in listing order, one dialogue run each.
      {{"--spc", "--length", "1024", "--select", "20080501235930KUR-0.BIN", "--select",
        "20080501120000SGD-0.BIN"},
       {"2\n1024\n0\n1\n", "2\n1024\n0\n3\n"}},
  };
  for (const Case& c : cases) {
    const RunResult got = Options(c.args, "a");
    std::string want;
    for (const std::string& answers : c.answers) {
      const RunResult r = Dialogue("a", answers);
      ASSERT_EQ(r.status, 0) << r.err;
      want += r.out;
    }
    EXPECT_EQ(got.status, 0) << c.args[0];
    EXPECT_EQ(got.err, "");
    EXPECT_TRUE(got.out == want) << c.args[0] << " " << c.args[2] << ": console differs";
    ExpectSameFiles("a");
  }
}

TEST_F(OptionRun, SeveralFoldersRunInTurn) {
  Tree();
  const RunResult got = Options({"--spc", "--length", "1024", "--all", "a", "c/", "b"});
  EXPECT_EQ(got.status, 0) << got.err;
  const std::string answers = "2\n1024\n0\n500\n";
  EXPECT_TRUE(got.out == Dialogue("a", answers).out + Dialogue("c", answers).out +
                             Dialogue("b", answers).out);
  ExpectSameFiles("a");
  ExpectSameFiles("b");
  EXPECT_TRUE(fs::is_empty(dir() / "c"));

  // Quiet: a line per recording, and a word for the folder without any.
  const RunResult quiet = Options({"--qdr", "--length", "1024", "--all", "-q", "a", "c/", "b"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");  // standard error is no terminal: no progress line
  EXPECT_EQ(quiet.out,
            "a/20080501120000SGD-0.BIN: 6 blocks analysed; wrote a/200805011200SGD.qdr\n"
            "a/20080501120100ORI-0.BIN: 5 blocks analysed; wrote a/200805011201ORI.qdr\n"
            "a/20080501235930KUR-0.BIN: 2 blocks analysed; wrote a/200805012359KUR.qdr\n"
            "c/: no recordings\n"
            "b/20080502000000SGD-0.BIN: 4 blocks analysed; channel 2 file missing; "
            "wrote b/200805020000SGD.qdr\n");
  // The files of the quiet run are those of the dialogue as well.
  const RunResult qdr = Dialogue("a", "1\n1024\n0\n500\n");
  ASSERT_EQ(qdr.status, 0);
  ExpectSameFiles("a");
}

TEST_F(OptionRun, RecordingThatCannotBeOpenedFailsTheRun) {
  // Listed (the name matches) but a folder, and without a channel-2 file.
  fs::create_directories(Path("20080501100000SGD-0.BIN"));
  Recording(".", "20080501120000SGD-0.BIN", 16);
  const RunResult r = Options({"--spc", "--length", "512", "--all", "--quiet"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "hfdoppler: 20080501100000SGD-0.BIN: neither channel file could be opened\n");
  EXPECT_EQ(r.out, "20080501120000SGD-0.BIN: 4 blocks analysed; wrote 200805011200SGD.spc "
                   "200805011200SGD.max\n");
}

// An archive folder holds more recordings than the dialogue lists: options
// process every one, and --select finds any, the 500th (which the answer 500
// cannot name) and those after it too.
TEST_F(OptionRun, EveryRecordingOfALargeFolderIsReachable) {
  auto name = [](int i) {
    char n[48];
    std::snprintf(n, sizeof n, "2008050%d%02d%02d00SGD-0.BIN", 1 + i / 1440, i / 60 % 24, i % 60);
    return std::string(n);
  };
  auto qdr = [&](int i) { return name(i).substr(0, 12) + "SGD.qdr"; };
  constexpr int kCount = 503;
  for (int i = 0; i < kCount; ++i) WriteText(name(i), "");  // no data: a header only
  const Args mode1 = {"--qdr", "--length", "4096"};
  auto run = [&](Args more) {
    Args args = mode1;
    args.insert(args.end(), more.begin(), more.end());
    return Options(args);
  };

  for (const int pick : {499, 502}) {  // the 500th and the 503rd
    const RunResult one = run({"--select", name(pick), "-q"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, name(pick) + ": 0 blocks analysed; channel 2 file missing; wrote " +
                           qdr(pick) + "\n");
    EXPECT_EQ(Entries().size(), static_cast<size_t>(kCount + 1)) << "only " << qdr(pick);
    fs::remove(Path(qdr(pick)));
  }

  const RunResult all = run({"--all"});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(Entries().size(), static_cast<size_t>(2 * kCount));
  EXPECT_TRUE(Exists(qdr(kCount - 1)));
  // The listing shows every recording, numbered on, and counts them all.
  EXPECT_NE(all.out.find("\r\n   503  " + name(502)), std::string::npos);
  EXPECT_NE(all.out.find("\r\n === total:   503\r\n"), std::string::npos);
}

TEST_F(OptionRun, AFailedFolderIsReportedAndTheNextOnesGo) {
  Tree();
  // "f": the peak file's name is taken by a FIFO; "n": a stray name that
  // matches but holds no date, listed after the good recording.
  Recording("f", "20080501120000SGD-0.BIN", 16);
  ASSERT_EQ(mkfifo(Path("f/200805011200SGD.max").c_str(), 0600), 0);
  Recording("n", "20080501120000SGD-0.BIN", 16);
  WriteText("n/notes-0.bin", "");
  const std::string refused =
      "\r\nrun-time error F6419: OPEN(200805011200SGD.max)\r\n- Not a regular file\r\n";
  const std::string noDate =
      "\r\nrun-time error F6101: READ(internal)\r\n- invalid character in an integer value\r\n";

  const RunResult got = Options({"--spc", "--length", "1024", "--all", "f", "a", "n", "b"});
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.err, refused + "hfdoppler: f: the run in this folder failed (reported above)\n" +
                         noDate + "hfdoppler: n: the run in this folder failed (reported above)\n");
  const std::string answers = "2\n1024\n0\n500\n";
  for (const char* sub : {"a", "b"}) {
    EXPECT_NE(got.out.find(Dialogue(sub, answers).out), std::string::npos) << sub;
    ExpectSameFiles(sub);
  }
  EXPECT_TRUE(Exists("n/200805011200SGD.max"));  // before the stray name

  // One folder alone: the report, and nothing else, as from the dialogue.
  const RunResult alone = Options({"--spc", "--length", "1024", "--all", "f"});
  EXPECT_EQ(alone.status, 1);
  EXPECT_EQ(alone.err, refused);
  // Without the transcript, the recording the run ended at is named.
  const RunResult quiet = Options({"--spc", "--length", "1024", "--all", "-q", "n"});
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(quiet.out, "n/20080501120000SGD-0.BIN: 2 blocks analysed; wrote n/200805011200SGD.spc "
                       "n/200805011200SGD.max\n");
  EXPECT_EQ(quiet.err, noDate + "hfdoppler: n/notes-0.bin: the run ended at this recording (reported above)\n");
}

TEST_F(OptionRun, FolderPermissionsAsTheOperatorHasThem) {
  // "locked" may be searched but not listed; "here", where the operator may
  // stand, searched but not read (a home folder, 0711).
  Recording("a", "20080501120000SGD-0.BIN", 16);
  fs::create_directories(Path("locked"));
  fs::create_directories(Path("here"));
  // Root lists any folder: the program then runs as nobody.
  Launch how;
  if (!AsNobody(how)) GTEST_SKIP() << "no setpriv to run without root";
  for (const char* sub : {".", "a", "locked", "here"}) fs::permissions(Path(sub), fs::perms::all);
  fs::permissions(Path("locked"), fs::perms::owner_write | fs::perms::owner_exec |
                                      fs::perms::others_write | fs::perms::others_exec);
  fs::permissions(Path("here"), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  const std::string locked = "hfdoppler: locked: cannot be listed: Permission denied\n";
  auto wrote = [](const std::string& folder) {
    return folder + "/20080501120000SGD-0.BIN: 4 blocks analysed; wrote " + folder + "/200805011200SGD.qdr\n";
  };
  const struct {
    const char* cwd;
    Args folders;
    int status;
    std::string out, err;
  } cases[] = {
      {".", {"locked"}, 1, "", locked},  // a folder that cannot be listed is an error
      {".", {"locked", "a"}, 1, wrote("a"), locked},  // and the next one goes on
      {"here", {Path("a").string()}, 0, wrote(Path("a").string()), ""},  // the starting folder is no obstacle
      {"here", {"../a"}, 0, wrote("../a"), ""},
  };
  for (const auto& c : cases) {
    Launch l = how;
    for (const char* a : {"--qdr", "--length", "512", "--all", "-q"}) l.args.emplace_back(a);
    l.args.insert(l.args.end(), c.folders.begin(), c.folders.end());
    const RunResult r = RunProgram(Path(c.cwd), "", l);
    EXPECT_EQ(r.status, c.status) << c.folders.back() << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.folders.back();
    EXPECT_EQ(r.err, c.err) << c.folders.back();
  }
}

TEST_F(OptionRun, FewFileDescriptorsNeverEndInASilentSuccess) {
  // Whatever the limit, a run either does its work or says why it failed.
  Recording("a", "20080501120000SGD-0.BIN", 16);
  for (long limit = 4; limit <= 12; ++limit) {
    fs::remove(Path("a/200805011200SGD.spc"));
    fs::remove(Path("a/200805011200SGD.max"));
    for (const Args& choice : {Args{"--all"}, Args{"--select", "20080501120000SGD-0.BIN"}}) {
      Launch l;
      l.args = {"--spc", "--length", "1024", "-q", "a"};
      l.args.insert(l.args.end(), choice.begin(), choice.end());
      l.openFileLimit = limit;
      const RunResult r = RunProgram(dir(), "", l);
      if (r.status == 0)
        EXPECT_EQ(r.out, "a/20080501120000SGD-0.BIN: 2 blocks analysed; wrote a/200805011200SGD.spc "
                         "a/200805011200SGD.max\n")
            << limit << " " << choice[0];
      else
        EXPECT_NE(r.err, "") << limit << " " << choice[0];
    }
  }
}

TEST_F(OptionRun, UsageErrorsWriteNothing) {
  Recording("a", "20080501120000SGD-0.BIN", 16);
  WriteText("file", "x");
  const Args base = {"--qdr", "--length", "512"};
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"--all", "--bogus", "a"}, "hfdoppler: --bogus: unknown option"},
      {{"--all", "a", "--window"}, "hfdoppler: --window: needs a value"},
      {{"--all", "--window", "25", "a"}, "hfdoppler: --window: must be"},
      {{"--all", "a", "missing"}, "hfdoppler: missing: No such file or directory"},
      {{"--all", "a", "file"}, "hfdoppler: file: not a folder"},
      {{"--select", "20080501130000SGD-0.BIN", "a"},
       "hfdoppler: --select: 20080501130000SGD-0.BIN is not listed in a"},
      {{"--select", "20080501120000SGD-0.BIN", "--all", "a"}, "hfdoppler: --all: cannot"},
  };
  const auto before = Contents(dir() / "a");
  for (const auto& [extra, message] : cases) {
    Args args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult r = Options(args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, message.size()), message);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(Contents(dir() / "a") == before) << message;
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a", "file"}));

  const RunResult help = Options({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: hfdoppler", 0), 0u);
  const RunResult version = Options({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("hfdoppler ", 0), 0u);
}

TEST_F(OptionRun, ALostLineOnStandardOutputIsTheConsoleWriteReport) {
  Recording(".", "20080501120000SGD-0.BIN", 16);
  const std::vector<std::pair<Output, std::string>> outputs = {
      {Output::Full, "\r\nrun-time error F6422: WRITE(CON)\r\n- No space left on device\r\n"},
      {Output::Closed, "\r\nrun-time error F6423: WRITE(CON)\r\n- Bad file descriptor\r\n"},
      {Output::BrokenPipe, "\r\nrun-time error F6423: WRITE(CON)\r\n- Broken pipe\r\n"},
  };
  for (const auto& [output, report] : outputs) {
    for (const Args& args : {Args{"--qdr", "--length", "512", "--all", "--quiet"}, Args{"--help"},
                             Args{"--version"}}) {
      Launch how;
      how.args = args;
      how.output = output;
      const RunResult r = RunProgram(dir(), "", how);
      EXPECT_EQ(r.status, 1) << args[0];
      EXPECT_EQ(r.err, report) << args[0];
    }
    EXPECT_EQ(Lines(ReadFile("200805011200SGD.qdr")).size(), 4u + 4u);  // written all the same
  }
}

TEST_F(OptionRun, QuietShowsProgressOnATerminalAndClearsIt) {
  Recording(".", "20080501120000SGD-0.BIN", 96);
  const RunResult r =
      RunHfdInPty(dir(), {}, 60.0, {"--spc", "--length", "512", "--all", "--quiet"});
  EXPECT_EQ(r.status, 0);
  // 24 blocks: the line is rewritten as the per cent grows, then cleared
  // before the summary line.
  const std::string line = "\rrecording 1 of 1: ";
  EXPECT_NE(r.out.find(line + "  0% 20080501120000SGD-0.BIN\033[K"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(line + " 50% 20080501120000SGD-0.BIN\033[K"), std::string::npos);
  EXPECT_NE(r.out.find(line + "100% 20080501120000SGD-0.BIN\033[K\r\033[K"
                              "20080501120000SGD-0.BIN: 24 blocks analysed"),
            std::string::npos);
}

}  // namespace
}  // namespace hfd::test
