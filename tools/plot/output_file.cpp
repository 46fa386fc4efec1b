#include "output_file.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace hfd::plot {
namespace {

cairo_status_t WriteBytes(void* closure, const unsigned char* data, unsigned int length) {
  return std::fwrite(data, 1, length, static_cast<FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                              : CAIRO_STATUS_WRITE_ERROR;
}

std::string IsoDate(int64_t t) {
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

// Draws and writes to an open stream; false on a cairo or write failure.
bool Render(FILE* out, Format fmt, int width, int height, int64_t pdf_date,
            const std::function<void(cairo_t*)>& draw) {
  cairo_surface_t* surface = nullptr;
  switch (fmt) {
    case Format::kPng: surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height); break;
    case Format::kSvg: surface = cairo_svg_surface_create_for_stream(WriteBytes, out, width, height); break;
    case Format::kPdf:
      surface = cairo_pdf_surface_create_for_stream(WriteBytes, out, width, height);
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "hfdoppler-plot");
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, IsoDate(pdf_date).c_str());
      cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, IsoDate(pdf_date).c_str());
      break;
  }
  cairo_t* cr = cairo_create(surface);
  draw(cr);
  bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (fmt == Format::kPng && ok) ok = cairo_surface_write_to_png_stream(surface, WriteBytes, out) == CAIRO_STATUS_SUCCESS;
  cairo_surface_finish(surface);
  ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
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
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string tmp = dir + "." + base + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) throw WriteError("cannot write " + path + ": " + std::strerror(errno));
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  FILE* out = fdopen(fd, "wb");
  if (!out) {
    int err = errno;
    close(fd);
    unlink(tmp.c_str());
    throw WriteError("cannot write " + path + ": " + std::strerror(err));
  }
  bool ok = Render(out, fmt, width, height, pdf_date, draw);
  int err = ok ? 0 : EIO;
  if (std::fflush(out) != 0 && ok) ok = false, err = errno;
  if (std::fclose(out) != 0 && ok) ok = false, err = errno;
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    unlink(tmp.c_str());
    throw WriteError("cannot write " + path + ": " + std::strerror(err));
  }
}

}  // namespace hfd::plot
