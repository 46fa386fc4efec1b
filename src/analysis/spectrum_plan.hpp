// Per-run analysis plan: built once from the run constants (data length,
// dFreq, output mode) and read by every block operation of spectra.hpp.
//
// Two paths compute the block analysis:
//  - Straightforward: the arithmetic written plainly. TaperWindow and
//    ComplexFFT are called as they are for every channel and block (cosines
//    and sines computed per call), every bin 0 .. 50 Hz is formed, phases
//    always, the spectrum-file sums of all 10 channel slots are cleared.
//    It stays as the reference the fast path is held to.
//  - Fast: the same IEEE operations in the same order on every value that an
//    output can show, with the per-call values taken from tables built here
//    once (they hold exactly what the per-call formulas give), and nothing
//    formed that no output can observe. See spectra.hpp for what is observable.
// The plan picks its path once, when it is made; the block operations run the
// path their plan holds (Method()), so no caller chooses between them. So too
// the instruction set of the fast kernels (Kernels()): the widest the
// processor runs, or one named when the plan is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace hfd {

struct BlockPath;
namespace fast {
struct Kernels;
}

enum class AnalysisPath { Fast, Straightforward };

class SpectrumPlan {
 public:
  // Largest data length the fixed storage holds (N/2+1 bins in
  // 8192 slots, bins 1..N cleared).
  static constexpr int32_t kMaxLength = 8192;

  // n: data length N; dFreq: 1/(2*N*dt) of the run options (as the driver computed
  // it); iOutFmt: output mode 1 or 2. The plan is valid only for a supported
  // length (IsSupportedLength), a finite positive dFreq and a mode of 1 or 2;
  // an invalid plan makes every block operation a no-op (BinPass returns no lines).
  // kernels: the fast kernels' instruction set, "avx512", "avx2" or "generic";
  // empty for the widest the processor runs. A plan for an unknown set or one
  // the processor lacks is not valid.
  SpectrumPlan(int32_t n, double dFreq, int32_t iOutFmt, AnalysisPath path = AnalysisPath::Fast,
               std::string_view kernels = {});

  // A power of two from 2 to kMaxLength.
  static bool IsSupportedLength(int32_t n);

  bool valid() const { return valid_; }
  int32_t N() const { return n_; }
  double DFreq() const { return dfreq_; }
  int32_t OutFmt() const { return outfmt_; }
  // The block operations of the plan's path (block_path.hpp).
  const BlockPath& Method() const { return *method_; }
  // The fast kernels the plan runs (fast_kernels.hpp); only when valid().
  const fast::Kernels& Kernels() const { return *kernels_; }
  // Their instruction set: "avx512", "avx2", "generic" ("none" when refused).
  const char* KernelVariant() const;

  // Bins are 0-based here: bin index i is bin i+1 in 1-based counting.
  int32_t NumBins() const { return n_ / 2 + 1; }
  // Number of bins with 0.0 <= DfFrq <= 12.0: spectrum-file lines per block.
  // They are the first NumSpectrumBins() bins.
  int32_t NumSpectrumBins() const { return nspec_; }
  // Doppler band: bins PeakFirst() .. PeakEnd()-1 have 4.0 <= DfFrq <= 12.0.
  int32_t PeakFirst() const { return peak_first_; }
  int32_t PeakEnd() const { return peak_end_; }
  // DfFrq of bin i: (float)((2*i) * dFreq).
  float BinFrequency(int32_t i) const { return freq_[static_cast<size_t>(i)]; }

  // Bins the fast path forms: FormFirst() .. FormEnd()-1. Mode 2: all
  // spectrum-file bins (levels and phases). Mode 1: the Doppler band only,
  // levels only (mode 1 shows the peak frequency and level, never a phase
  // nor a spectrum bin).
  int32_t FormFirst() const { return form_first_; }
  int32_t FormEnd() const { return form_end_; }
  bool FormPhases() const { return outfmt_ == 2; }

  // ---- fast-path tables (filled for every valid plan) ----
  // Hann window factors (1.0 - cos(k * delta)) for k = 0 .. N-1, delta the
  // single-precision step of TaperWindow widened to double.
  const double* HannFactor() const { return hann_.data(); }
  // Bit-reversal permutation: after the reordering of ComplexFFT, complex point
  // p holds input point BitReverse()[p].
  const int32_t* BitReverse() const { return rev_.data(); }
  // Twiddles of the stage whose butterflies join half = 1, 2, 4, .., N/2
  // points: TwiddleRe(half)[m], TwiddleIm(half)[m], m = 0 .. half-1, exactly
  // the (wr, wi) the recurrence of ComplexFFT gives (isign = +1).
  const double* TwiddleRe(int32_t half) const { return twr_.data() + half; }
  const double* TwiddleIm(int32_t half) const { return twi_.data() + half; }
  // The taper's WinScale (0.5, Hann) and AmpNorm = (float)(1.0 / (N * WinScale)).
  float WinScale() const { return 0.5f; }
  float AmpNorm() const { return ampnorm_; }

 private:
  bool valid_ = false;
  int32_t n_ = 0;
  double dfreq_ = 0.0;
  int32_t outfmt_ = 0;
  const BlockPath* method_ = nullptr;
  const fast::Kernels* kernels_ = nullptr;
  int32_t nspec_ = 0;
  int32_t peak_first_ = 0;
  int32_t peak_end_ = 0;
  int32_t form_first_ = 0;
  int32_t form_end_ = 0;
  float ampnorm_ = 0.0f;
  std::vector<float> freq_;
  std::vector<double> hann_;
  std::vector<int32_t> rev_;
  std::vector<double> twr_;
  std::vector<double> twi_;
};

}  // namespace hfd
