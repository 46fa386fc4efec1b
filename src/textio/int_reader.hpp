// Turning typed answers and internal records into integers.
//
// A list-directed answer line holds one integer (or a null value, a slash, or
// an n* repeat prefix); a formatted read takes fixed-width Iw fields such as
// the "(3i2)" time answers or the "(i4,5i2)" date digits of a recording name.
//
//   int32_t mode = 2; ReadError e;
//   ListLine r = ParseListLine("  1  ", mode, e);   // r == ListLine::Value, mode == 1
#pragma once

#include <cstdint>
#include <string_view>

namespace hfd {

// Error numbers of the fatal input report; None is success.
enum class ReadError : int {
  None = 0,
  Interrupted = 1,  // a stop signal arrived while waiting for an answer
  Overflow = 6100,
  BadChar = 6101,
  SecondHash = 6302,
  BadBase = 6303,
  DeviceFailure = 6500,
  EndOfInput = 6501,
  ZeroRepeat = 6502,
  Quoted = 6504,
};
const char* Describe(ReadError e);

// An optional sign and decimal digits, or r#digits with a base r of 2..36.
ReadError ParseIntegerValue(std::string_view token, int32_t& out);

enum class ListLine { Blank, Value, Null, Error };
// One line of a list-directed integer read. Blank: nothing on the line, read
// the next one. Null: the target keeps its value. Error: see `err`.
ListLine ParseListLine(std::string_view line, int32_t& target, ReadError& err);

// Reads count Iw fields of the given widths from one record. Blanks and tabs
// are ignored, a comma ends a field early, fields past the end of the record
// are empty (0). Returns the first conversion error, or None.
ReadError ReadIntFields(std::string_view record, const int* widths, int count, int32_t* targets);

}  // namespace hfd
