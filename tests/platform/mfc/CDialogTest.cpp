// CDialog, CListBox, data exchange, the wait cursor and AfxMessageBox, driven through the
// ScriptedDesktop as a person would use the dialog: the template comes from this test
// module's resource table (the current module state), controls are created afresh at every
// opening, DDX_Control binds the list box by subclassing, IDOK runs the virtual OnOK, IDCANCEL /
// Esc / the close box OnCancel, and a double-click only selects (MFC and Win32 behaviour).
#include <gtest/gtest.h>

#include "afxwin.h"
#include "kp/kpdesktop.h"

namespace {

constexpr UINT kDialogId = 12000;
constexpr int kConnect = 12000;
constexpr int kList = 12001;
constexpr UINT kEditDialogId = 300;
constexpr int kName = 301;
constexpr int kCount = 302;

const KpDialogItemTemplate kItems[] = {
    {IDOK, "BUTTON", "确定", 23, 235, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {IDCANCEL, "BUTTON", "取消", 107, 235, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {kConnect, "BUTTON", "连接数据库", 14, 13, 78, 16, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {kList, "LISTBOX", nullptr, 14, 34, 159, 197, 0x50210001, 0},
};
const KpDialogItemTemplate kEditItems[] = {
    {IDOK, "BUTTON", "OK", 0, 0, 50, 14, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0},
    {IDCANCEL, "BUTTON", "Cancel", 60, 0, 50, 14, WS_CHILD | WS_VISIBLE, 0},
    {kName, "EDIT", "", 0, 20, 100, 12, WS_CHILD | WS_VISIBLE, 0},
    {kCount, "EDIT", "", 0, 40, 100, 12, WS_CHILD | WS_VISIBLE, 0},
};
const KpDialogTemplate kDialogs[] = {
    {kDialogId, 0x0804, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0, 0, 0,
     187, 263, "请选择地层名称", 9, "宋体", kItems, 4},
    {kEditDialogId, 0x0804, WS_POPUP | WS_CAPTION, 0, 0, 0, 120, 60, "edit", 0, nullptr, kEditItems, 4},
};
const KpStringResource kStrings[] = {{500, "来自资源的提示"}};
const KpResourceTable kResources = {"test_mfc", kDialogs, 2, kStrings, 1};

}  // namespace

KP_MODULE_RESOURCES(kResources)

namespace {

// A dialog shaped like the stratum-name dialog: the connect button fills the list and the
// codes; OnOK hands back the code of the selected row, else the list box's own window text.
class CNameDlg : public CDialog {
 public:
  CNameDlg() : CDialog(kDialogId) {}
  CString m_strResult;
  CStringArray m_arrCodes;
  CListBox m_listNames;
  int m_nConnects = 0;
  int m_nSelChanges = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kList, m_listNames);
  }
  void OnOK() override {
    UpdateData(TRUE);
    int index = m_listNames.GetCurSel();
    if (index >= 0 && index < m_listNames.GetCount()) {
      m_strResult = m_arrCodes[index];
    } else {
      m_listNames.GetWindowText(m_strResult);
    }
    CDialog::OnOK();
  }
  afx_msg void OnButtonConnect() {
    BeginWaitCursor();
    ++m_nConnects;
    m_listNames.ResetContent();
    m_arrCodes.RemoveAll();
    const char* names[] = {"A", "B", "C"};
    const char* codes[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) {
      m_listNames.AddString(names[i]);
      m_arrCodes.Add(codes[i]);
    }
    EndWaitCursor();
  }
  afx_msg void OnSelChange() { ++m_nSelChanges; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNameDlg, CDialog)
ON_BN_CLICKED(kConnect, OnButtonConnect)
ON_LBN_SELCHANGE(kList, OnSelChange)
END_MESSAGE_MAP()

class CDialogTest : public ::testing::Test {
 protected:
  int Run(CDialog& dlg) {
    kp::DesktopScope scope(&desktop_);
    return dlg.DoModal();
  }
  void Queue(const kp::DialogAction& a) { desktop_.QueueAction(a); }
  kp::ScriptedDesktop desktop_;
  CNameDlg dlg_;
};

TEST_F(CDialogTest, SelectAndOkHandsBackTheCodeOfTheRowNotTheName) {
  Queue(kp::DialogAction::MakeClick(kConnect));
  Queue(kp::DialogAction::MakeSelect(kList, 1));
  Queue(kp::DialogAction::MakeClick(IDOK));
  EXPECT_EQ(Run(dlg_), IDOK);
  EXPECT_STREQ(dlg_.m_strResult, "b");
  EXPECT_EQ(dlg_.m_nSelChanges, 1);
  ASSERT_EQ(desktop_.Dialogs().size(), 1u);
  EXPECT_EQ(desktop_.Dialogs()[0].caption, "请选择地层名称");
  EXPECT_EQ(desktop_.Dialogs()[0].listRows.at(kList), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(desktop_.Dialogs()[0].result, IDOK);
}

TEST_F(CDialogTest, OkBeforeConnectGivesEmptyText) {
  dlg_.m_strResult = "old";
  Queue(kp::DialogAction::MakeClick(IDOK));
  EXPECT_EQ(Run(dlg_), IDOK);
  EXPECT_STREQ(dlg_.m_strResult, "");
  EXPECT_TRUE(desktop_.Dialogs()[0].listRows.at(kList).empty());
}

TEST_F(CDialogTest, OkWithFilledListAndNoSelectionGivesEmptyText) {
  Queue(kp::DialogAction::MakeClick(kConnect));
  Queue(kp::DialogAction::MakeEnter());
  EXPECT_EQ(Run(dlg_), IDOK);
  EXPECT_STREQ(dlg_.m_strResult, "");
}

struct CancelCase {
  kp::DialogAction action;
  const char* name;
};
class CDialogCancelTest : public CDialogTest, public ::testing::WithParamInterface<CancelCase> {};
TEST_P(CDialogCancelTest, CancelEscAndCloseBoxKeepTheEarlierResult) {
  Queue(kp::DialogAction::MakeClick(kConnect));
  Queue(kp::DialogAction::MakeSelect(kList, 2));
  Queue(kp::DialogAction::MakeClick(IDOK));
  ASSERT_EQ(Run(dlg_), IDOK);
  ASSERT_STREQ(dlg_.m_strResult, "c");
  Queue(kp::DialogAction::MakeClick(kConnect));
  Queue(kp::DialogAction::MakeSelect(kList, 0));
  Queue(GetParam().action);
  EXPECT_EQ(Run(dlg_), IDCANCEL);
  EXPECT_STREQ(dlg_.m_strResult, "c");
}
INSTANTIATE_TEST_SUITE_P(Ways, CDialogCancelTest,
                         ::testing::Values(CancelCase{kp::DialogAction::MakeClick(IDCANCEL), "CancelButton"},
                                           CancelCase{kp::DialogAction::MakeEscape(), "Escape"},
                                           CancelCase{kp::DialogAction::MakeClose(), "CloseBox"},
                                           CancelCase{kp::DialogAction::MakeEndOfInput(), "EndOfInput"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CDialogTest, DoubleClickOnlySelectsThenEnterIsOk) {
  Queue(kp::DialogAction::MakeClick(kConnect));
  Queue(kp::DialogAction::MakeDoubleClick(kList, 2));
  Queue(kp::DialogAction::MakeEnter());
  EXPECT_EQ(Run(dlg_), IDOK);
  EXPECT_STREQ(dlg_.m_strResult, "c");
  // The dialog stayed open after the double-click: the Enter action was still asked for.
  EXPECT_EQ(desktop_.PendingActions(), 0u);
  EXPECT_EQ(desktop_.Log()[desktop_.Log().size() - 2], "action enter");
}

TEST_F(CDialogTest, EveryOpeningCreatesTheControlsAfresh) {
  Queue(kp::DialogAction::MakeClick(kConnect));
  Queue(kp::DialogAction::MakeClick(IDOK));
  Run(dlg_);
  EXPECT_EQ(dlg_.m_hWnd, nullptr);
  EXPECT_EQ(dlg_.m_listNames.m_hWnd, nullptr);  // unbound when its window was destroyed
  Queue(kp::DialogAction::MakeClick(IDOK));
  Run(dlg_);
  ASSERT_EQ(desktop_.Dialogs().size(), 2u);
  EXPECT_TRUE(desktop_.Dialogs()[1].listRows.at(kList).empty());
  EXPECT_EQ(dlg_.m_arrCodes.GetSize(), 3);  // members keep their contents between openings
}

TEST_F(CDialogTest, MissingTemplateAnswersMinusOne) {
  CDialog missing(4242);
  EXPECT_EQ(Run(missing), -1);
  EXPECT_TRUE(desktop_.Dialogs().empty());
}

TEST_F(CDialogTest, HeadlessDialogClosesAsCancel) {
  ASSERT_EQ(kp::GetDesktop(), nullptr);
  dlg_.m_strResult = "kept";
  EXPECT_EQ(dlg_.DoModal(), IDCANCEL);
  EXPECT_STREQ(dlg_.m_strResult, "kept");
}

TEST_F(CDialogTest, ConnectShowsAndTakesDownTheWaitCursor) {
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  Queue(kp::DialogAction::MakeClick(kConnect));
  Run(dlg_);
  EXPECT_EQ(desktop_.Cursors(), (std::vector<std::string>{"IDC_WAIT", "IDC_ARROW"}));
}

TEST(WaitCursorTest, NestedWaitCursorsReturnToTheArrowAtZero) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  CCmdTarget target;
  target.BeginWaitCursor();
  {
    CWaitCursor inner;
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
  }
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));  // the outer one is still counted
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));              // e.g. a message box changed it
  target.RestoreWaitCursor();
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
  target.EndWaitCursor();
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
  target.EndWaitCursor();  // below zero stays at zero
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST(AfxMessageBoxTest, CaptionIsTheApplicationName) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  desktop.QueueAnswer(IDCANCEL);
  EXPECT_EQ(AfxMessageBox("未成功连接数据库", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(AfxMessageBox(500u), IDOK);
  ASSERT_EQ(desktop.MessageBoxes().size(), 2u);
  EXPECT_EQ(desktop.MessageBoxes()[0].caption, AfxGetAppName());
  EXPECT_EQ(desktop.MessageBoxes()[0].text, "未成功连接数据库");
  EXPECT_EQ(desktop.MessageBoxes()[0].type, static_cast<UINT>(MB_OKCANCEL));
  EXPECT_EQ(desktop.MessageBoxes()[1].text, "来自资源的提示");
}

// --- DDX_Text ---------------------------------------------------------------------------------

class CEditDlg : public CDialog {
 public:
  CEditDlg() : CDialog(kEditDialogId) {}
  CString m_strName = "初值";
  int m_nCount = 7;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, kName, m_strName);
    DDX_Text(pDX, kCount, m_nCount);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    char text[32];
    ::GetDlgItemTextA(m_hWnd, kName, text, sizeof text);
    initialName = text;
    ::GetDlgItemTextA(m_hWnd, kCount, text, sizeof text);
    initialCount = text;
    ::SetDlgItemTextA(m_hWnd, kName, "新名");
    ::SetDlgItemTextA(m_hWnd, kCount, nextCount);
    return TRUE;
  }

 public:
  CString initialName, initialCount;
  const char* nextCount = "42";
};

TEST(DataExchangeTest, TextGoesIntoTheControlsAndBackOnOk) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  CEditDlg dlg;
  desktop.QueueAction(kp::DialogAction::MakeClick(IDOK));
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_STREQ(dlg.initialName, "初值");
  EXPECT_STREQ(dlg.initialCount, "7");
  EXPECT_STREQ(dlg.m_strName, "新名");
  EXPECT_EQ(dlg.m_nCount, 42);
}

TEST(DataExchangeTest, NonIntegerTextFailsTheExchangeAndOkKeepsTheDialogOpen) {
  kp::ScriptedDesktop desktop;
  kp::DesktopScope scope(&desktop);
  CEditDlg dlg;
  dlg.nextCount = "4x";
  desktop.QueueAction(kp::DialogAction::MakeClick(IDOK));
  desktop.QueueAction(kp::DialogAction::MakeClick(IDCANCEL));
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_EQ(desktop.MessageBoxes().size(), 1u);
  EXPECT_EQ(desktop.MessageBoxes()[0].text, "Please enter an integer.");
  EXPECT_EQ(dlg.m_nCount, 7);
}

}  // namespace
