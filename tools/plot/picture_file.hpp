// Writing a picture to a PNG, SVG or PDF file (chosen by the name's
// extension) as an OutputFile: never a partial file, not even on a signal.
//
//   hfd::plot::Format fmt;  hfd::plot::FormatOfPath("day.png", fmt);
//   hfd::plot::WriteFigureFile("day.png", fmt, 1600, 900, pdf_date, [&](cairo_t* cr) { Draw(cr, ...); });
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hfd::plot {

enum class Format { kPng, kSvg, kPdf };

// By the extension, in any letter case; false for any other.
bool FormatOfPath(std::string_view path, Format& fmt);

// Draws by `draw` on a surface of width x height pixels (points for SVG and
// PDF) and writes it to `path`. A PDF carries `pdf_date` (seconds since 1970,
// UTC) as its creation and modification date. Throws tools::WriteError,
// leaving no file, when anything fails.
void WriteFigureFile(const std::string& path, Format fmt, int width, int height, int64_t pdf_date,
                     const std::function<void(cairo_t*)>& draw);

// The date a PDF carries: SOURCE_DATE_EPOCH when it is set to a whole number,
// else `fallback`.
int64_t PdfDate(int64_t fallback);

}  // namespace hfd::plot
