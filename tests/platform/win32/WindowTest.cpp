// Conformance of the window manager (winuser.h) with the documented Win32 behaviour: class
// registration, creation and destruction messages and their order, SendMessage / PostMessage,
// window text and longs, the built-in LISTBOX and BUTTON messages and their notifications to
// the parent, dialog units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winuser.h"

namespace {

// A test class whose procedure records every message as "name:MSG" and defers to
// DefWindowProcA.
std::vector<std::string> g_log;
std::vector<MSG> g_commands;  // WM_COMMANDs the parent received

std::string Name(HWND hwnd) {
  char text[64];
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      g_log.push_back(Name(hwnd) + ":create");
      break;
    case WM_DESTROY:
      g_log.push_back(Name(hwnd) + ":destroy");
      break;
    case WM_NCDESTROY:
      g_log.push_back(Name(hwnd) + ":ncdestroy");
      break;
    case WM_COMMAND:
      g_commands.push_back(MSG{hwnd, msg, wParam, lParam, 0, {0, 0}});
      return 0;
    case WM_USER + 7:
      return static_cast<LRESULT>(wParam + lParam);
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      WNDCLASSA wc{};
      wc.lpfnWndProc = RecordingProc;
      wc.lpszClassName = "KpRecording";
      wc.cbWndExtra = 16;
      ASSERT_NE(RegisterClassA(&wc), 0);
      registered = true;
    }
    g_log.clear();
    g_commands.clear();
    parent_ = CreateWindowExA(0, "KpRecording", "parent", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(parent_)) DestroyWindow(parent_);
  }
  HWND Child(const char* cls, const char* text, DWORD style, int id) {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent_,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
  }
  HWND parent_ = nullptr;
};

TEST_F(WindowTest, RegisterClassTwiceFailsWithClassAlreadyExists) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "kprecording";  // class names ignore case
  SetLastError(0);
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
}

TEST_F(WindowTest, CreateWithUnknownClassFails) {
  SetLastError(0);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTest, ChildCarriesItsIdAndParent) {
  HWND child = Child("KpRecording", "child", 0, 1234);
  EXPECT_EQ(GetDlgCtrlID(child), 1234);
  EXPECT_EQ(GetParent(child), parent_);
  EXPECT_EQ(GetDlgItem(parent_, 1234), child);
  EXPECT_EQ(GetDlgItem(parent_, 99), nullptr);
  EXPECT_EQ(GetWindowLongPtrA(child, GWLP_ID), 1234);
}

TEST_F(WindowTest, DestroySendsDestroyToParentFirstAndNcDestroyAfterChildren) {
  // Documented: WM_DESTROY goes to the window, then to its children as they are destroyed;
  // WM_NCDESTROY follows the destruction of the children.
  Child("KpRecording", "a", 0, 1);
  Child("KpRecording", "b", 0, 2);
  g_log.clear();
  HWND a = GetDlgItem(parent_, 1);
  ASSERT_TRUE(DestroyWindow(parent_));
  EXPECT_EQ(g_log, (std::vector<std::string>{"parent:destroy", "a:destroy", "a:ncdestroy", "b:destroy",
                                             "b:ncdestroy", "parent:ncdestroy"}));
  EXPECT_FALSE(IsWindow(parent_));
  EXPECT_FALSE(IsWindow(a));
  SetLastError(0);
  EXPECT_FALSE(DestroyWindow(parent_));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowTest, DestroyedChildLeavesParentsChildList) {
  HWND a = Child("STATIC", "a", 0, 1);
  DestroyWindow(a);
  EXPECT_EQ(GetDlgItem(parent_, 1), nullptr);
  EXPECT_EQ(GetWindow(parent_, GW_CHILD), nullptr);
}

TEST_F(WindowTest, SendMessageAnswersTheProceduresResult) {
  EXPECT_EQ(SendMessageA(parent_, WM_USER + 7, 40, 2), 42);
  SetLastError(0);
  EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(uintptr_t{999999}), WM_USER + 7, 1, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowTest, PostedMessagesArriveInOrderThroughDispatch) {
  EXPECT_TRUE(PostMessageA(parent_, WM_COMMAND, 1, 0));
  EXPECT_TRUE(PostMessageA(parent_, WM_COMMAND, 2, 0));
  EXPECT_TRUE(g_commands.empty());
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  ASSERT_EQ(g_commands.size(), 2u);
  EXPECT_EQ(g_commands[0].wParam, 1u);
  EXPECT_EQ(g_commands[1].wParam, 2u);
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(uintptr_t{999999}), WM_NULL, 0, 0));
}

TEST_F(WindowTest, WindowTextRoundTripsAndTruncatesWithoutSplittingGbk) {
  HWND child = Child("STATIC", "", 0, 5);
  ASSERT_TRUE(SetWindowTextA(child, "地层A"));  // 4 GBK bytes + 'A'
  EXPECT_EQ(GetWindowTextLengthA(child), 5);
  char buffer[4] = {'x', 'x', 'x', 'x'};
  // Room for 3 bytes: the second character would be split, so only the first one comes back.
  EXPECT_EQ(GetWindowTextA(child, buffer, 4), 2);
  EXPECT_STREQ(buffer, "地");
  char full[16];
  EXPECT_EQ(GetWindowTextA(child, full, sizeof full), 5);
  EXPECT_STREQ(full, "地层A");
}

TEST_F(WindowTest, WindowLongsAndExtraBytes) {
  EXPECT_EQ(SetWindowLongPtrA(parent_, GWLP_USERDATA, 77), 0);
  EXPECT_EQ(GetWindowLongPtrA(parent_, GWLP_USERDATA), 77);
  EXPECT_EQ(GetWindowLongPtrA(parent_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
  EXPECT_EQ(GetWindowLongPtrA(parent_, GWL_STYLE), static_cast<LONG>(WS_POPUP));
  EXPECT_EQ(SetWindowLongPtrA(parent_, 8, 5), 0);  // cbWndExtra = 16
  EXPECT_EQ(GetWindowLongPtrA(parent_, 8), 5);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrA(parent_, 16), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

TEST_F(WindowTest, EnableAndShowAnswerThePreviousState) {
  // Documented: EnableWindow answers nonzero if the window WAS disabled; ShowWindow nonzero if
  // it WAS visible.
  HWND child = Child("BUTTON", "b", 0, 3);
  EXPECT_EQ(EnableWindow(child, FALSE), FALSE);
  EXPECT_EQ(EnableWindow(child, FALSE), TRUE);
  EXPECT_FALSE(IsWindowEnabled(child));
  EXPECT_EQ(EnableWindow(child, TRUE), TRUE);
  EXPECT_NE(ShowWindow(child, SW_HIDE), FALSE);
  EXPECT_EQ(ShowWindow(child, SW_SHOW), FALSE);
}

TEST_F(WindowTest, ButtonClickNotifiesParentWithBnClicked) {
  HWND button = Child("BUTTON", "ok", BS_PUSHBUTTON, IDOK);
  SendMessageA(button, BM_CLICK, 0, 0);
  ASSERT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(LOWORD(g_commands[0].wParam), IDOK);
  EXPECT_EQ(HIWORD(g_commands[0].wParam), BN_CLICKED);
  EXPECT_EQ(g_commands[0].lParam, reinterpret_cast<LPARAM>(button));
  EnableWindow(button, FALSE);
  SendMessageA(button, BM_CLICK, 0, 0);
  EXPECT_EQ(g_commands.size(), 1u);  // a disabled button ignores the click
}

TEST_F(WindowTest, AutoCheckBoxTogglesOnClick) {
  HWND box = Child("BUTTON", "c", BS_AUTOCHECKBOX, 4);
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
}

// --- LISTBOX ---------------------------------------------------------------------------------

class ListBoxTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    list_ = Child("LISTBOX", nullptr, LBS_NOTIFY, 12001);
    ASSERT_NE(list_, nullptr);
  }
  LRESULT Add(const char* s) { return SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)); }
  std::string Row(int i) {
    char buffer[64] = "sentinel";
    LRESULT n = SendMessageA(list_, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
    return n == LB_ERR ? "<LB_ERR>" : std::string(buffer, static_cast<size_t>(n));
  }
  HWND list_ = nullptr;
};

TEST_F(ListBoxTest, AddStringAppendsWithoutSortStyle) {
  EXPECT_EQ(Add("c"), 0);
  EXPECT_EQ(Add("a"), 1);
  EXPECT_EQ(Add("b"), 2);
  EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Row(0), "c");
  EXPECT_EQ(Row(1), "a");
  EXPECT_EQ(Row(2), "b");
}

TEST_F(ListBoxTest, AddStringSortsWithLbsSortIgnoringCase) {
  HWND sorted = Child("LISTBOX", nullptr, LBS_SORT, 77);
  for (const char* s : {"b", "C", "a"}) SendMessageA(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  char buffer[8];
  SendMessageA(sorted, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer));
  EXPECT_STREQ(buffer, "a");
  SendMessageA(sorted, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(buffer));
  EXPECT_STREQ(buffer, "C");
}

TEST_F(ListBoxTest, InsertDeleteAndTheirErrors) {
  Add("a");
  Add("c");
  EXPECT_EQ(SendMessageA(list_, LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("b")), 1);
  EXPECT_EQ(SendMessageA(list_, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("d")), 3);
  EXPECT_EQ(SendMessageA(list_, LB_INSERTSTRING, 9, reinterpret_cast<LPARAM>("x")), LB_ERR);
  EXPECT_EQ(SendMessageA(list_, LB_DELETESTRING, 0, 0), 3);  // answers the remaining count
  EXPECT_EQ(SendMessageA(list_, LB_DELETESTRING, 3, 0), LB_ERR);
  EXPECT_EQ(Row(0), "b");
  EXPECT_EQ(Row(5), "<LB_ERR>");
  EXPECT_EQ(SendMessageA(list_, LB_GETTEXTLEN, 5, 0), LB_ERR);
}

TEST_F(ListBoxTest, SelectionFollowsRowsAndMinusOneClearsIt) {
  Add("a");
  Add("b");
  Add("c");
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageA(list_, LB_SETCURSEL, 2, 0), 2);
  SendMessageA(list_, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), 1);  // the selected row moved up
  // Documented: -1 removes the selection and answers LB_ERR although it is no error.
  EXPECT_EQ(SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0), LB_ERR);
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), LB_ERR);
  // Programmatic selection sends no LBN_SELCHANGE.
  EXPECT_TRUE(g_commands.empty());
  SendMessageA(list_, LB_SETCURSEL, 0, 0);
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(ListBoxTest, FindStringIsAPrefixSearchAfterStartThatWraps) {
  Add("Alpha");
  Add("beta");
  Add("alps");
  EXPECT_EQ(SendMessageA(list_, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("AL")), 0);
  EXPECT_EQ(SendMessageA(list_, LB_FINDSTRING, 0, reinterpret_cast<LPARAM>("al")), 2);
  EXPECT_EQ(SendMessageA(list_, LB_FINDSTRING, 2, reinterpret_cast<LPARAM>("al")), 0);  // wraps
  EXPECT_EQ(SendMessageA(list_, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("x")),
            LB_ERR);
  EXPECT_EQ(
      SendMessageA(list_, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("ALPS")), 2);
}

TEST_F(ListBoxTest, ItemDataPerRow) {
  Add("a");
  Add("b");
  EXPECT_EQ(SendMessageA(list_, LB_SETITEMDATA, 1, 4242), LB_OKAY);
  EXPECT_EQ(SendMessageA(list_, LB_GETITEMDATA, 1, 0), 4242);
  EXPECT_EQ(SendMessageA(list_, LB_GETITEMDATA, 0, 0), 0);
  EXPECT_EQ(SendMessageA(list_, LB_GETITEMDATA, 2, 0), LB_ERR);
}

TEST_F(ListBoxTest, ListBoxKeepsItsOwnWindowText) {
  Add("row");
  char buffer[8] = "x";
  EXPECT_EQ(GetWindowTextA(list_, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

// --- dialog units and arithmetic ----------------------------------------------------------

TEST(MulDivTest, RoundsHalfAwayFromZeroAndRejectsZeroDenominator) {
  EXPECT_EQ(MulDiv(7, 1, 2), 4);
  EXPECT_EQ(MulDiv(-7, 1, 2), -4);
  EXPECT_EQ(MulDiv(5, 6, 4), 8);  // 7.5 -> 8
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(MapDialogRectTest, UsesTemplateFontBaseUnits) {
  // 宋体 9 pt: 12 px high, base units 6 x 12; x * 6 / 4 and y * 12 / 8.
  static const KpDialogTemplate t = {
      1, 0x0804, WS_POPUP | DS_SETFONT, 0, 0, 0, 187, 263, "t", 9, "宋体", nullptr, 0};
  HWND dlg = CreateDialogIndirectParamA(nullptr, &t, nullptr, nullptr, 0);
  ASSERT_NE(dlg, nullptr);
  RECT r{14, 34, 173, 231};
  ASSERT_TRUE(MapDialogRect(dlg, &r));
  EXPECT_EQ(r.left, 21);
  EXPECT_EQ(r.top, 51);
  EXPECT_EQ(r.right, 260);   // 259.5 rounds up
  EXPECT_EQ(r.bottom, 347);  // 346.5 rounds up
  RECT client;
  GetClientRect(dlg, &client);
  EXPECT_EQ(client.right, MulDiv(187, 6, 4));
  EXPECT_EQ(client.bottom, MulDiv(263, 12, 8));
  DestroyWindow(dlg);
  RECT untouched{1, 1, 1, 1};
  EXPECT_FALSE(MapDialogRect(dlg, &untouched));
  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(8, 16));
}

// --- message boxes -------------------------------------------------------------------------

struct DefaultAnswerCase {
  UINT type;
  int answer;
};
class MessageBoxDefaultTest : public ::testing::TestWithParam<DefaultAnswerCase> {};
TEST_P(MessageBoxDefaultTest, DefaultButtonOfTheSet) {
  EXPECT_EQ(kp::MessageBoxDefaultAnswer(GetParam().type), GetParam().answer);
}
INSTANTIATE_TEST_SUITE_P(
    ButtonSets, MessageBoxDefaultTest,
    ::testing::Values(DefaultAnswerCase{MB_OK, IDOK}, DefaultAnswerCase{MB_OKCANCEL, IDOK},
                      DefaultAnswerCase{MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                      DefaultAnswerCase{MB_YESNO, IDYES}, DefaultAnswerCase{MB_YESNO | MB_DEFBUTTON2, IDNO},
                      DefaultAnswerCase{MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                      DefaultAnswerCase{MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
                      DefaultAnswerCase{MB_RETRYCANCEL, IDRETRY},
                      DefaultAnswerCase{MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
                      DefaultAnswerCase{MB_OK | MB_DEFBUTTON3, IDOK},  // beyond the set
                      DefaultAnswerCase{MB_YESNO | MB_ICONQUESTION, IDYES}));

}  // namespace
