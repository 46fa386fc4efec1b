// The station registry: the shipped default, the order in which a program
// looks for the file, and bad files reported with their file and line.
#include "stations/registry.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "input/recording.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using hfd::stations::LoadRegistry;
using hfd::stations::Registry;
using hfd::stations::RegistryError;

void Write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

std::string One(const std::string& code) {
  return "[" + code + "]\nname = \"" + code + " town\"\nlatitude = 1\nlongitude = 2\n";
}

TEST(StationRegistry, ShippedDefaultHoldsTheAnalysersEightStations) {
  const Registry reg = Registry::Load(HFD_STATIONS_SOURCE);
  const char* const codes[] = {"SGD", "ORI", "KUR", "KYO", "KSM", "MSR", "SMZ", "KAK"};
  ASSERT_EQ(reg.stations().size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    const auto& s = reg.stations()[i];
    EXPECT_EQ(s.code, codes[i]);
    // The name the analyser writes into its files, without the blank fill.
    std::string table(hfd::StationNameFor(s.code).data(), 10);
    table.erase(table.find_last_not_of(' ') + 1);
    EXPECT_EQ(s.name, table);
    EXPECT_GT(s.latitude_deg, 30.0);
    EXPECT_LT(s.latitude_deg, 46.0);
    EXPECT_GT(s.longitude_deg, 129.0);
    EXPECT_LT(s.longitude_deg, 146.0);
    EXPECT_FALSE(s.transmitter);
    EXPECT_EQ(s.carriers_khz, (std::array<double, 2>{5006, 8006}));
    EXPECT_EQ(s.zero_doppler_hz[0], 8.0);
    EXPECT_EQ(s.zero_doppler_hz[1], 8.0);
  }
  const auto* msr = reg.Find("MSR");
  ASSERT_NE(msr, nullptr);
  EXPECT_EQ(msr->latitude_deg, 44.37);
  EXPECT_EQ(msr->longitude_deg, 142.27);
  EXPECT_EQ(reg.Find("sgd"), nullptr);  // codes compare exactly, as in the analyser
}

TEST(StationRegistry, TransmitterDefaultsAndOneZeroForBoth) {
  const Registry reg = Registry::Parse(
      "[XYZ]\nname = \"X\"\nlatitude = -45\nlongitude = -179.5\nzero_doppler_hz = 7.25\n"
      "[XYZ.transmitter]\nname = \"T\"\nlatitude = -44\nlongitude = 179.5\n"
      "[AB1]\nname = \"Y\"\nlatitude = 0\nlongitude = 0\ncarriers_khz = [3000, 9000.5]\n",
      "mine.toml");
  EXPECT_EQ(reg.path(), "mine.toml");
  ASSERT_EQ(reg.stations().size(), 2u);
  EXPECT_EQ(reg.stations()[0].code, "XYZ");  // the file's order
  const auto* x = reg.Find("XYZ");
  ASSERT_TRUE(x && x->transmitter);
  EXPECT_EQ(x->transmitter->name, "T");
  EXPECT_EQ(x->transmitter->longitude_deg, 179.5);
  EXPECT_EQ(x->zero_doppler_hz[1], 7.25);
  EXPECT_EQ(x->carriers_khz[1], 8006.0);
  const auto* y = reg.Find("AB1");
  ASSERT_TRUE(y);
  EXPECT_FALSE(y->zero_doppler_hz[0]);
  EXPECT_EQ(y->carriers_khz[1], 9000.5);
}

TEST(StationRegistry, BadFilesNameTheFileAndLine) {
  const std::string ok = "[SGD]\nname = \"S\"\nlatitude = 36\nlongitude = 138\n";
  struct Case {
    std::string text;
    long line;
    const char* says;
  } cases[] = {
      {"[SGD\nname = 1\n", 1, "TOML"},
      {"[SGD]\nname = \"S\"\nlatitude = 95\nlongitude = 138\n", 3, "latitude 95 is outside"},
      {"[SGD]\nname = \"S\"\nlatitude = 36\nlongitude = 200\n", 4, "longitude 200 is outside"},
      {"\n[SGD]\nlatitude = 36\nlongitude = 138\n", 2, "missing name"},
      {"[SGD]\nname = \"\"\nlatitude = 36\nlongitude = 138\n", 2, "name is empty"},
      {"[SGD]\nname = \"S\"\nlatitude = \"36\"\nlongitude = 138\n", 3, "latitude must be a number"},
      {"[SGD]\nname = \"S\"\nlongitude = 138\n", 1, "missing latitude"},
      {ok + "latitude = 35\n", 5, "TOML"},  // a key given twice
      {ok + "[KAK]\nname = \"K\"\nlatitude = 36\nlongitude = 140\n" + ok, 9, "SGD"},
      {ok + "carriers_khz = 5006\n", 5, "carriers_khz must be two numbers"},
      {ok + "carriers_khz = [5006, \"8006\"]\n", 5, "carriers_khz must be a number"},
      {ok + "zero_doppler_hz = [8, 80]\n", 5, "zero_doppler_hz 80 is outside"},
      {ok + "lattitude = 36\n", 5, "unknown key 'lattitude'"},
      {ok + "[SGD.transmitter]\nname = \"T\"\nlatitude = 36\n", 5, "transmitter: missing longitude"},
      {ok + "transmitter = \"Ohtawa\"\n", 5, "transmitter must be a table"},
      {ok + "[SG]\nname = \"S\"\nlatitude = 36\nlongitude = 138\n", 5, "not a station code"},
      {"version = 2\n" + ok, 1, "not a station code"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      Registry::Parse(c.text, "bad.toml");
      ADD_FAILURE() << "accepted";
    } catch (const RegistryError& e) {
      EXPECT_EQ(e.file(), "bad.toml");
      EXPECT_EQ(e.line(), c.line) << e.what();
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("bad.toml:" + std::to_string(c.line) + ": ", 0), 0u) << what;
      EXPECT_NE(what.find(c.says), std::string::npos) << what;
    }
  }
}

TEST(StationRegistry, LoadRefusesWhatIsNoRegularFileWithoutWaiting) {
  hfd::test::TempDir dir;
  const std::string fifo = (dir.path / "fifo.toml").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& p : {fifo, dir.path.string(), (dir.path / "none.toml").string()}) {
    try {
      Registry::Load(p);
      ADD_FAILURE() << p << " accepted";
    } catch (const RegistryError& e) {
      EXPECT_EQ(e.file(), p);
      EXPECT_EQ(e.line(), 0);
    }
  }
}

// Looks the registry up with a temporary HOME and the variables set as asked;
// the environment is restored afterwards.
class RegistryLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* v : kVars) {
      const char* old = std::getenv(v);
      saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
      ::unsetenv(v);
    }
    ::setenv("HOME", home_.path.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  }
  // The code of the registry's only station tells which file was read.
  std::string Chosen(const std::string& explicit_path = "") {
    const Registry reg = LoadRegistry(explicit_path);
    return reg.stations().size() == 1 ? reg.stations()[0].code : "default:" + reg.path();
  }

  static constexpr const char* kVars[] = {"HOME", "XDG_CONFIG_HOME", "HFDOPPLER_STATIONS"};
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  hfd::test::TempDir home_;
};

TEST_F(RegistryLookup, OptionThenVariableThenUserFileThenInstalledDefault) {
  // Nothing of the user's: the default beside the build tree's programs.
  const std::string by_default = Chosen();
  EXPECT_EQ(fs::weakly_canonical(by_default.substr(8)),
            fs::weakly_canonical(fs::path(HFD_BUILD_DIR) / "share/hfdoppler/stations.toml"));
  EXPECT_EQ(hfd::stations::DefaultRegistryPath(), by_default.substr(8));

  Write(home_.path / ".config/hfdoppler/stations.toml", One("HOM"));
  EXPECT_EQ(Chosen(), "HOM");
  // XDG_CONFIG_HOME replaces ~/.config; without a file there, the default.
  const fs::path xdg = home_.path / "xdg";
  ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  EXPECT_EQ(Chosen(), by_default);
  Write(xdg / "hfdoppler/stations.toml", One("XDG"));
  EXPECT_EQ(Chosen(), "XDG");
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  EXPECT_EQ(Chosen(), "HOM");

  Write(home_.path / "env.toml", One("ENV"));
  ::setenv("HFDOPPLER_STATIONS", (home_.path / "env.toml").c_str(), 1);
  EXPECT_EQ(Chosen(), "ENV");
  Write(home_.path / "opt.toml", One("OPT"));
  EXPECT_EQ(Chosen((home_.path / "opt.toml").string()), "OPT");

  // A file named by the option or the variable must be there.
  ::setenv("HFDOPPLER_STATIONS", (home_.path / "gone.toml").c_str(), 1);
  EXPECT_THROW(Chosen(), RegistryError);
  EXPECT_THROW(Chosen((home_.path / "gone2.toml").string()), RegistryError);
  // A broken user file is reported, not passed over.
  ::unsetenv("HFDOPPLER_STATIONS");
  Write(xdg / "hfdoppler/stations.toml", "[XDG]\nname = 3\n");
  ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  try {
    Chosen();
    ADD_FAILURE() << "a broken user file was passed over";
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.file(), (xdg / "hfdoppler/stations.toml").string());
    EXPECT_EQ(e.line(), 2);
  }
}

}  // namespace
