// Colour maps of the spectrogram: a level between vmin and vmax becomes one of
// 256 opaque colours, as cairo's ARGB32 pixel words (0xAARRGGBB).
//
//   const auto& lut = hfd::plot::ColormapTable(hfd::plot::Colormap::kViridis);
//   uint32_t px = lut[hfd::plot::ColourIndex(level, vmin, vmax)];
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace hfd::plot {

enum class Colormap {
  kViridis,  // dark blue, teal, green, yellow: perceptually even
  kDoppler,  // black, dark green, green, yellow, red
};

using ColourTable = std::array<uint32_t, 256>;

const ColourTable& ColormapTable(Colormap map);

// "viridis" or "doppler"; false for any other name.
bool ParseColormap(std::string_view name, Colormap& map);

// The table index of a level: 0 at or below vmin, 255 at or above vmax.
inline int ColourIndex(double level, double vmin, double vmax) {
  double t = (level - vmin) / (vmax - vmin) * 256.0;
  if (!(t > 0.0)) return 0;  // NaN too; callers blank NaN before asking
  return t >= 255.0 ? 255 : static_cast<int>(t);
}

}  // namespace hfd::plot
