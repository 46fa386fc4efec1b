// A temporary directory of recordings for the driver tests, and helpers to
// write channel files and read back result files.
//
//   DriverTest fixture:  WriteChannel("20080501120000SGD-0.BIN", 16, Const(1000));
//   RunResult r = Run("2\n512\n0\n1\n");
//   std::vector<std::string> lines = Lines(ReadFile("200805011200SGD.max"));
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace hfd::test {

// Sample value of (1-based record number, 0-based sample index in the record).
using SampleFn = std::function<int16_t(int record, int sample)>;

// Every sample of record r is `perRecord` * r: a block's mean then tells
// which records were read.
SampleFn RecordNumberTimes(int perRecord);
// Every sample the same value.
SampleFn Const(int16_t value);

class DriverTest : public ::testing::Test {
 protected:
  const std::filesystem::path& dir() const { return dir_.path; }
  std::filesystem::path Path(std::string_view name) const { return dir_.path / std::string(name); }

  // Writes `records` 256-byte records of 128 little-endian int16 samples,
  // then `extraBytes` bytes of a record cut short.
  void WriteChannel(std::string_view name, int records, const SampleFn& sample,
                    int extraBytes = 0) const;
  // Both channel files of a recording named like "20080501120000SGD-0.BIN".
  void WriteRecording(std::string_view channel0Name, int records, const SampleFn& ch1,
                      const SampleFn& ch2) const;
  void WriteText(std::string_view name, std::string_view content) const;

  bool Exists(std::string_view name) const;
  std::string ReadFile(std::string_view name) const;
  // Names of the entries of the directory, sorted.
  std::vector<std::string> Entries() const;

  RunResult Run(std::string_view input) const { return RunHfd(dir_.path, input); }

 private:
  TempDir dir_;
};

// Splits a result file into its records; every record must end in CR LF
// (a missing terminator on the last record is reported as a test failure).
std::vector<std::string> Lines(const std::string& text);
// Splits a line at TABs.
std::vector<std::string> Fields(const std::string& line);
// The text between the first occurrence of `from` and the following `to`
// (exclusive), or "" when not found.
std::string Between(const std::string& text, const std::string& from, const std::string& to);

// The console output of the options dialogue with the answers piped in and
// no recording listed yet: the three prompts and the settings echo, up to and
// including the open time-window prompt.
std::string OptionsTranscript(int IOutFMT);

}  // namespace hfd::test
