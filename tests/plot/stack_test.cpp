// The day stack as data: .max files written here with a known peak frequency
// per day and time of day, drawn by hfdoppler-plot --stack and read back
// pixel by pixel; refused input; a stack over a century.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot_run.hpp"
#include "stack.hpp"

namespace hfd::test {
namespace {

constexpr int kN = 4096;  // blocks of 40.96 s

// The peak frequency written for channel c at JST hour h of day `day`
// (0 = 2008-05-01): one value per day and half day, apart on both channels.
double Known(int day, int c, double h) { return c == 0 ? 5.0 + day + (h >= 12) * 0.5 : 10.0 - day - (h >= 12) * 0.5; }

// A .max file of data length n for JST date y-m-d with blocks from hour h0 to
// h1, the peak frequency of each given by `freq`.
template <class Freq>
void WriteMax(const fs::path& path, int y, int m, int d, double h0, double h1, int n, Freq freq) {
  std::string text =
      "kkkkk\t YYYY\tMM\tDD\tHH\tMM\tSS\tsssss\t AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t"
      " AvAmp\tS4Indx\tDfFrqMx\tDfAmpMx\tDfPhsMx\t\r\n";
  char line[160];
  for (int k = 0;; ++k) {
    const double t = k * n * 0.01;
    if (t >= h1 * 3600) break;
    if (t < h0 * 3600) continue;
    const int s = static_cast<int>(t);
    int at = std::snprintf(line, sizeof line, "%5d\t%5d\t%2d\t%2d\t%2d\t%2d\t%2d\t%5d\t", k, y, m, d, s / 3600,
                           s / 60 % 60, s % 60, s);
    for (int c = 0; c < 2; ++c) {
      at += std::snprintf(line + at, sizeof line - at, "%6.3f,%6.3f,%7.2f\t%7.2f\t%7.2f\t", 0.0, 1.0 + c,
                          freq(c, t / 3600), 90.0, 0.0);
    }
    text += line;
    text += "\r\n";
  }
  std::ofstream(path, std::ios::binary) << text;
}

std::string Name(int y, int m, int d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d0000SGD.max", y, m, d);
  return buf;
}

// The station of the files, with a zero frequency of its own per channel.
constexpr char kRegistry[] =
    "[SGD]\nname = \"Sugadaira\"\nlatitude = 36.52\nlongitude = 138.35\nzero_doppler_hz = [8.0, 7.5]\n";
constexpr double kZero[2] = {8.0, 7.5};

// Days 0, 1 and 3 from 2008-05-01 (05-03 missing), each from 06:00 to 18:00 JST.
class Stack : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_.rec() / "stations.toml") << kRegistry;
    for (int day : {0, 1, 3}) {
      files_.push_back((dir_.rec() / Name(2008, 5, 1 + day)).string());
      WriteMax(files_.back(), 2008, 5, 1 + day, 6, 18, kN, [day](int c, double h) { return Known(day, c, h); });
    }
  }
  std::string Files() const {
    std::string s;
    for (const std::string& f : files_) s += " " + f;
    return s;
  }
  test::ScratchDir dir_;
  std::vector<std::string> files_;
};

// The value a stack pixel shows on the colour scale from lo to hi; NaN for
// the blank colour, -1e9 for a colour not of the map.
double ValueAt(const Png& png, int x, int y, double lo, double hi) {
  static const ColourIndexOf index(plot::Colormap::kViridis);
  const uint32_t px = png.at(x, y);
  if (px == plot::kBlank) return std::nan("");
  const int i = index(px);
  return i < 0 ? -1e9 : lo + (i + 0.5) / 256 * (hi - lo);
}

// The Doppler shift from the registry's zero of each channel.
TEST_F(Stack, RowsAndColumnsHoldTheirDayAndTimeInEitherZone) {
  const stations::Registry reg = stations::Registry::Parse(kRegistry, "stations.toml");
  for (const char* zone : {"jst", "utc"}) {
    SCOPED_TRACE(zone);
    const std::string args = std::string("--stack --no-sun --stations stations.toml --vmin -4 --vmax 3 --time ") + zone;
    ASSERT_EQ(RunPlot(dir_, args + " -o s.png" + Files()).status, 0);
    Png png(dir_.rec() / "s.png");
    ASSERT_TRUE(png.ok());
    plot::PlotOptions opt;
    opt.zone = *zone == 'j' ? plot::TimeZone::kJst : plot::TimeZone::kUtc;
    const plot::StackLayout lay = plot::PlanStack(files_, opt, plot::StackValue::kFreq, reg);
    ASSERT_EQ(png.width(), 1600);
    ASSERT_EQ(lay.days, *zone == 'j' ? 4 : 5);  // 05-01 06:00 JST is 04-30 21:00 UTC
    const int64_t start = results::UtcMsOfJst(2008, 5, 1, 0, 0, 0);
    for (int c = 0; c < 2; ++c) {
      const plot::Rect& r = lay.panel[c];
      for (int day = 0; day < 4; ++day) {
        for (double h = 0.5; h < 24; h += 1.0) {  // JST hours, away from the changes at 6, 12 and 18
          const int64_t t = start + day * hfd::kDayMs + static_cast<int64_t>(h * 3600e3);
          const int64_t local = t + lay.zone_ms, row_day = lay.Day(t);
          const double x = r.x + static_cast<double>(local - row_day * hfd::kDayMs) / hfd::kDayMs * r.w;
          const double y = r.y + (row_day - lay.day0 + 0.5) * r.h / lay.days;
          const double v = ValueAt(png, static_cast<int>(x), static_cast<int>(y), -4, 3);
          if (day == 2 || h < 6 || h > 18) {
            EXPECT_TRUE(std::isnan(v)) << "no block, yet not blank: channel " << c << " day " << day << " hour " << h;
          } else {
            EXPECT_NEAR(v, Known(day, c, h) - kZero[c], 7.0 / 256) << "channel " << c << " day " << day << " hour " << h;
          }
        }
      }
    }
  }
}

// The sunrise and sunset curves at the ground cross each row where the Sun
// rises and sets that day at the station; --no-sun leaves them out.
TEST_F(Stack, SunCurvesCrossEachRowAtItsSunriseAndSunset) {
  const stations::Registry reg = stations::Registry::Parse(kRegistry, "stations.toml");
  const plot::StackLayout lay = plot::PlanStack(files_, {}, plot::StackValue::kFreq, reg);
  const plot::Rect& r = lay.panel[0];
  for (const char* sun : {"", "--no-sun"}) {
    // Every block above the colour range: yellow cells, white gaps, dark lines.
    ASSERT_EQ(RunPlot(dir_, std::string("--stack --stations stations.toml --vmin -40 --vmax -30 -o s.png ") + sun + Files()).status, 0);
    Png png(dir_.rec() / "s.png");
    int black = 0;
    for (int64_t d = lay.day0; d < lay.day0 + lay.days; ++d) {
      const int y = static_cast<int>(r.y + (d - lay.day0 + 0.65) * r.h / lay.days);  // clear of the labels
      const int64_t from = d * hfd::kDayMs - lay.zone_ms;
      for (const auto& e : stations::SunEvents(lay.place, 0.0, from, from + hfd::kDayMs)) {
        const double x = r.x + static_cast<double>(e.utc_ms - from) / hfd::kDayMs * r.w;
        bool found = false;
        for (int dx = -1; dx <= 1; ++dx) {
          const uint32_t px = png.at(static_cast<int>(x) + dx, y);
          found |= std::max({px >> 16 & 0xff, px >> 8 & 0xff, px & 0xff}) < 0x80;
        }
        if (*sun) EXPECT_FALSE(found) << "a line without the Sun at day " << d;
        else EXPECT_TRUE(found) << (e.rise ? "sunrise" : "sunset") << " not drawn at day " << d;
        black += found;
      }
    }
    if (!*sun) {
      EXPECT_EQ(black, 2 * lay.days);
    }
  }
}

// Each refusal: its exit status, a message naming the fault, and no picture.
TEST_F(Stack, RefusedInputLeavesNoPicture) {
  const fs::path n1024 = dir_.rec() / Name(2008, 5, 9);
  WriteMax(n1024, 2008, 5, 9, 6, 7, 1024, [](int, double) { return 8.0; });
  std::ofstream(dir_.rec() / "200805010000SGD.spc") << "x";
  std::ofstream(dir_.rec() / "200805010000SGD.qdr") << "x";
  struct Case {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {"--stack -o s.png" + Files() + " " + n1024.string(), 1, n1024.string() + ": data length 1024 differs"},
      {"--stack -o s.png 200805010000SGD.spc", 2, "--stack draws .max or .qdr files"},
      {"--stack --stack-value s4 -o s.png 200805010000SGD.qdr", 2, "no S4Indx"},
      {"--stack --stack-value phase -o s.png" + Files(), 2, "--stack-value"},
      {"--stack --from 2009-01-01T00:00Z -o s.png" + Files(), 1, "no block"},
      {"--stack -o s.png 200805010000SGD.qdr", 1, "200805010000SGD.qdr: not an amplitude"},
  };
  const auto before = std::distance(fs::directory_iterator(dir_.rec()), fs::directory_iterator());
  for (const Case& c : cases) {
    const PlotRun r = RunPlot(dir_, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.rec()), fs::directory_iterator()), before) << c.args;
  }
}

// Two days a century apart: the picture's rows stand for many days each, no
// work is done for the days between, and both days are drawn.
TEST(StackCentury, TwoFilesYearsApartDrawBothRows) {
  test::ScratchDir dir;
  const std::vector<std::string> files = {(dir.rec() / Name(2008, 5, 1)).string(),
                                          (dir.rec() / Name(2108, 5, 1)).string()};
  WriteMax(files[0], 2008, 5, 1, 0, 24, kN, [](int, double) { return 6.0; });
  WriteMax(files[1], 2108, 5, 1, 0, 24, kN, [](int, double) { return 9.0; });
  ASSERT_EQ(RunPlot(dir, "--stack --no-sun --zero 0 --vmin 4 --vmax 11 -o c.png " + files[0] + " " + files[1]).status, 0);
  Png png(dir.rec() / "c.png");
  ASSERT_TRUE(png.ok());
  const plot::StackLayout lay = plot::PlanStack(files, {}, plot::StackValue::kFreq, {});
  ASSERT_GT(lay.days, 36500);
  ASSERT_EQ(lay.rows, static_cast<int>(lay.panel[0].h));  // one image row per pixel row
  const plot::Rect& r = lay.panel[0];
  int drawn[2] = {0, 0}, other = 0;
  for (int y = static_cast<int>(r.y); y < r.y + r.h; ++y) {
    const double v = ValueAt(png, static_cast<int>(r.x + r.w / 2), y, 4, 11);
    if (std::fabs(v - 6.0) < 0.05) ++drawn[0];
    else if (std::fabs(v - 9.0) < 0.05) ++drawn[1];
    else if (!std::isnan(v)) ++other;
  }
  EXPECT_EQ(drawn[0], 1);
  EXPECT_EQ(drawn[1], 1);
  EXPECT_EQ(other, 0);
}

}  // namespace
}  // namespace hfd::test
