// Helpers of the end-to-end tests of the result files: a scratch folder,
// running the generator and the analyser there with piped answers, and
// taking the written files apart into lines and fields.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace hfd::test {

namespace fs = std::filesystem;

// The test-name suffix of a data length ("N1024"). Built by appending:
// "N" + std::to_string(n) draws a false -Wrestrict warning from GCC 12.
inline std::string LengthName(int n) {
  std::string name = "N";
  name += std::to_string(n);
  return name;
}

// A fresh temporary folder with rec/ in it, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() { fs::create_directories(rec()); }
  // Where the recordings lie and the analyser runs (it writes its results there).
  fs::path rec() const { return root_.path / "rec"; }
  fs::path root() const { return root_.path; }

 private:
  TempDir root_;
};

inline std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using hfd::test::RunResult;

// The words of a command line (no quoting).
inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Writes a synthetic recording into the folder; args as for hfdoppler-synth.
inline void Synth(const ScratchDir& d, const std::string& args) {
  hfd::test::Launch how;
  how.binary = HFD_SYNTH_BINARY;
  how.args = Words("--dir " + d.rec().string() + " " + args);
  const RunResult r = hfd::test::RunProgram(d.root(), "", how);
  ASSERT_EQ(r.status, 0) << args << ": " << r.err;
}

// Runs an analyser binary in the recording folder with the answers piped to
// its standard input (one answer per line).
inline RunResult RunAnalyser(const char* binary, const ScratchDir& d,
                             const std::vector<std::string>& answers) {
  std::string input;
  for (const std::string& s : answers) input += s + '\n';
  hfd::test::Launch how;
  how.binary = binary;
  how.timeoutSeconds = 300.0;
  return hfd::test::RunProgram(d.rec(), input, how);
}

inline RunResult RunFast(const ScratchDir& d, const std::vector<std::string>& answers) {
  return RunAnalyser(HFD_BINARY, d, answers);
}

// Answers for a whole-day run of every recording: mode, N, no window, all.
inline std::vector<std::string> DayAnswers(int mode, int n) {
  return {std::to_string(mode), std::to_string(n), "0", "500"};
}

// The records of a text whose every record ends with CR LF. A bare CR or LF
// inside a record, or a text that does not end with CR LF, is reported as a
// test failure.
inline std::vector<std::string> SplitRecords(const std::string& text, const std::string& what) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << what << ": text does not end with CR LF: ["
                    << text.substr(pos, 80) << "]";
      break;
    }
    std::string line = text.substr(pos, end - pos);
    if (line.find_first_of("\r\n") != std::string::npos) {
      ADD_FAILURE() << what << ": bare CR or LF inside record " << lines.size() + 1;
    }
    lines.push_back(std::move(line));
    pos = end + 2;
  }
  return lines;
}

inline std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = line.find(sep, start);
    parts.push_back(line.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// A right-justified numeric field ("  .001", " -.002", "  75.31"); NaN for a
// field that is not a number (asterisks, empty).
inline double Num(const std::string& field) {
  const char* s = field.c_str();
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  if (end == s || *end != '\0') return std::numeric_limits<double>::quiet_NaN();
  return v;
}

// Right-justifies text in a field of width w (text never wider here).
inline std::string Right(const std::string& text, size_t w) {
  return text.size() >= w ? text : std::string(w - text.size(), ' ') + text;
}
inline std::string I(long long v, size_t w) { return Right(std::to_string(v), w); }

// A non-negative value given in units of 10^-d, laid out as Fw.d with no
// digit before the point when the integer part is zero.
inline std::string FixedFromUnits(long long units, int d, size_t w) {
  long long scale = 1;
  for (int i = 0; i < d; ++i) scale *= 10;
  std::string frac = std::to_string(units % scale);
  frac = std::string(static_cast<size_t>(d) - frac.size(), '0') + frac;
  const long long whole = units / scale;
  return Right((whole == 0 ? std::string() : std::to_string(whole)) + "." + frac, w);
}

// The frequency of spectrum line j (bin j + 1) as F6.3: j * 100 / N Hz is
// exact in binary, so its three decimals are j * 100000 / N thousandths
// rounded half up.
inline std::string BinFrequencyField(long long j, int n) {
  const long long num = 100000LL * j, q = num / n, r = num % n;
  return FixedFromUnits(q + (2 * r >= n ? 1 : 0), 3, 6);
}

// Samples of a channel file: little-endian signed 16-bit values.
inline std::vector<int16_t> FileSamples(const fs::path& p) {
  const std::string bytes = Slurp(p);
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const auto lo = static_cast<unsigned char>(bytes[2 * i]);
    const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
    s[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
  }
  return s;
}

}  // namespace hfd::test
