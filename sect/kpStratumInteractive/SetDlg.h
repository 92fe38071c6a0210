// The stratum-name dialog: the user connects to the stratum database through "isoDB.udl",
// picks a name from table dcmc, and the dialog hands back that row's stratum code (never the
// name) in m_strResult. One object serves the module's whole life; its window exists only while
// DoModal runs, and m_strResult and m_arrCodes keep their contents between openings.
#pragma once
#include <afxwin.h>

#include "resource.h"

class CADODataBase;

class CSetDlg : public CDialog {
 public:
  explicit CSetDlg(CADODataBase* pDatabase, CWnd* pParent = nullptr);
  virtual ~CSetDlg();

  enum { IDD = IDD_STRATUM_NAME };

  CADODataBase* m_pDatabase;  // not owned
  CString m_strResult;        // code of the row chosen at the last OK, or empty text
  CStringArray m_arrCodes;    // element i is the code of list row i
  CListBox m_listNames;

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual void OnOK();

  afx_msg void OnButtonConnect();
  void LoadStratumNames();

  DECLARE_MESSAGE_MAP()
};
