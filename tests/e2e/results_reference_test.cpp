// The fast analysis must write the same bytes as the straightforward one:
// hfdoppler and hfdoppler-reference on the same recordings, in both output
// modes and for all four data lengths, give identical result files and
// identical console output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_run.hpp"

namespace hfd::test {
namespace {

class FastAgainstReference : public ::testing::TestWithParam<int> {};

TEST_P(FastAgainstReference, SameResultFilesAndConsole) {
  const int n = GetParam();
  ScratchDir d;
  // A day with the sharp frequency excursion and fading, and a second
  // recording at another station without its channel-1 file; both are
  // processed in one run (answer 500).
  Synth(d, "--start 20080501120000 --station SGD --seconds 400 --seed 5");
  Synth(d, "--start 20080502060000 --station KUR --seconds 150 --seed 9 --scint 0.9 --no-channel2");
  const std::vector<std::string> results = {"200805011200SGD", "200805020600KUR"};

  for (int mode : {1, 2}) {
    SCOPED_TRACE("mode " + std::to_string(mode) + ", N " + std::to_string(n));
    const std::vector<std::string> exts =
        mode == 1 ? std::vector<std::string>{".qdr"} : std::vector<std::string>{".spc", ".max"};
    // Both programs run in the same folder, so they list the recordings in
    // the same order; the fast program's files are moved aside first.
    const RunResult fast = RunAnalyser(HFD_BINARY, d, DayAnswers(mode, n));
    ASSERT_EQ(fast.status, 0) << fast.err;
    const fs::path aside = d.root() / ("fast-" + std::to_string(mode));
    fs::create_directories(aside);
    for (const std::string& r : results) {
      for (const std::string& e : exts) {
        ASSERT_TRUE(fs::exists(d.rec() / (r + e))) << r + e;
        fs::rename(d.rec() / (r + e), aside / (r + e));
      }
    }
    const RunResult ref = RunAnalyser(HFD_REFERENCE_BINARY, d, DayAnswers(mode, n));
    ASSERT_EQ(ref.status, 0) << ref.err;
    for (const std::string& r : results) {
      for (const std::string& e : exts) {
        const std::string a = Slurp(aside / (r + e)), b = Slurp(d.rec() / (r + e));
        // At least three analysed blocks (150 s hold three of 40.96 s).
        const size_t lines = SplitRecords(a, r + e).size();
        EXPECT_GE(lines, e == ".qdr" ? 4u + 3 : e == ".max" ? 1u + 3 : 3u * 63) << r + e;
        // On a difference, show the first differing line of both.
        if (a != b) {
          size_t i = 0;
          while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
          const size_t start = a.rfind('\n', i) == std::string::npos ? 0 : a.rfind('\n', i) + 1;
          ADD_FAILURE() << r + e << " differs at byte " << i << ":\n  fast: "
                        << a.substr(start, a.find('\n', i) - start) << "\n  ref:  "
                        << b.substr(start, b.find('\n', i) - start);
        }
      }
    }
    EXPECT_EQ(fast.out, ref.out);
  }
}

INSTANTIATE_TEST_SUITE_P(AllLengths, FastAgainstReference, ::testing::Values(512, 1024, 2048, 4096),
                         [](const auto& info) { return LengthName(info.param); });

}  // namespace
}  // namespace hfd::test
