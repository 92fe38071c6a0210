// COleDateTime, COleDateTimeSpan and COleCurrency against the documented facts: the DATE
// table of OLE Automation (integer part = days from 1899-12-30, the fraction always a time of
// day, also before 1899-12-30), MFC's status values and rules, strftime-style Format, and the
// currency's scaled 64-bit integer.
#include <gtest/gtest.h>

#include "afxdisp.h"

namespace {

struct DateCase {
  DATE value;
  int year, month, day, hour, minute;
};
class DateTableTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTableTest, FieldsOfTheDocumentedDates) {
  const DateCase& c = GetParam();
  COleDateTime t(c.value);
  EXPECT_EQ(t.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(t.GetYear(), c.year);
  EXPECT_EQ(t.GetMonth(), c.month);
  EXPECT_EQ(t.GetDay(), c.day);
  EXPECT_EQ(t.GetHour(), c.hour);
  EXPECT_EQ(t.GetMinute(), c.minute);
  EXPECT_EQ(t.GetSecond(), 0);
}

TEST_P(DateTableTest, ConstructionFromFieldsGivesTheDocumentedValue) {
  const DateCase& c = GetParam();
  COleDateTime t(c.year, c.month, c.day, c.hour, c.minute, 0);
  EXPECT_EQ(t.GetStatus(), COleDateTime::valid);
  // -0.5 and 0.5 are the same moment; the fields give the positive form.
  EXPECT_DOUBLE_EQ(t.m_dt, c.value > -1.0 && c.value < 0.0 ? -c.value : c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, DateTableTest,
    ::testing::Values(DateCase{0.0, 1899, 12, 30, 0, 0}, DateCase{1.0, 1899, 12, 31, 0, 0},
                      DateCase{2.0, 1900, 1, 1, 0, 0}, DateCase{5.25, 1900, 1, 4, 6, 0},
                      DateCase{-1.0, 1899, 12, 29, 0, 0}, DateCase{-1.25, 1899, 12, 29, 6, 0},
                      DateCase{0.5, 1899, 12, 30, 12, 0}, DateCase{-0.5, 1899, 12, 30, 12, 0},
                      DateCase{-2.5, 1899, 12, 28, 12, 0}, DateCase{-657434.0, 100, 1, 1, 0, 0},
                      DateCase{2958465.0, 9999, 12, 31, 0, 0}));

TEST(COleDateTimeTest, DefaultIsValidZero) {
  COleDateTime t;
  EXPECT_EQ(t.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(t.m_dt, 0.0);
  EXPECT_EQ(static_cast<int>(COleDateTime::error), -1);
  EXPECT_EQ(static_cast<int>(COleDateTime::null), 2);
}

TEST(COleDateTimeTest, FieldsOutOfRangeMakeItInvalid) {
  COleDateTime t;
  EXPECT_EQ(t.SetDateTime(1999, 2, 29, 0, 0, 0), 1);  // no normalisation
  EXPECT_EQ(t.GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(t.GetYear(), COleDateTime::error);
  EXPECT_EQ(t.SetDateTime(2000, 2, 29, 23, 59, 59), 0);
  EXPECT_EQ(t.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(COleDateTime(99, 12, 31, 0, 0, 0).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(COleDateTime(10000, 1, 1, 0, 0, 0).GetStatus(), COleDateTime::invalid);
  EXPECT_EQ(COleDateTime(2000, 1, 1, 24, 0, 0).GetStatus(), COleDateTime::invalid);
}

TEST(COleDateTimeTest, DayOfWeekAndYear) {
  COleDateTime t(1999, 3, 19, 13, 30, 0);  // a Friday
  EXPECT_EQ(t.GetDayOfWeek(), 6);          // 1 = Sunday
  EXPECT_EQ(t.GetDayOfYear(), 78);
  EXPECT_EQ(COleDateTime(0.0).GetDayOfWeek(), 7);  // 1899-12-30 was a Saturday
}

TEST(COleDateTimeTest, FieldsRoundToTheNearestSecond) {
  COleDateTime t(1.0 + 59.6 / 86400.0);
  EXPECT_EQ(t.GetMinute(), 1);
  EXPECT_EQ(t.GetSecond(), 0);
  COleDateTime endOfDay(2.0 - 0.2 / 86400.0);  // rounds into the next day
  EXPECT_EQ(endOfDay.GetDay(), 1);
  EXPECT_EQ(endOfDay.GetMonth(), 1);
  EXPECT_EQ(endOfDay.GetHour(), 0);
}

TEST(COleDateTimeTest, FormatWithStrftimeCodes) {
  COleDateTime t(1999, 3, 19, 13, 30, 5);
  EXPECT_STREQ(t.Format("%A, %B %d, %Y"), "Friday, March 19, 1999");
  EXPECT_STREQ(t.Format("%Y-%m-%d %H:%M:%S"), "1999-03-19 13:30:05");
  EXPECT_STREQ(t.Format("%#m/%#d/%Y %%"), "3/19/1999 %");
  EXPECT_STREQ(COleDateTime(-1.25).Format("%Y-%m-%d %H:%M"), "1899-12-29 06:00");
}

TEST(COleDateTimeTest, DefaultFormatIsTheLocaleTextWithMidnightAndDateZeroRules) {
  EXPECT_STREQ(COleDateTime(1999, 3, 19, 13, 30, 0).Format(), "1999/3/19 13:30:00");
  EXPECT_STREQ(COleDateTime(1999, 3, 19, 0, 0, 0).Format(), "1999/3/19");  // midnight: date only
  EXPECT_STREQ(COleDateTime(0.5).Format(), "12:00:00");                    // date part 0: time only
  EXPECT_STREQ(COleDateTime(0.0).Format(), "0:00:00");
  EXPECT_STREQ(COleDateTime(1999, 3, 19, 13, 30, 0).Format(VAR_DATEVALUEONLY), "1999/3/19");
}

TEST(COleDateTimeTest, NullAndInvalidFormat) {
  COleDateTime t;
  t.SetStatus(COleDateTime::null);
  EXPECT_STREQ(t.Format(), "");
  EXPECT_STREQ(t.Format("%Y"), "");
  t.SetStatus(COleDateTime::invalid);
  EXPECT_STREQ(t.Format(), "Invalid DateTime");
}

TEST(COleDateTimeTest, ParseDateTime) {
  COleDateTime t;
  EXPECT_TRUE(t.ParseDateTime("1999-03-19 13:30:05"));
  EXPECT_EQ(t.GetStatus(), COleDateTime::valid);
  EXPECT_EQ(t, COleDateTime(1999, 3, 19, 13, 30, 5));
  EXPECT_FALSE(t.ParseDateTime("不是日期"));
  EXPECT_EQ(t.GetStatus(), COleDateTime::invalid);
  EXPECT_FALSE(t.ParseDateTime(""));
}

TEST(COleDateTimeTest, ComparisonAndSpansAcrossTheEpoch) {
  COleDateTime before(-1.25), after(-1.0);  // 06:00 on 12-29 is after 00:00 on 12-29
  EXPECT_TRUE(after < before);
  COleDateTimeSpan span = before - after;
  EXPECT_DOUBLE_EQ(span.GetTotalHours(), 6.0);
  COleDateTime crossed = COleDateTime(-1.25) + COleDateTimeSpan(1, 12, 0, 0);  // 1899-12-30 18:00
  EXPECT_DOUBLE_EQ(crossed.m_dt, 0.75);
  COleDateTime back = crossed - COleDateTimeSpan(2, 0, 0, 0);  // 1899-12-28 18:00
  EXPECT_DOUBLE_EQ(back.m_dt, -2.75);
}

TEST(COleDateTimeSpanTest, PartsAndFormat) {
  COleDateTimeSpan s(3, 4, 5, 6);
  EXPECT_EQ(s.GetDays(), 3);
  EXPECT_EQ(s.GetHours(), 4);
  EXPECT_EQ(s.GetMinutes(), 5);
  EXPECT_EQ(s.GetSeconds(), 6);
  EXPECT_STREQ(s.Format("%D:%H:%M:%S"), "3:04:05:06");
  EXPECT_EQ((-s).GetHours(), -4);
}

// --- COleCurrency ------------------------------------------------------------------------------

TEST(COleCurrencyTest, UnitsAndFractionScaleByTenThousand) {
  COleCurrency c(4, 5000);
  EXPECT_EQ(c.m_cur.int64, 45000);
  EXPECT_EQ(c.GetStatus(), COleCurrency::valid);
  c.SetCurrency(-1, -2500);
  EXPECT_EQ(c.m_cur.int64, -12500);
  EXPECT_EQ(static_cast<int>(COleCurrency::null), 2);
}

TEST(COleCurrencyTest, FormatAndParse) {
  EXPECT_STREQ(COleCurrency(4, 5000).Format(), "4.5");
  EXPECT_STREQ(COleCurrency(-1, -2500).Format(), "-1.25");
  COleCurrency c;
  EXPECT_TRUE(c.ParseCurrency("12.3456"));
  EXPECT_EQ(c.m_cur.int64, 123456);
  EXPECT_FALSE(c.ParseCurrency("abc"));
  EXPECT_EQ(c.GetStatus(), COleCurrency::invalid);
}

TEST(COleCurrencyTest, ArithmeticAndOverflow) {
  COleCurrency a(2, 0), b(0, 5000);
  EXPECT_EQ((a + b).m_cur.int64, 25000);
  EXPECT_EQ((a - b).m_cur.int64, 15000);
  EXPECT_EQ((a * 3).m_cur.int64, 60000);
  EXPECT_EQ((a / 4).m_cur.int64, 5000);
  EXPECT_TRUE(b < a);
  CY max;
  max.int64 = INT64_MAX;
  EXPECT_EQ((COleCurrency(max) + b).GetStatus(), COleCurrency::invalid);
  EXPECT_EQ((COleCurrency(max) * 2).GetStatus(), COleCurrency::invalid);
  EXPECT_EQ((a / 0).GetStatus(), COleCurrency::invalid);
  COleCurrency n;
  n.SetStatus(COleCurrency::null);
  EXPECT_EQ((a + n).GetStatus(), COleCurrency::null);
}

}  // namespace
