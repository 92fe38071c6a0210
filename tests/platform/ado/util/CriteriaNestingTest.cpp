// Deeply nested Filter, Find and Sort texts. Parentheses in a Filter nest up to
// Criteria::kMaxNesting levels (far beyond any hand-written criteria); deeper text is refused
// with adErrInvalidArgument (0x800A0BB9) and the documented message, never by exhausting the
// stack. Each hostile text is parsed in a child process, so that a stack overflow fails the one
// test instead of ending the suite; the child's exit status carries the result.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Criteria.h"
#include "SortSpec.h"
#include "TestVariant.h"
#include "UtilErrors.h"

using kp::ado::Criteria;
using kp::ado::SortSpec;
using kp::ado::test::Var;

namespace {

const std::u16string kInvalidArgumentText =
    u"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";

std::u16string Repeat(std::u16string_view part, size_t times) {
  std::u16string out;
  out.reserve(part.size() * times);
  for (size_t i = 0; i < times; ++i) out += part;
  return out;
}

// "((( a = 1 )))" with `depth` pairs of parentheses.
std::u16string Parenthesised(size_t depth, std::u16string_view clause = u"a = 1") {
  return Repeat(u"(", depth) + std::u16string(clause) + Repeat(u")", depth);
}

// "(a = 1 AND (a = 1 AND ( ... a = 1 ...)))": every level adds a node to the expression tree.
std::u16string NestedAnd(size_t depth) {
  return Repeat(u"(a = 1 AND ", depth) + u"a = 1" + Repeat(u")", depth);
}

// 0 when a Filter (or Find) parse of text answers adErrInvalidArgument with the documented
// message and leaves no clauses.
int RefusedAsInvalidArgument(const std::u16string& text, bool find) {
  Criteria c;
  std::u16string description;
  HRESULT hr =
      find ? Criteria::ParseFind(text, c, &description) : Criteria::ParseFilter(text, c, &description);
  return hr == kp::ado::kErrInvalidArgument && description == kInvalidArgumentText && c.FieldNames().empty()
             ? 0
             : 1;
}

struct DeepCase {
  const char* what;
  std::u16string text;
  bool find;
};

void PrintTo(const DeepCase& c, std::ostream* os) {
  *os << c.what;
}

class DeepCriteria : public testing::TestWithParam<DeepCase> {};

TEST_P(DeepCriteria, IsRefusedWithAdErrInvalidArgument) {
  EXPECT_EXIT(std::exit(RefusedAsInvalidArgument(GetParam().text, GetParam().find)),
              testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    TenThousandLevels, DeepCriteria,
    testing::Values(DeepCase{"FilterParentheses", Parenthesised(10000), false},
                    DeepCase{"FilterParenthesesHundredThousand", Parenthesised(100000), false},
                    DeepCase{"FilterNestedAnd", NestedAnd(10000), false},
                    DeepCase{"FilterUnclosed", Repeat(u"(", 100000), false},
                    DeepCase{"FilterOneLevelTooDeep", Parenthesised(Criteria::kMaxNesting + 1), false},
                    DeepCase{"FindParentheses", Parenthesised(10000), true}),
    [](const testing::TestParamInfo<DeepCase>& info) { return std::string(info.param.what); });

TEST(CriteriaNesting, UpToTheLimitParsesAndMatches) {
  Criteria deep;
  ASSERT_EQ(Criteria::ParseFilter(Parenthesised(Criteria::kMaxNesting, u"a = 2"), deep, nullptr), S_OK);
  ASSERT_EQ(deep.Bind([](std::u16string_view) { return 0; }), S_OK);
  Var two = Var::I4(2), three = Var::I4(3);
  EXPECT_TRUE(deep.Matches([&](int) { return two.ptr(); }));
  EXPECT_FALSE(deep.Matches([&](int) { return three.ptr(); }));

  Criteria tree;
  ASSERT_EQ(Criteria::ParseFilter(NestedAnd(Criteria::kMaxNesting), tree, nullptr), S_OK);
  EXPECT_EQ(tree.FieldNames().size(), (size_t)Criteria::kMaxNesting + 1);
  ASSERT_EQ(tree.Bind([](std::u16string_view) { return 0; }), S_OK);
  Var one = Var::I4(1);
  EXPECT_TRUE(tree.Matches([&](int) { return one.ptr(); }));
  EXPECT_FALSE(tree.Matches([&](int) { return two.ptr(); }));

  // Sequences of groups side by side do not add up: only nesting counts.
  std::u16string wide = Parenthesised(Criteria::kMaxNesting, u"a = 1");
  for (int i = 0; i < 50; ++i) wide += u" OR " + Parenthesised(Criteria::kMaxNesting, u"a = 2");
  Criteria side;
  EXPECT_EQ(Criteria::ParseFilter(wide, side, nullptr), S_OK);
}

// 0 when Sort takes the text as one key whose field is the text itself (names may hold
// parentheses, e.g. "count(*)"), which then binds to no field.
int SortTakesItAsOneUnknownName(const std::u16string& text) {
  SortSpec s;
  if (SortSpec::Parse(text, s, nullptr) != S_OK || s.Keys().size() != 1 || s.Keys()[0].field != text)
    return 1;
  return s.Bind([](std::u16string_view n) { return n == u"a" ? 0 : -1; }) == kp::ado::kErrItemNotFound ? 0
                                                                                                       : 2;
}

TEST(CriteriaNesting, SortWithTenThousandParenthesesIsAnUnknownField) {
  EXPECT_EXIT(std::exit(SortTakesItAsOneUnknownName(Parenthesised(10000, u"a"))), testing::ExitedWithCode(0),
              "");
}

}  // namespace
