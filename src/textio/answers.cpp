#include "textio/answers.hpp"

namespace hfd {
namespace {

// The next console line; ends the run at a stop or a failed read.
std::string_view NextLine(Console& console, FatalHandler& fatal) {
  std::string_view line;
  ReadError e = console.ReadLine(line);
  if (e == ReadError::Interrupted) fatal.StopForSignal();
  if (e != ReadError::None) fatal.InputFailure(e, "CON");
  return line;
}

}  // namespace

void ReadListInt(Console& console, FatalHandler& fatal, int32_t& target) {
  for (;;) {
    ReadError e = ReadError::None;
    ListLine r = ParseListLine(NextLine(console, fatal), target, e);
    if (r == ListLine::Blank) continue;
    if (r == ListLine::Error) fatal.InputFailure(e, "CON");
    return;
  }
}

void ReadFormattedInts(Console& console, FatalHandler& fatal, const FormatPlan& format,
                       int32_t* targets, int count) {
  const std::string_view line = NextLine(console, fatal);
  int widths[32];
  int n = format.IntWidths(widths, 32);
  if (n > count) n = count;
  ReadError e = ReadIntFields(line, widths, n, targets);
  if (e != ReadError::None) fatal.InputFailure(e, "CON");
}

}  // namespace hfd
