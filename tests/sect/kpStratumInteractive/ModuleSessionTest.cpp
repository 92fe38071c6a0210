// The plug-in driven in process by the reference host's session engine (sectionhost_session), for
// what a script cannot show: the dialog's template is the module's resource 12000 even though
// this executable, the host here, has a dialog 12000 of its own; the table changed between two
// presses of "连接数据库" in one opening of the dialog; and SetVoUserCmdID leaving no trace.
//
// A recording desktop (kp::ScriptedDesktop plus the dialog's controls and list rows read through
// the window API) plays the person. Compiled with GBK narrow literals: desktop texts are GBK.
#include <gtest/gtest.h>
#include <kp/kpdesktop.h>
#include <kp/kpresource.h>
#include <winnls.h>

#include <afxwin.h>
#include <functional>
#include <sstream>

#include "HostSession.h"
#include "sectionhost/session/Session.h"
#include "host/kpBase.h"

namespace stratumtest {
namespace {

constexpr int kTemplate = 12000;  // the module's IDD_STRATUM_NAME and this host's own dialog
constexpr int kConnectButton = 12000;
constexpr int kNameList = 12001;

// The host's own dialog 12000: another caption and other controls.
const KpDialogItemTemplate kHostItems[] = {
    {IDOK, "BUTTON", "好", 10, 10, 40, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {1234, "STATIC", "主程序", 10, 30, 40, 10, WS_CHILD | WS_VISIBLE, 0},
};
const KpDialogTemplate kHostDialogs[] = {
    {kTemplate, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), WS_POPUP | WS_CAPTION | DS_SETFONT, 0,
     0, 0, 100, 60, "主程序的对话框", 9, "宋体", kHostItems, 2},
};
const KpResourceTable kHostResources = {"test_stratum_module", kHostDialogs, 1, nullptr, 0};

std::string WindowText(HWND window) {
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// A scripted desktop that also records, when a dialog opens, each control as "ID CLASS TEXT",
// and before each action the rows of the name list; `beforeAction` runs before action n.
class RecordingDesktop : public kp::ScriptedDesktop {
 public:
  std::vector<std::string> controls;
  std::vector<std::vector<std::string>> rowsBeforeAction;
  std::function<void(int)> beforeAction;

  void DialogOpened(HWND dlg) override {
    kp::ScriptedDesktop::DialogOpened(dlg);
    for (int id : {IDOK, IDCANCEL, kConnectButton, kNameList, 1234}) {
      HWND control = GetDlgItem(dlg, id);
      if (control == nullptr) continue;
      char className[64] = "";
      GetClassNameA(control, className, sizeof className);
      controls.push_back(std::to_string(id) + " " + className + " " + WindowText(control));
    }
  }
  kp::DialogAction NextDialogAction(HWND dlg) override {
    std::vector<std::string> rows;
    if (HWND list = GetDlgItem(dlg, kNameList); list != nullptr) {
      LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
      for (LRESULT i = 0; i < count; ++i) {
        char row[256] = "";
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
        rows.push_back(row);
      }
    }
    rowsBeforeAction.push_back(rows);
    if (beforeAction) beforeAction(static_cast<int>(rowsBeforeAction.size()) - 1);
    return kp::ScriptedDesktop::NextDialogAction(dlg);
  }
};

// A session of the host engine with the plug-in loaded on the folder of a HostSession (its map,
// lexicon and isoDB.udl), the transcript and the call log kept in memory.
class InProcess : public testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<sectionhost::Session>(transcript_);
    std::string error;
    ASSERT_TRUE(session_->Start(&error)) << error;
    ASSERT_TRUE(session_->OpenMap(folder_.PathOf("map.geojson"), &error)) << error;
    KpBaseSetConfigDirectory(folder_.Dir().c_str());
    std::vector<std::string> errors;
    ASSERT_TRUE(session_->LoadPlugin(HostSession::BinDir() + "libkpSect03StratumSel.so", &errors))
        << errors.size();
    session_->SetCallLog(&calls_);
  }
  void TearDown() override { session_.reset(); }

  const sectionhost::PluginExports& Exports() { return session_->Plugins().front()->Exports(); }
  // The code of the stratum entity with this id (UTF-8), or "?" when there is none.
  std::string StratumCode(int32_t id) {
    for (const auto& e : session_->CurrentMap().entities)
      if (e.id == id && e.type == 27) return e.code;
    return "?";
  }

  HostSession folder_;
  std::ostringstream out_, calls_;
  sectionhost::Transcript transcript_{out_};
  std::unique_ptr<sectionhost::Session> session_;
};

// The host's own template 12000 is the one its code finds: the test's premise.
TEST(HostResources, TheHostFindsItsOwnDialog12000) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  CDialog dialog(kTemplate);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_EQ(desktop.Dialogs().size(), 1u);
  EXPECT_EQ(desktop.Dialogs()[0].caption, "主程序的对话框");
}

// MouseStatus switches to the module's resources, so the build step shows the module's dialog;
// afterwards the host's own template is found again.
TEST_F(InProcess, TheStratumDialogIsTheModulesTemplateNotTheHosts) {
  RecordingDesktop desktop;
  kp::DesktopScope scope(&desktop);
  std::string why;
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  ASSERT_TRUE(session_->Pick({1, 2}, &why)) << why;
  ASSERT_EQ(desktop.Dialogs().size(), 1u);
  EXPECT_EQ(desktop.Dialogs()[0].caption, "请选择地层名称");
  EXPECT_EQ(desktop.controls, (std::vector<std::string>{"1 Button 确定", "2 Button 取消",
                                                        "12000 Button 连接数据库", "12001 ListBox "}));
  EXPECT_EQ(desktop.Dialogs()[0].result, IDCANCEL);

  CDialog own(kTemplate);
  EXPECT_EQ(own.DoModal(), IDCANCEL);
  ASSERT_EQ(desktop.Dialogs().size(), 2u);
  EXPECT_EQ(desktop.Dialogs()[1].caption, "主程序的对话框");
}

// The table changes in the database between two presses of "连接数据库" in one opening: the
// second press shows the new rows and each name hands back its new code.
TEST_F(InProcess, ConnectingAgainShowsATableChangedInTheMeantime) {
  RecordingDesktop desktop;
  kp::DesktopScope scope(&desktop);
  desktop.QueueAction(kp::DialogAction::MakeClick(kConnectButton));
  desktop.QueueAction(kp::DialogAction::MakeClick(kConnectButton));
  desktop.QueueAction(kp::DialogAction::MakeSelect(kNameList, 1));
  desktop.QueueAction(kp::DialogAction::MakeEnter());
  desktop.beforeAction = [this](int action) {
    if (action == 1)
      folder_.WriteLexicon({{kp::GbkToUtf8("页岩"), "SH", 1}, {kp::GbkToUtf8("石灰岩"), "LS2", 2}});
  };
  std::string why;
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  ASSERT_TRUE(session_->Pick({1, 2}, &why)) << why;
  ASSERT_EQ(desktop.rowsBeforeAction.size(), 4u);
  EXPECT_TRUE(desktop.rowsBeforeAction[0].empty());
  EXPECT_EQ(desktop.rowsBeforeAction[1], (std::vector<std::string>{"砂岩", "泥岩", "灰岩"}));
  EXPECT_EQ(desktop.rowsBeforeAction[2], (std::vector<std::string>{"页岩", "石灰岩"}));
  EXPECT_EQ(desktop.Dialogs()[0].result, IDOK);
  EXPECT_EQ(StratumCode(6), "LS2");
}

// The call log with kernel handles replaced by "H": handles are never reused while the kernel
// library is loaded, so a second session in one process sees other numbers.
std::string WithoutHandles(const std::string& calls) {
  std::istringstream lines(calls);
  std::string result;
  for (std::string line; std::getline(lines, line);) {
    for (const char* prefix : {"StoreHandle -> ", "RegisterEntity ", "RefreshEntity "})
      if (line.rfind(prefix, 0) == 0) line = std::string(prefix) + "H";
    if (line.rfind("EntityHandle ", 0) == 0) line = line.substr(0, line.find(" -> ") + 4) + "H";
    result += line + "\n";
  }
  return result;
}

// SetVoUserCmdID only stores its value: a session that sets other user command ids, before the
// launch and while the command runs, sees and does exactly what one that does not sees and does.
TEST(UserCommandId, ChangesNothingObservable) {
  auto run = [](bool setIds) {
    HostSession folder;
    std::ostringstream out, calls;
    sectionhost::Transcript transcript(out);
    {
      sectionhost::Session session(transcript);
      std::string error, why;
      EXPECT_TRUE(session.Start(&error)) << error;
      EXPECT_TRUE(session.OpenMap(folder.PathOf("map.geojson"), &error)) << error;
      std::vector<std::string> errors;
      EXPECT_TRUE(session.LoadPlugin(HostSession::BinDir() + "libkpSect03StratumSel.so", &errors));
      session.SetCallLog(&calls);
      kp::ScriptedDesktop desktop;
      kp::DesktopScope scope(&desktop);
      const auto& exports = session.Plugins().front()->Exports();
      if (setIds) exports.SetVoUserCmdID(1001);
      session.Launch("dsi", &why);
      if (setIds) exports.SetVoUserCmdID(-7);
      session.Pick({1}, &why);
      if (setIds) exports.SetVoUserCmdID(0x7FFFFFFF);
      session.Pick({2}, &why);
      session.Text("?", &why);
      session.Text("n", &why);
    }
    return out.str() + "\n--- calls\n" + WithoutHandles(calls.str());
  };
  const std::string plain = run(false);
  EXPECT_NE(plain.find("UpdateEntities [6] 1"), std::string::npos) << plain;
  EXPECT_EQ(run(true), plain);
}

}  // namespace
}  // namespace stratumtest

KP_MODULE_RESOURCES(stratumtest::kHostResources)
