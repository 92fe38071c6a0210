// The whole command with its lexicon on SQLite under failure: the plug-in loaded in process by
// the reference host's session engine, run as a user runs it (launch "dsi", pick curves 1 and
// 2, press "连接数据库" in the stratum dialog, choose 泥岩, answer the delete question), with the
// Nth SQLite allocation, read, write or sync failing, for every N the session reaches, once
// failing that call only and once every call from it on. The plug-in links the same SQLite as
// this executable, so the injector reaches the plug-in's connection.
//
// The user reacts to what the dialog shows: when a press of "连接数据库" leaves the list empty,
// they press it once more; when that fails too, they cancel the dialog and answer "n" (keep the
// curves); when the names are listed, they choose 泥岩 and answer "y". What each run must show:
// - no crash, no leak (the sanitizer build checks) and no exception out of the plug-in;
// - each press either lists every name of the lexicon, with no message, or lists none and
//   shows exactly one of the module's failure texts (the connect message naming isoDB.udl,
//   the layer's "CADORecordset Error" report, or the notice of a lost connection);
// - after a one-shot fault the second press lists the names: the failure left the connection
//   usable;
// - the command ends; the new stratum carries 泥岩's code MS when it was chosen, else the empty
//   code (the build runs whatever the dialog's outcome, and a cancelled first dialog leaves the
//   result empty); the curves are deleted only when the user answered "y";
// - the lexicon holds what it held.
// Compiled with GBK narrow literals: desktop texts are GBK.
#include <gtest/gtest.h>
#include <kp/kpdesktop.h>
#include <winnls.h>

#include <afxwin.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FaultDatabase.h"
#include "FaultSweep.h"
#include "HostSession.h"
#include "sectionhost/session/Session.h"
#include "SqliteFaults.h"
#include "host/kpBase.h"

namespace kp::fault {
namespace {

constexpr int kConnectButton = 12000;
constexpr int kNameList = 12001;
const std::vector<std::string> kNames = {"砂岩", "泥岩", "灰岩"};  // HostSession's lexicon, GBK
const char kLexiconContent[] = "SELECT dcmc, dcdm, dcbm FROM dcmc ORDER BY dcbm";

// The module's failure texts a press of "连接数据库" may show (prefixes, GBK).
bool IsFailureText(const std::string& text, const std::string& udlPath) {
  const std::string connect =
      "未成功连接数据库－UDL 数据库连接方式: 文件 " + udlPath + " 不存在或配置不正确!";
  return text == connect || text.rfind("CADORecordset Error\n\tCode = ", 0) == 0 ||
         text == "数据库可能已经断开,\r\n请重新连接、然后重试.";
}

// The person at the dialog, as described at the top.
class User : public kp::ScriptedDesktop {
 public:
  struct Press {
    std::vector<std::string> rows;   // the list after the press
    std::vector<std::string> boxes;  // message box texts the press showed
  };
  std::vector<Press> presses;
  bool chose = false;

  kp::DialogAction NextDialogAction(HWND dlg) override {
    if (selected_) {
      selected_ = false;
      return kp::DialogAction::MakeEnter();
    }
    if (!presses.empty() || pressing_) {
      Press press;
      press.rows = Rows(dlg);
      for (size_t i = boxesBefore_; i < MessageBoxes().size(); ++i)
        press.boxes.push_back(MessageBoxes()[i].text);
      presses.push_back(press);
      pressing_ = false;
    }
    if (presses.empty() || (presses.back().rows.empty() && presses.size() < 2)) {
      pressing_ = true;
      boxesBefore_ = MessageBoxes().size();
      return kp::DialogAction::MakeClick(kConnectButton);
    }
    if (presses.back().rows.size() > 1) {
      chose = selected_ = true;
      return kp::DialogAction::MakeSelect(kNameList, 1);
    }
    return kp::DialogAction::MakeEscape();
  }

 private:
  static std::vector<std::string> Rows(HWND dlg) {
    std::vector<std::string> rows;
    if (HWND list = GetDlgItem(dlg, kNameList); list != nullptr) {
      LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
      for (LRESULT i = 0; i < count; ++i) {
        char row[256] = "";
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
        rows.push_back(row);
      }
    }
    return rows;
  }

  bool pressing_ = false;
  bool selected_ = false;
  size_t boxesBefore_ = 0;
};

class CommandSession {
 public:
  CommandSession(stratumtest::HostSession& folder, bool persistent)
      : folder_(folder), persistent_(persistent) {
    lexicon_ = FaultDatabase::Rows(folder_.PathOf("lexicon.sqlite"), kLexiconContent);
  }

  void RunAndCheck(long n) {
    User user;
    std::ostringstream out;
    sectionhost::Transcript transcript(out);
    MapData map;
    bool exception = false;
    {
      kp::DesktopScope scope(&user);
      sectionhost::Session session(transcript);
      std::string error, why;
      ASSERT_TRUE(session.Start(&error)) << error;
      ASSERT_TRUE(session.OpenMap(folder_.PathOf("map.geojson"), &error)) << error;
      KpBaseSetConfigDirectory(folder_.Dir().c_str());
      std::vector<std::string> errors;
      ASSERT_TRUE(
          session.LoadPlugin(stratumtest::HostSession::BinDir() + "libkpSect03StratumSel.so", &errors));
      EXPECT_TRUE(session.Launch("dsi", &why)) << why;
      EXPECT_TRUE(session.Pick({1, 2}, &why)) << why;
      EXPECT_TRUE(session.Text(user.chose ? "y" : "n", &why)) << why;
      exception = session.ExceptionSeen();
      map = session.CurrentMap();
    }  // unloads the plug-in: its connection closes
    SqliteFaults::Disarm();
    const std::string transcriptText = out.str();

    EXPECT_FALSE(exception) << transcriptText;
    ASSERT_GE(user.presses.size(), 1u) << transcriptText;
    const std::string udl = folder_.PathOf("isoDB.udl");
    for (size_t i = 0; i < user.presses.size(); ++i) {
      const User::Press& press = user.presses[i];
      if (press.rows == kNames) {
        EXPECT_TRUE(press.boxes.empty())
            << "press " << i + 1 << " listed the names and showed " << press.boxes[0];
      } else {
        EXPECT_TRUE(press.rows.empty()) << "press " << i + 1 << " listed " << press.rows.size() << " names";
        ASSERT_EQ(press.boxes.size(), 1u) << "press " << i + 1 << " listed no names; messages:\n"
                                          << transcriptText;
        EXPECT_TRUE(IsFailureText(press.boxes[0], udl)) << press.boxes[0];
        ++outcomes_[press.boxes[0].substr(0, press.boxes[0].find_first_of("\n:"))];
      }
    }
    if (n == 0 || !persistent_) {
      EXPECT_EQ(user.presses.back().rows, kNames)
          << "the names are not listed after " << user.presses.size() << " presses (fault "
          << (persistent_ ? "persistent" : "once") << ")";
    }
    ++outcomes_[user.presses.size() == 1 ? "first press" : user.chose ? "second press" : "cancelled"];

    const sectionhost::MapEntity* stratum = nullptr;
    const sectionhost::MapEntity *curve1 = nullptr, *curve2 = nullptr;
    for (const auto& e : map.entities) {
      if (e.type == 27) stratum = &e;
      if (e.id == 1) curve1 = &e;
      if (e.id == 2) curve2 = &e;
    }
    ASSERT_NE(stratum, nullptr) << transcriptText;
    EXPECT_EQ(stratum->code, user.chose ? "MS" : "");
    ASSERT_TRUE(curve1 != nullptr && curve2 != nullptr);
    EXPECT_EQ(curve1->deleted, user.chose);
    EXPECT_EQ(curve2->deleted, user.chose);
    EXPECT_EQ(FaultDatabase::Rows(folder_.PathOf("lexicon.sqlite"), kLexiconContent), lexicon_);
  }

  std::string Outcomes() const {
    std::string text;
    for (const auto& [outcome, runs] : outcomes_)
      text += (text.empty() ? "" : ", ") + outcome + ": " + std::to_string(runs);
    return text;
  }

 private:
  using MapData = sectionhost::MapData;
  stratumtest::HostSession& folder_;
  bool persistent_;
  std::vector<std::string> lexicon_;
  std::map<std::string, int> outcomes_;  // runs by the press that listed the names; failure texts
};

struct Mode {
  FaultKind kind;
  bool persistent;
};

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  return std::string(FaultKindName(info.param.kind)) + (info.param.persistent ? "_persistent" : "_once");
}

class CommandUnderFaults : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    const char* why = nullptr;
    ASSERT_TRUE(SqliteFaults::Install(&why)) << why;
  }
  void TearDown() override { SqliteFaults::Disarm(); }
};

TEST_P(CommandUnderFaults, ConnectingToTheLexicon) {
  stratumtest::HostSession folder;
  CommandSession session(folder, GetParam().persistent);
  SweepStats stats =
      FaultSweep::Run(GetParam().kind, GetParam().persistent, [&](long n) { session.RunAndCheck(n); });
  EXPECT_GT(stats.calls, 0) << "the session made no " << FaultKindName(GetParam().kind) << " calls";
  std::printf("%s: %ld calls, %ld runs, %ld hits; outcomes: %s\n", ModeName({GetParam(), 0}).c_str(),
              stats.calls, stats.runs, stats.hits, session.Outcomes().c_str());
}

// The command only reads the lexicon: its session makes no writes and no syncs.
INSTANTIATE_TEST_SUITE_P(Sqlite, CommandUnderFaults,
                         ::testing::Values(Mode{FaultKind::Malloc, false}, Mode{FaultKind::Malloc, true},
                                           Mode{FaultKind::Read, false}, Mode{FaultKind::Read, true}),
                         ModeName);

}  // namespace
}  // namespace kp::fault
