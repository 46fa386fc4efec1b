#include "analysis/fast_kernels.hpp"

#include <algorithm>

namespace hfd::fast {

double SumSquaredDeviations(const float* x, int32_t n, double mean) {
  double acc = 0.0;
  for (int32_t j = 0; j < n; ++j) {
    const double d = static_cast<double>(x[j]) - mean;
    acc = acc + d * d;
  }
  return acc;
}

void TaperBitReverse(const float* x, const SpectrumPlan& plan, float* re, float* im) {
  const int32_t n = plan.N();
  const double* w = plan.HannFactor();
  const int32_t* rev = plan.BitReverse();
  for (int32_t p = 0; p < n; ++p) {
    const int32_t k = rev[p];
    const float t = static_cast<float>((w[k] * static_cast<double>(x[k])) * 0.5);
    re[p] = t;
    im[p] = t;
  }
}

__attribute__((target_clones("avx2", "default")))
void FftStagesImpl(float* __restrict re, float* __restrict im, int32_t n, int32_t need,
                   const double* __restrict twr, const double* __restrict twi) {
  for (int32_t half = 1; half < n; half *= 2) {
    const double* __restrict wr = twr + half;
    const double* __restrict wi = twi + half;
    const int32_t mend = std::min(half, need);
    for (int32_t g = 0; g < n; g += 2 * half) {
      float* __restrict r0 = re + g;
      float* __restrict i0 = im + g;
      float* __restrict r1 = re + g + half;
      float* __restrict i1 = im + g + half;
      for (int32_t m = 0; m < mend; ++m) {
        const double br = static_cast<double>(r1[m]);
        const double bi = static_cast<double>(i1[m]);
        const double tempr = br * wr[m] - bi * wi[m];
        const double tempi = bi * wr[m] + br * wi[m];
        const double ar = static_cast<double>(r0[m]);
        const double ai = static_cast<double>(i0[m]);
        r1[m] = static_cast<float>(ar - tempr);
        i1[m] = static_cast<float>(ai - tempi);
        r0[m] = static_cast<float>(ar + tempr);
        i0[m] = static_cast<float>(ai + tempi);
      }
    }
  }
}

void FftStages(float* re, float* im, const SpectrumPlan& plan, int32_t need) {
  FftStagesImpl(re, im, plan.N(), need, plan.TwiddleRe(0), plan.TwiddleIm(0));
}

const char* KernelVariant() { return "clones"; }

}  // namespace hfd::fast
