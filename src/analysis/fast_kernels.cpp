// The fast kernels on any processor (the passes of fast_passes.hpp one value
// at a time), and the choice, once, of the variant the processor runs best.
#include "analysis/fast_kernels.hpp"

#include <cstring>

#include "analysis/fast_passes.hpp"
#include "analysis/fast_variants.hpp"

// The results are reproduced bit for bit: never fuse a multiply and an add,
// whatever the build flags (the vector code targets processors with FMA).
#pragma GCC optimize("fp-contract=off")

namespace hfd::fast {
namespace {

struct Variant {
  const char* name;
  const Kernels* kernels;
  bool (*supported)();
};

bool HasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2");
}
bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
bool Always() { return true; }

constexpr Variant kVariants[] = {
    {"avx512", &kAvx512Kernels, HasAvx512},
    {"avx2", &kAvx2Kernels, HasAvx2},
    {"generic", &kGenericKernels, Always},
};

const Variant* BestVariant() {
  for (const Variant& v : kVariants) {
    if (v.supported()) return &v;
  }
  return &kVariants[2];
}

const Variant*& Current() {
  static const Variant* current = BestVariant();
  return current;
}

}  // namespace

extern const Kernels kGenericKernels = KernelsOn<Scalar, Scalar>();

double SumSquaredDeviations(const float* x, int32_t n, double mean) { return SpreadSteps<Scalar>{x, n, mean}.Finish(); }

void Transform(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need) {
  Current()->kernels->transform(x, plan, re, im, need);
}

double TransformWithSpread(const float* x, const SpectrumPlan& plan, float* re, float* im, int32_t need,
                           double mean) {
  return Current()->kernels->transform_with_spread(x, plan, re, im, need, mean);
}

void Amplitudes(const float* re, const float* im, int32_t first, int32_t end, float ampnorm, float* out) {
  Current()->kernels->amplitudes(re, im, first, end, ampnorm, out);
}

const char* KernelVariant() { return Current()->name; }

bool SelectKernelVariant(const char* name) {
  for (const Variant& v : kVariants) {
    if (std::strcmp(v.name, name) == 0 && v.supported()) {
      Current() = &v;
      return true;
    }
  }
  return false;
}

}  // namespace hfd::fast
