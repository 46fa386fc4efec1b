#include "colormap.hpp"

#include <algorithm>
#include <cmath>

namespace hfd::plot {
namespace {

uint32_t Pack(double r, double g, double b) {
  auto c = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  return 0xff000000u | c(r) << 16 | c(g) << 8 | c(b);
}

// Viridis by a degree-6 polynomial per component, within one level of the
// published table.
ColourTable MakeViridis() {
  static const double k[7][3] = {
      {0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
      {0.1050930431085774, 1.404613529898575, 1.384590162594685},
      {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
      {-4.634230498983486, -5.799100973351585, -19.33244095627987},
      {6.228269936347081, 14.17993336680509, 56.69055260068105},
      {4.776384997670288, -13.74514537774601, -65.35303263337234},
      {-5.435455855934631, 4.645852612178535, 26.3124352495832},
  };
  ColourTable t{};
  for (int i = 0; i < 256; ++i) {
    double x = i / 255.0, rgb[3];
    for (int c = 0; c < 3; ++c) {
      double v = k[6][c];
      for (int d = 5; d >= 0; --d) v = v * x + k[d][c];
      rgb[c] = v;
    }
    t[i] = Pack(rgb[0], rgb[1], rgb[2]);
  }
  return t;
}

// Straight lines between five anchors at equal spacing.
ColourTable MakeDoppler() {
  static const double a[5][3] = {{0, 0, 0}, {0, 0.35, 0}, {0, 0.8, 0}, {1, 1, 0}, {1, 0, 0}};
  ColourTable t{};
  for (int i = 0; i < 256; ++i) {
    double x = i / 255.0 * 4.0;
    int j = std::min(3, static_cast<int>(x));
    double f = x - j;
    t[i] = Pack(a[j][0] + f * (a[j + 1][0] - a[j][0]), a[j][1] + f * (a[j + 1][1] - a[j][1]),
                a[j][2] + f * (a[j + 1][2] - a[j][2]));
  }
  return t;
}

}  // namespace

const ColourTable& ColormapTable(Colormap map) {
  static const ColourTable viridis = MakeViridis();
  static const ColourTable doppler = MakeDoppler();
  return map == Colormap::kDoppler ? doppler : viridis;
}

bool ParseColormap(std::string_view name, Colormap& map) {
  if (name == "viridis") map = Colormap::kViridis;
  else if (name == "doppler") map = Colormap::kDoppler;
  else return false;
  return true;
}

}  // namespace hfd::plot
