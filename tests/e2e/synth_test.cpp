// Tests of hfdoppler-synth, the sample-recording generator: file names and
// sizes, option errors, determinism, and that the written samples carry the
// frequency, amplitude and noise its signal model states.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "stations/sun.hpp"
#include "support/run_program.hpp"
#include "support/temp_dir.hpp"
#include "synth/sun_pattern.hpp"
#include "synth/synth_model.hpp"

namespace {

namespace fs = std::filesystem;
using hfd::synth::SynthModel;
using hfd::synth::SynthParams;

constexpr double kPi = 3.141592653589793;

// A fresh folder under the system temp dir: work/ is where the generator runs,
// the generator's console output goes next to it.
class SynthDir {
 public:
  SynthDir() { fs::create_directories(work()); }
  fs::path work() const { return root_.path / "work"; }
  fs::path log() const { return root_.path / "synth.out"; }

 private:
  hfd::test::TempDir root_;
};

// Runs the generator in the work folder; its output goes to the log.
int RunSynth(const SynthDir& d, const std::string& args) {
  hfd::test::Launch how;
  how.binary = HFD_SYNTH_BINARY;
  std::istringstream words(args);
  for (std::string w; words >> w;) how.args.push_back(w);
  const hfd::test::RunResult r = hfd::test::RunProgram(d.work(), "", how);
  std::ofstream(d.log(), std::ios::binary) << r.out << r.err;
  return r.status;
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Little-endian signed 16-bit samples, decoded byte by byte.
std::vector<int> Samples(const fs::path& p) {
  const std::string bytes = Slurp(p);
  std::vector<int> s(bytes.size() / 2);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto lo = static_cast<unsigned char>(bytes[2 * i]);
    const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
    s[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
  }
  return s;
}

// Frequency in 4..12 Hz at which the Hann-tapered DFT of samples
// [first, first + len) peaks: a coarse scan, then a fine one around its best.
double PeakFrequency(const std::vector<int>& x, std::size_t first, std::size_t len) {
  double mean = 0.0;
  for (std::size_t i = 0; i < len; ++i) mean += x[first + i];
  mean /= static_cast<double>(len);
  auto power = [&](double f) {
    const std::complex<double> step = std::polar(1.0, -2.0 * kPi * f * 0.01);
    std::complex<double> rot = 1.0, acc = 0.0;
    for (std::size_t i = 0; i < len; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / len);
      acc += w * (x[first + i] - mean) * rot;
      rot *= step;
    }
    return std::norm(acc);
  };
  auto scan = [&](double lo, double hi, double step) {
    double best = lo, best_p = -1.0;
    for (double f = lo; f <= hi; f += step) {
      if (const double p = power(f); p > best_p) best_p = p, best = f;
    }
    return best;
  };
  const double coarse = scan(4.0, 12.0, 0.02);
  return scan(coarse - 0.03, coarse + 0.03, 0.0005);
}

TEST(Synth, FileNamesAndSizesFollowTheOptions) {
  SynthDir d;
  ASSERT_EQ(RunSynth(d, ""), 0);
  // 3600 s = 360000 samples, rounded up to 2813 whole records of 256 bytes.
  EXPECT_EQ(Names(d.work()),
            (std::set<std::string>{"20080501000000SGD-0.BIN", "20080501000000SGD-1.BIN"}));
  EXPECT_EQ(fs::file_size(d.work() / "20080501000000SGD-0.BIN"), 2813u * 256u);
  EXPECT_EQ(fs::file_size(d.work() / "20080501000000SGD-1.BIN"), 2813u * 256u);
  const std::string summary = Slurp(d.log());
  EXPECT_NE(summary.find("2813 records"), std::string::npos) << summary;
  EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 1) << summary;

  SynthDir one;  // over a pair from before: its channel-1 file is not left beside the new channel 0
  ASSERT_EQ(RunSynth(one, "--start 20080315123000 --station KUR --records 20"), 0);
  ASSERT_EQ(RunSynth(one, "--start 20080315123000 --station KUR --records 10 --no-channel2"), 0);
  EXPECT_EQ(Names(one.work()), (std::set<std::string>{"20080315123000KUR-0.BIN"}));
  EXPECT_EQ(fs::file_size(one.work() / "20080315123000KUR-0.BIN"), 2560u);

  SynthDir sub;
  ASSERT_EQ(RunSynth(sub, "--seconds 5.12 --dir a/b --station sgd"), 0);
  EXPECT_EQ(Names(sub.work() / "a/b"),
            (std::set<std::string>{"20080501000000sgd-0.BIN", "20080501000000sgd-1.BIN"}));
  EXPECT_EQ(fs::file_size(sub.work() / "a/b/20080501000000sgd-1.BIN"), 1024u);
  ASSERT_EQ(RunSynth(sub, "--seconds 5.13 --dir c"), 0);
  EXPECT_EQ(fs::file_size(sub.work() / "c/20080501000000SGD-0.BIN"), 1280u);
  ASSERT_EQ(RunSynth(sub, "--seconds 1e-9 --dir d"), 0);  // a moment is one record
  EXPECT_EQ(fs::file_size(sub.work() / "d/20080501000000SGD-0.BIN"), 256u);
}

TEST(Synth, RejectsBadOptionsWithoutWritingFiles) {
  for (const char* args :
       {"--start 2008", "--start 20080501abcdef", "--start 20081301000000", "--start 20070229000000",
        "--start 20080501240000", "--station SG", "--station S1D",
        "--seconds 0", "--seconds x", "--records -3", "--scint 1.5", "--seed -1",
        "--seconds 10 --records 3", "--bogus", "--dir", "--days 0", "--days 2 --seconds 86401",
        "--station SGD,SGD", "--station SGD,", "--station SGD;KUR", "--tone-only --sun",
        "--stations x.toml", "--start 99991231000000 --days 2"}) {
    SynthDir d;
    EXPECT_EQ(RunSynth(d, args), 2) << args;
    EXPECT_TRUE(fs::is_empty(d.work())) << args;
  }
}

// Stopped while it writes: neither channel file is left, complete or not.
TEST(Synth, StopSignalLeavesNoFile) {
  SynthDir d;
  hfd::test::Launch how;
  how.binary = HFD_SYNTH_BINARY;
  how.args = {"--seconds", "1000000"};
  how.signal = SIGHUP;
  const hfd::test::RunResult r =
      hfd::test::StopWhileWriting(d.work(), how, [&] { fs::remove_all(d.work()), fs::create_directory(d.work()); });
  EXPECT_EQ(r.signal, SIGHUP) << r.status << r.err;
  EXPECT_TRUE(Names(d.work()).empty());
}

TEST(Synth, SameSeedGivesSameBytesWhateverTheLength) {
  SynthDir a, b, c, shortrun;
  // 9000 records cross the generator's 8192-record write chunk.
  ASSERT_EQ(RunSynth(a, "--records 9000 --seed 5"), 0);
  ASSERT_EQ(RunSynth(b, "--records 9000 --seed 5 --no-channel2"), 0);
  ASSERT_EQ(RunSynth(c, "--records 9000 --seed 6"), 0);
  ASSERT_EQ(RunSynth(shortrun, "--records 10 --seed 5 --excursion 46080"), 0);
  const std::string a0 = Slurp(a.work() / "20080501000000SGD-0.BIN");
  const std::string a1 = Slurp(a.work() / "20080501000000SGD-1.BIN");
  EXPECT_EQ(a0, Slurp(b.work() / "20080501000000SGD-0.BIN"));
  EXPECT_NE(a0, Slurp(c.work() / "20080501000000SGD-0.BIN"));
  EXPECT_NE(a1, Slurp(c.work() / "20080501000000SGD-1.BIN"));
  EXPECT_NE(a0.substr(0, 2560), a1.substr(0, 2560));
  // The excursion of the long run sits at its middle, 46080 s; pinned there,
  // a 10-record run is the first 10 records of the long one.
  EXPECT_EQ(Slurp(shortrun.work() / "20080501000000SGD-0.BIN"), a0.substr(0, 2560));
  EXPECT_EQ(Slurp(shortrun.work() / "20080501000000SGD-1.BIN"), a1.substr(0, 2560));
}

// The written samples are the model's clean signal plus bounded noise of the
// stated level, on both channels, at full scintillation depth.
TEST(Synth, SamplesFollowTheModel) {
  SynthDir d;
  ASSERT_EQ(RunSynth(d, "--records 3000 --seed 3 --scint 1 --excursion 1900"), 0);
  const SynthModel model(SynthParams{.seed = 3, .scint_depth = 1.0, .excursion_center = 1900.0});
  for (int ch = 1; ch <= 2; ++ch) {
    const auto x = Samples(d.work() / ("20080501000000SGD-" + std::to_string(ch - 1) + ".BIN"));
    ASSERT_EQ(x.size(), 3000u * 128u);
    double sum = 0.0, sum2 = 0.0, worst = 0.0;
    int peak = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
      const double r = x[n] - model.clean_sample(ch, static_cast<double>(n) / 100.0);
      sum += r;
      sum2 += r * r;
      worst = std::max(worst, std::abs(r));
      peak = std::max(peak, std::abs(x[n]));
    }
    const double n = static_cast<double>(x.size());
    EXPECT_LE(worst, model.noise_bound(ch) + 1.0) << "channel " << ch;
    EXPECT_NEAR(sum / n, 0.0, 2.0) << "channel " << ch;
    EXPECT_NEAR(std::sqrt(sum2 / n), model.noise_rms(ch), 0.03 * model.noise_rms(ch));
    EXPECT_LT(peak, 24000) << "samples stay well inside int16";
    EXPECT_GT(peak, 10000) << "full-depth fading reaches high amplitudes";
  }
}

// A DFT of the written samples peaks at the model's frequency, also at both
// extremes of the excursion; on every channel the excursion is seen.
TEST(Synth, SpectralPeakFollowsTheModelFrequency) {
  SynthDir d;
  ASSERT_EQ(RunSynth(d, "--records 3000 --seed 11 --excursion 2000"), 0);
  const SynthModel model(SynthParams{.seed = 11, .excursion_center = 2000.0});
  for (int ch = 1; ch <= 2; ++ch) {
    const auto x = Samples(d.work() / ("20080501000000SGD-" + std::to_string(ch - 1) + ".BIN"));
    for (double centre : {10.0, 700.0, 1900.0, 2000.0, 2100.0, 3700.0}) {
      const auto first = static_cast<std::size_t>(centre * 100.0) - 256;
      const double measured = PeakFrequency(x, first, 512);
      EXPECT_NEAR(measured, model.frequency(ch, centre), 0.03)
          << "channel " << ch << " at " << centre << " s";
    }
    const double swing = PeakFrequency(x, 210000 - 256, 512) - PeakFrequency(x, 190000 - 256, 512);
    EXPECT_GT(swing, 1.1) << "channel " << ch;
  }
}

TEST(Synth, ToneOnlyWritesSteadyPureTones) {
  SynthDir d;
  ASSERT_EQ(RunSynth(d, "--tone-only --records 100"), 0);
  const SynthModel model(SynthParams{.tone_only = true});
  const double hz[] = {8.0, 7.5};
  for (int ch = 1; ch <= 2; ++ch) {
    const auto x = Samples(d.work() / ("20080501000000SGD-" + std::to_string(ch - 1) + ".BIN"));
    int crossings = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
      const double t = static_cast<double>(n) / 100.0;
      const double want = model.amplitude(ch, 0.0) * std::sin(2.0 * kPi * hz[ch - 1] * t);
      ASSERT_LE(std::abs(x[n] - want), 1.0) << "channel " << ch << " sample " << n;
      if (n > 0 && (x[n - 1] < 0) != (x[n] < 0)) ++crossings;
    }
    // 128 s of an 8 Hz (7.5 Hz) tone cross zero twice per cycle.
    EXPECT_NEAR(crossings, 2.0 * hz[ch - 1] * 128.0, 2.0) << "channel " << ch;
  }
}

// Over a day, every seed's traces stay well inside the 4..12 Hz Doppler band,
// wander by tenths of a Hz and swing by about 1 Hz in the excursion; the
// fading keeps to the depth asked for.
TEST(SynthModel, DayTracesStayInTheDopplerBand) {
  for (std::uint64_t seed : {1u, 2u, 99u}) {
    const SynthModel m(SynthParams{.seed = seed, .scint_depth = 0.5, .excursion_center = 43200.0});
    const SynthModel steady(SynthParams{.seed = seed, .tone_only = true});
    for (int ch = 1; ch <= 2; ++ch) {
      double lo = 1e9, hi = -1e9, alo = 1e9, ahi = -1e9;
      for (double t = 0.0; t <= 86400.0; t += 5.0) {
        const double f = m.frequency(ch, t);
        EXPECT_TRUE(f > 5.5 && f < 10.5) << f;
        if (std::abs(t - 43200.0) > 600.0) lo = std::min(lo, f), hi = std::max(hi, f);
        alo = std::min(alo, m.amplitude(ch, t)), ahi = std::max(ahi, m.amplitude(ch, t));
      }
      EXPECT_GT(hi - lo, 0.2) << "seed " << seed << " channel " << ch;
      EXPECT_LT(hi - lo, 1.0) << "seed " << seed << " channel " << ch;
      const double swing = m.frequency(ch, 43300.0) - m.frequency(ch, 43100.0);
      EXPECT_GT(std::abs(swing), 1.0);
      const double a0 = steady.amplitude(ch, 0.0);
      EXPECT_GE(alo, 0.5 * a0 - 1e-9);
      EXPECT_LE(ahi, 1.5 * a0 + 1e-9);
      EXPECT_GT(ahi / alo, 1.8) << "fading depth 0.5 spans about 1:3";
    }
  }
}

// Several days and stations: one recording per day and station, dates
// counted across the month's end, each with its own seed.
TEST(Synth, DaysAndStationsGiveOneRecordingEach) {
  SynthDir d;
  ASSERT_EQ(RunSynth(d, "--start 20080430120000 --days 3 --station SGD,KUR --records 10"), 0);
  std::set<std::string> want;
  for (const char* day : {"20080430", "20080501", "20080502"}) {
    for (const char* code : {"SGD", "KUR"}) {
      for (const char* ch : {"-0.BIN", "-1.BIN"}) want.insert(std::string(day) + "120000" + code + ch);
    }
  }
  EXPECT_EQ(Names(d.work()), want);
  const std::string summary = Slurp(d.log());
  EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 6) << summary;
  EXPECT_NE(summary.find("20080502120000KUR-1.BIN in .: 10 records"), std::string::npos) << summary;
  EXPECT_NE(summary.find("seed 100003"), std::string::npos) << summary;  // KUR, third day
  EXPECT_NE(Slurp(d.work() / "20080430120000SGD-0.BIN"), Slurp(d.work() / "20080501120000SGD-0.BIN"));

  // Stopped after the first recording: its files and its line stay, nothing
  // half written does. A loaded machine may let the run finish before the
  // signal lands, so up to three runs are made.
  SynthDir stop;
  hfd::test::Launch how;
  how.binary = HFD_SYNTH_BINARY;
  how.args = {"--days", "10", "--records", "40000"};
  how.signal = SIGTERM;
  how.signalAfterBytes = 1;
  hfd::test::RunResult r;
  for (int run = 0; run < 3 && r.signal != SIGTERM; ++run) {
    for (const auto& e : fs::directory_iterator(stop.work())) fs::remove(e.path());
    r = hfd::test::RunProgram(stop.work(), "", how);
  }
  EXPECT_EQ(r.signal, SIGTERM) << r.status << r.err;
  ASSERT_NE(r.out.find("wrote 20080501000000SGD-0.BIN, 20080501000000SGD-1.BIN"), std::string::npos) << r.out;
  EXPECT_FALSE(hfd::test::HasHiddenFile(stop.work()));
  EXPECT_EQ(fs::file_size(stop.work() / "20080501000000SGD-1.BIN"), 40000u * 256u);
  EXPECT_LT(Names(stop.work()).size(), 20u) << "stopped before the end";

  // --days alone: whole days.
  SynthDir day;
  ASSERT_EQ(RunSynth(day, "--days 1 --no-channel2"), 0);
  EXPECT_EQ(fs::file_size(day.work() / "20080501000000SGD-0.BIN"), 67500u * 256u);
}

// The Sun's bells lie at sunrise and sunset at 100 km over the place, rise at
// sunrise and fall at sunset, 1.6 times as large on channel 2, and the phase
// stays the integral of the frequency across them.
TEST(SynthModel, SunPatternAtSunriseAndSunset) {
  const hfd::stations::LatLon sgd{36.52, 138.35};
  const std::int64_t start = 1209567600000;  // 2008-05-01 00:00 JST
  const auto events = hfd::stations::SunEvents(sgd, hfd::synth::kSunHeightKm, start, start + 86400000);
  ASSERT_EQ(events.size(), 2u);
  SynthParams with{.s_excursion = false};
  with.sun = hfd::synth::SunPattern(sgd, start, 86400.0);
  const SynthModel sun(with), plain(SynthParams{.s_excursion = false});
  ASSERT_EQ(with.sun.size(), 2u);
  for (const auto& e : events) {
    const double t = static_cast<double>(e.utc_ms - start) / 1000.0;
    for (int ch = 1; ch <= 2; ++ch) {
      const double shift = sun.frequency(ch, t) - plain.frequency(ch, t);
      EXPECT_NEAR(shift, (e.rise ? 1.0 : -0.6) * (ch == 1 ? 1.0 : 1.6), 1e-9) << t;
    }
  }
  EXPECT_NEAR(sun.frequency(1, 43200.0), plain.frequency(1, 43200.0), 1e-12);  // no bell at noon
  // Phase: Simpson's rule over the whole day, 5 s steps.
  for (int ch = 1; ch <= 2; ++ch) {
    const auto bells = [&](double t) { return sun.frequency(ch, t) - plain.frequency(ch, t); };
    double sum = 0.0;
    const double h = 5.0;
    for (int i = 0; i < 86400 / 5; ++i) {
      const double t = i * h;
      sum += h / 6.0 * (bells(t) + 4.0 * bells(t + h / 2) + bells(t + h));
    }
    EXPECT_NEAR(sun.cycles(ch, 86400.0) - plain.cycles(ch, 86400.0), sum, 1e-6);
    EXPECT_NEAR(sun.cycles(ch, 0.0), 0.0, 1e-12);
  }
}

// hfdoppler-synth --sun takes the station from the registry, its Sun at the
// midpoint of the path from its transmitter, at the recording's UTC time:
// the samples carry the bell at sunrise.
TEST(Synth, SunOptionPutsTheBellAtTheRegistrysSunrise) {
  SynthDir d;
  const fs::path registry = d.work() / "stations.toml";
  std::ofstream(registry) << "[KAK]\nname = \"Kakioka\"\nlatitude = 36.23\nlongitude = 140.19\n"
                             "[KAK.transmitter]\nname = \"T\"\nlatitude = 35.0\nlongitude = 139.0\n";
  // 2008-05-01 03:00 to 05:00 JST: sunrise at 100 km lies inside.
  ASSERT_EQ(RunSynth(d, "--sun --station KAK --stations stations.toml --start 20080501030000 --seconds 7200"), 0);
  hfd::stations::Station kak;
  kak.latitude_deg = 36.23;
  kak.longitude_deg = 140.19;
  kak.transmitter = hfd::stations::Place{"T", 35.0, 139.0};
  const std::int64_t start = 1209578400000;  // 03:00 JST
  SynthParams params{.excursion_center = 3600.0, .s_excursion = false};
  params.sun = hfd::synth::SunPattern(hfd::stations::ReflectionPoint(kak), start, 7200.0);
  ASSERT_EQ(params.sun.size(), 1u);
  const double rise = params.sun[0].center_s;
  EXPECT_GT(rise, 1200.0);
  EXPECT_LT(rise, 6000.0);
  const SynthModel model(params);
  const auto x = Samples(d.work() / "20080501030000KAK-1.BIN");
  const auto at = [&](double t) { return PeakFrequency(x, static_cast<std::size_t>(t * 100.0) - 256, 512); };
  EXPECT_NEAR(at(rise), model.frequency(2, rise), 0.03);
  EXPECT_GT(at(rise) - at(rise - 2400.0), 1.2);  // 1.6 Hz on channel 2, less the wander

  SynthDir none;
  std::ofstream(none.work() / "stations.toml") << "[SGD]\nname = \"S\"\nlatitude = 36\nlongitude = 138\n";
  EXPECT_EQ(RunSynth(none, "--sun --station KAK --stations stations.toml"), 1);
  EXPECT_NE(Slurp(none.log()).find("stations.toml: station KAK is not in the station registry"), std::string::npos);
  EXPECT_EQ(Names(none.work()), std::set<std::string>{"stations.toml"});
}

}  // namespace
