#include "analysis/spectra.hpp"

#include <algorithm>
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

namespace {

constexpr int kWindowType = 2;      // IWindow: Hann
constexpr float kFloorTest = 1.0e-9f;  // single-precision amplitude/phase guard
constexpr double kDegree = 0.017453292519;  // truncated pi/180
constexpr float kPeakStart = -180.0f;  // DfAmpMx before the bin pass
// Fast path, mode 1: the level stored for a band bin that provably cannot be
// the peak (equal to the peak's start value, so the strict test skips it).
constexpr float kBelowAnyBin = kPeakStart;

bool ValidChannel(int c) { return c >= 0 && c < kChannelSlots; }

// Mean (step 3b) and spread (step 3c) of the untapered samples x[0..n-1];
// AvAmp[c] holds their sum on entry.
void MeanAndSpread(BlockSpectra& s, int32_t n, int c) {
  const double mean = s.AvAmp[c] / static_cast<double>(n);
  s.AvAmp[c] = mean;
  const double ss = fast::SumSquaredDeviations(s.x.data(), n, mean);
  s.S4Indx[c] = 10.0 * std::sqrt(ss / static_cast<double>(n));
}

// Linear amplitude a of a bin, stored single.
inline float Amplitude(float re, float im, float ampnorm) {
  const double r = static_cast<double>(re);
  const double i = static_cast<double>(im);
  return static_cast<float>(std::sqrt(r * r + i * i) * static_cast<double>(ampnorm));
}

inline float Level(float a) {
  const double l = (a >= kFloorTest) ? 20.0 * std::log10(static_cast<double>(a)) : -180.0;
  return static_cast<float>(l + 120.0);
}

inline float Phase(float re, float im) {
  if (std::fabs(re) >= kFloorTest) {
    return static_cast<float>(std::atan2(static_cast<double>(im), static_cast<double>(re)) / kDegree);
  }
  return (im > 0.0f) ? 90.0f : 270.0f;
}

// ---- straightforward path ----

void ClearSumsStraight(BlockSpectra& s, const SpectrumPlan& plan) {
  const size_t nclear = static_cast<size_t>(plan.N());
  for (int c = 0; c < kChannelSlots; ++c) {
    std::fill_n(s.SpcAmp[c].begin(), nclear, 0.0f);
    std::fill_n(s.SpcPhs[c].begin(), nclear, 0.0f);
  }
}

void AnalyseStraight(BlockSpectra& s, const SpectrumPlan& plan, int c) {
  const int32_t n = plan.N();
  MeanAndSpread(s, n, c);
  TaperWindow(s.x.data(), n, kWindowType, s.WinScale);
  for (int32_t j = 0; j < n; ++j) {
    s.CData[static_cast<size_t>(2 * j)] = s.x[static_cast<size_t>(j)];
    s.CData[static_cast<size_t>(2 * j + 1)] = s.x[static_cast<size_t>(j)];
  }
  ComplexFFT(s.CData.data(), n, +1);
  s.AmpNorm = static_cast<float>(1.0 / (static_cast<double>(n) * static_cast<double>(s.WinScale)));
  const double dfreq = plan.DFreq();
  for (int32_t i = 0; i <= n / 2; ++i) {
    const float re = s.CData[static_cast<size_t>(2 * i)];
    const float im = s.CData[static_cast<size_t>(2 * i + 1)];
    s.DfFrq[static_cast<size_t>(i)] = static_cast<float>(static_cast<double>(2 * i) * dfreq);
    const float a = Amplitude(re, im, s.AmpNorm);
    s.DfAmp[c][static_cast<size_t>(i)] = Level(a);
    s.DfPhs[c][static_cast<size_t>(i)] = Phase(re, im);
  }
}

int32_t BinPassStraight(BlockSpectra& s, const SpectrumPlan& plan) {
  const int32_t n = plan.N();
  int lines = 0;
  const bool complete = (s.IAvg == s.NAvg);
  for (int32_t i = 0; i <= n / 2; ++i) {
    const size_t k = static_cast<size_t>(i);
    const float f = s.DfFrq[k];
    if (f >= 4.0f && f <= 12.0f) {
      for (int c = 1; c <= 2; ++c) {
        if (s.DfAmp[c][k] > s.DfAmpMx[c]) {
          s.DfAmpMx[c] = s.DfAmp[c][k];
          s.DfFrqMx[c] = f;
          s.DfPhsMx[c] = s.DfPhs[c][k];
        }
      }
    }
    if (f >= 0.0f && f <= 12.0f) {
      for (int c = 1; c <= 2; ++c) {
        s.SpcAmp[c][k] = static_cast<float>(static_cast<double>(s.SpcAmp[c][k]) +
                                            static_cast<double>(s.DfAmp[c][k]));
        s.SpcPhs[c][k] = static_cast<float>(static_cast<double>(s.SpcPhs[c][k]) +
                                            static_cast<double>(s.DfPhs[c][k]));
      }
      if (complete) {
        s.SpcFrq[k] = f;
        for (int c = 1; c <= 2; ++c) {
          s.SpcAmp[c][k] = static_cast<float>(static_cast<double>(s.SpcAmp[c][k]) /
                                              static_cast<double>(s.NAvg));
          s.SpcPhs[c][k] = static_cast<float>(static_cast<double>(s.SpcPhs[c][k]) /
                                              static_cast<double>(s.NAvg));
        }
        ++lines;
      }
    }
  }
  return plan.OutFmt() == 2 ? lines : 0;
}

// ---- fast path ----

void ClearSumsFast(BlockSpectra& s, const SpectrumPlan& plan) {
  if (plan.OutFmt() != 2) return;  // mode 1 forms no spectrum-file values
  const size_t nclear = static_cast<size_t>(plan.NumSpectrumBins());
  for (int c = 1; c <= 2; ++c) {
    std::fill_n(s.SpcAmp[c].begin(), nclear, 0.0f);
    std::fill_n(s.SpcPhs[c].begin(), nclear, 0.0f);
  }
}

void AnalyseFast(BlockSpectra& s, const SpectrumPlan& plan, int c) {
  const int32_t n = plan.N();
  float* re = s.FftRe.data();
  float* im = s.FftIm.data();
  const int32_t first = plan.FormFirst();
  const int32_t end = plan.FormEnd();
  // Mean and spread as in MeanAndSpread; the spread's sum comes with the
  // transform.
  const double mean = s.AvAmp[c] / static_cast<double>(n);
  s.AvAmp[c] = mean;
  const double ss = plan.Kernels().transform_with_spread(s.x.data(), plan, re, im, end, mean);
  s.S4Indx[c] = 10.0 * std::sqrt(ss / static_cast<double>(n));
  s.WinScale = plan.WinScale();
  const float ampnorm = plan.AmpNorm();
  s.AmpNorm = ampnorm;
  float* amp = s.DfAmp[c].data();
  float* frq = s.DfFrq.data();
  // Linear amplitudes a first (vectorised), then the levels in place.
  plan.Kernels().amplitudes(re, im, first, end, ampnorm, amp);
  for (int32_t i = first; i < end; ++i) frq[i] = plan.BinFrequency(i);
  if (plan.FormPhases()) {
    // Mode 2: every spectrum-file bin is printed.
    float* phs = s.DfPhs[c].data();
    for (int32_t i = first; i < end; ++i) {
      amp[i] = Level(amp[i]);
      phs[i] = Phase(re[i], im[i]);
    }
    return;
  }
  // Mode 1 shows only the Doppler-band peak (DfFrqMx, DfAmpMx). A bin whose
  // amplitude is at least 1.0e-9 but below 0.999 times the band's largest
  // amplitude amax has a level at least 0.0086 dB (20 log10(1/0.999)) under
  // the level of amax: far more than the single-precision spacing of the
  // levels (< 1.6e-5 dB below 256) and the error of log10 (a few units in the
  // last place of a double), so its single-precision level is strictly lower
  // than amax's and it can neither be the peak nor tie with it. Only the
  // other bins get their level (those below 1.0e-9 cost no logarithm: -60.0);
  // these get kBelowAnyBin, which the strict peak test never takes.
  float amax = 0.0f;
  for (int32_t i = first; i < end; ++i) amax = std::max(amax, amp[i]);
  const double threshold = static_cast<double>(amax) * 0.999;
  for (int32_t i = first; i < end; ++i) {
    const float a = amp[i];
    amp[i] = (a < kFloorTest || static_cast<double>(a) >= threshold) ? Level(a) : kBelowAnyBin;
  }
}

int32_t BinPassFast(BlockSpectra& s, const SpectrumPlan& plan) {
  // Peak: the Doppler-band bins in ascending order (same test, same order).
  const int32_t pf = plan.PeakFirst();
  const int32_t pe = plan.PeakEnd();
  const bool phases = plan.FormPhases();
  for (int c = 1; c <= 2; ++c) {
    const float* amp = s.DfAmp[c].data();
    float mx = s.DfAmpMx[c];
    int32_t at = -1;
    for (int32_t i = pf; i < pe; ++i) {
      if (amp[i] > mx) {
        mx = amp[i];
        at = i;
      }
    }
    if (at >= 0) {
      s.DfAmpMx[c] = mx;
      s.DfFrqMx[c] = s.DfFrq[static_cast<size_t>(at)];
      if (phases) s.DfPhsMx[c] = s.DfPhs[c][static_cast<size_t>(at)];
    }
  }
  if (plan.OutFmt() != 2) return 0;

  const int32_t ns = plan.NumSpectrumBins();
  const bool complete = (s.IAvg == s.NAvg);
  const double navg = static_cast<double>(s.NAvg);
  for (int c = 1; c <= 2; ++c) {
    float* sa = s.SpcAmp[c].data();
    float* sp = s.SpcPhs[c].data();
    const float* da = s.DfAmp[c].data();
    const float* dp = s.DfPhs[c].data();
    for (int32_t i = 0; i < ns; ++i) {
      sa[i] = static_cast<float>(static_cast<double>(sa[i]) + static_cast<double>(da[i]));
      sp[i] = static_cast<float>(static_cast<double>(sp[i]) + static_cast<double>(dp[i]));
    }
    if (complete) {
      for (int32_t i = 0; i < ns; ++i) {
        sa[i] = static_cast<float>(static_cast<double>(sa[i]) / navg);
        sp[i] = static_cast<float>(static_cast<double>(sp[i]) / navg);
      }
    }
  }
  if (!complete) return 0;
  std::copy(s.DfFrq.begin(), s.DfFrq.begin() + ns, s.SpcFrq.begin());
  return ns;
}

}  // namespace

extern const BlockPath kStraightforwardPath = {ClearSumsStraight, AnalyseStraight, BinPassStraight};
extern const BlockPath kFastPath = {ClearSumsFast, AnalyseFast, BinPassFast};

void BeginBlock(BlockSpectra& s, const SpectrumPlan& plan) {
  if (!plan.valid()) return;
  s.IAvg += 1;
  for (int c = 1; c <= 2; ++c) {
    s.DfFrqMx[c] = 0.0f;
    s.DfAmpMx[c] = kPeakStart;
    s.DfPhsMx[c] = 0.0f;
  }
  if (s.IAvg == 1) plan.Method().clear_sums(s, plan);
}

void AnalyseChannel(BlockSpectra& s, const SpectrumPlan& plan, int c) {
  if (!plan.valid() || !ValidChannel(c)) return;
  plan.Method().analyse(s, plan, c);
}

void FloorChannel(BlockSpectra& s, const SpectrumPlan& plan, int c) {
  if (!plan.valid() || !ValidChannel(c)) return;
  const size_t nfloor = static_cast<size_t>(plan.N() / 2);
  std::fill_n(s.DfAmp[c].begin(), nfloor, -60.0f);
  std::fill_n(s.DfPhs[c].begin(), nfloor, 0.0f);
  s.AvAmp[c] = 0.0;
  s.S4Indx[c] = 0.0;
}

BlockResult BinPass(BlockSpectra& s, const SpectrumPlan& plan) {
  BlockResult r;
  if (!plan.valid()) return r;
  const auto count = static_cast<size_t>(plan.Method().bin_pass(s, plan));
  for (int c = 1; c <= 2; ++c) {
    ChannelFigures& f = r.channel[static_cast<size_t>(c - 1)];
    f.AvAmp = s.AvAmp[c];
    f.S4Indx = s.S4Indx[c];
    f.DfFrqMx = s.DfFrqMx[c];
    f.DfAmpMx = s.DfAmpMx[c];
    f.DfPhsMx = plan.FormPhases() ? s.DfPhsMx[c] : 0.0f;
    r.lines.level[static_cast<size_t>(c - 1)] = std::span<const float>(s.SpcAmp[c].data(), count);
    r.lines.phase[static_cast<size_t>(c - 1)] = std::span<const float>(s.SpcPhs[c].data(), count);
  }
  r.lines.freq = std::span<const float>(s.SpcFrq.data(), count);
  return r;
}

void EndBlock(BlockSpectra& s) {
  if (s.IAvg == s.NAvg) s.IAvg = 0;
}

void ResetRecording(BlockSpectra& s) {
  s.IAvg = 0;
  s.NAvg = 1;
}

}  // namespace hfd
