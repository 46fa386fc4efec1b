// Drawing pieces shared by the pictures: text placed by an anchor (pango),
// the values at the ticks of a linear axis and their labels, a frame around a
// data area.
//
//   hfd::plot::TextPen pen(cr);
//   pen.Show("level (dBuV)", 12, x, y, 0.5, 0, /*upward=*/true);
//   for (double v : hfd::plot::NiceTicks(0, 12, 7)) label(hfd::plot::Number(v, 2));
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>
#include <vector>

namespace hfd::plot {

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
};

// Text by pango, placed by an anchor: (ax, ay) = (0, 0) top left, (0.5, 0.5)
// centre, (1, 1) bottom right of the text's box.
class TextPen {
 public:
  explicit TextPen(cairo_t* cr);
  ~TextPen();
  TextPen(const TextPen&) = delete;
  TextPen& operator=(const TextPen&) = delete;

  // Width and height of a text in pixels.
  void Size(const std::string& text, double px, int& w, int& h);
  void Show(const std::string& text, double px, double x, double y, double ax, double ay,
            bool upward = false);

 private:
  void Prepare(const std::string& text, double px);
  cairo_t* cr_;
  PangoLayout* layout_;
  PangoFontDescription* font_;
};

// Values at the ticks of a linear axis: 1, 2 or 5 times a power of ten apart.
std::vector<double> NiceTicks(double lo, double hi, int max_ticks);

// v with the decimals the tick step needs.
std::string Number(double v, double step);

// A frame `width` pixels wide just outside a data area, never over its pixels.
void Frame(cairo_t* cr, const Rect& r, double width = 1.0);

// Paints an image stretched over `to`, every pixel a sharp rectangle of one
// colour (no smoothing between blocks and bins), inside `clip` only; then
// destroys the image.
void PaintPixels(cairo_t* cr, cairo_surface_t* img, const Rect& to, const Rect& clip);

}  // namespace hfd::plot
