#include "drawing.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace hfd::plot {

TextPen::TextPen(cairo_t* cr)
    : cr_(cr), layout_(pango_cairo_create_layout(cr)), font_(pango_font_description_from_string("DejaVu Sans")) {
  pango_layout_set_alignment(layout_, PANGO_ALIGN_CENTER);
}

TextPen::~TextPen() {
  pango_font_description_free(font_);
  g_object_unref(layout_);
}

void TextPen::Size(const std::string& text, double px, int& w, int& h) {
  Prepare(text, px);
  pango_layout_get_pixel_size(layout_, &w, &h);
}

void TextPen::Show(const std::string& text, double px, double x, double y, double ax, double ay, bool upward) {
  int w, h;
  Size(text, px, w, h);
  cairo_save(cr_);
  cairo_translate(cr_, x, y);
  if (upward) cairo_rotate(cr_, -M_PI / 2);
  cairo_move_to(cr_, -ax * w, -ay * h);
  pango_cairo_update_layout(cr_, layout_);
  pango_cairo_show_layout(cr_, layout_);
  cairo_restore(cr_);
}

void TextPen::Prepare(const std::string& text, double px) {
  pango_font_description_set_absolute_size(font_, px * PANGO_SCALE);
  pango_layout_set_font_description(layout_, font_);
  pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
}

std::vector<double> NiceTicks(double lo, double hi, int max_ticks) {
  std::vector<double> ticks;
  if (!(hi > lo)) return ticks;
  double raw = (hi - lo) / std::max(1, max_ticks - 1), mag = std::pow(10.0, std::floor(std::log10(raw)));
  double step = mag * 10;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * mag >= raw) { step = m * mag; break; }
  }
  for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + step * 1e-9; v += step) {
    ticks.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
  }
  return ticks;
}

std::string Number(double v, double step) {
  char buf[32];
  int decimals = 0;  // enough for the step (1, 2 or 5 times a power of ten)
  while (decimals < 6 && std::fabs(step * std::pow(10, decimals) - std::round(step * std::pow(10, decimals))) > 1e-6) ++decimals;
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

void PaintPixels(cairo_t* cr, cairo_surface_t* img, const Rect& to, const Rect& clip) {
  cairo_surface_mark_dirty(img);
  cairo_save(cr);
  cairo_rectangle(cr, clip.x, clip.y, clip.w, clip.h);
  cairo_clip(cr);
  cairo_translate(cr, to.x, to.y);
  cairo_scale(cr, to.w / cairo_image_surface_get_width(img), to.h / cairo_image_surface_get_height(img));
  cairo_set_source_surface(cr, img, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(img);
}

void Frame(cairo_t* cr, const Rect& r, double width) {
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, width);
  cairo_rectangle(cr, r.x - width / 2, r.y - width / 2, r.w + width, r.h + width);
  cairo_stroke(cr);
}

}  // namespace hfd::plot
