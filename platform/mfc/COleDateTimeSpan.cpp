// COleDateTimeSpan: a span of days as a double, with a status. Its parts are taken from the
// span rounded to the nearest second; for a negative span they are negative (C++ division).
#include <cmath>

#include "afxdisp.h"

namespace {
long long TotalSeconds(double span) {
  return std::llround(span * 86400.0);
}
}  // namespace

COleDateTimeSpan::COleDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) {
  SetDateTimeSpan(lDays, nHours, nMins, nSecs);
}

void COleDateTimeSpan::SetDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs) {
  m_span = lDays + ((nHours * 60.0 + nMins) * 60.0 + nSecs) / 86400.0;
  m_status = valid;
}

LONG COleDateTimeSpan::GetDays() const {
  return static_cast<LONG>(TotalSeconds(m_span) / 86400);
}
LONG COleDateTimeSpan::GetHours() const {
  return static_cast<LONG>(TotalSeconds(m_span) / 3600 % 24);
}
LONG COleDateTimeSpan::GetMinutes() const {
  return static_cast<LONG>(TotalSeconds(m_span) / 60 % 60);
}
LONG COleDateTimeSpan::GetSeconds() const {
  return static_cast<LONG>(TotalSeconds(m_span) % 60);
}

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& s) const {
  COleDateTimeSpan result(m_span + s.m_span);
  if (m_status != valid || s.m_status != valid) result.m_status = m_status != valid ? m_status : s.m_status;
  return result;
}

COleDateTimeSpan COleDateTimeSpan::operator-(const COleDateTimeSpan& s) const {
  return *this + (-s);
}

COleDateTimeSpan COleDateTimeSpan::operator-() const {
  COleDateTimeSpan result(-m_span);
  result.m_status = m_status;
  return result;
}

CString COleDateTimeSpan::Format(LPCTSTR pFormat) const {
  CString result;
  CString part;
  for (const char* p = pFormat ? pFormat : ""; *p; ++p) {
    if (*p != '%' || !p[1]) {
      result += *p;
      continue;
    }
    switch (*++p) {
      case 'D':
        part.Format("%d", static_cast<int>(GetDays()));
        break;
      case 'H':
        part.Format("%02d", static_cast<int>(GetHours()));
        break;
      case 'M':
        part.Format("%02d", static_cast<int>(GetMinutes()));
        break;
      case 'S':
        part.Format("%02d", static_cast<int>(GetSeconds()));
        break;
      case '%':
        part = "%";
        break;
      default:
        part = CString('%') + *p;
        break;
    }
    result += part;
  }
  return result;
}
