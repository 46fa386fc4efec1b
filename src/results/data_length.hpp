// Internal to the result-file reader: the one place where a file's data
// length N is inferred from what the file shows of it (a .qdr header states
// it). Each clue narrows the four data lengths; the first clue that leaves
// exactly one decides.
//
//   DataLengthClues c; c.second_bin = "  .098";
//   int32_t n = InferDataLength(c);  // 1024; 0 when the clues leave none or several
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

#include "results/result_files.hpp"

namespace hfd::results::detail {

struct DataLengthClues {
  // .spc: the frequency field of a block's second bin line, 1 / (N * 0.01 s).
  std::string_view second_bin;
  // .max: the first and last block (steps and whole-second times), their
  // spacing N * 0.01 s a step.
  const PeakBlock* first = nullptr;
  const PeakBlock* last = nullptr;
  // A result file's path: the start minute in its name, which the first
  // block's stamp follows by the whole seconds of its step times N * 0.01 s.
  std::string_view path;
};

int32_t InferDataLength(const DataLengthClues& c);

// The bin lines of a .spc block of data length N: the bins from 0 to 12 Hz.
constexpr int32_t SpectrumBins(int32_t n) { return static_cast<int32_t>(12 * int64_t{n} / 100) + 1; }
// The most bin lines a block has (N = 4096).
inline constexpr int32_t kMostSpectrumBins = SpectrumBins(kDataLengths[std::size(kDataLengths) - 1]);

}  // namespace hfd::results::detail
