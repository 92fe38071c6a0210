// The stratum-name dialog and table dcmc driven through the host: the list in dcbm order with
// blank, "无" and NULL names left out, trimmed names and codes, reconnecting, the ways the dialog
// closes and the code each hands to the build, and the failures the user sees (no data-link
// file, a data-link file naming a missing database, a table without dcbm, an empty table, the
// connection dropped in the middle of the load).
//
// The lexicon is an SQLite database in the run's folder reached through isoDB.udl there (see
// HostSession); the code that reaches the build is read back from the stratum in the written map.
#include <gtest/gtest.h>

#include <sstream>

#include "HostSession.h"
#include "StratumTexts.h"

namespace stratumtest {
namespace {

const std::string kOpened = kLaunched + "> pick 1 2\n[dialog] " + kDialogCaption + "\n";
const std::string kAfterOk = "[dialog] closed: OK\n" + kBuilt + "\n" + kAskYes + "\n";

// "> dialog VERB" and the host's "[dialog] VERB".
std::string Action(const std::string& verb) {
  return "> dialog " + verb + "\n[dialog] " + verb + "\n";
}

// The rows as the host prints them.
std::string Rows(const std::vector<std::string>& names) {
  std::string rows;
  for (size_t i = 0; i < names.size(); ++i) rows += "[dialog] " + std::to_string(i) + ": " + names[i] + "\n";
  return rows;
}

// The code of the one stratum built by the run.
std::string BuiltCode(const HostRun& run) {
  std::vector<nlohmann::json> strata = run.Strata();
  if (strata.size() != 1) {
    ADD_FAILURE() << strata.size() << " strata built:\n" << run.out;
    return "?";
  }
  return strata[0]["properties"]["code"];
}

class Dialog : public testing::Test {
 protected:
  HostSession host_;
};

// Rows inserted out of dcbm order, among them a blank name, "无", a NULL name and an empty name
// (all left out with their codes), names and codes with blanks and tabs around them, a NULL code
// and two equal names.
const std::vector<LexiconRow> kMixedLexicon = {{"泥岩", "MS", 20},
                                               {"  ", "X1", 5},
                                               {"无", "X2", 1},
                                               {std::nullopt, "X3", 2},
                                               {"砂岩", "SS", 10},
                                               {" 灰岩\t", " LS\t", 30},
                                               {"页岩", std::nullopt, 40},
                                               {"砂岩", "SS2", 50},
                                               {"", "X4", 3},
                                               {"无", "X5", 60}};
const std::vector<std::string> kMixedNames = {"砂岩", "泥岩", "灰岩", "页岩", "砂岩"};

class DialogRow : public testing::TestWithParam<std::pair<int, std::string>> {
 protected:
  HostSession host_;
};

TEST_P(DialogRow, ListsTheNamesInOrderAndHandsBackTheRowsOwnCode) {
  host_.WriteLexicon(kMixedLexicon);
  const std::string select = "select " + std::to_string(GetParam().first);
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog " + select + "\ndialog ok\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            kOpened + Action("connect") + Rows(kMixedNames) + Action(select) + Action("ok") + kAfterOk);
  EXPECT_EQ(BuiltCode(run), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(MixedLexicon, DialogRow,
                         testing::Values(std::make_pair(0, "SS"), std::make_pair(1, "MS"),
                                         std::make_pair(2, "LS"), std::make_pair(3, ""),
                                         std::make_pair(4, "SS2")));

// How the dialog is closed decides the code: OK takes the selected row's code or, with no row
// selected, empty text; Cancel, Esc and the close box leave the earlier result ("" at first).
struct ClosingCase {
  const char* name;
  std::string actions;  // dialog verbs, one per line
  bool ok;
  std::string code;
};

class Closing : public testing::TestWithParam<ClosingCase> {
 protected:
  HostSession host_;
};

TEST_P(Closing, DecidesTheCodeHandedToTheBuild) {
  const ClosingCase& c = GetParam();
  std::string script = "launch dsi\npick 1 2\n";
  std::istringstream actions(c.actions);
  for (std::string verb; std::getline(actions, verb);) script += "dialog " + verb + "\n";
  HostRun run = host_.Run(script);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(c.ok ? "[dialog] closed: OK\n" + kBuilt : "[dialog] closed: Cancel\n" + kBuilt),
            std::string::npos)
      << run.out;
  EXPECT_EQ(BuiltCode(run), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, Closing,
    testing::Values(ClosingCase{"OkBeforeConnect", "ok", true, ""},
                    ClosingCase{"OkWithNoRowSelected", "connect\nok", true, ""},
                    ClosingCase{"OkWithARow", "connect\nselect 2\nok", true, "LS"},
                    ClosingCase{"OkAfterChangingTheSelection", "connect\nselect 0\nselect 1\nok", true, "MS"},
                    ClosingCase{"DoubleClickKeepsItOpenThenEnter", "connect\ndblclick 2\nenter", true, "LS"},
                    ClosingCase{"CancelFirst", "connect\nselect 1\ncancel", false, ""},
                    ClosingCase{"EscFirst", "connect\nselect 1\nesc", false, ""},
                    ClosingCase{"CloseBoxFirst", "connect\nselect 1\nclose", false, ""},
                    ClosingCase{"EndOfScriptFirst", "connect\nselect 1", false, ""}),
    [](const testing::TestParamInfo<ClosingCase>& info) { return info.param.name; });

// Cancel keeps the code of the last OK; a second opening shows an empty list until connect.
TEST_F(Dialog, CancelAfterAnEarlierOkKeepsThatCodeAndTheListStartsEmptyEachTime) {
  HostRun run = host_.Run(
      "launch dsi\npick 1 2\ndialog connect\ndialog select 1\ndialog ok\ntext n\n"
      "launch dsi\npick 1 2\ndialog cancel\ntext n\n");
  std::vector<nlohmann::json> strata = run.Strata();
  ASSERT_EQ(strata.size(), 2u) << run.out;
  EXPECT_EQ(strata[0]["properties"]["code"], "MS");
  EXPECT_EQ(strata[1]["properties"]["code"], "MS");
  const std::string second = kLaunched + "> pick 1 2\n[dialog] " + kDialogCaption + "\n" + Action("cancel") +
                             "[dialog] closed: Cancel\n" + kBuilt + "\n" + kAskNo + "\n";
  EXPECT_NE(run.out.find(second), std::string::npos) << run.out;
}

// Connecting twice closes and reopens the connection and loads the list from scratch: the same
// rows, not twice as many, and the codes still at the names' indices.
TEST_F(Dialog, ConnectingTwiceDoesNotGrowTheList) {
  HostRun run =
      host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog connect\ndialog select 2\ndialog ok\n");
  const std::vector<std::string> names = {"砂岩", "泥岩", "灰岩"};
  EXPECT_EQ(run.out, kOpened + Action("connect") + Rows(names) + Action("connect") + Rows(names) +
                         Action("select 2") + Action("ok") + kAfterOk);
  EXPECT_EQ(BuiltCode(run), "LS");
}

TEST_F(Dialog, AnEmptyTableGivesAnEmptyListAndNoMessage) {
  host_.WriteLexicon({});
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog select 0\ndialog ok\n");
  EXPECT_EQ(run.out, kOpened + Action("connect") + Action("select 0") + Action("ok") + kAfterOk);
  EXPECT_EQ(BuiltCode(run), "");
}

// A failed connect shows one message naming the data-link file (the configuration directory
// followed by "isoDB.udl"); the list stays empty and the dialog stays open.
TEST_F(Dialog, WithoutTheDataLinkFileTheMessageNamesItAndTheDialogStaysOpen) {
  host_.RemoveUdl();
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog select 0\ndialog ok\n");
  EXPECT_EQ(run.out, kOpened + Action("connect") +
                         "[message box] kpSect03StratumSel: 未成功连接数据库－UDL 数据库连接方式: 文件 " +
                         host_.Dir() + "isoDB.udl 不存在或配置不正确!\n" + Action("select 0") + Action("ok") +
                         kAfterOk);
  EXPECT_EQ(BuiltCode(run), "");
}

TEST_F(Dialog, ADataLinkFileNamingAMissingDatabaseFailsTheSameWay) {
  host_.WriteUdl(host_.PathOf("missing.sqlite"));
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog ok\n");
  EXPECT_EQ(run.out, kOpened + Action("connect") +
                         "[message box] kpSect03StratumSel: 未成功连接数据库－UDL 数据库连接方式: 文件 " +
                         host_.Dir() + "isoDB.udl 不存在或配置不正确!\n" + Action("ok") + kAfterOk);
}

// The query fails: the database layer's own error report is the only message; the list stays.
TEST_F(Dialog, ATableWithoutDcbmShowsTheLayersReportAndAnEmptyList) {
  host_.ExecSql(
      "DROP TABLE dcmc; CREATE TABLE dcmc (dcmc TEXT, dcdm TEXT); INSERT INTO dcmc VALUES ('砂岩', 'SS');");
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog select 0\ndialog ok\n");
  const std::string head =
      kOpened + Action("connect") + "[message box] kpSect03StratumSel: CADORecordset Error\\n";
  ASSERT_EQ(run.out.substr(0, head.size()), head) << run.out;
  EXPECT_NE(run.out.find("no such column: dcbm"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("[dialog] 0:"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(Action("select 0") + Action("ok") + kAfterOk), std::string::npos) << run.out;
  EXPECT_EQ(BuiltCode(run), "");
}

// The connection drops while the names are read (the ADO fault switch fails the N-th fetch or
// move of the connection). With the three rows of the default lexicon the client cursor makes 4
// fetches, then the load makes MoveFirst (5) and a MoveNext after each row (6, 7, 8): failing
// the 7th leaves the two rows read before it. One message, the dialog stays open, and nothing
// leaves the button handler (the host would print "[error]" and exit with 3).
TEST_F(Dialog, AConnectionLostDuringTheLoadKeepsTheRowsReadSoFar) {
  host_.SetEnv("KP_ADO_FAULT_MOVE", "7");
  HostRun run = host_.Run("launch dsi\npick 1 2\ndialog connect\ndialog select 1\ndialog ok\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kOpened + Action("connect") +
                         "[message box] 提示: 数据库可能已经断开,\\r\\n请重新连接、然后重试.\n" +
                         Rows({"砂岩", "泥岩"}) + Action("select 1") + Action("ok") + kAfterOk);
  EXPECT_EQ(BuiltCode(run), "MS");
}

}  // namespace
}  // namespace stratumtest
