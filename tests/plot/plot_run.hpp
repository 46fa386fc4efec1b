// Helpers of the picture tests: running hfdoppler-plot, reading a PNG back,
// and the colour-map index of a pixel.
#pragma once

#include <cairo.h>

#include <map>
#include <string>

#include "e2e/e2e_run.hpp"
#include "figure.hpp"
#include "sources.hpp"
#include "stations/registry.hpp"

namespace hfd::test {

namespace fs = std::filesystem;

struct PlotRun {
  int status = -1;
  std::string err;
};

// Runs the program in the recording folder with the words of `args` and an
// optional environment setting ("SOURCE_DATE_EPOCH=0").
inline PlotRun RunPlot(const test::ScratchDir& d, const std::string& args, const std::string& env = "") {
  hfd::test::Launch how;
  how.binary = HFD_PLOT_BINARY;
  how.args = test::Words(args);
  if (!env.empty()) how.env.push_back(env);
  const hfd::test::RunResult r = hfd::test::RunProgram(d.rec(), "", how);
  return {r.status, r.err};
}

// The figure hfdoppler-plot draws of files in the recording folder, planned
// and folded as the program does (with the registry it finds).
inline plot::Picture Prepared(const test::ScratchDir& d, const std::vector<std::string>& names,
                              const plot::PlotOptions& opt = {}) {
  std::vector<std::string> files;
  for (const std::string& n : names) files.push_back((d.rec() / n).string());
  return plot::Prepare(files, opt, stations::LoadRegistry(""), [](const std::string&) {});
}

// A PNG read back by cairo, pixels as 0xffRRGGBB.
class Png {
 public:
  explicit Png(const fs::path& p) : s_(cairo_image_surface_create_from_png(p.c_str())) {}
  ~Png() { cairo_surface_destroy(s_); }
  Png(const Png&) = delete;
  Png& operator=(const Png&) = delete;
  bool ok() const { return cairo_surface_status(s_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(s_); }
  int height() const { return cairo_image_surface_get_height(s_); }
  uint32_t at(int x, int y) const {
    const unsigned char* row = cairo_image_surface_get_data(s_) + y * cairo_image_surface_get_stride(s_);
    return reinterpret_cast<const uint32_t*>(row)[x] | 0xff000000u;
  }

 private:
  cairo_surface_t* s_;
};

// The colour-map index of each colour of a map (-1 for a colour not in it).
class ColourIndexOf {
 public:
  explicit ColourIndexOf(plot::Colormap m) {
    const plot::ColourTable& t = plot::ColormapTable(m);
    for (int i = 255; i >= 0; --i) index_[t[i]] = i;  // the lowest index of a repeated colour
  }
  int operator()(uint32_t px) const {
    auto it = index_.find(px);
    return it == index_.end() ? -1 : it->second;
  }

 private:
  std::map<uint32_t, int> index_;
};

}  // namespace hfd::test
