// Conformance tests of the DATE conversions: the documented DATE table (0.0 = 1899-12-30,
// negative values with the fraction as a time of day), the persistence text
// "yyyy-mm-ddThh:mm:ss" and the US-ordered #date# literals of criteria.
#include "DateText.h"

#include <gtest/gtest.h>

using kp::ado::DateText;

namespace {

struct DateCase {
  DATE value;
  std::u16string iso;
};

class DateIso : public testing::TestWithParam<DateCase> {};

TEST_P(DateIso, FormatsAndParsesTheDocumentedValues) {
  EXPECT_EQ(DateText::FormatIso(GetParam().value), GetParam().iso);
  DATE back = 12345.678;
  ASSERT_TRUE(DateText::ParseIso(GetParam().iso, back));
  EXPECT_DOUBLE_EQ(back, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    DocumentedTable, DateIso,
    testing::Values(DateCase{0.0, u"1899-12-30T00:00:00"}, DateCase{1.0, u"1899-12-31T00:00:00"},
                    DateCase{2.0, u"1900-01-01T00:00:00"}, DateCase{5.25, u"1900-01-04T06:00:00"},
                    DateCase{-1.0, u"1899-12-29T00:00:00"}, DateCase{-1.25, u"1899-12-29T06:00:00"},
                    DateCase{-2.5, u"1899-12-28T12:00:00"}, DateCase{0.5, u"1899-12-30T12:00:00"},
                    DateCase{38047.354166666664, u"2004-03-01T08:30:00"},
                    DateCase{-657434.0, u"0100-01-01T00:00:00"},
                    DateCase{2958465.0, u"9999-12-31T00:00:00"}));

TEST(DateText, HalfDayBeforeTheEpochIsTheSameTimeOfDay) {
  EXPECT_EQ(DateText::FormatIso(-0.5), u"1899-12-30T12:00:00");
}

TEST(DateText, IsoFormsAndRefusals) {
  DATE d = -99;
  EXPECT_TRUE(DateText::ParseIso(u"2004-02-11", d));
  EXPECT_DOUBLE_EQ(d, 38028.0);
  EXPECT_TRUE(DateText::ParseIso(u"08:30:00", d));
  EXPECT_DOUBLE_EQ(d, 8.5 / 24);
  EXPECT_TRUE(DateText::ParseIso(u"2004-03-01T08:30:00.4", d));  // fraction rounded away
  EXPECT_EQ(DateText::FormatIso(d), u"2004-03-01T08:30:00");
  EXPECT_FALSE(DateText::ParseIso(u"2004-02-30", d));
  EXPECT_FALSE(DateText::ParseIso(u"10000-01-01", d));
  EXPECT_FALSE(DateText::ParseIso(u"2004/03/01", d));
  EXPECT_EQ(DateText::FormatIso(38047.5, DateText::Form::DateOnly), u"2004-03-01");
  EXPECT_EQ(DateText::FormatIso(38047.5, DateText::Form::TimeOnly), u"12:00:00");
  EXPECT_EQ(DateText::FormatIso(3e7), u"");  // outside the DATE range
}

struct CriteriaDateCase {
  std::u16string text;
  DATE value;
};

class CriteriaDates : public testing::TestWithParam<CriteriaDateCase> {};

TEST_P(CriteriaDates, ReadAsUsDates) {
  DATE d = -99;
  ASSERT_TRUE(DateText::ParseCriteria(GetParam().text, d))
      << std::string(GetParam().text.begin(), GetParam().text.end());
  EXPECT_DOUBLE_EQ(d, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    UsOrder, CriteriaDates,
    testing::Values(CriteriaDateCase{u"7/22/97", 35633.0}, CriteriaDateCase{u"8/24/95", 34935.0},
                    CriteriaDateCase{u"1/1/29", 47119.0}, CriteriaDateCase{u"1/1/30", 10959.0},
                    CriteriaDateCase{u"8/24/1995 1:30 PM", 34935.5625},
                    CriteriaDateCase{u"8/24/1995 13:30:00", 34935.5625},
                    CriteriaDateCase{u"12/29/1899 12:00 AM", -1.0}, CriteriaDateCase{u"1995-08-24", 34935.0},
                    CriteriaDateCase{u"6:00", 0.25}));

TEST(DateText, CriteriaRefuseFractionsAndBadDates) {
  DATE d;
  EXPECT_FALSE(DateText::ParseCriteria(u"8/24/1995 1:30:00.5", d));  // fractions of a second: not supported
  EXPECT_FALSE(DateText::ParseCriteria(u"13/1/1995", d));
  EXPECT_FALSE(DateText::ParseCriteria(u"WA", d));
  EXPECT_FALSE(DateText::ParseCriteria(u"8/24/1995 13:30 PM", d));
}

}  // namespace
