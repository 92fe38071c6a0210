// The stratum-name dialog and the loading of table dcmc.
//
// "连接数据库" closes the module's connection if it is open, reopens it through the data-link
// file "isoDB.udl" in the configuration directory, and replaces the list with the names of
// "select * from dcmc order by dcbm" (trimmed; empty names and "无" skipped), keeping each row's
// trimmed code at the same index in m_arrCodes.
//
// Beyond the table's plain path, two choices of ours: the wait cursor ends when the load ends;
// and a connection lost while the names are read (the database layer's navigation lets its COM
// error through) ends the load with the rows read so far, keeps the dialog open and tells the
// user once with the layer's disconnection message. No exception leaves the button handler.
#include "SetDlg.h"

#include <comdef.h>

#include "ADODataBase.h"
#include "ADORecordset.h"
#include "host/kpBase.h"

namespace {

const char kDataLinkFile[] = "isoDB.udl";
const char kConnectFailed[] = "未成功连接数据库－UDL 数据库连接方式: 文件 %s 不存在或配置不正确!";
const char kStratumQuery[] = "select * from dcmc order by dcbm";
const char kNoStratum[] = "无";
const char kDisconnected[] = "数据库可能已经断开,\r\n请重新连接、然后重试.";
const char kNotice[] = "提示";
constexpr int kOpenQuery = 1;
constexpr long kOptionUnspecified = -1;

void TellConnectionLost(const _com_error& e) {
  TRACE("CSetDlg: connection lost while loading stratum names: %s\n", e.ErrorMessage());
  ::MessageBoxA(nullptr, kDisconnected, kNotice, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

BEGIN_MESSAGE_MAP(CSetDlg, CDialog)
  ON_BN_CLICKED(IDC_BUTTON_CONNECT, OnButtonConnect)
END_MESSAGE_MAP()

CSetDlg::CSetDlg(CADODataBase* pDatabase, CWnd* pParent) : CDialog(CSetDlg::IDD, pParent) {
  m_strResult = "";
  m_pDatabase = pDatabase;
}

CSetDlg::~CSetDlg() {}

void CSetDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LIST_NAMES, m_listNames);
}

void CSetDlg::OnOK() {
  UpdateData(TRUE);
  int index = m_listNames.GetCurSel();
  if (index >= 0 && index < m_listNames.GetCount()) {
    m_strResult = m_arrCodes.GetAt(index);
  } else {
    m_listNames.GetWindowText(m_strResult);
  }
  CDialog::OnOK();
}

void CSetDlg::OnButtonConnect() {
  try {
    if (m_pDatabase->IsOpen()) m_pDatabase->Close();
  } catch (_com_error& e) {
    TRACE("CSetDlg: closing the connection failed: %s\n", e.ErrorMessage());
  }
  CString directory;
  GetConfigDirectory(directory);
  CString path = directory + kDataLinkFile;
  if (!m_pDatabase->OpenUDLFile(path, kOptionUnspecified)) {
    CString message;
    message.Format(kConnectFailed, (LPCTSTR)path);
    AfxMessageBox(message, MB_OK);
  }
  LoadStratumNames();
}

void CSetDlg::LoadStratumNames() {
  CWaitCursor wait;
  try {
    if (!m_pDatabase->IsOpen()) return;
    CADORecordset records(m_pDatabase);
    records.Open(kStratumQuery, kOpenQuery);
    if (!records.IsOpen()) return;
    m_listNames.ResetContent();
    m_arrCodes.RemoveAll();
    if (records.GetRecordCount() == 0) return;
    records.MoveFirst();
    DWORD passes = records.GetRecordCount();
    for (DWORD pass = 0; pass < passes; ++pass) {
      CString name, code;
      if (records.GetFieldValue("dcmc", name, "") && records.GetFieldValue("dcdm", code, "")) {
        name.TrimLeft();
        name.TrimRight();
        if (!name.IsEmpty() && name != kNoStratum) {
          m_listNames.AddString(name);
          code.TrimLeft();
          code.TrimRight();
          m_arrCodes.Add(code);
        }
      }
      records.MoveNext();
    }
    records.Close();
  } catch (_com_error& e) {
    TellConnectionLost(e);
  }
}
