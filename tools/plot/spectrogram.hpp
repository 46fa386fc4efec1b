// The spectrogram image of one channel from a spectrum fold: one image column
// per column of the fold (the mean level of the blocks in it), rows over a
// frequency range, coloured by a colour map. A row shows the strongest of the
// bins whose frequency lies in it, or the nearest bin when it is narrower than
// a bin, so no peak between rows is lost. Columns without a block and rows
// beyond the file's bins keep the blank colour, so a gap in the data stays a
// gap in the picture.
//
//   hfd::plot::SpectrogramView v{.fmin = 0, .fmax = 12, .vmin = 20, .vmax = 80};
//   hfd::plot::DrawSpectrogram(fold, 0, v, lut, 0xffffffff, pixels, stride_words, rows);
#pragma once

#include <cstdint>

#include "colormap.hpp"
#include "fold.hpp"

namespace hfd::plot {

struct SpectrogramView {
  double fmin, fmax;  // Hz at the bottom and top edge of the image
  double vmin, vmax;  // dBuV at the ends of the colour map
};

// Fills a fold.grid().columns x rows ARGB32 image (stride in 32-bit words)
// with channel c (0 or 1).
void DrawSpectrogram(const SpectrumFold& fold, int channel, const SpectrogramView& v, const ColourTable& lut,
                     uint32_t blank, uint32_t* pixels, int stride_words, int rows);

// The default colour range of the levels folded: from the 5th percentile of
// all levels to the 99th percentile of the blocks' peaks (the carriers), or
// the 99.5th percentile of all levels when that is higher. False when no
// level was folded.
bool DefaultLevelRange(const LevelHistogram& levels, const LevelHistogram& peaks, double& vmin, double& vmax);

}  // namespace hfd::plot
