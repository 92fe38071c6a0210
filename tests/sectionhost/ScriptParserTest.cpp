// The batch script's line rules and command parsing (docs/sectionhost.md, "Scripts").
#include "sectionhost/script/ScriptParser.h"

#include <gtest/gtest.h>

namespace sectionhost {
namespace {

TEST(ScriptLines, LineIsTextUpToLfLessOneCr) {
  auto lines = ScriptParser::SplitLines("a\r\nb\r\r\n c \nlast");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].text, "a");
  EXPECT_EQ(lines[1].text, "b\r");  // only one CR goes
  EXPECT_EQ(lines[2].text, " c ");  // nothing else is trimmed
  EXPECT_EQ(lines[3].text, "last");
  EXPECT_EQ(lines[3].number, 4);
}

TEST(ScriptLines, FinalLfMakesNoEmptyLineAndCrWithoutLfStays) {
  auto lines = ScriptParser::SplitLines("x\n\ny\r");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].text, "");
  EXPECT_EQ(lines[2].text, "y\r");
  EXPECT_TRUE(ScriptParser::SplitLines("").empty());
}

TEST(ScriptLines, CommentsAndEmptyLinesAreSkipped) {
  EXPECT_TRUE(ScriptParser::IsSkipped(""));
  EXPECT_TRUE(ScriptParser::IsSkipped("# note"));
  EXPECT_TRUE(ScriptParser::IsSkipped("#"));
  EXPECT_FALSE(ScriptParser::IsSkipped(" # not a comment"));
  EXPECT_FALSE(ScriptParser::IsSkipped(" "));
}

TEST(ScriptParse, LaunchAndTextTakeEverythingAfterOneSpace) {
  std::string error;
  auto c = ScriptParser::Parse("launch 选择顶底板生成剖面地层/dsi", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->kind, ScriptCommand::Launch);
  EXPECT_EQ(c->text, "选择顶底板生成剖面地层/dsi");
  c = ScriptParser::Parse("text  y ", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->kind, ScriptCommand::Text);
  EXPECT_EQ(c->text, " y ");
  c = ScriptParser::Parse("text", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->text, "");
}

TEST(ScriptParse, PickKeepsOrderAndDuplicates) {
  std::string error;
  auto c = ScriptParser::Parse("pick 5 3 5 -1", &error);
  ASSERT_TRUE(c) << error;
  EXPECT_EQ(c->ids, (std::vector<int32_t>{5, 3, 5, -1}));
}

TEST(ScriptParse, KeysEventsAndCodes) {
  std::string error;
  auto c = ScriptParser::Parse("key esc", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->code, 0x1B);
  c = ScriptParser::Parse("key 0x0d", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->code, 13);
  c = ScriptParser::Parse("event 11", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->kind, ScriptCommand::Event);
  EXPECT_EQ(c->p1, 0);
  EXPECT_EQ(c->p2, 0);
  c = ScriptParser::Parse("event 7 27 -3", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->p1, 27);
  EXPECT_EQ(c->p2, -3);
  c = ScriptParser::Parse("state 1001 0x7FFFFFFF", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->code, 1001);
  EXPECT_EQ(c->p1, 0x7FFFFFFF);
  c = ScriptParser::Parse("gate blocked 1001", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->gate, ScriptCommand::GateBlocked);
  EXPECT_EQ(c->code, 1001);
  c = ScriptParser::Parse("dialog select 2", &error);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->dialog, ScriptCommand::DialogSelect);
  EXPECT_EQ(ScriptParser::DialogText(*c), "select 2");
}

TEST(ScriptParse, ParseInt32TakesDecimalAndHexBitPatterns) {
  int32_t v = 0;
  EXPECT_TRUE(ScriptParser::ParseInt32("-2147483648", &v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_TRUE(ScriptParser::ParseInt32("0xFFFFFFFF", &v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(ScriptParser::ParseInt32("2147483648", &v));
  EXPECT_FALSE(ScriptParser::ParseInt32("0x100000000", &v));
  EXPECT_FALSE(ScriptParser::ParseInt32("12a", &v));
  EXPECT_FALSE(ScriptParser::ParseInt32("0x", &v));
  EXPECT_FALSE(ScriptParser::ParseInt32("-", &v));
}

class MalformedLine : public testing::TestWithParam<const char*> {};

TEST_P(MalformedLine, IsRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(ScriptParser::Parse(GetParam(), &error));
  EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Lines, MalformedLine,
                         testing::Values("launch", "launch ", "pick", "pick 1 x", "key", "key enter",
                                         "key 1 2", "event", "event 21", "event 21 0 0", "event 1 2 3 4",
                                         "status", "status 1 2", "state 1", "gate", "gate blocked",
                                         "gate open 3", "gate ajar", "dialog", "dialog select",
                                         "dialog select -1", "dialog ok now", "dialog jump", "frobnicate",
                                         "Launch dsi", " launch dsi"));

}  // namespace
}  // namespace sectionhost
