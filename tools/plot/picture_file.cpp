#include "picture_file.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "common/output_file.hpp"

namespace hfd::plot {
namespace {

// The output file behind the C callbacks of cairo and libpng, which must not
// see an exception: the first failure is kept and thrown after.
struct Sink {
  tools::OutputFile& out;
  std::exception_ptr failure;
  bool Write(const void* data, size_t length) {
    if (failure) return false;
    try {
      out.Append(std::string_view(static_cast<const char*>(data), length));
      return true;
    } catch (const tools::WriteError&) {
      failure = std::current_exception();
      return false;
    }
  }
};

cairo_status_t WriteBytes(void* closure, const unsigned char* data, unsigned int length) {
  return static_cast<Sink*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

// An SVG viewer smooths an embedded image it scales up unless told not to,
// and the spectrogram's image holds one pixel per block and bin: every
// <image> element cairo writes is marked to be drawn with square pixels.
// The last few bytes of a chunk wait for the next, as they may begin a tag.
struct SvgSink {
  Sink& out;
  std::string pending;
  bool Write(const unsigned char* data, unsigned int length) {
    static constexpr std::string_view kTag = "<image ";
    static constexpr std::string_view kMarked =
        "<image style=\"image-rendering:pixelated\" image-rendering=\"optimizeSpeed\" ";
    pending.append(reinterpret_cast<const char*>(data), length);
    std::string text;
    size_t from = 0;
    for (size_t at; (at = pending.find(kTag, from)) != std::string::npos; from = at + kTag.size()) {
      text.append(pending, from, at - from).append(kMarked);
    }
    const size_t keep = std::min(pending.size() - from, kTag.size() - 1);
    text.append(pending, from, pending.size() - from - keep);
    pending.erase(0, pending.size() - keep);
    return out.Write(text.data(), text.size());
  }
  bool Finish() { return out.Write(pending.data(), pending.size()); }
};

cairo_status_t WriteSvgBytes(void* closure, const unsigned char* data, unsigned int length) {
  return static_cast<SvgSink*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

void WritePngBytes(png_structp png, png_bytep data, size_t length) {
  if (!static_cast<Sink*>(png_get_io_ptr(png))->Write(data, length)) png_error(png, "write failed");
}

void FlushNothing(png_structp) {}

// The image as an 8-bit RGB PNG. One fixed row filter and a fast deflate
// level: the adaptive filter search and level 6 cost several times as much
// for a file only a little smaller (a spectrogram's noise does not compress).
bool WritePng(cairo_surface_t* img, Sink* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  const int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
  const int stride = cairo_image_surface_get_stride(img);
  const unsigned char* data = cairo_image_surface_get_data(img);
  std::vector<png_byte> row(static_cast<size_t>(w) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, WritePngBytes, FlushNothing);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    const auto* px = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<png_byte>(px[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(px[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(px[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::string IsoDate(int64_t t) {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

// Draws and writes to the sink; false on a cairo or write failure.
bool Render(Sink* out, Format fmt, int width, int height, int64_t pdf_date,
            const std::function<void(cairo_t*)>& draw) {
  cairo_surface_t* surface = nullptr;
  SvgSink svg{*out, {}};
  switch (fmt) {
    case Format::kPng: surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height); break;
    case Format::kSvg: surface = cairo_svg_surface_create_for_stream(WriteSvgBytes, &svg, width, height); break;
    case Format::kPdf: {
      surface = cairo_pdf_surface_create_for_stream(WriteBytes, out, width, height);
      const std::string date = IsoDate(pdf_date);
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "hfdoppler-plot");
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, date.c_str());
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, date.c_str());
      break;
    }
  }
  cairo_t* cr = cairo_create(surface);
  draw(cr);
  bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (fmt == Format::kPng && ok) {
    cairo_surface_flush(surface);
    ok = WritePng(surface, out);
  }
  cairo_surface_finish(surface);
  ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  if (fmt == Format::kSvg) ok = ok && svg.Finish();
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace

bool FormatOfPath(std::string_view path, Format& fmt) {
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") fmt = Format::kPng;
  else if (ext == "svg") fmt = Format::kSvg;
  else if (ext == "pdf") fmt = Format::kPdf;
  else return false;
  return true;
}

int64_t PdfDate(int64_t fallback) {
  const char* e = std::getenv("SOURCE_DATE_EPOCH");
  if (!e || !*e) return fallback;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(e, &end, 10);
  return (*end == '\0' && errno == 0 && v >= 0) ? v : fallback;
}

void WriteFigureFile(const std::string& path, Format fmt, int width, int height, int64_t pdf_date,
                     const std::function<void(cairo_t*)>& draw) {
  tools::OutputFile out(path);
  Sink sink{out, nullptr};
  const bool ok = Render(&sink, fmt, width, height, pdf_date, draw);
  if (sink.failure) std::rethrow_exception(sink.failure);
  if (!ok) throw tools::WriteError("cannot write " + path + ": the drawing failed");
  out.Commit();
}

}  // namespace hfd::plot
