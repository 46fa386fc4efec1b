// The fast kernels on any processor (the passes of fast_passes.hpp one value
// at a time), and the choice of a kernel set by name or by the processor's
// features.
#include "analysis/fast_kernels.hpp"

#include "analysis/fast_passes.hpp"
#include "analysis/fast_variants.hpp"

// The results are reproduced bit for bit: never fuse a multiply and an add,
// whatever the build flags (GCC; clang ignores this pragma and relies on the
// build's -ffp-contract=off).
#pragma GCC optimize("fp-contract=off")

namespace hfd::fast {
namespace {

struct Variant {
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

// Widest first.
constexpr Variant kVariants[] = {
    {&kAvx512Kernels, HasAvx512},
    {&kAvx2Kernels, HasAvx2},
    {&kGenericKernels, Always},
};

}  // namespace

extern const Kernels kGenericKernels = KernelsOn<Scalar, Scalar>("generic");

double SumSquaredDeviations(const float* x, int32_t n, double mean) { return SpreadSteps<Scalar>{x, n, mean}.Finish(); }

const Kernels* FindKernels(std::string_view name) {
  for (const Variant& v : kVariants) {
    if ((name.empty() || name == v.kernels->name) && v.supported()) return v.kernels;
  }
  return nullptr;
}

}  // namespace hfd::fast
