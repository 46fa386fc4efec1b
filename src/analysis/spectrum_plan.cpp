#include "analysis/spectrum_plan.hpp"

#include <cmath>

#include "analysis/block_path.hpp"
#include "analysis/fast_kernels.hpp"
#include "analysis/fft.hpp"
#include "analysis/taper.hpp"

// The results are reproduced bit for bit: never fuse a multiply and an add,
// whatever the build flags (GCC; clang ignores this pragma and relies on the
// build's -ffp-contract=off).
#pragma GCC optimize("fp-contract=off")

namespace hfd {

const char* SpectrumPlan::KernelVariant() const { return kernels_ != nullptr ? kernels_->name : "none"; }

bool SpectrumPlan::IsSupportedLength(int32_t n) {
  return n >= 2 && n <= kMaxLength && (n & (n - 1)) == 0;
}

SpectrumPlan::SpectrumPlan(int32_t n, double dFreq, int32_t iOutFmt, AnalysisPath path, std::string_view kernels)
    : n_(n),
      dfreq_(dFreq),
      outfmt_(iOutFmt),
      method_(path == AnalysisPath::Fast ? &kFastPath : &kStraightforwardPath),
      kernels_(fast::FindKernels(kernels)) {
  valid_ = IsSupportedLength(n) && std::isfinite(dFreq) && dFreq > 0.0 &&
           (iOutFmt == 1 || iOutFmt == 2) && kernels_ != nullptr;
  if (!valid_) return;

  const int32_t nbins = n / 2 + 1;
  freq_.resize(static_cast<size_t>(nbins));
  nspec_ = 0;
  peak_first_ = -1;
  peak_end_ = -1;
  for (int32_t i = 0; i < nbins; ++i) {
    // DfFrq(i): the integer 2(i-1) times dFreq, stored single.
    const float f = static_cast<float>(static_cast<double>(2 * i) * dFreq);
    freq_[static_cast<size_t>(i)] = f;
    // dFreq > 0: the frequencies never decrease, so both bands are runs.
    if (f >= 0.0f && f <= 12.0f) nspec_ = i + 1;
    if (f >= 4.0f && f <= 12.0f) {
      if (peak_first_ < 0) peak_first_ = i;
      peak_end_ = i + 1;
    }
  }
  if (peak_first_ < 0) peak_first_ = peak_end_ = 0;
  if (outfmt_ == 2) {
    form_first_ = 0;
    form_end_ = nspec_;
  } else {
    form_first_ = peak_first_;
    form_end_ = peak_end_;
  }

  // Hann window factors, exactly the per-call values of TaperWindow type 2.
  const double delta = static_cast<double>(HannStep(n));
  hann_.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    hann_[static_cast<size_t>(i)] = 1.0 - std::cos(static_cast<double>(i) * delta);
  }

  // Bit reversal: the swaps of ComplexFFT leave input point rev(p) at point p.
  rev_.resize(static_cast<size_t>(n));
  int32_t bits = 0;
  while ((int32_t{1} << bits) < n) ++bits;
  for (int32_t p = 0; p < n; ++p) {
    int32_t r = 0;
    for (int32_t b = 0; b < bits; ++b) r |= ((p >> b) & 1) << (bits - 1 - b);
    rev_[static_cast<size_t>(p)] = r;
  }

  // Twiddles: stage 'half' at offset half (1 + 2 + .. + N/2 = N-1 values).
  twr_.assign(static_cast<size_t>(n), 0.0);
  twi_.assign(static_cast<size_t>(n), 0.0);
  for (int32_t half = 1; half < n; half *= 2) {
    FftStageTwiddles(half, +1, twr_.data() + half, twi_.data() + half);
  }

  ampnorm_ = static_cast<float>(1.0 / (static_cast<double>(n) * static_cast<double>(WinScale())));
}

}  // namespace hfd
