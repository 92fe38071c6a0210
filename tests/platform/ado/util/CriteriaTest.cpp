// Conformance tests of Recordset.Filter and Recordset.Find criteria: the documented clause
// syntax (operators, quoted strings, #dates#, numbers with '$' and exponents, [bracketed]
// names), LIKE wildcards only at the end or at both ends, AND/OR with the documented grouping
// restriction, Find's single clause, Null semantics, case-insensitive string comparison, and
// the error codes (adErrInvalidArgument 0x800A0BB9, adErrItemNotFound 0x800A0CC1).
#include "Criteria.h"

#include <gtest/gtest.h>

#include <map>

#include "TestVariant.h"
#include "TextUtil.h"
#include "UtilErrors.h"

using kp::ado::Criteria;
using kp::ado::test::Var;

namespace {

// One row of a "Parts" table: Name, Age, Weight, Born, Active, Note (Null), Last Name, Price.
struct Row {
  std::vector<std::u16string> names{u"Name",   u"Age",  u"Weight",    u"Born",
                                    u"Active", u"Note", u"Last Name", u"Price"};
  std::vector<int> types{202, 3, 5, 7, 11, 202, 202, 6};
  std::vector<Var> values;
  int IndexOf(std::u16string_view n) const {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i].size() == n.size() && kp::ado::CompareNoCase(names[i], n) == 0) return (int)i;
    return -1;
  }
};

Row SampleRow() {
  Row r;
  // Born 1995-08-24 13:30 = 34935 + 13.5/24.
  r.values = {Var::Str(u"O'Hara Smith"), Var::I4(42), Var::R8(0.1),       Var::Date(34935.5625),
              Var::Bool(true),           Var::Null(), Var::Str(u"Smith"), Var::Cy(500000)};
  return r;
}

bool Evaluate(std::u16string_view text, const Row& row, bool find = false) {
  Criteria c;
  HRESULT hr = find ? Criteria::ParseFind(text, c, nullptr) : Criteria::ParseFilter(text, c, nullptr);
  EXPECT_EQ(hr, S_OK) << std::string(text.begin(), text.end());
  EXPECT_EQ(
      c.Bind([&](std::u16string_view n) { return row.IndexOf(n); }, [&](int i) { return row.types[i]; }),
      S_OK);
  return c.Matches([&](int i) { return row.values[i].ptr(); });
}

struct MatchCase {
  std::u16string criteria;
  bool expected;
};

class FilterMatches : public testing::TestWithParam<MatchCase> {};

TEST_P(FilterMatches, AsAdoDocumentsTheClause) {
  Row row = SampleRow();
  EXPECT_EQ(Evaluate(GetParam().criteria, row), GetParam().expected)
      << std::string(GetParam().criteria.begin(), GetParam().criteria.end());
}

INSTANTIATE_TEST_SUITE_P(
    Clauses, FilterMatches,
    testing::Values(
        // Strings: single quotes, doubled embedded quote, comparison ignores case.
        MatchCase{u"Name = 'O''Hara Smith'", true}, MatchCase{u"name = 'o''hara SMITH'", true},
        MatchCase{u"Name <> 'O''Hara Smith'", false}, MatchCase{u"Name > 'N'", true},
        MatchCase{u"Name < 'o'", false}, MatchCase{u"[Last Name] = 'smith'", true},
        // Numbers: bare, decimal point, '$', exponent; the literal is taken in the field's type.
        MatchCase{u"Age = 42", true}, MatchCase{u"Age>=42", true}, MatchCase{u"Age > 42", false},
        MatchCase{u"Age <= 4.2E1", true}, MatchCase{u"Age < -1", false}, MatchCase{u"Age = '42'", true},
        MatchCase{u"Weight = 0.1", true}, MatchCase{u"Price = $50.00", true},
        MatchCase{u"Price > 49.9999", true},
        // Dates between number signs, US order; a time may follow.
        MatchCase{u"Born > #8/24/95#", true}, MatchCase{u"Born = #8/24/1995 1:30 PM#", true},
        MatchCase{u"Born < #1995-08-25#", true}, MatchCase{u"Born >= #8/25/1995#", false},
        // Booleans.
        MatchCase{u"Active = True", true}, MatchCase{u"Active = false", false},
        MatchCase{u"Active <> 0", true},
        // NULL: only = and <>.
        MatchCase{u"Note = NULL", true}, MatchCase{u"Note <> NULL", false}, MatchCase{u"Name = NULL", false},
        MatchCase{u"Name <> null", true}, MatchCase{u"Note = 'x'", false}, MatchCase{u"Note <> 'x'", false},
        // LIKE: * or % at the end, or at both ends; case ignored.
        MatchCase{u"Name LIKE 'o''h*'", true}, MatchCase{u"Name LIKE 'O''H%'", true},
        MatchCase{u"Name like '*SMITH*'", true}, MatchCase{u"Name LIKE '%ara S%'", true},
        MatchCase{u"Name LIKE '*xyz*'", false}, MatchCase{u"Name LIKE 'o''hara smith'", true},
        MatchCase{u"Name LIKE '*'", true}, MatchCase{u"Note LIKE '*'", false},
        // AND / OR, parentheses; no precedence: an OR of AND groups.
        MatchCase{u"Age = 42 AND Name LIKE 'O*'", true}, MatchCase{u"Age = 1 AND Name LIKE 'O*'", false},
        MatchCase{u"Age = 1 OR Name LIKE 'O*'", true}, MatchCase{u"Age = 1 OR Age = 2", false},
        MatchCase{u"(Age = 1 AND Active = True) OR (Age = 42 AND Active = True)", true},
        MatchCase{u"Age = 42 OR Age = 1 AND Name = 'nobody'", true},
        MatchCase{u"Age = 1 OR Age = 42 AND Name = 'nobody'", false}, MatchCase{u"((Age = 42))", true}));

struct ErrorCase {
  std::u16string criteria;
};

class FilterRejects : public testing::TestWithParam<ErrorCase> {};

TEST_P(FilterRejects, WithAdErrInvalidArgument) {
  Criteria c;
  std::u16string description = u"sentinel";
  EXPECT_EQ(Criteria::ParseFilter(GetParam().criteria, c, &description), (HRESULT)0x800A0BB9)
      << std::string(GetParam().criteria.begin(), GetParam().criteria.end());
  EXPECT_EQ(
      description,
      u"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  EXPECT_TRUE(c.FieldNames().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, FilterRejects,
    testing::Values(ErrorCase{u"Name LIKE '*ith'"},                     // wildcard only at the start
                    ErrorCase{u"Name LIKE 'S*h'"},                      // wildcard in the middle
                    ErrorCase{u"Name LIKE '*S*h*'"},                    // and one inside
                    ErrorCase{u"Age LIKE 4"},                           // LIKE needs a string
                    ErrorCase{u"(Age = 1 OR Age = 2) AND Name = 'x'"},  // documented forbidden grouping
                    ErrorCase{u"Name = 'x' AND (Age = 1 OR Age = 2)"},
                    ErrorCase{u"Age > NULL"},        // NULL only with = and <>
                    ErrorCase{u"Name = Smith"},      // unquoted text
                    ErrorCase{u"Name = 'Smith"},     // unterminated string
                    ErrorCase{u"Born = #8/24/95"},   // unterminated date
                    ErrorCase{u"Name 'x'"},          // no operator
                    ErrorCase{u"Name =="},           // no value
                    ErrorCase{u"Age = 1 AND"},       // dangling AND
                    ErrorCase{u"(Age = 1"},          // unbalanced
                    ErrorCase{u"[Last Name = 'x'"},  // unclosed bracket
                    ErrorCase{u"Last Name = 'x'"},   // blank in a bare name
                    ErrorCase{u""}));

TEST(Criteria, FindTakesExactlyOneClause) {
  Row row = SampleRow();
  EXPECT_TRUE(Evaluate(u"Name LIKE 'O*'", row, true));
  EXPECT_TRUE(Evaluate(u"Age = 42", row, true));
  Criteria c;
  std::u16string description;
  EXPECT_EQ(Criteria::ParseFind(u"Age = 42 AND Name = 'x'", c, &description), kp::ado::kErrInvalidArgument);
  EXPECT_EQ(Criteria::ParseFind(u"Age = 42 OR Age = 1", c, &description), kp::ado::kErrInvalidArgument);
  EXPECT_EQ(Criteria::ParseFind(u"(Age = 42)", c, &description), kp::ado::kErrInvalidArgument);
  EXPECT_EQ(Criteria::ParseFind(u"Name LIKE '*ab'", c, &description), kp::ado::kErrInvalidArgument);
}

TEST(Criteria, FindTakesTextBetweenNumberSignsAsAString) {
  Row row = SampleRow();
  row.values[6] = Var::Str(u"WA");
  EXPECT_TRUE(Evaluate(u"[Last Name] = #WA#", row, true));
}

TEST(Criteria, FieldNamesInClauseOrder) {
  Criteria c;
  ASSERT_EQ(Criteria::ParseFilter(u"[Last Name] = 'a' OR (Age = 1 AND [Last Name] = 'b')", c, nullptr), S_OK);
  EXPECT_EQ(c.FieldNames(), (std::vector<std::u16string>{u"Last Name", u"Age", u"Last Name"}));
}

TEST(Criteria, BindReportsUnknownFieldsAndUnconvertibleLiterals) {
  Row row = SampleRow();
  auto index = [&](std::u16string_view n) { return row.IndexOf(n); };
  auto type = [&](int i) { return row.types[i]; };
  Criteria c;
  ASSERT_EQ(Criteria::ParseFilter(u"Nosuch = 1", c, nullptr), S_OK);
  EXPECT_EQ(c.Bind(index), (HRESULT)0x800A0CC1);  // adErrItemNotFound
  EXPECT_FALSE(c.Matches([&](int i) { return row.values[i].ptr(); }));

  ASSERT_EQ(Criteria::ParseFilter(u"Age = 'abc'", c, nullptr), S_OK);
  EXPECT_EQ(c.Bind(index, type), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(c.Bind(index), S_OK);  // untyped: the literal simply never matches
  EXPECT_FALSE(c.Matches([&](int i) { return row.values[i].ptr(); }));

  ASSERT_EQ(Criteria::ParseFilter(u"Born = #not a date#", c, nullptr), S_OK);
  EXPECT_EQ(c.Bind(index, type), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(Criteria::ParseFilter(u"Age LIKE '4*'", c, nullptr), S_OK);
  EXPECT_EQ(c.Bind(index, type), DISP_E_TYPEMISMATCH);
}

TEST(Criteria, ANullValuePointerCountsAsNull) {
  Criteria c;
  ASSERT_EQ(Criteria::ParseFilter(u"Note = NULL", c, nullptr), S_OK);
  ASSERT_EQ(c.Bind([](std::u16string_view) { return 0; }), S_OK);
  EXPECT_TRUE(c.Matches([](int) -> const VARIANT* { return nullptr; }));
  Var empty = Var::Empty();
  EXPECT_TRUE(c.Matches([&](int) { return empty.ptr(); }));
}

TEST(Criteria, DatesBeforeTheEpochCompareInTimeOrder) {
  // -1.25 is 1899-12-29 06:00, later than -1.0 (1899-12-29 00:00) though smaller as a number.
  Row row = SampleRow();
  row.values[3] = Var::Date(-1.25);
  EXPECT_TRUE(Evaluate(u"Born > #12/29/1899#", row));
  EXPECT_TRUE(Evaluate(u"Born = #12/29/1899 6:00 AM#", row));
}

}  // namespace
