// The operator's answers, read from the console: one list-directed integer,
// or a line of I fields such as the "(3i2)" time answers. An answer that
// cannot be read, or the end of the input, ends the run with the fatal input
// report; a stop signal while waiting ends it for the stop.
//
//   int32_t mode = 0; ReadListInt(console, fatal, mode);
//   int32_t t[3]; ReadFormattedInts(console, fatal, FormatPlan("(3i2)"), t, 3);
#pragma once

#include <cstdint>

#include "textio/console.hpp"
#include "textio/fatal_handler.hpp"
#include "textio/format.hpp"

namespace hfd {

// One list-directed integer answer (blank lines are skipped; a null value or
// slash keeps the target).
void ReadListInt(Console& console, FatalHandler& fatal, int32_t& target);

// One console line read by a format of I descriptors, e.g. "(3i2)".
void ReadFormattedInts(Console& console, FatalHandler& fatal, const FormatPlan& format,
                       int32_t* targets, int count);

}  // namespace hfd
