// The desktop interface: a modal dialog driven by the ScriptedDesktop receives the messages a
// real dialog gets for each action (documented Win32 dialog behaviour: BN_CLICKED from buttons,
// LBN_SELCHANGE / LBN_DBLCLK from an LBS_NOTIFY list box, Enter = the default push button,
// Esc = IDCANCEL, the close box = WM_CLOSE -> IDCANCEL), message boxes and the cursor reach
// the desktop, and the headless desktop answers defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kp/kpdesktop.h"

namespace {

constexpr int kConnect = 12000;
constexpr int kList = 12001;

const KpDialogItemTemplate kItems[] = {
    {IDOK, "BUTTON", "确定", 23, 235, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {IDCANCEL, "BUTTON", "取消", 107, 235, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {kConnect, "BUTTON", "连接数据库", 14, 13, 78, 16, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {kList, "LISTBOX", nullptr, 14, 34, 159, 197, 0x50210001, 0},
};
const KpDialogTemplate kTemplate = {
    12000, 0x0804, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    0,     0,      0,
    187,   263,    "请选择地层名称",
    9,     "宋体", kItems,
    4};
// The same dialog without a default push button.
const KpDialogItemTemplate kPlainItems[] = {
    {IDOK, "BUTTON", "OK", 0, 0, 50, 14, WS_CHILD | WS_VISIBLE, 0},
    {IDCANCEL, "BUTTON", "Cancel", 60, 0, 50, 14, WS_CHILD | WS_VISIBLE, 0},
};
const KpDialogTemplate kPlain = {1, 0, WS_POPUP, 0, 0, 0, 120, 40, "plain", 0, nullptr, kPlainItems, 2};

struct DialogRecord {
  std::vector<std::string> events;
  bool endOnCancel = true;
};

INT_PTR CALLBACK TestDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* record = reinterpret_cast<DialogRecord*>(GetWindowLongPtrA(dlg, DWLP_USER));
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, DWLP_USER, lParam);
    reinterpret_cast<DialogRecord*>(lParam)->events.push_back("init");
    return TRUE;
  }
  if (!record || msg != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam), code = HIWORD(wParam);
  record->events.push_back("command " + std::to_string(id) + " " + std::to_string(code));
  if (id == kConnect && code == BN_CLICKED) {
    HWND list = GetDlgItem(dlg, kList);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const char* row : {"第四系", "第三系"})
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
  }
  if (id == IDOK || (id == IDCANCEL && record->endOnCancel)) EndDialog(dlg, id);
  return TRUE;
}

class DesktopTest : public ::testing::Test {
 protected:
  INT_PTR Run(const KpDialogTemplate& t = kTemplate) {
    kp::DesktopScope scope(&desktop_);
    return DialogBoxIndirectParamA(nullptr, &t, nullptr, TestDlgProc, reinterpret_cast<LPARAM>(&record_));
  }
  kp::ScriptedDesktop desktop_;
  DialogRecord record_;
};

TEST_F(DesktopTest, ConnectSelectAndEnterAsARealDialogWouldSeeThem) {
  desktop_.QueueAction(kp::DialogAction::MakeClick(kConnect));
  desktop_.QueueAction(kp::DialogAction::MakeSelect(kList, 1));
  desktop_.QueueAction(kp::DialogAction::MakeEnter());
  EXPECT_EQ(Run(), IDOK);
  EXPECT_EQ(record_.events,
            (std::vector<std::string>{"init", "command 12000 0", "command 12001 1", "command 1 0"}));
  ASSERT_EQ(desktop_.Dialogs().size(), 1u);
  const auto& seen = desktop_.Dialogs()[0];
  EXPECT_EQ(seen.caption, "请选择地层名称");
  EXPECT_EQ(seen.listRows.at(kList), (std::vector<std::string>{"第四系", "第三系"}));
  EXPECT_TRUE(seen.closed);
  EXPECT_EQ(seen.result, IDOK);
  EXPECT_EQ(desktop_.Log().front(), "open 请选择地层名称");
  EXPECT_EQ(desktop_.Log().back(), "close 1");
}

TEST_F(DesktopTest, DoubleClickSelectsThenSendsDblClk) {
  desktop_.QueueAction(kp::DialogAction::MakeClick(kConnect));
  desktop_.QueueAction(kp::DialogAction::MakeDoubleClick(kList, 0));
  desktop_.QueueAction(kp::DialogAction::MakeClick(IDCANCEL));
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(record_.events, (std::vector<std::string>{"init", "command 12000 0", "command 12001 1",
                                                      "command 12001 2", "command 2 0"}));
}

TEST_F(DesktopTest, SelectingARowThatIsNotThereDoesNothing) {
  desktop_.QueueAction(kp::DialogAction::MakeSelect(kList, 0));  // the list is empty
  desktop_.QueueAction(kp::DialogAction::MakeClick(IDOK));
  EXPECT_EQ(Run(), IDOK);
  EXPECT_EQ(record_.events, (std::vector<std::string>{"init", "command 1 0"}));
}

struct CloseCase {
  kp::DialogAction action;
  const char* name;
};
class DesktopCloseTest : public DesktopTest, public ::testing::WithParamInterface<CloseCase> {};
TEST_P(DesktopCloseTest, EscapeCloseBoxAndEndOfInputCancel) {
  desktop_.QueueAction(GetParam().action);
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(record_.events.back(), "command 2 0");
}
INSTANTIATE_TEST_SUITE_P(Actions, DesktopCloseTest,
                         ::testing::Values(CloseCase{kp::DialogAction::MakeEscape(), "Escape"},
                                           CloseCase{kp::DialogAction::MakeClose(), "CloseBox"},
                                           CloseCase{kp::DialogAction::MakeEndOfInput(), "EndOfInput"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DesktopTest, EnterWithoutDefaultPushButtonIsIdOk) {
  desktop_.QueueAction(kp::DialogAction::MakeEnter());
  EXPECT_EQ(Run(kPlain), IDOK);
  EXPECT_EQ(record_.events.back(), "command 1 0");
}

TEST_F(DesktopTest, EndOfInputEndsADialogThatIgnoresCancel) {
  record_.endOnCancel = false;
  EXPECT_EQ(Run(), IDCANCEL);  // the script ran out: the platform ends the dialog
}

TEST_F(DesktopTest, DialogWindowsAreGoneAfterDialogBox) {
  HWND seen = nullptr;
  struct Grab : kp::ScriptedDesktop {
    HWND* out;
    void DialogOpened(HWND dlg) override {
      *out = dlg;
      ScriptedDesktop::DialogOpened(dlg);
    }
  } grab;
  grab.out = &seen;
  {
    kp::DesktopScope scope(&grab);
    DialogBoxIndirectParamA(nullptr, &kTemplate, nullptr, TestDlgProc, reinterpret_cast<LPARAM>(&record_));
  }
  ASSERT_NE(seen, nullptr);
  EXPECT_FALSE(IsWindow(seen));
}

TEST(HeadlessDesktopTest, ModalDialogClosesAsCancel) {
  ASSERT_EQ(kp::GetDesktop(), nullptr);
  DialogRecord record;
  EXPECT_EQ(
      DialogBoxIndirectParamA(nullptr, &kTemplate, nullptr, TestDlgProc, reinterpret_cast<LPARAM>(&record)),
      IDCANCEL);
}

TEST(HeadlessDesktopTest, MessageBoxWritesUtf8ToStderrAndAnswersDefault) {
  ASSERT_EQ(kp::GetDesktop(), nullptr);
  ::testing::internal::CaptureStderr();
  int answer = MessageBoxA(nullptr, "文件不存在", "地层", MB_YESNO | MB_DEFBUTTON2);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(err,
            "[message box] \xE5\x9C\xB0\xE5\xB1\x82: "
            "\xE6\x96\x87\xE4\xBB\xB6\xE4\xB8\x8D\xE5\xAD\x98\xE5\x9C\xA8\n");
}

TEST(ScriptedDesktopTest, MessageBoxAnswersFromTheQueueThenDefaults) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  desktop.QueueAnswer(IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "t", nullptr, MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OKCANCEL), IDOK);
  ASSERT_EQ(desktop.MessageBoxes().size(), 2u);
  EXPECT_EQ(desktop.MessageBoxes()[0].caption, "Error");  // documented default caption
  EXPECT_EQ(desktop.MessageBoxes()[1].type, static_cast<UINT>(MB_OKCANCEL));
}

TEST(CursorTest, SystemCursorsAndChangesReachTheDesktop) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  ASSERT_NE(arrow, nullptr);
  ASSERT_NE(wait, nullptr);
  SetCursor(arrow);
  desktop = kp::ScriptedDesktop();
  EXPECT_EQ(SetCursor(wait), arrow);  // answers the previous cursor
  EXPECT_EQ(SetCursor(wait), wait);   // no change, no report
  EXPECT_EQ(GetCursor(), wait);
  SetCursor(arrow);
  EXPECT_EQ(desktop.Cursors(), (std::vector<std::string>{"IDC_WAIT", "IDC_ARROW"}));
  SetLastError(0);
  EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(uintptr_t{1}), IDC_ARROW), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
