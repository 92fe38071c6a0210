// Conformance of the DATE <-> SYSTEMTIME conversions with the documented DATE table: the
// integer part counts days from 1899-12-30, the fraction is always a time of day (also for
// negative values), valid years run from 100 to 9999.
#include <gtest/gtest.h>

#include "oleauto.h"

namespace {

struct DateRow {
  double date;
  WORD year, month, day, hour, minute;
  bool reversible;  // SystemTimeToVariantTime gives the same DATE back
};

void PrintTo(const DateRow& r, std::ostream* os) {
  *os << "DATE " << r.date;
}

class DateTable : public ::testing::TestWithParam<DateRow> {};

TEST_P(DateTable, MatchesTheDocumentedCalendarDate) {
  const DateRow& r = GetParam();
  SYSTEMTIME st;
  std::memset(&st, 0xEE, sizeof st);
  ASSERT_TRUE(VariantTimeToSystemTime(r.date, &st));
  EXPECT_EQ(st.wYear, r.year);
  EXPECT_EQ(st.wMonth, r.month);
  EXPECT_EQ(st.wDay, r.day);
  EXPECT_EQ(st.wHour, r.hour);
  EXPECT_EQ(st.wMinute, r.minute);
  EXPECT_EQ(st.wSecond, 0);
  EXPECT_EQ(st.wMilliseconds, 0);
  double back = 12345.0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
  if (r.reversible) {
    EXPECT_EQ(back, r.date);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reference, DateTable,
    ::testing::Values(DateRow{0.0, 1899, 12, 30, 0, 0, true}, DateRow{1.0, 1899, 12, 31, 0, 0, true},
                      DateRow{2.0, 1900, 1, 1, 0, 0, true}, DateRow{5.25, 1900, 1, 4, 6, 0, true},
                      DateRow{-1.0, 1899, 12, 29, 0, 0, true}, DateRow{-1.25, 1899, 12, 29, 6, 0, true},
                      DateRow{0.5, 1899, 12, 30, 12, 0, true},
                      DateRow{-0.5, 1899, 12, 30, 12, 0, false},  // same time as 0.5
                      DateRow{-2.5, 1899, 12, 28, 12, 0, true}, DateRow{-657434.0, 100, 1, 1, 0, 0, true},
                      DateRow{2958465.0, 9999, 12, 31, 0, 0, true},
                      DateRow{51302.75, 2040, 6, 15, 18, 0, true},  // after 2038
                      DateRow{-36522.0, 1800, 1, 1, 0, 0, true}));  // before 1900

TEST(Date, OutsideTheValidRangeFails) {
  SYSTEMTIME st{};
  EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
  EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
  SYSTEMTIME early{99, 12, 0, 31, 0, 0, 0, 0};
  double d = 7.0;
  EXPECT_FALSE(SystemTimeToVariantTime(&early, &d));
  SYSTEMTIME feb30{2023, 2, 0, 30, 0, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToVariantTime(&feb30, &d));
  EXPECT_EQ(d, 7.0);
}

TEST(Date, RoundsToTheNearestSecondAndFillsDayOfWeek) {
  SYSTEMTIME st{};
  // 1900-01-01 23:59:59.6 rounds up to the next midnight.
  ASSERT_TRUE(VariantTimeToSystemTime(2.0 + 86399.6 / 86400.0, &st));
  EXPECT_EQ(st.wDay, 2);
  EXPECT_EQ(st.wHour, 0);
  EXPECT_EQ(st.wDayOfWeek, 2);  // 1900-01-02 was a Tuesday
  SYSTEMTIME ms{2024, 3, 0, 5, 13, 4, 5, 999};
  double d;
  ASSERT_TRUE(SystemTimeToVariantTime(&ms, &d));  // milliseconds are ignored
  ASSERT_TRUE(VariantTimeToSystemTime(d, &st));
  EXPECT_EQ(st.wSecond, 5);
}

}  // namespace
