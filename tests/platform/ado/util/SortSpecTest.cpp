// Conformance tests of Recordset.Sort keys: comma-separated names with optional ASC/DESC
// (ascending by default), "" for no sort, fields named ASC/DESC refused; ordering with Null
// first in ascending keys, strings without regard to case, and a stable order for equal rows.
#include "SortSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "TestVariant.h"
#include "UtilErrors.h"

using kp::ado::SortSpec;
using kp::ado::test::Var;

namespace {

struct ParseCase {
  std::u16string text;
  std::vector<std::pair<std::u16string, bool>> keys;  // field, descending
};

class SortParse : public testing::TestWithParam<ParseCase> {};

TEST_P(SortParse, GivesTheKeys) {
  SortSpec s;
  ASSERT_EQ(SortSpec::Parse(GetParam().text, s, nullptr), S_OK);
  std::vector<std::pair<std::u16string, bool>> got;
  for (const auto& k : s.Keys()) got.emplace_back(k.field, k.descending);
  EXPECT_EQ(got, GetParam().keys);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, SortParse,
    testing::Values(ParseCase{u"Country DESC, City", {{u"Country", true}, {u"City", false}}},
                    ParseCase{u"a ASC,b desc , [c d]", {{u"a", false}, {u"b", true}, {u"c d", false}}},
                    ParseCase{u"[Last Name] DESC", {{u"Last Name", true}}},
                    ParseCase{u"Last Name DESC", {{u"Last Name", true}}}, ParseCase{u"", {}},
                    ParseCase{u"   ", {}}));

TEST(SortSpec, RefusesEmptyItemsAndFieldsNamedAscOrDesc) {
  for (std::u16string text : {u"a,,b", u"a,", u",a", u"ASC", u"a, desc", u"[a"}) {
    SortSpec s;
    std::u16string description;
    EXPECT_EQ(SortSpec::Parse(text, s, &description), (HRESULT)0x800A0BB9)
        << std::string(text.begin(), text.end());
    EXPECT_TRUE(s.Empty());
    EXPECT_FALSE(description.empty());
  }
}

TEST(SortSpec, BindReportsAnUnknownField) {
  SortSpec s;
  ASSERT_EQ(SortSpec::Parse(u"a, zz", s, nullptr), S_OK);
  EXPECT_EQ(s.Bind([](std::u16string_view n) { return n == u"a" ? 0 : -1; }), kp::ado::kErrItemNotFound);
}

TEST(SortSpec, StableSortNullsFirstCaseInsensitive) {
  // Columns: 0 = City (string), 1 = Pop (number, with Nulls).
  std::vector<std::vector<Var>> rows = {{Var::Str(u"b"), Var::I4(5)},  {Var::Str(u"A"), Var::Null()},
                                        {Var::Str(u"a"), Var::I4(7)},  {Var::Str(u"B"), Var::R8(5.0)},
                                        {Var::Str(u"c"), Var::Null()}, {Var::Str(u"a"), Var::I4(1)}};
  auto sorted = [&](std::u16string_view text) {
    SortSpec s;
    EXPECT_EQ(SortSpec::Parse(text, s, nullptr), S_OK);
    EXPECT_EQ(s.Bind([](std::u16string_view n) { return n == u"City" ? 0 : n == u"Pop" ? 1 : -1; }), S_OK);
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
      return s.Compare([&](int f) { return rows[x][f].ptr(); }, [&](int f) { return rows[y][f].ptr(); }) < 0;
    });
    return order;
  };
  EXPECT_EQ(sorted(u"Pop"), (std::vector<int>{1, 4, 5, 0, 3, 2}));  // Nulls first, 5 == 5.0 stays in order
  EXPECT_EQ(sorted(u"Pop DESC"), (std::vector<int>{2, 0, 3, 5, 1, 4}));  // Nulls last
  EXPECT_EQ(sorted(u"City"), (std::vector<int>{1, 2, 5, 0, 3, 4}));      // "A" == "a": original order
  EXPECT_EQ(sorted(u"City, Pop DESC"), (std::vector<int>{2, 5, 1, 0, 3, 4}));
}

TEST(SortSpec, MixedKindsOrderNullNumbersStringsBinary) {
  SortSpec s;
  ASSERT_EQ(SortSpec::Parse(u"v", s, nullptr), S_OK);
  ASSERT_EQ(s.Bind([](std::u16string_view) { return 0; }), S_OK);
  std::vector<Var> values = {Var::Bytes({1}), Var::Str(u"10"), Var::I4(100), Var::Null(), Var::Date(2.0)};
  auto cmp = [&](int a, int b) {
    return s.Compare([&](int) { return values[a].ptr(); }, [&](int) { return values[b].ptr(); });
  };
  EXPECT_LT(cmp(3, 4), 0);  // Null < date
  EXPECT_LT(cmp(4, 2), 0);  // date 2.0 < 100 (numeric value)
  EXPECT_LT(cmp(2, 1), 0);  // number < string
  EXPECT_LT(cmp(1, 0), 0);  // string < binary
  EXPECT_EQ(cmp(3, 3), 0);
}

}  // namespace
