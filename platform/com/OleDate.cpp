// OLE dates: a DATE is a double counting days from 1899-12-30 00:00 (proleptic Gregorian
// calendar, no time zone). The integer part is the signed day offset; the fraction is always a
// time of day, also for negative values: -1.25 is 1899-12-29 06:00, and 0.5 and -0.5 are both
// 1899-12-30 12:00. From parts: d = days + fraction, and for days before the epoch
// d = -(|days| + fraction). Valid dates run from 0100-01-01 to 9999-12-31.
//
// Also here: VariantTimeToSystemTime (rounds to the nearest second; wMilliseconds is 0) and
// SystemTimeToVariantTime (ignores wMilliseconds and wDayOfWeek, refuses fields out of range),
// and the date text forms described in oleauto.h.
#include <cmath>
#include <cstdio>
#include <string>

#include "VarConvert.h"

namespace kp::com {
namespace {

constexpr long kSecondsPerDay = 86400;

// Days from 1970-01-01 of a proleptic Gregorian date (the civil-from-days algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, long* y, unsigned* m, unsigned* d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<long>(yoe) + era * 400 + (*m <= 2);
}

const long kEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(long y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads an unsigned decimal field; false when there is no digit.
bool ReadNumber(const OLECHAR* s, size_t n, size_t* i, long* value, int maxDigits = 9) {
  const size_t start = *i;
  long v = 0;
  while (*i < n && s[*i] >= u'0' && s[*i] <= u'9' && int(*i - start) < maxDigits)
    v = v * 10 + (s[(*i)++] - u'0');
  *value = v;
  return *i > start;
}

void SkipBlanks(const OLECHAR* s, size_t n, size_t* i) {
  while (*i < n && (s[*i] == u' ' || s[*i] == u'\t')) ++*i;
}

bool MatchNoCase(const OLECHAR* s, size_t n, size_t* i, const char* word) {
  size_t j = *i;
  for (; *word; ++word, ++j) {
    if (j >= n) return false;
    char16_t c = s[j];
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    if (c != static_cast<unsigned char>(*word)) return false;
  }
  *i = j;
  return true;
}

// "H:mm", "H:mm:ss" or "H:mm:ss.fff", then an optional AM/PM. Answers seconds of the day.
bool ParseTime(const OLECHAR* s, size_t n, size_t* i, double* seconds) {
  long h, mi, sec = 0;
  if (!ReadNumber(s, n, i, &h, 2) || *i >= n || s[*i] != u':') return false;
  ++*i;
  if (!ReadNumber(s, n, i, &mi, 2)) return false;
  double fraction = 0;
  if (*i < n && s[*i] == u':') {
    ++*i;
    if (!ReadNumber(s, n, i, &sec, 2)) return false;
    if (*i < n && s[*i] == u'.') {
      ++*i;
      double scale = 0.1;
      while (*i < n && s[*i] >= u'0' && s[*i] <= u'9') {
        fraction += (s[(*i)++] - u'0') * scale;
        scale /= 10;
      }
    }
  }
  SkipBlanks(s, n, i);
  if (MatchNoCase(s, n, i, "AM")) {
    if (h < 1 || h > 12) return false;
    if (h == 12) h = 0;
  } else if (MatchNoCase(s, n, i, "PM")) {
    if (h < 1 || h > 12) return false;
    if (h != 12) h += 12;
  }
  if (h > 23 || mi > 59 || sec > 59) return false;
  *seconds = h * 3600.0 + mi * 60.0 + sec + fraction;
  return true;
}

DATE Compose(long days, double secondsOfDay) {
  const double fraction = secondsOfDay / kSecondsPerDay;
  return days >= 0 ? days + fraction : -(-days + fraction);
}

}  // namespace

bool DateToSystemTime(DATE date, SYSTEMTIME* st) {
  if (!(date > kMinDate - 1.0 && date < kMaxDateExclusive)) return false;
  double whole;
  const double fraction = std::fabs(std::modf(date, &whole));
  long days = static_cast<long>(whole);
  long seconds = std::lround(fraction * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {  // rounded up to the next midnight
    seconds -= kSecondsPerDay;
    ++days;
  }
  long y;
  unsigned m, d;
  CivilFromDays(kEpoch + days, &y, &m, &d);
  if (y < 100 || y > 9999) return false;
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(m);
  st->wDay = static_cast<WORD>(d);
  st->wDayOfWeek = static_cast<WORD>(((kEpoch + days) % 7 + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  st->wHour = static_cast<WORD>(seconds / 3600);
  st->wMinute = static_cast<WORD>(seconds / 60 % 60);
  st->wSecond = static_cast<WORD>(seconds % 60);
  st->wMilliseconds = 0;
  return true;
}

bool SystemTimeToDate(const SYSTEMTIME& st, DATE* date) {
  if (st.wYear < 100 || st.wYear > 9999 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
      st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59) {
    return false;
  }
  const long days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kEpoch;
  *date = Compose(days, st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond);
  return true;
}

HRESULT FormatDate(DATE date, bool dateOnly, bool timeOnly, std::u16string* text) {
  SYSTEMTIME st;
  if (!DateToSystemTime(date, &st)) return E_INVALIDARG;
  const bool hasTime = st.wHour || st.wMinute || st.wSecond;
  const bool hasDate = !(st.wYear == 1899 && st.wMonth == 12 && st.wDay == 30);
  const bool showDate = !timeOnly && (dateOnly || hasDate);
  const bool showTime = !dateOnly && (timeOnly || hasTime || !hasDate);
  char buf[64];
  std::string out;
  if (showDate) {
    std::snprintf(buf, sizeof buf, "%u/%u/%u", st.wYear, st.wMonth, st.wDay);
    out = buf;
  }
  if (showTime) {
    std::snprintf(buf, sizeof buf, "%u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  *text = std::u16string(out.begin(), out.end());
  return S_OK;
}

HRESULT ParseDate(const OLECHAR* s, size_t n, DATE* out) {
  size_t i = 0;
  SkipBlanks(s, n, &i);
  long days = 0;
  double seconds = 0;
  size_t start = i;
  long y, m, d;
  if (ReadNumber(s, n, &i, &y, 4) && i - start == 4 && i < n && (s[i] == u'-' || s[i] == u'/')) {
    const char16_t sep = s[i++];
    if (!ReadNumber(s, n, &i, &m, 2) || i >= n || s[i] != sep) return DISP_E_TYPEMISMATCH;
    ++i;
    if (!ReadNumber(s, n, &i, &d, 2)) return DISP_E_TYPEMISMATCH;
    if (y < 100 || m < 1 || m > 12 || d < 1 || d > long(DaysInMonth(y, unsigned(m))))
      return DISP_E_TYPEMISMATCH;
    days = DaysFromCivil(y, unsigned(m), unsigned(d)) - kEpoch;
    if (i < n && (s[i] == u'T' || s[i] == u' ' || s[i] == u'\t')) {
      ++i;
      SkipBlanks(s, n, &i);
      if (i < n && !ParseTime(s, n, &i, &seconds)) return DISP_E_TYPEMISMATCH;
    }
  } else {
    i = start;
    if (!ParseTime(s, n, &i, &seconds)) return DISP_E_TYPEMISMATCH;
  }
  SkipBlanks(s, n, &i);
  if (i != n) return DISP_E_TYPEMISMATCH;
  *out = Compose(days, seconds);
  return S_OK;
}

}  // namespace kp::com

extern "C" {

INT WINAPI VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME st) {
  if (!st) return FALSE;
  return kp::com::DateToSystemTime(vtime, st) ? TRUE : FALSE;
}

INT WINAPI SystemTimeToVariantTime(LPSYSTEMTIME st, DOUBLE* vtime) {
  if (!st || !vtime) return FALSE;
  return kp::com::SystemTimeToDate(*st, vtime) ? TRUE : FALSE;
}

}  // extern "C"
