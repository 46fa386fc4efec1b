// Pictures read back as pixels: each station's panels hold its own blocks, a
// peak between pixel rows keeps its level, the default colour range holds the
// carrier, SVG and PDF keep one image column per block, and a month of
// spectra drawn for one hour stays within a small address space.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "plot_run.hpp"
#include "results/result_files.hpp"

namespace hfd::test {
namespace {

// The brightest colour-map index of a panel's column and its row (-1: blank column).
std::pair<int, int> Brightest(const Png& png, const ColourIndexOf& index, const plot::Panel& p, int x) {
  int best = -1, row = -1;
  for (int y = static_cast<int>(p.r.y); y < p.r.y + p.r.h; ++y) {
    const int i = index(png.at(x, y));
    if (i > best) best = i, row = y;
  }
  return {best, row};
}

// The pixel column of a time.
int Column(const plot::Figure& f, int64_t utc_ms) { return static_cast<int>(std::floor(f.axis.X(static_cast<double>(utc_ms)))); }

int64_t Utc(const char* iso) {
  int64_t t = 0;
  EXPECT_TRUE(results::ParseIsoTime(iso, t)) << iso;
  return t;
}

TEST(Panels, EachStationsGroupHoldsItsOwnBlocks) {
  test::ScratchDir d;
  test::Synth(d, "--tone-only --station SGD --start 20080501120000 --seconds 3600");
  test::Synth(d, "--tone-only --station KYO --start 20080501123000 --seconds 3600");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 1024)).status, 0);
  // A registry without KYO: drawn without its shift axis and Sun, and said so.
  std::ofstream(d.rec() / "reg.toml") << "[SGD]\nname = \"Sugadaira\"\nlatitude = 36.52\nlongitude = 138.35\n"
                                         "zero_doppler_hz = 8.0\n";
  const std::string files = " 200805011230KYO.spc 200805011200SGD.spc";
  const PlotRun r = RunPlot(d, "--no-trace --stations reg.toml -o two.png" + files);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("station KYO is not in the registry"), std::string::npos) << r.err;
  Png png(d.rec() / "two.png");
  ASSERT_TRUE(png.ok());
  plot::PlotOptions opt;
  opt.trace = false;
  opt.stations_file = (d.rec() / "reg.toml").string();
  std::vector<std::string> paths = {(d.rec() / "200805011230KYO.spc").string(), (d.rec() / "200805011200SGD.spc").string()};
  const plot::Figure fig = plot::Prepare(paths, opt, stations::Registry::Load(*opt.stations_file), [](const std::string&) {}).fig;
  ASSERT_EQ(fig.stations.size(), 2u);
  EXPECT_EQ(fig.stations[0].code, "KYO");  // in the order given
  EXPECT_EQ(fig.stations[1].name, "Sugadaira");

  // SGD from 12:00 to 13:00 JST, KYO from 12:30 to 13:30: at 12:15 only SGD
  // has blocks, at 13:15 only KYO, at 12:45 both; each at its tone.
  const ColourIndexOf index(plot::Colormap::kViridis);
  const int at1215 = Column(fig, Utc("2008-05-01T12:15+09:00")), at1245 = Column(fig, Utc("2008-05-01T12:45+09:00")),
            at1315 = Column(fig, Utc("2008-05-01T13:15+09:00"));
  int spectrograms = 0;
  for (const plot::Panel& p : fig.panels) {
    if (p.kind != plot::PanelKind::kSpectrogram) continue;
    ++spectrograms;
    const bool kyo = p.station == 0;
    EXPECT_EQ(p.zero_hz.has_value(), !kyo);
    EXPECT_EQ(Brightest(png, index, p, at1215).first >= 0, !kyo) << p.station;
    EXPECT_EQ(Brightest(png, index, p, at1315).first >= 0, kyo) << p.station;
    const int row = Brightest(png, index, p, at1245).second;
    ASSERT_GE(row, 0);
    const double f = p.ymax - (row - p.r.y + 0.5) * (p.ymax - p.ymin) / p.r.h;
    EXPECT_NEAR(f, p.channel == 0 ? 8.0 : 7.5, 0.1) << p.station << " " << p.channel;
  }
  EXPECT_EQ(spectrograms, 4);
}

// N = 4096: 492 bins into about 300 pixel rows; the row holding the peak bin
// shows the peak's level, however the rows fall.
TEST(Panels, PeakOfManyBinsPerRowIsDrawnAtItsLevel) {
  test::ScratchDir d;
  test::Synth(d, "--tone-only --start 20080501120000 --seconds 1800");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 4096)).status, 0);
  for (const char* size : {"", "--height 700 "}) {
    ASSERT_EQ(RunPlot(d, std::string("--no-trace --vmin 0 --vmax 128 ") + size + "-o n4096.png 200805011200SGD.spc").status, 0);
    Png png(d.rec() / "n4096.png");
    plot::PlotOptions opt;
    opt.vmin = 0, opt.vmax = 128;
    if (*size) opt.height = 700;
    const plot::Figure fig = Prepared(d, {"200805011200SGD.spc"}, opt).fig;
    const results::PeakSeries max = results::ReadPeakFile((d.rec() / "200805011200SGD.max").string());
    const ColourIndexOf index(plot::Colormap::kViridis);
    for (int c = 0; c < 2; ++c) {
      const plot::Panel& p = fig.panels[c];
      ASSERT_LT(p.r.h, 492);
      int columns = 0;
      for (size_t b = 1; b + 1 < max.blocks.size(); ++b) {
        const int x = Column(fig, max.blocks[b].utc_ms + fig.block_ms / 2);
        const int want = plot::ColourIndex(max.blocks[b].peak[c].level_dbuv, 0, 128);
        EXPECT_NEAR(Brightest(png, index, p, x).first, want, 1) << "channel " << c << " block " << b;
        ++columns;
      }
      EXPECT_GT(columns, 30);
    }
  }
}

TEST(Panels, DefaultColourRangeHoldsTheCarrier) {
  test::ScratchDir d;
  test::Synth(d, "--start 20080501120000 --seconds 7200 --seed 3");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 1024)).status, 0);
  ASSERT_EQ(RunPlot(d, "--no-trace -o range.png 200805011200SGD.spc").status, 0);
  Png png(d.rec() / "range.png");
  const plot::Figure fig = Prepared(d, {"200805011200SGD.spc"}).fig;
  const results::PeakSeries max = results::ReadPeakFile((d.rec() / "200805011200SGD.max").string());
  std::vector<double> peaks;
  for (const auto& b : max.blocks) peaks.push_back(b.peak[0].level_dbuv), peaks.push_back(b.peak[1].level_dbuv);
  std::nth_element(peaks.begin(), peaks.begin() + peaks.size() / 2, peaks.end());
  EXPECT_GT(fig.vmax, peaks[peaks.size() / 2]);  // the median carrier lies inside the range
  // In the picture: few columns saturate at the top of the colour map.
  const ColourIndexOf index(plot::Colormap::kViridis);
  for (int c = 0; c < 2; ++c) {
    const plot::Panel& p = fig.panels[c];
    int saturated = 0, columns = 0;
    for (int x = static_cast<int>(p.r.x); x < p.r.x + p.r.w; ++x) {
      const int i = Brightest(png, index, p, x).first;
      if (i < 0) continue;
      ++columns;
      saturated += i == 255;
    }
    EXPECT_GT(columns, 1000);
    EXPECT_LT(saturated, columns / 20) << "channel " << c;
  }
}

// "/Width 234" of the first image of the wanted height in a PDF's bytes.
long ImageWidth(const std::string& pdf, long height) {
  for (size_t at = pdf.find("/Subtype /Image"); at != std::string::npos; at = pdf.find("/Subtype /Image", at + 1)) {
    const size_t open = pdf.rfind("<<", at);
    const std::string dict = pdf.substr(open, pdf.find(">>", at) - open);
    const size_t w = dict.find("/Width "), h = dict.find("/Height ");
    if (w == std::string::npos || h == std::string::npos) continue;
    if (std::stol(dict.substr(h + 8)) == height && dict.find("/FlateDecode") != std::string::npos)
      return std::stol(dict.substr(w + 7));
  }
  return -1;
}

TEST(Panels, VectorPicturesHoldOneImageColumnPerBlockAndOneRowPerBin) {
  test::ScratchDir d;
  test::Synth(d, "--start 20080501120000 --seconds 3600");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 1024)).status, 0);
  ASSERT_EQ(RunPlot(d, "--width 400 --height 300 -o small.pdf 200805011200SGD.spc").status, 0);
  const std::string pdf = test::Slurp(d.rec() / "small.pdf");
  const long blocks = static_cast<long>(results::ReadPeakFile((d.rec() / "200805011200SGD.max").string()).blocks.size());
  EXPECT_NEAR(ImageWidth(pdf, 123), blocks, 1);  // bins 0 to 12 Hz; the panel is 200 points or so wide
  // Two spectrograms at that size, compressed.
  EXPECT_LT(pdf.size(), 2u * blocks * 123 * 3);
}

// A month of spectra, drawn for one hour of it: only the hour is read, and
// what is kept is the picture's: well within an address space that the
// month's levels alone would overflow (31 x 4 hours of N = 1024, 250 MB).
TEST(Panels, MonthOfSpectraForOneHourStaysInASmallAddressSpace) {
  test::ScratchDir d;
  test::Synth(d, "--start 20080501000000 --seconds 14400");
  ASSERT_EQ(test::RunFast(d, test::DayAnswers(2, 1024)).status, 0);
  const std::string day = test::Slurp(d.rec() / "200805010000SGD.spc");
  const size_t block = 33 + 123 * 46;
  ASSERT_LE(day.size() % block, 33u);  // a block line alone may end it
  std::string args = "--from 2008-05-15T16:00Z --to 2008-05-15T17:00Z -o hour.png 200805010000SGD.spc";
  std::vector<std::string> names = {"200805010000SGD.spc"};
  for (int dd = 2; dd <= 31; ++dd) {
    std::string text = day;
    for (size_t at = 0; at < text.size(); at += block) text[at + 14] = static_cast<char>('0' + dd / 10), text[at + 15] = static_cast<char>('0' + dd % 10);
    const std::string name = "200805" + std::to_string(dd / 10) + std::to_string(dd % 10) + "0000SGD.spc";
    std::ofstream(d.rec() / name, std::ios::binary) << text;
    args += " " + name;
    names.push_back(name);
  }
  hfd::test::Launch how;
  how.binary = HFD_PLOT_BINARY;
  how.args = test::Words(args);
#if !defined(__SANITIZE_ADDRESS__)  // whose shadow memory alone needs more
  how.addressSpaceLimit = 200L << 20;
#endif
  const hfd::test::RunResult r = hfd::test::RunProgram(d.rec(), "", how);
  ASSERT_EQ(r.status, 0) << r.err;
  Png png(d.rec() / "hour.png");
  ASSERT_TRUE(png.ok());
  plot::PlotOptions opt;
  opt.from_ms = Utc("2008-05-15T16:00Z"), opt.to_ms = Utc("2008-05-15T17:00Z");
  const plot::Figure fig = Prepared(d, names, opt).fig;
  const ColourIndexOf index(plot::Colormap::kViridis);
  int blank = 0;
  for (int x = static_cast<int>(fig.panels[0].r.x); x < fig.panels[0].r.x + fig.panels[0].r.w; ++x)
    blank += Brightest(png, index, fig.panels[0], x).first < 0;
  EXPECT_EQ(blank, 0);  // the hour 01:00-02:00 JST of May 16 lies in its file
}

}  // namespace
}  // namespace hfd::test
