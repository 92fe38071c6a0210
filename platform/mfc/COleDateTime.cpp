// COleDateTime: a DATE with a status. The calendar arithmetic is proleptic Gregorian over the
// automation range (100-01-01 .. 9999-12-31). DATE rules (OLE Automation): the integer part
// counts days from 1899-12-30, and the fraction is always a time of day, also for negative
// values (-1.25 is 1899-12-29 06:00). Internally a DATE is read as a "linear" day count
// (trunc(d) + |frac(d)|), which orders and subtracts correctly across 1899-12-30; fields are
// rounded to the nearest second, as MFC does. The locale texts (Format() and ParseDateTime)
// are those of VarBstrFromDate / VarDateFromStr, as in MFC.
#include <cmath>
#include <cstring>
#include <string>

#include "afxdisp.h"

namespace {

constexpr double kMinDate = -657434.0;  // 100-01-01
constexpr double kMaxDate = 2958466.0;  // 10000-01-01 (exclusive)
constexpr long long kSecondsPerDay = 86400;
const char kInvalidText[] = "Invalid DateTime";

// Days from 1899-12-30 to y-m-d (H. Hinnant's days_from_civil, shifted).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468 + 25569;
}

void CivilFromDays(long long z, int* y, int* m, int* d) {
  z += 719468 - 25569;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (*m <= 2));
}

double Linear(DATE d) {
  double whole = std::trunc(d);
  return whole + std::fabs(d - whole);
}

DATE FromLinear(double linear) {
  double day = std::floor(linear);
  double fraction = linear - day;
  return day >= 0 ? day + fraction : day - fraction;
}

struct Fields {
  int year, month, day, hour, minute, second, dayOfWeek, dayOfYear;  // dayOfWeek 0 = Sunday
};

bool Split(DATE d, Fields* f) {
  if (!(d >= kMinDate && d < kMaxDate)) return false;
  long long seconds = std::llround(Linear(d) * kSecondsPerDay);
  long long days =
      seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  long long inDay = seconds - days * kSecondsPerDay;
  CivilFromDays(days, &f->year, &f->month, &f->day);
  if (f->year > 9999) return false;
  f->hour = static_cast<int>(inDay / 3600);
  f->minute = static_cast<int>(inDay / 60 % 60);
  f->second = static_cast<int>(inDay % 60);
  f->dayOfWeek = static_cast<int>(((days % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday
  f->dayOfYear = static_cast<int>(days - DaysFromCivil(f->year, 1, 1)) + 1;
  return true;
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

CString FromBstr(BSTR b) {
  return CString(b, static_cast<int>(SysStringLen(b)));
}

}  // namespace

COleDateTime::COleDateTime(const VARIANT& varSrc) : m_dt(0), m_status(valid) {
  *this = varSrc;
}
COleDateTime::COleDateTime(time_t timeSrc) : m_dt(0), m_status(valid) {
  *this = timeSrc;
}
COleDateTime::COleDateTime(const SYSTEMTIME& st) : m_dt(0), m_status(valid) {
  SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}
COleDateTime::COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec)
    : m_dt(0), m_status(valid) {
  SetDateTime(nYear, nMonth, nDay, nHour, nMin, nSec);
}

COleDateTime PASCAL COleDateTime::GetCurrentTime() {
  return COleDateTime(std::time(nullptr));
}

int COleDateTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) {
  if (nYear < 100 || nYear > 9999 || nMonth < 1 || nMonth > 12 || nDay < 1 ||
      nDay > DaysInMonth(nYear, nMonth) || nHour < 0 || nHour > 23 || nMin < 0 || nMin > 59 || nSec < 0 ||
      nSec > 59) {
    m_dt = 0;
    m_status = invalid;
    return 1;
  }
  double linear =
      static_cast<double>(DaysFromCivil(nYear, static_cast<unsigned>(nMonth), static_cast<unsigned>(nDay))) +
      ((nHour * 60 + nMin) * 60 + nSec) / static_cast<double>(kSecondsPerDay);
  m_dt = FromLinear(linear);
  m_status = valid;
  return 0;
}

int COleDateTime::GetYear() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.year : error;
}
int COleDateTime::GetMonth() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.month : error;
}
int COleDateTime::GetDay() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.day : error;
}
int COleDateTime::GetHour() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.hour : error;
}
int COleDateTime::GetMinute() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.minute : error;
}
int COleDateTime::GetSecond() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.second : error;
}
int COleDateTime::GetDayOfWeek() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.dayOfWeek + 1 : error;
}
int COleDateTime::GetDayOfYear() const {
  Fields f;
  return m_status == valid && Split(m_dt, &f) ? f.dayOfYear : error;
}

BOOL COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const {
  Fields f;
  if (m_status != valid || !Split(m_dt, &f)) return FALSE;
  st.wYear = static_cast<WORD>(f.year);
  st.wMonth = static_cast<WORD>(f.month);
  st.wDayOfWeek = static_cast<WORD>(f.dayOfWeek);
  st.wDay = static_cast<WORD>(f.day);
  st.wHour = static_cast<WORD>(f.hour);
  st.wMinute = static_cast<WORD>(f.minute);
  st.wSecond = static_cast<WORD>(f.second);
  st.wMilliseconds = 0;
  return TRUE;
}

const COleDateTime& COleDateTime::operator=(DATE dtSrc) {
  m_dt = dtSrc;
  m_status = valid;
  return *this;
}

const COleDateTime& COleDateTime::operator=(const VARIANT& varSrc) {
  if (varSrc.vt == VT_DATE) return *this = varSrc.date;
  VARIANT converted;
  VariantInit(&converted);
  if (SUCCEEDED(VariantChangeType(&converted, &varSrc, 0, VT_DATE))) {
    m_dt = converted.date;
    m_status = valid;
  } else {
    m_dt = 0;
    m_status = invalid;
  }
  VariantClear(&converted);
  return *this;
}

const COleDateTime& COleDateTime::operator=(time_t timeSrc) {
  struct tm local;
  if (!localtime_r(&timeSrc, &local)) {
    m_dt = 0;
    m_status = invalid;
    return *this;
  }
  SetDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
              local.tm_sec > 59 ? 59 : local.tm_sec);
  return *this;
}

bool COleDateTime::operator==(const COleDateTime& date) const {
  return m_status == date.m_status && Linear(m_dt) == Linear(date.m_dt);
}
bool COleDateTime::operator<(const COleDateTime& date) const {
  return Linear(m_dt) < Linear(date.m_dt);
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const {
  COleDateTime result;
  if (m_status != valid || span.m_status != COleDateTimeSpan::valid) {
    result.m_status = m_status == null || span.m_status == COleDateTimeSpan::null ? null : invalid;
    return result;
  }
  result.m_dt = FromLinear(Linear(m_dt) + span.m_span);
  if (!(result.m_dt >= kMinDate && result.m_dt < kMaxDate)) result.m_status = invalid;
  return result;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const {
  return *this + (-span);
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& date) const {
  COleDateTimeSpan span(Linear(m_dt) - Linear(date.m_dt));
  if (m_status != valid || date.m_status != valid)
    span.m_status =
        m_status == null || date.m_status == null ? COleDateTimeSpan::null : COleDateTimeSpan::invalid;
  return span;
}

CString COleDateTime::Format(DWORD dwFlags, LCID lcid) const {
  if (m_status == null) return CString();
  if (m_status != valid) return CString(kInvalidText);
  BSTR text = nullptr;
  if (FAILED(VarBstrFromDate(m_dt, lcid, dwFlags, &text))) return CString(kInvalidText);
  CString result = FromBstr(text);
  SysFreeString(text);
  return result;
}

CString COleDateTime::Format(LPCTSTR lpszFormat) const {
  if (m_status == null) return CString();
  Fields f;
  if (m_status != valid || !Split(m_dt, &f)) return CString(kInvalidText);
  // MFC's '#' flag ("%#d": no leading zero) is glibc's '-' flag.
  std::string format;
  for (const char* p = lpszFormat ? lpszFormat : ""; *p; ++p) {
    format += *p;
    if (p[0] == '%' && p[1] == '#') {
      format += '-';
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      format += *++p;
    }
  }
  struct tm t {};
  t.tm_year = f.year - 1900;
  t.tm_mon = f.month - 1;
  t.tm_mday = f.day;
  t.tm_hour = f.hour;
  t.tm_min = f.minute;
  t.tm_sec = f.second;
  t.tm_wday = f.dayOfWeek;
  t.tm_yday = f.dayOfYear - 1;
  t.tm_isdst = -1;
  if (format.empty()) return CString();
  char buffer[512];
  size_t n = std::strftime(buffer, sizeof buffer, format.c_str(), &t);
  return CString(buffer, static_cast<int>(n));
}

BOOL COleDateTime::ParseDateTime(LPCTSTR lpszDate, DWORD dwFlags, LCID lcid) {
  std::u16string text = kp::Widen(lpszDate ? lpszDate : "", lpszDate ? std::strlen(lpszDate) : 0);
  DATE parsed = 0;
  if (text.empty() || FAILED(VarDateFromStr(text.c_str(), lcid, dwFlags, &parsed))) {
    m_dt = 0;
    m_status = invalid;
    return FALSE;
  }
  m_dt = parsed;
  m_status = valid;
  return TRUE;
}
