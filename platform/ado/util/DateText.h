// Conversions between the OLE Automation DATE (days since 1899-12-30, the fraction as the time
// of day, taken as an absolute value for dates before 1899-12-30) and the date texts ADO reads
// and writes: the XML persistence form "yyyy-mm-ddThh:mm:ss" and the US form "m/d/yyyy
// [h:mm[:ss] [AM|PM]]" of #date# literals in Filter and Find criteria. Times are kept to whole
// seconds (rounded), as the persistence format and ADO's criteria carry them. Valid years are
// 100-9999, the range of DATE.
#pragma once
#include <string>
#include <string_view>

#include "wtypes.h"

namespace kp::ado {

struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

class DateText {
 public:
  // false when a part is out of range (month 1-12, day within the month, hour 0-23, ...).
  static bool ToDate(const DateParts& parts, DATE& out);
  // false when the value lies outside the DATE range (years 100-9999).
  static bool FromDate(DATE value, DateParts& out);

  // "yyyy-mm-ddThh:mm:ss", "yyyy-mm-dd" (midnight) or "hh:mm:ss" (on 1899-12-30); an optional
  // fraction of a second is accepted and rounded, a trailing 'Z' or offset is ignored.
  static bool ParseIso(std::u16string_view text, DATE& out);
  // Which parts FormatIso writes.
  enum class Form { DateTime, DateOnly, TimeOnly };
  static std::u16string FormatIso(DATE value, Form form = Form::DateTime);

  // A criteria date: "m/d/yyyy", "m/d/yy" (yy 00-29 is 20yy, 30-99 is 19yy, as OLE Automation
  // reads two-digit years) or an ISO date, optionally followed by a blank and a time "h:mm",
  // "h:mm:ss", with "AM"/"PM"; or a time alone. Fractions of a second are refused, as ADO
  // refuses them in criteria.
  static bool ParseCriteria(std::u16string_view text, DATE& out);
};

}  // namespace kp::ado
