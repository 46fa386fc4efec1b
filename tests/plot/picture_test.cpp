// The pictures as data: steady tones analysed by hfdoppler and drawn by
// hfdoppler-plot, read back pixel by pixel; the same bytes twice; bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "plot_run.hpp"
#include "results/result_files.hpp"

namespace hfd::test {
namespace {

constexpr double kBin = 0.09765625;  // N = 1024
const double kTone[2] = {8.0, 7.5};

// Two steady-tone recordings with ten minutes between them, analysed with N = 1024.
class Tones : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::ScratchDir;
    test::Synth(*dir_, "--tone-only --start 20080501120000 --seconds 1800");
    test::Synth(*dir_, "--tone-only --start 20080501124000 --seconds 600");
    ASSERT_EQ(test::RunFast(*dir_, test::DayAnswers(2, 1024)).status, 0);
  }
  static void TearDownTestSuite() { delete dir_; }

  static results::SpectrumSeries Spectrum() {
    return results::Join({results::ReadSpectrumFile(Rec("200805011200SGD.spc")),
                          results::ReadSpectrumFile(Rec("200805011240SGD.spc"))});
  }
  static std::string Rec(const std::string& name) { return (dir_->rec() / name).string(); }
  static test::ScratchDir* dir_;
};
test::ScratchDir* Tones::dir_ = nullptr;

TEST_F(Tones, EveryColumnPeaksAtTheToneAndTheGapStaysBlank) {
  ASSERT_EQ(RunPlot(*dir_, "--no-trace -o tones.png 200805011200SGD.spc 200805011240SGD.spc").status, 0);
  Png png(dir_->rec() / "tones.png");
  ASSERT_TRUE(png.ok());
  const results::SpectrumSeries s = Spectrum();
  // The .max files beside add the S4Indx panel.
  const plot::Figure fig = Prepared(*dir_, {"200805011200SGD.spc", "200805011240SGD.spc"}).fig;
  ASSERT_EQ(png.width(), fig.width);
  ASSERT_EQ(png.height(), fig.height);
  // The gap: after the first recording's last block, before the second's first.
  size_t first_of_second = 0;
  while (s.utc_ms[first_of_second] < s.utc_ms[0] + 1800 * 1000) ++first_of_second;
  const double gap0 = s.utc_ms[first_of_second - 1] + fig.block_ms + 1000.0, gap1 = s.utc_ms[first_of_second];
  ASSERT_GT(gap1 - gap0, 500e3);

  const ColourIndexOf index(plot::Colormap::kViridis);
  int gap_columns = 0, data_columns = 0;
  ASSERT_EQ(fig.panels.size(), 3u);
  for (const plot::Panel& p : fig.panels) {
    if (p.kind != plot::PanelKind::kSpectrogram) continue;
    for (int x = static_cast<int>(p.r.x); x < p.r.x + p.r.w; ++x) {
      const double ta = fig.axis.t0_ms + (x - p.r.x) * fig.axis.MsPerPixel(), tb = ta + fig.axis.MsPerPixel();
      if (ta >= gap0 && tb <= gap1) {
        ++gap_columns;
        for (int y = static_cast<int>(p.r.y); y < p.r.y + p.r.h; ++y) {
          ASSERT_EQ(png.at(x, y), plot::kBlank) << "a gap column is not blank at x=" << x << " y=" << y;
        }
        continue;
      }
      if (tb > gap0 && ta < gap1) continue;  // a column on the edge of the gap
      int best = -1, best_y = -1;
      for (int y = static_cast<int>(p.r.y); y < p.r.y + p.r.h; ++y) {
        const int i = index(png.at(x, y));
        ASSERT_GE(i, 0) << "a data pixel not of the colour map at x=" << x << " y=" << y;
        if (i > best) best = i, best_y = y;
      }
      const double f = p.ymax - (best_y - p.r.y + 0.5) * (p.ymax - p.ymin) / p.r.h;
      ASSERT_LE(std::fabs(f - kTone[p.channel]), kBin) << "channel " << p.channel << " column x=" << x;
      ++data_columns;
    }
  }
  EXPECT_GT(gap_columns, 2 * 200);
  EXPECT_GT(data_columns, 2 * 1000);
}

TEST_F(Tones, ColourBarEndsMatchTheRangeAndTheData) {
  ASSERT_EQ(RunPlot(*dir_, "--vmin 60 --vmax 110 --no-trace -o bar.png 200805011200SGD.spc").status, 0);
  Png png(dir_->rec() / "bar.png");
  ASSERT_TRUE(png.ok());
  const results::PeakSeries max = results::ReadPeakFile(Rec("200805011200SGD.max"));
  plot::PlotOptions opt;
  opt.vmin = 60, opt.vmax = 110;
  const plot::Figure fig = Prepared(*dir_, {"200805011200SGD.spc"}, opt).fig;
  const plot::Rect& bar = fig.colorbar;
  const plot::ColourTable& lut = plot::ColormapTable(plot::Colormap::kViridis);
  for (int x = static_cast<int>(bar.x); x < bar.x + bar.w; ++x) {
    EXPECT_EQ(png.at(x, static_cast<int>(bar.y)), lut[255]);
    EXPECT_EQ(png.at(x, static_cast<int>(bar.y + bar.h - 1)), lut[0]);
  }
  // The tone's level read off the bar is the level in the file.
  const double level = max.blocks[10].peak[0].level_dbuv;
  const plot::Panel& p = fig.panels[0];
  const int x = static_cast<int>(p.r.x + p.r.w / 2);
  const int y = static_cast<int>(p.r.y + (p.ymax - 8.0) / (p.ymax - p.ymin) * p.r.h);
  const uint32_t tone = png.at(x, y);
  int bar_y = -1;
  for (int by = static_cast<int>(bar.y); by < bar.y + bar.h && bar_y < 0; ++by) {
    if (png.at(static_cast<int>(bar.x + 2), by) == tone) bar_y = by;
  }
  ASSERT_GE(bar_y, 0) << "the tone's colour is not on the bar";
  const double bar_level = fig.vmax - (bar_y - bar.y + 0.5) / bar.h * (fig.vmax - fig.vmin);
  EXPECT_NEAR(bar_level, level, 50.0 / 256 + 0.2);
}

TEST_F(Tones, TraceIsDrawnUnlessSwitchedOff) {
  const plot::Figure fig = Prepared(*dir_, {"200805011200SGD.spc"}).fig;
  const ColourIndexOf index(plot::Colormap::kViridis);
  for (const char* opt : {"", "--no-trace"}) {
    ASSERT_EQ(RunPlot(*dir_, std::string(opt) + " -o trace.png 200805011200SGD.spc").status, 0);
    Png png(dir_->rec() / "trace.png");
    ASSERT_EQ(fig.panels.size(), 3u);  // with the S4Indx panel
    // Each trace in its channel's colour: magenta (5006 kHz) or orange (8006
    // kHz), neither of which the colour map holds.
    auto hue = [](uint32_t px) {
      const int r = px >> 16 & 255, g = px >> 8 & 255, b = px & 255;
      if (r > 150 && g < 0.3 * r && b > 0.4 * r) return 0;
      if (r > 200 && g > 0.3 * r && g < 0.7 * r && b < 0.2 * r) return 1;
      return -1;
    };
    int foreign = 0;
    for (int c = 0; c < 2; ++c) {
      const plot::Panel& p = fig.panels[c];
      int own = 0, other = 0;
      for (int y = static_cast<int>(p.r.y); y < p.r.y + p.r.h; ++y) {
        const uint32_t px = png.at(static_cast<int>(p.r.x + p.r.w / 2), y);
        foreign += index(px) < 0;
        own += hue(px) == c, other += hue(px) == 1 - c;
      }
      EXPECT_EQ(own > 0, !*opt) << "channel " << c;
      EXPECT_EQ(other, 0) << "channel " << c;
    }
    if (*opt) EXPECT_EQ(foreign, 0) << "x=" << fig.panels[0].r.x + fig.panels[0].r.w / 2;
    else EXPECT_GE(foreign, 2);
  }
}

TEST_F(Tones, SameInputGivesTheSameBytes) {
  for (const char* ext : {"png", "svg", "pdf"}) {
    const std::string a = std::string("same-a.") + ext, b = std::string("same-b.") + ext;
    const std::string files = " 200805011200SGD.spc 200805011240SGD.spc";
    ASSERT_EQ(RunPlot(*dir_, "-o " + a + files, "SOURCE_DATE_EPOCH=1209600000").status, 0);
    ASSERT_EQ(RunPlot(*dir_, "-o " + b + files, "SOURCE_DATE_EPOCH=1209600000").status, 0);
    const std::string bytes = test::Slurp(dir_->rec() / a);
    EXPECT_GT(bytes.size(), 1000u) << ext;
    EXPECT_EQ(bytes, test::Slurp(dir_->rec() / b)) << ext;
    if (std::string(ext) == "svg") {
      // Zoomed in, the spectrogram shows square blocks, not a smoothed blur.
      const size_t image = bytes.find("<image ");
      ASSERT_NE(image, std::string::npos);
      const std::string marked = "<image style=\"image-rendering:pixelated\"";
      EXPECT_EQ(bytes.compare(image, marked.size(), marked), 0) << bytes.substr(image, 80);
    }
    if (std::string(ext) == "pdf") {
      // (cairo 1.16 leaves out the "D:" of the date string; later ones write it)
      auto created = [](const std::string& pdf) {
        const size_t at = pdf.find("/CreationDate (");
        return at == std::string::npos ? std::string() : pdf.substr(at + 15, 16);
      };
      EXPECT_NE(created(bytes).find("20080501000000"), std::string::npos) << created(bytes);
      ASSERT_EQ(RunPlot(*dir_, "-o " + b + files, "SOURCE_DATE_EPOCH=1209686400").status, 0);
      EXPECT_NE(created(test::Slurp(dir_->rec() / b)).find("20080502000000"), std::string::npos);
    }
  }
}

// Each bad input: its exit status, a message naming the file (and line), and
// no picture, not even a temporary one.
TEST_F(Tones, BadInputIsReportedAndLeavesNoFile) {
  test::ScratchDir bad;
  const std::string spc = test::Slurp(Rec("200805011200SGD.spc"));
  auto put = [&](const std::string& name, const std::string& text) {
    std::ofstream(bad.rec() / name, std::ios::binary) << text;
  };
  put("notes.txt", "hello\n");
  put("200805011200SGD.max", "");
  std::string garbled = spc;
  size_t at = 0;
  for (int line = 1; line < 50; ++line) at = garbled.find('\n', at) + 1;
  garbled.replace(at, 3, "x#?");
  put("garbled.spc", garbled);
  // N = 512: blocks of the other data length.
  test::Synth(bad, "--start 20080501130000 --seconds 120");
  ASSERT_EQ(test::RunFast(bad, test::DayAnswers(2, 512)).status, 0);
  put("n1024.spc", spc);

  struct Case {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {"-o out.png notes.txt", 1, "notes.txt: not a result file"},
      {"-o out.png 200805011200SGD.max", 1, "200805011200SGD.max: empty"},
      {"-o out.png garbled.spc", 1, "garbled.spc:50: "},
      {"-o out.png n1024.spc 200805011300SGD.spc", 1, "200805011300SGD.spc: data length 512 differs"},
      {"-o no/such/folder/out.png n1024.spc", 1, "cannot write no/such/folder/out.png"},
      {"-o out.png", 2, "no result file"},
      {"n1024.spc", 2, "no output file"},
      {"-o out.gif n1024.spc", 2, ".png, .svg or .pdf"},
      {"--colormap jet -o out.png n1024.spc", 2, "--colormap"},
      {"--from 2008-05-01 -o out.png n1024.spc", 2, "--from"},
      {"--width 50 -o out.png n1024.spc", 2, "--width"},
      {"--bogus -o out.png n1024.spc", 2, "--bogus"},
      {"--time cet -o out.png n1024.spc", 2, "--time: jst or utc"},
      {"--zero 8Hz -o out.png n1024.spc", 2, "--zero"},
      {"--from 2009-01-01T00:00Z -o out.png n1024.spc", 1, "no block"},
      {"--fmin 20 -o out.png n1024.spc", 1, "no frequency bin of the files lies between --fmin and --fmax"},
      {"--title A\xff\xfe" "B -o out.png n1024.spc", 2, "--title: not UTF-8"},
      {"--mark 2008-05-01T03:10Z=\xc3 -o out.png n1024.spc", 2, "--mark: not UTF-8"},
  };
  const auto before = std::distance(fs::directory_iterator(bad.rec()), fs::directory_iterator());
  for (const Case& c : cases) {
    const PlotRun r = RunPlot(bad, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.rfind("hfdoppler-plot: ", 0), 0u) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(bad.rec()), fs::directory_iterator()), before) << c.args;
  }

  // A last line cut short: the whole blocks are drawn, the rest is counted:
  // five blocks of 124 lines, then a block line, ten bin lines and part of one.
  size_t cut = 0;
  for (int line = 0; line < 5 * 124 + 11; ++line) cut = spc.find('\n', cut) + 1;
  put("cut.spc", spc.substr(0, cut + 20));
  const PlotRun r = RunPlot(bad, "-o cut.png cut.spc");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("cut.spc: incomplete end (an interrupted run?): 12 lines left out"), std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::exists(bad.rec() / "cut.png"));
}

// A .max beside a .spc that cannot give the traces and S4Indx (empty, a FIFO,
// another data length): the spectrograms drawn as without it, a word why.
TEST_F(Tones, UnusablePeakFileBesideIsLeftOutWithAWord) {
  test::ScratchDir d;
  test::Synth(d, "--start 20080501130000 --seconds 120");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 512)).status, 0);
  const fs::path max = d.rec() / "200805011300SGD.max";
  fs::remove(max);
  ASSERT_EQ(RunPlot(d, "-o alone.png 200805011300SGD.spc").status, 0);
  const std::string alone = test::Slurp(d.rec() / "alone.png");

  std::ofstream(max) << "";
  PlotRun r = RunPlot(d, "-o out.png 200805011300SGD.spc");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("200805011300SGD.max: empty file: no peak trace or S4Indx from it"), std::string::npos) << r.err;
  EXPECT_EQ(test::Slurp(d.rec() / "out.png"), alone);
  fs::remove(max);
  ASSERT_EQ(::mkfifo(max.c_str(), 0600), 0);
  r = RunPlot(d, "--no-trace -o out.png 200805011300SGD.spc");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("200805011300SGD.max: not a regular file"), std::string::npos) << r.err;
  fs::remove(max);
  fs::copy_file(Rec("200805011200SGD.max"), max);  // N = 1024
  r = RunPlot(d, "-o out.png 200805011300SGD.spc");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("200805011300SGD.max: data length 1024, not the 512 of"), std::string::npos) << r.err;
  EXPECT_EQ(test::Slurp(d.rec() / "out.png"), alone);
}

// No caches are given back through debug resets at the end of a run: they
// race with pango's font thread and abort a few runs in a hundred after the
// picture is written. Preloaded stand-ins that abort always make a run that
// calls them fail every time.
TEST_F(Tones, NoDebugResetsAtTheEnd) {
  hfd::test::Launch how;
  how.binary = HFD_PLOT_BINARY;
  how.args = {"-o", "reset.svg", "200805011200SGD.spc"};
  how.env = {std::string("LD_PRELOAD=") + HFD_DEBUG_RESET_TRAP};
#if defined(__SANITIZE_ADDRESS__)
  const char* asan = std::getenv("ASAN_OPTIONS");
  how.env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0");
#endif
  const hfd::test::RunResult r = hfd::test::RunProgram(dir_->rec(), "", how);
  EXPECT_EQ(r.status, 0) << r.signal << r.err;
}

// Under address-space limits from too small to enough: the picture, or "out
// of memory" with status 1 and no file at all; never a crash (the font
// libraries' own ends under such a limit: SIGSEGV, a GLib error).
TEST_F(Tones, MemoryLimitIsReportedAndLeavesNoFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than any limit here";
#else
  test::ScratchDir d;
  fs::copy_file(Rec("200805011200SGD.spc"), d.rec() / "200805011200SGD.spc");
  fs::copy_file(Rec("200805011200SGD.max"), d.rec() / "200805011200SGD.max");
  int drawn = 0, refused = 0;
  for (long mb = 24; mb <= 160; mb += 6) {
    hfd::test::Launch how;
    how.binary = HFD_PLOT_BINARY;
    how.args = {"-o", "out.png", "200805011200SGD.spc"};
    how.addressSpaceLimit = mb << 20;
    const hfd::test::RunResult r = hfd::test::RunProgram(d.rec(), "", how);
    if (r.status == 127) continue;  // the loader failed: too small to start at all
    if (r.status == 0) {
      ++drawn;
      EXPECT_TRUE(Png(d.rec() / "out.png").ok()) << mb;
      fs::remove(d.rec() / "out.png");
    } else {
      ++refused;
      EXPECT_EQ(r.status, 1) << mb << " MB: signal " << r.signal << "\n" << r.err;
      EXPECT_NE(r.err.find("hfdoppler-plot: out of memory"), std::string::npos) << mb << " MB\n" << r.err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(d.rec()), fs::directory_iterator()), 2) << mb << " MB";
  }
  EXPECT_GT(drawn, 0);
  EXPECT_GT(refused, 0);
#endif
}

// Ctrl-C while a full day is drawn: no picture left, not even the temporary
// file, and the program ended by the signal.
TEST(PlotStop, InterruptLeavesNoFile) {
  test::ScratchDir d;
  test::Synth(d, "--seconds 86400");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 512)).status, 0);
  const fs::path out = d.rec() / "day.png";
  hfd::test::Launch how;
  how.binary = HFD_PLOT_BINARY;
  how.args = {"-o", "day.png", "200805010000SGD.spc"};
  how.signal = SIGINT;
  const hfd::test::RunResult r = hfd::test::StopWhileWriting(d.rec(), how, [&] { fs::remove(out); });
  EXPECT_EQ(r.signal, SIGINT) << r.status << r.err;
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(hfd::test::HasHiddenFile(d.rec()));
}

// --help and --version on a full disk: a failure, not status 0.
TEST(PlotHelp, UnwrittenTextIsAFailure) {
  test::ScratchDir d;
  for (const char* opt : {"--help", "--version"}) {
    hfd::test::Launch how;
    how.binary = HFD_PLOT_BINARY;
    how.args = {opt};
    how.output = hfd::test::Output::Full;
    const hfd::test::RunResult r = hfd::test::RunProgram(d.rec(), "", how);
    EXPECT_EQ(r.status, 1) << opt;
    EXPECT_NE(r.err.find("hfdoppler-plot: cannot write standard output"), std::string::npos) << opt << r.err;
  }
}

}  // namespace
}  // namespace hfd::test
