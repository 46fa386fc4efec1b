// Calendar arithmetic for the result-file reader: JST stamps to UTC
// milliseconds, ISO-8601 times parsed and written (proleptic Gregorian).
//
//   int64_t t; ParseIsoTime("2008-05-01T09:00+09:00", t);  // t = 1209600000000
//   FormatIsoTime(t, 9 * 60);                             // "2008-05-01T09:00:00+09:00"
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "results/result_files.hpp"

namespace hfd::results {
namespace {

// Days since 1970-01-01 of a civil date (any month 1..12, day 1..31).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}


// n digits at p into v; false if any is not a digit.
bool Digits(std::string_view s, size_t p, size_t n, int& v) {
  if (p + n > s.size()) return false;
  v = 0;
  for (size_t i = p; i < p + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  return true;
}

char* Two(char* o, int v) {
  o[0] = static_cast<char>('0' + v / 10);
  o[1] = static_cast<char>('0' + v % 10);
  return o + 2;
}

}  // namespace

int64_t UtcMsOfJst(int year, int month, int day, int hour, int minute, int64_t ms_of_minute) {
  const int64_t start_day = DaysFromCivil(year, month, 1) + (day - 1) - hour / 24;
  const int64_t ms = ((start_day * 24 + hour) * 60 + minute) * 60000 + ms_of_minute;
  return ms - kJstOffsetMs;
}

bool ParseIsoTime(std::string_view s, int64_t& utc_ms) {
  int y, mo, d, h, mi, sec = 0;
  if (!Digits(s, 0, 4, y) || s.size() < 16 || s[4] != '-' || !Digits(s, 5, 2, mo) ||
      s[7] != '-' || !Digits(s, 8, 2, d) || s[10] != 'T' || !Digits(s, 11, 2, h) ||
      s[13] != ':' || !Digits(s, 14, 2, mi))
    return false;
  size_t p = 16;
  int64_t frac_ms = 0;
  if (p < s.size() && s[p] == ':') {
    if (!Digits(s, p + 1, 2, sec)) return false;
    p += 3;
    if (p < s.size() && s[p] == '.') {
      ++p;
      int64_t scale = 100;
      const size_t first = p;
      for (; p < s.size() && s[p] >= '0' && s[p] <= '9'; ++p) {
        frac_ms += (s[p] - '0') * scale;  // digits past the third are dropped
        scale /= 10;
      }
      if (p == first) return false;
    }
  }
  namespace cr = std::chrono;
  const cr::year_month_day date(cr::year(y), cr::month(static_cast<unsigned>(mo)),
                                cr::day(static_cast<unsigned>(d)));
  if (!date.ok() || h > 23 || mi > 59 || sec > 59) return false;
  int offset_min = 0;
  if (p < s.size() && s[p] == 'Z') {
    ++p;
  } else if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
    int oh, om;
    if (!Digits(s, p + 1, 2, oh) || p + 3 >= s.size() || s[p + 3] != ':' ||
        !Digits(s, p + 4, 2, om) || oh > 23 || om > 59)
      return false;
    offset_min = (s[p] == '-' ? -1 : 1) * (oh * 60 + om);
    p += 6;
  } else {
    return false;
  }
  if (p != s.size()) return false;
  const int64_t local = ((DaysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60000 + sec * 1000 + frac_ms;
  utc_ms = local - int64_t{offset_min} * 60000;
  return true;
}

char* FormatIsoTime(char* o, int64_t utc_ms, int offset_minutes, bool milliseconds) {
  const int64_t local = utc_ms + int64_t{offset_minutes} * 60000;
  const int64_t days = FloorDiv(local, 86400000);
  const int64_t in_day = local - days * 86400000;
  int64_t y;
  int m, d;
  CivilFromDays(days, y, m, d);
  if (y < 0 || y > 9999) y = y < 0 ? 0 : 9999;  // outside ISO's four digits: clamp, never overrun
  o = Two(o, static_cast<int>(y / 100));
  o = Two(o, static_cast<int>(y % 100));
  *o++ = '-';
  o = Two(o, m);
  *o++ = '-';
  o = Two(o, d);
  *o++ = 'T';
  const int ms = static_cast<int>(in_day % 1000);
  const int secs = static_cast<int>(in_day / 1000);
  o = Two(o, secs / 3600);
  *o++ = ':';
  o = Two(o, secs / 60 % 60);
  *o++ = ':';
  o = Two(o, secs % 60);
  if (milliseconds || ms != 0) {
    *o++ = '.';
    *o++ = static_cast<char>('0' + ms / 100);
    o = Two(o, ms % 100);
  }
  if (offset_minutes == 0) {
    *o++ = 'Z';
  } else {
    const int a = offset_minutes < 0 ? -offset_minutes : offset_minutes;
    *o++ = offset_minutes < 0 ? '-' : '+';
    o = Two(o, a / 60 % 100);
    *o++ = ':';
    o = Two(o, a % 60);
  }
  return o;
}

std::string FormatIsoTime(int64_t utc_ms, int offset_minutes) {
  char buf[32];
  return std::string(buf, FormatIsoTime(buf, utc_ms, offset_minutes, false));
}

}  // namespace hfd::results
