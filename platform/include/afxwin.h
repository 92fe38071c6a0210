// The window classes of the MFC 4.2-compatible library (kpmfc): command targets and message
// maps, CWnd with its ActiveX-control side, CDialog and data exchange, the standard controls
// (CListBox, CButton, CStatic, CEdit), the wait cursor, AfxMessageBox, CUserException and
// minimal GDI wrappers. One .cpp file per class in platform/mfc/.
//
// Windows are the platform's (winuser.h): a CWnd is bound to an HWND by a process-wide handle
// map (permanent objects through Attach / SubclassWindow / Create; temporary ones made by
// FromHandle for unknown handles). Messages reach a CWnd's message map through AfxWndProc
// (subclassed windows) or AfxDlgProc (dialogs): WindowProc -> OnWndMsg -> OnCommand / the map
// -> DefWindowProc (the subclassed class's procedure). The handle maps and the wait-cursor count
// are process-wide, not per thread: windows are used by the one user-interface thread.
//
// Message maps are the MFC macros (DECLARE_MESSAGE_MAP, BEGIN_MESSAGE_MAP(class, base),
// ON_COMMAND, ON_BN_CLICKED, ON_LBN_SELCHANGE, ON_LBN_DBLCLK, ON_CONTROL, ON_MESSAGE,
// ON_WM_CREATE, ON_WM_DESTROY, ON_WM_CLOSE, ON_WM_SETCURSOR, ON_WM_SIZE, ON_WM_TIMER,
// END_MESSAGE_MAP). A derived class's entries come before its base's; the first match runs.
#pragma once
#include <cstring>

#include "afx.h"
#include "oaidl.h"
#include "winuser.h"

class CCmdTarget;
class CWnd;
class CDataExchange;
struct AFX_CMDHANDLERINFO;

typedef void (CCmdTarget::*AFX_PMSG)(void);
typedef void (CWnd::*AFX_PMSGW)(void);
typedef CREATESTRUCTA CREATESTRUCT;
typedef CREATESTRUCTA* LPCREATESTRUCT;

// How a message-map entry's function is called.
enum AfxSig : UINT_PTR {
  AfxSig_end = 0,
  AfxSig_vv,    // void f()                          (command handlers, WM_DESTROY, WM_CLOSE)
  AfxSig_bv,    // BOOL f()                          (ON_COMMAND_EX style handled-or-not)
  AfxSig_is,    // int f(LPCREATESTRUCT)             (WM_CREATE)
  AfxSig_bWww,  // BOOL f(CWnd*, UINT, UINT)         (WM_SETCURSOR)
  AfxSig_vwii,  // void f(UINT, int, int)            (WM_SIZE)
  AfxSig_vw,    // void f(UINT_PTR)                  (WM_TIMER)
  AfxSig_lwl,   // LRESULT f(WPARAM, LPARAM)         (ON_MESSAGE)
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_COMMAND for command and notification entries
  UINT nCode;     // notification code (0 = BN_CLICKED = CN_COMMAND)
  UINT nID;       // first control id
  UINT nLastID;   // last control id
  UINT_PTR nSig;  // AfxSig
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define CN_COMMAND 0

// Reinterprets one member-function pointer type as another of the same size (message-map
// entries keep every handler as AFX_PMSG and are called back through their real signature).
template <class To, class From>
inline To AfxPunMsgFn(From f) {
  static_assert(sizeof(To) == sizeof(From));
  To to;
  std::memcpy(static_cast<void*>(&to), static_cast<const void*>(&f), sizeof to);
  return to;
}

#define DECLARE_MESSAGE_MAP()                          \
 protected:                                            \
  static const AFX_MSGMAP* PASCAL GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)             \
  const AFX_MSGMAP* theClass::GetMessageMap() const {      \
    return GetThisMessageMap();                            \
  }                                                        \
  const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() { \
    typedef theClass ThisClass [[maybe_unused]];           \
    typedef baseClass TheBaseClass;                        \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                       \
  { 0, 0, 0, 0, AfxSig_end, (AFX_PMSG)0 }                                                       \
  }                                                                                             \
  ;                                                                                             \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                           \
  }

#define ON_COMMAND(id, memberFxn) \
  {WM_COMMAND, CN_COMMAND, (WORD)(id), (WORD)(id), AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::memberFxn)},
#define ON_COMMAND_RANGE(id, idLast, memberFxn) \
  {WM_COMMAND,     CN_COMMAND, (WORD)(id),      \
   (WORD)(idLast), AfxSig_vv,  static_cast<AFX_PMSG>(&ThisClass::memberFxn)},
#define ON_CONTROL(wNotifyCode, id, memberFxn)  \
  {WM_COMMAND, (WORD)(wNotifyCode), (WORD)(id), \
   (WORD)(id), AfxSig_vv,           static_cast<AFX_PMSG>(&ThisClass::memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_MESSAGE(message, memberFxn) \
  {(UINT)(message),                    \
   0,                                  \
   0,                                  \
   0,                                  \
   AfxSig_lwl,                         \
   static_cast<AFX_PMSG>(              \
       AfxPunMsgFn<AFX_PMSGW>(static_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(&ThisClass::memberFxn)))},
#define ON_WM_CREATE()    \
  {WM_CREATE,             \
   0,                     \
   0,                     \
   0,                     \
   AfxSig_is,             \
   static_cast<AFX_PMSG>( \
       AfxPunMsgFn<AFX_PMSGW>(static_cast<int (CWnd::*)(LPCREATESTRUCT)>(&ThisClass::OnCreate)))},
#define ON_WM_DESTROY() \
  {WM_DESTROY,          \
   0,                   \
   0,                   \
   0,                   \
   AfxSig_vv,           \
   static_cast<AFX_PMSG>(AfxPunMsgFn<AFX_PMSGW>(static_cast<void (CWnd::*)()>(&ThisClass::OnDestroy)))},
#define ON_WM_CLOSE() \
  {WM_CLOSE,          \
   0,                 \
   0,                 \
   0,                 \
   AfxSig_vv,         \
   static_cast<AFX_PMSG>(AfxPunMsgFn<AFX_PMSGW>(static_cast<void (CWnd::*)()>(&ThisClass::OnClose)))},
#define ON_WM_SETCURSOR() \
  {WM_SETCURSOR,          \
   0,                     \
   0,                     \
   0,                     \
   AfxSig_bWww,           \
   static_cast<AFX_PMSG>( \
       AfxPunMsgFn<AFX_PMSGW>(static_cast<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(&ThisClass::OnSetCursor)))},
#define ON_WM_SIZE()      \
  {WM_SIZE,               \
   0,                     \
   0,                     \
   0,                     \
   AfxSig_vwii,           \
   static_cast<AFX_PMSG>( \
       AfxPunMsgFn<AFX_PMSGW>(static_cast<void (CWnd::*)(UINT, int, int)>(&ThisClass::OnSize)))},
#define ON_WM_TIMER()     \
  {WM_TIMER,              \
   0,                     \
   0,                     \
   0,                     \
   AfxSig_vw,             \
   static_cast<AFX_PMSG>( \
       AfxPunMsgFn<AFX_PMSGW>(static_cast<void (CWnd::*)(UINT_PTR)>(&ThisClass::OnTimer)))},

#define afx_msg

/////////////////////////////////////////////////////////////////////////////
// CCmdTarget: message maps and the wait cursor.

class KPAPI CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget() = default;
  ~CCmdTarget() override = default;

  // Runs the first WM_COMMAND entry of the maps (this class's first) that matches nID and
  // nCode; answers TRUE when one ran. pExtra and pHandlerInfo are not used (no command UI).
  virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

  // The wait cursor: Begin counts up and shows IDC_WAIT, End counts down and shows the arrow
  // when the count is back at 0, Restore shows the cursor that the count calls for.
  void BeginWaitCursor();
  void EndWaitCursor();
  void RestoreWaitCursor();

 protected:
  static const AFX_MSGMAP* PASCAL GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // The first entry of the map chain with this message, code and id; null if none.
  static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT nMessage, UINT nCode, UINT nID);
};

#define KP_AFX_CMDTARGET_DECLARED
#include "afxstate.h"

// The wait-cursor count behind BeginWaitCursor: +1 begin, -1 end, 0 restore.
KPAPI void AFXAPI AfxDoWaitCursor(int nCode);

class CWaitCursor {
 public:
  CWaitCursor() { AfxDoWaitCursor(1); }
  ~CWaitCursor() { AfxDoWaitCursor(-1); }
  void Restore() { AfxDoWaitCursor(0); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

/////////////////////////////////////////////////////////////////////////////
// CUserException: a failure the user has already been told about (data exchange).

class KPAPI CUserException : public CSimpleException {
  DECLARE_DYNAMIC(CUserException)
 public:
  CUserException() = default;
  explicit CUserException(BOOL bAutoDelete) : CSimpleException(bAutoDelete) {}
};
[[noreturn]] KPAPI void AFXAPI AfxThrowUserException();

/////////////////////////////////////////////////////////////////////////////
// CWnd

// The window procedure of every subclassed CWnd and the dialog procedure of every CDialog.
KPAPI LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
KPAPI INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

class KPAPI CWnd : public CCmdTarget {
  DECLARE_DYNCREATE(CWnd)
 public:
  CWnd();
  // A window still attached is destroyed (with a trace), as MFC does.
  ~CWnd() override;

  HWND m_hWnd;
  operator HWND() const { return m_hWnd; }
  // As in MFC, answers NULL when called through a null pointer (GetDlgItem(...)->GetSafeHwnd()).
  HWND GetSafeHwnd() const;

  // The permanent object of hWnd, else a temporary CWnd that lives until the window is gone.
  static CWnd* PASCAL FromHandle(HWND hWnd);
  static CWnd* PASCAL FromHandlePermanent(HWND hWnd);
  // Binds this object to hWnd in the handle map (FALSE if null or bound to another object).
  BOOL Attach(HWND hWndNew);
  HWND Detach();
  // Attach plus installing AfxWndProc as the window procedure; the old one becomes the super
  // procedure that DefWindowProc calls.
  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  HWND UnsubclassWindow();

  BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
              CWnd* pParentWnd, UINT nID, void* pContext = nullptr);
  BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, int x, int y,
                int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
  virtual BOOL DestroyWindow();

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  CWnd* GetDlgItem(int nID) const;
  int GetDlgCtrlID() const;
  CWnd* GetParent() const;
  void SetWindowText(LPCTSTR lpszString);
  int GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const;
  void GetWindowText(CString& rString) const;
  int GetWindowTextLength() const;
  void SetDlgItemText(int nID, LPCTSTR lpszString);
  int GetDlgItemText(int nID, CString& rString) const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int nCmdShow);
  BOOL IsWindowVisible() const;
  LONG GetStyle() const;
  void GetWindowRect(LPRECT lpRect) const;
  void GetClientRect(LPRECT lpRect) const;
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
  CWnd* SetFocus();

  // Data exchange: runs DoDataExchange in the given direction; FALSE when it failed (the user
  // was told, and the failing control has the focus).
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  // The ActiveX-control side, as the wrappers generated for a control use it. A CWnd holds the
  // control's IDispatch (AddRef'ed; released by DetachControl and the destructor) and usually
  // its window. The calls work as COleDispatchDriver's (afxdisp.h), failures included:
  // COleException* / COleDispatchException* are thrown; with no control held, a COleException
  // with E_NOINTERFACE.
  BOOL AttachControl(HWND hWnd, IDispatch* pControl);
  void DetachControl();
  IDispatch* GetControlDispatch() const { return m_pCtrlDispatch; }  // not AddRef'ed
  void AFX_CDECL InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                              const BYTE* pbParamInfo, ...);
  void GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const;
  void AFX_CDECL SetProperty(DISPID dwDispID, VARTYPE vtProp, ...);

  // Message routing.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // Called after the window is gone (WM_NCDESTROY) and the object detached; a CWnd made with
  // new by its owner may delete itself here.
  virtual void PostNcDestroy();

  // Default handlers that derived classes map with ON_WM_*.
  afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
  afx_msg void OnDestroy();
  afx_msg void OnClose();
  afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
  afx_msg void OnSize(UINT nType, int cx, int cy);
  afx_msg void OnTimer(UINT_PTR nIDEvent);

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Runs Default() for the message being handled: the super procedure with its parameters.
  LRESULT Default();

  WNDPROC m_pfnSuper;
  IDispatch* m_pCtrlDispatch;

  static const AFX_MSGMAP* PASCAL GetThisMessageMap();
  const AFX_MSGMAP* GetMessageMap() const override;

 private:
  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } m_current{};
  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

/////////////////////////////////////////////////////////////////////////////
// CDialog

class KPAPI CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Creates the dialog from template m_nIDTemplate of the CURRENT module state's resource
  // table, runs it modally with the desktop, destroys it (controls included) and answers the
  // EndDialog result: IDOK, IDCANCEL, ...; -1 (with a trace) when the template is missing or the
  // dialog could not be created.
  virtual int DoModal();
  // Modeless creation from a template of the current module state.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  // WM_INITDIALOG: UpdateData(FALSE), which binds DDX_Control members; answers TRUE.
  virtual BOOL OnInitDialog();
  void EndDialog(int nResult);

  UINT m_nIDHelp;

 protected:
  // IDOK: UpdateData(TRUE), then EndDialog(IDOK) if the exchange succeeded.
  virtual void OnOK();
  // IDCANCEL (also Esc and the close box): EndDialog(IDCANCEL).
  virtual void OnCancel();

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
  int m_nModalResult;

  DECLARE_MESSAGE_MAP()
};

/////////////////////////////////////////////////////////////////////////////
// Controls: thin wrappers over the control messages.

class KPAPI CStatic : public CWnd {
  DECLARE_DYNAMIC(CStatic)
 public:
  BOOL Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xffff);
};

class KPAPI CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)
 public:
  BOOL Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  int GetCheck() const;
  void SetCheck(int nCheck);
  UINT GetButtonStyle() const;
  void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
};

class KPAPI CEdit : public CWnd {
  DECLARE_DYNAMIC(CEdit)
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
};

// A list box. Rows are GBK strings; every change of the rows of a list box in an open modal
// dialog is reported to the desktop (DialogListChanged) by the list box itself.
class KPAPI CListBox : public CWnd {
  DECLARE_DYNAMIC(CListBox)
 public:
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int nSelect);
  int GetText(int nIndex, LPTSTR lpszBuffer) const;
  void GetText(int nIndex, CString& rString) const;
  int GetTextLen(int nIndex) const;
  DWORD_PTR GetItemData(int nIndex) const;
  int SetItemData(int nIndex, DWORD_PTR dwItemData);
  void* GetItemDataPtr(int nIndex) const;
  int SetItemDataPtr(int nIndex, void* pData);
  int AddString(LPCTSTR lpszItem);
  int InsertString(int nIndex, LPCTSTR lpszItem);
  int DeleteString(UINT nIndex);
  void ResetContent();
  int FindString(int nStartAfter, LPCTSTR lpszItem) const;
  int FindStringExact(int nIndexStart, LPCTSTR lpszFind) const;
  int SelectString(int nStartAfter, LPCTSTR lpszItem);
};

/////////////////////////////////////////////////////////////////////////////
// Data exchange

class KPAPI CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

  BOOL m_bSaveAndValidate;  // TRUE: controls -> members
  CWnd* m_pDlgWnd;
  HWND m_hWndLastControl;

  // The control nIDC of the dialog (remembered for Fail); a missing control is a programming
  // error: trace, then CNotSupportedException.
  HWND PrepareCtrl(int nIDC);
  HWND PrepareEditCtrl(int nIDC) { return PrepareCtrl(nIDC); }
  // Gives the last prepared control the focus and throws CUserException.
  [[noreturn]] void Fail();
};

// Binds rControl to control nIDC by subclassing it, once per window (when rControl has no
// window yet).
KPAPI void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
KPAPI void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Saving, text that is not an integer is reported with AfxMessageBox and fails the exchange.
KPAPI void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value);
KPAPI void AFXAPI DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);

/////////////////////////////////////////////////////////////////////////////
// Message boxes (AfxMessageBox(LPCTSTR, UINT, UINT) is declared in afxstate.h). The caption is
// the current module state's application name.

KPAPI int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);

/////////////////////////////////////////////////////////////////////////////
// Minimal GDI wrappers: handle holders. The platform has no drawing surface; a CDC holds a
// device-context handle obtained from the window manager's GetDC when one exists.

class KPAPI CGdiObject : public CObject {
  DECLARE_DYNAMIC(CGdiObject)
 public:
  CGdiObject() : m_hObject(nullptr) {}
  ~CGdiObject() override;
  HGDIOBJ m_hObject;
  HGDIOBJ GetSafeHandle() const;  // NULL through a null pointer, as in MFC
  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  // Deletes the GDI object held (DeleteObject) and clears the handle.
  BOOL DeleteObject();
};

class KPAPI CBitmap : public CGdiObject {
  DECLARE_DYNAMIC(CBitmap)
 public:
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};

class KPAPI CDC : public CObject {
  DECLARE_DYNAMIC(CDC)
 public:
  CDC() : m_hDC(nullptr), m_hAttribDC(nullptr) {}
  ~CDC() override = default;
  HDC m_hDC;
  HDC m_hAttribDC;
  operator HDC() const { return m_hDC; }
  HDC GetSafeHdc() const;  // NULL through a null pointer, as in MFC
  BOOL Attach(HDC hDC);
  HDC Detach();
};
