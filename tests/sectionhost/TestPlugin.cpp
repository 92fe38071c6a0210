// A small command plug-in for the host's tests: the 13 exports and a command that drives the
// host the way a real command does (gate, command state, ShowText, a VOIntArray pick list,
// BeginPick, highlights, UpdateEntities, WM_SETCURSOR, a modal dialog, message boxes) and, on
// request, throws out of MouseStatus. Built twice: complete, and with TEST_PLUGIN_OMIT defined,
// missing the exports GetBmp and MouseStatus, for the loader's error reports.
//
// Command-line texts (event 21): "?" prompt; "boom" throws std::runtime_error; "ole" throws a
// COleDispatchException; "msg" shows a message box; "dialog" runs the test dialog, whose
// "连接数据库" button fills its list with two rows; "end" ends the command; other text is
// echoed as "echo: TEXT". A pick of two or more ids marks them, reports them, announces them
// with UpdateEntities and moves to step 1; fewer picks on.
#include <afxdisp.h>
#include <afxwin.h>
#include <kp/kpresource.h>

#include <cstring>
#include <stdexcept>

#include "host/CVOCommandGate.h"
#include "host/CVOHighlight.h"
#include "host/CVOIntArray.h"
#include "host/CVantorObjects.h"
#include "host/VantorDispids.h"

#define TEST_API extern "C" KPAPI

namespace {

enum { IDD_TEST = 500, IDC_CONNECT = 501, IDC_LIST = 502 };

const KpDialogItemTemplate kItems[] = {
    {IDOK, "BUTTON", "确定", 10, 100, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {IDCANCEL, "BUTTON", "取消", 70, 100, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {IDC_CONNECT, "BUTTON", "连接数据库", 10, 10, 60, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {IDC_LIST, "LISTBOX", nullptr, 10, 30, 100, 60, WS_CHILD | WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY, 0},
};
const KpDialogTemplate kDialogs[] = {{IDD_TEST, 0x0804, WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 0, 130,
                                      120, "测试对话框", 9, "宋体", kItems, 4}};
const KpResourceTable kResources = {"testplugin", kDialogs, 1, nullptr, 0};

class CTestDialog : public CDialog {
 public:
  CTestDialog() : CDialog(IDD_TEST) {}
  CString m_strChosen;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LIST, m_list);
  }
  void OnOK() override {
    int row = m_list.GetCurSel();
    if (row >= 0) m_list.GetText(row, m_strChosen);
    CDialog::OnOK();
  }
  afx_msg void OnConnect() {
    m_list.ResetContent();
    m_list.AddString("甲");
    m_list.AddString("乙");
  }
  CListBox m_list;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDialog, CDialog)
ON_BN_CLICKED(IDC_CONNECT, OnConnect)
END_MESSAGE_MAP()

class CTestApp : public CWinApp {
 public:
  CTestApp() : CWinApp("TestPlugin") {}
};
CTestApp theApp;

CVantorObjects* g_pMap = nullptr;
int g_nStatus = 0, g_nAction = 0;

CVOIntArray& PickList() {
  static CVOIntArray list;
  return list;
}

void BeginPick() {
  g_pMap->BeginPick(PickList().m_lpDispatch, 0, 1, 63, nullptr);
  g_pMap->SendMessage(WM_SETCURSOR, 0, 0);
}

void OnText(const char* text, CString& reply, LONG step) {
  if (std::strcmp(text, "?") == 0) {
    reply = step == 0 ? "pick two entities" : "done?";
  } else if (std::strcmp(text, "boom") == 0) {
    throw std::runtime_error("boom from the test plug-in");
  } else if (std::strcmp(text, "ole") == 0) {
    AfxThrowOleDispatchException(0, "ole failure from the test plug-in");
  } else if (std::strcmp(text, "msg") == 0) {
    AfxMessageBox("first line\nsecond\tline");
    reply = "message shown";
  } else if (std::strcmp(text, "dialog") == 0) {
    CTestDialog dlg;
    int result = dlg.DoModal();
    reply = result == IDOK ? "chosen: " + dlg.m_strChosen : CString("dialog cancelled");
  } else if (std::strcmp(text, "end") == 0) {
    g_pMap->SetCommandState(0, 0);
    reply = "ended";
  } else {
    reply = CString("echo: ") + text;
  }
}

}  // namespace

KP_MODULE_RESOURCES(kResources)

TEST_API void WINAPI GetCommandName(char* buffer) {
  std::strcpy(buffer, "测试命令(&T)");
}
TEST_API void WINAPI GetCommandTranslateName(char* buffer) {
  std::strcpy(buffer, "测试命令/tst");
}
TEST_API void WINAPI GetGroupName(char* buffer) {
  std::strcpy(buffer, "测试(&T)");
}
TEST_API void WINAPI GetToolBarName(char* buffer) {
  buffer[0] = '\0';
}
TEST_API CWinApp* WINAPI GetTheApp() {
  return &theApp;
}
#ifndef TEST_PLUGIN_OMIT
TEST_API int WINAPI GetBmp() {
  return 0;
}
#endif
TEST_API int WINAPI GetCommandType() {
  return 2;
}
TEST_API void WINAPI AttachVoMap(CVantorObjects* map) {
  g_pMap = map;
}
TEST_API void WINAPI SetVoAction(int action) {
  g_nAction = action;
}
TEST_API void WINAPI SetVoStatus(int status) {
  g_nStatus = status;
}
TEST_API void WINAPI SetVoUserCmdID(int) {}
namespace {
void OnEvent(int event, LPARAM param1, LPARAM param2);
}  // namespace

TEST_API int WINAPI LaunchCommand() {
  LONG code = 0, step = 0;
  g_pMap->GetCommandState(&code, &step);
  CVOCommandGate gate(g_pMap->GetCommandGate());
  if (!gate.CanLaunch() || gate.IsBlocked(g_nStatus) || code == g_nStatus) return 0;
  gate.PrepareLaunch();
  g_pMap->SetCommandState(g_nStatus, 0);
  g_pMap->ShowText("**测试命令<测试命令/tst>**");
  g_pMap->SetCurrentAction(g_nAction);
  OnEvent(18, 0, 0);
  return 1;
}

namespace {

void OnEvent(int event, LPARAM param1, LPARAM param2) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  LONG code = 0, step = 0;
  g_pMap->GetCommandState(&code, &step);
  if (code != g_nStatus) return;
  CVOIntArray& list = PickList();
  switch (event) {
    case 18:
      if (!list.m_lpDispatch) list.CreateDispatch(VANTOR_INTARRAY_PROGID);
      list.RemoveAll();
      g_pMap->ShowText("pick two entities");
      BeginPick();
      break;
    case 0: {
      LONG size = list.GetSize();
      CString text = "picked:";
      for (LONG i = 0; i < size; ++i) {
        CString id;
        id.Format(" %d", static_cast<int>(list.GetAt(i)));
        text += id;
      }
      g_pMap->ShowText(text);
      if (size < 2) {
        BeginPick();
        break;
      }
      VARIANT data = list.GetData();
      CVOHighlight highlight(g_pMap->GetHighlight());
      highlight.SetHighlight(data.plVal, size, 1, 1);
      highlight.DrawEntities(data.plVal, size);
      g_pMap->UpdateEntities(data.plVal, size, 1);
      VariantClear(&data);
      g_pMap->SetCommandState(code, 1);
      break;
    }
    case 7:
      if (param1 == 0x1B) {
        g_pMap->SetCommandState(0, 0);
        g_pMap->ShowText("cancelled");
      }
      break;
    case 21: {
      CString scratch;
      CString* reply = param2 ? reinterpret_cast<CString*>(param2) : &scratch;
      OnText(reinterpret_cast<const char*>(param1), *reply, step);
      break;
    }
    default:
      break;
  }
}
}  // namespace

#ifndef TEST_PLUGIN_OMIT
TEST_API void WINAPI MouseStatus(int event, LPARAM param1, LPARAM param2) {
  OnEvent(event, param1, param2);
}
#endif
