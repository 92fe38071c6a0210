// DATE <-> text for the ADO utility pieces; see DateText.h. Day numbers use the proleptic
// Gregorian calendar (as OLE Automation does for all years it accepts).
#include "DateText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "TextUtil.h"

namespace kp::ado {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = (unsigned)(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + (long long)doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = (unsigned)(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = (int)(doy - (153 * mp + 2) / 5 + 1);
  m = (int)(mp < 10 ? mp + 3 : mp - 9);
  y = (int)(yoe + era * 400 + (m <= 2));
}

const long long kEpoch = DaysFromCivil(1899, 12, 30);
constexpr DATE kMinDate = -657434.0;  // 0100-01-01
constexpr DATE kMaxDate = 2958466.0;  // 10000-01-01, exclusive

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : days[m - 1];
}

// A small cursor over criteria and ISO text.
struct Scanner {
  std::u16string_view s;
  size_t i = 0;
  bool End() const { return i >= s.size(); }
  char16_t Peek() const { return End() ? 0 : s[i]; }
  bool Eat(char16_t c) {
    if (Peek() != c) return false;
    ++i;
    return true;
  }
  // 1..maxDigits decimal digits.
  bool Number(int& out, int maxDigits, int* digits = nullptr) {
    int n = 0, v = 0;
    while (n < maxDigits && Peek() >= u'0' && Peek() <= u'9') v = v * 10 + (s[i++] - u'0'), ++n;
    if (digits) *digits = n;
    out = v;
    return n > 0;
  }
  void SkipBlanks() {
    while (!End() && IsBlank(s[i])) ++i;
  }
};

// "h:mm[:ss][.fff]" (fraction only when allowFraction) and an optional AM/PM.
bool ParseTime(Scanner& sc, DateParts& p, bool allowFraction, bool allowAmPm) {
  if (!sc.Number(p.hour, 2) || !sc.Eat(u':') || !sc.Number(p.minute, 2)) return false;
  p.second = 0;
  if (sc.Eat(u':')) {
    if (!sc.Number(p.second, 2)) return false;
    if (sc.Peek() == u'.') {
      if (!allowFraction) return false;
      ++sc.i;
      double frac = 0, scale = 0.1;
      while (sc.Peek() >= u'0' && sc.Peek() <= u'9') frac += (sc.s[sc.i++] - u'0') * scale, scale /= 10;
      if (frac >= 0.5) ++p.second;  // whole seconds only
    }
  }
  if (allowAmPm) {
    size_t save = sc.i;
    sc.SkipBlanks();
    std::u16string_view rest = sc.s.substr(sc.i, 2);
    bool am = EqualsNoCase(rest, u"AM"), pm = EqualsNoCase(rest, u"PM");
    if (am || pm) {
      if (p.hour < 1 || p.hour > 12) return false;
      if (am && p.hour == 12) p.hour = 0;
      if (pm && p.hour != 12) p.hour += 12;
      sc.i += 2;
    } else {
      sc.i = save;
    }
  }
  return true;
}

bool ParseIsoDate(Scanner& sc, DateParts& p) {
  int digits = 0;
  return sc.Number(p.year, 4, &digits) && digits == 4 && sc.Eat(u'-') && sc.Number(p.month, 2) &&
         sc.Eat(u'-') && sc.Number(p.day, 2);
}

}  // namespace

bool DateText::ToDate(const DateParts& p, DATE& out) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
      p.second < 0 || p.second > 60)
    return false;
  long long days = DaysFromCivil(p.year, (unsigned)p.month, (unsigned)p.day) - kEpoch;
  double time = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  out = days >= 0 ? (double)days + time : -((double)-days + time);
  return true;
}

bool DateText::FromDate(DATE value, DateParts& out) {
  if (!(value >= kMinDate && value < kMaxDate)) return false;  // also refuses NaN
  double whole = std::trunc(value);
  long long day = (long long)whole;
  long long secs = std::llround(std::fabs(value - whole) * 86400.0);
  day += secs / 86400;
  secs %= 86400;
  CivilFromDays(day + kEpoch, out.year, out.month, out.day);
  out.hour = (int)(secs / 3600);
  out.minute = (int)(secs / 60 % 60);
  out.second = (int)(secs % 60);
  return out.year >= 100 && out.year <= 9999;
}

bool DateText::ParseIso(std::u16string_view text, DATE& out) {
  Scanner sc{Trim(text)};
  DateParts p;
  size_t colon = sc.s.find(u':');
  size_t dash = sc.s.find(u'-');
  if (colon != std::u16string_view::npos && (dash == std::u16string_view::npos || dash > colon)) {
    if (!ParseTime(sc, p, true, false)) return false;  // a time alone
  } else {
    if (!ParseIsoDate(sc, p)) return false;
    if (sc.Eat(u'T') || sc.Eat(u't') || sc.Eat(u' ')) {
      if (!ParseTime(sc, p, true, false)) return false;
    }
  }
  // A zone designator is ignored: DATE has no time zone.
  if (!sc.End() && sc.Peek() != u'Z' && sc.Peek() != u'+' && sc.Peek() != u'-') return false;
  return ToDate(p, out);
}

std::u16string DateText::FormatIso(DATE value, Form form) {
  DateParts p;
  if (!FromDate(value, p)) return u"";
  char buf[40];
  switch (form) {
    case Form::DateOnly:
      snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
      break;
    case Form::TimeOnly:
      snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
      break;
    default:
      snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
               p.second);
  }
  return std::u16string(buf, buf + strlen(buf));
}

bool DateText::ParseCriteria(std::u16string_view text, DATE& out) {
  Scanner sc{Trim(text)};
  DateParts p;
  size_t firstStop = sc.s.find_first_of(u"/-:");
  if (firstStop == std::u16string_view::npos) return false;
  if (sc.s[firstStop] == u':') {
    if (!ParseTime(sc, p, false, true)) return false;
  } else {
    if (sc.s[firstStop] == u'-') {
      if (!ParseIsoDate(sc, p)) return false;
    } else {
      int digits = 0;
      if (!sc.Number(p.month, 2) || !sc.Eat(u'/') || !sc.Number(p.day, 2) || !sc.Eat(u'/') ||
          !sc.Number(p.year, 4, &digits))
        return false;
      if (digits <= 2)
        p.year += p.year < 30 ? 2000 : 1900;
      else if (digits != 4)
        return false;
    }
    sc.SkipBlanks();
    if (!sc.End() && !ParseTime(sc, p, false, true)) return false;
  }
  sc.SkipBlanks();
  return sc.End() && ToDate(p, out);
}

}  // namespace kp::ado
