// The spectrogram image of one channel of a spectrum file: one pixel column per
// slice of the time axis (the mean level of the blocks in it), one row per
// slice of the frequency axis (the nearest bin), coloured by a colour map.
// Columns without a block and rows outside the file's bins keep the blank
// colour, so a gap in the data stays a gap in the picture.
//
//   hfd::plot::SpectrogramView v{.axis = ax, .block_ms = 10240, .fmin = 0, .fmax = 12, .vmin = 20, .vmax = 80};
//   hfd::plot::DrawSpectrogram(series, 0, v, lut, 0xffffffff, pixels, stride_words, w, h);
#pragma once

#include <cstdint>

#include "colormap.hpp"
#include "results/result_files.hpp"
#include "time_axis.hpp"

namespace hfd::plot {

struct SpectrogramView {
  TimeAxis axis;      // only t0_ms and t1_ms are used; the image spans them
  int64_t block_ms;   // N * 10 ms
  double fmin, fmax;  // Hz at the bottom and top edge
  double vmin, vmax;  // dBuV at the ends of the colour map
};

// Fills a w x h ARGB32 image (stride in 32-bit words) with channel c (0 or 1).
void DrawSpectrogram(const results::SpectrumSeries& s, int channel, const SpectrogramView& v,
                     const ColourTable& lut, uint32_t blank, uint32_t* pixels, int stride_words,
                     int w, int h);

// The 5th and 99.5th percentiles of the levels of both channels over the
// blocks that overlap [t0_ms, t1_ms) and the bins within [fmin, fmax]. Returns
// false when there is no such level.
bool DefaultLevelRange(const results::SpectrumSeries& s, int64_t block_ms, int64_t t0_ms,
                       int64_t t1_ms, double fmin, double fmax, double& vmin, double& vmax);

// The bin spacing in Hz: 1 / (N * 0.01 s).
double BinSpacing(const results::SpectrumSeries& s);

}  // namespace hfd::plot
