// CDialog: modal and modeless dialogs from the resource table of the current module state.
//
// DoModal follows MFC: the template is looked up in the CURRENT module state (so a plug-in's
// AFX_MANAGE_STATE makes its own template 12000 win over the host's); the dialog window and its
// controls are created afresh (CreateDialogIndirectParamA with AfxDlgProc); at WM_INITDIALOG the
// object subclasses the dialog window (the dialog class's DefDlgProcA becomes its super
// procedure) and OnInitDialog runs, which binds DDX_Control members through UpdateData(FALSE).
// Then the platform's modal loop (kp::RunModalLoop) tells the desktop DialogOpened, plays its
// actions as messages until EndDialog, and tells it DialogClosed; DoModal destroys the window,
// which unbinds the dialog and every subclassed control, and answers the result. The owner
// window, if any, is disabled while the dialog runs, as Windows does for a modal dialog.
// Default commands: IDOK -> OnOK (UpdateData(TRUE), then EndDialog(IDOK)); IDCANCEL (the
// cancel button, Esc, the close box) -> OnCancel (EndDialog(IDCANCEL)).
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() : m_nIDHelp(0), m_nIDTemplate(0), m_pParentWnd(nullptr), m_nModalResult(-1) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_nModalResult(-1) {}

CDialog::~CDialog() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    TRACE("Warning: a dialog object is destroyed while its window exists; the window is destroyed\n");
    ::DestroyWindow(m_hWnd);  // WM_NCDESTROY unbinds the object
  }
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT nMsg, WPARAM, LPARAM lParam) {
  if (nMsg != WM_INITDIALOG) return FALSE;  // everything else reaches the object through AfxWndProc
  CDialog* dlg = reinterpret_cast<CDialog*>(lParam);
  if (!dlg) return TRUE;
  if (CWnd::FromHandlePermanent(hWnd) != dlg && !dlg->SubclassWindow(hWnd)) {
    TRACE("AfxDlgProc: the dialog object could not be bound to its window\n");
    return TRUE;
  }
  return dlg->OnInitDialog();
}

static const KpDialogTemplate* FindTemplate(UINT id) {
  const KpDialogTemplate* t = AfxFindDialogTemplate(id);
  if (!t) {
    const KpResourceTable* table = AfxGetResourceTable();
    TRACE("CDialog: dialog template %u is not in the resources of module %s\n", id,
          table && table->moduleName ? table->moduleName : "(none)");
  }
  return t;
}

int CDialog::DoModal() {
  if (m_hWnd) {
    TRACE("CDialog::DoModal: the dialog is open already\n");
    return -1;
  }
  const KpDialogTemplate* t = FindTemplate(m_nIDTemplate);
  if (!t) return -1;
  HWND owner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
  if (!owner && AfxGetApp() && AfxGetApp()->m_pMainWnd) owner = AfxGetApp()->m_pMainWnd->GetSafeHwnd();
  BOOL ownerWasDisabled = owner ? ::EnableWindow(owner, FALSE) : TRUE;

  m_nModalResult = -1;
  HWND hwnd = CreateDialogIndirectParamA(AfxGetResourceHandle(), t, owner, AfxDlgProc,
                                         reinterpret_cast<LPARAM>(this));
  int result = -1;
  if (hwnd) {
    result = static_cast<int>(kp::RunModalLoop(hwnd));
    m_nModalResult = result;
    if (IsWindow(hwnd)) ::DestroyWindow(hwnd);
  } else {
    TRACE("CDialog::DoModal: dialog %u could not be created\n", m_nIDTemplate);
  }
  if (m_hWnd) Detach();
  if (owner && !ownerWasDisabled) ::EnableWindow(owner, TRUE);
  return result;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  m_nIDTemplate = nIDTemplate;
  m_pParentWnd = pParentWnd;
  const KpDialogTemplate* t = FindTemplate(nIDTemplate);
  if (!t) return FALSE;
  HWND hwnd =
      CreateDialogIndirectParamA(AfxGetResourceHandle(), t, pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr,
                                 AfxDlgProc, reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr;
}

BOOL CDialog::OnInitDialog() {
  if (!UpdateData(FALSE)) TRACE("CDialog::OnInitDialog: UpdateData failed during dialog init\n");
  return TRUE;
}

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  if (m_hWnd) ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) {
    TRACE("CDialog::OnOK: UpdateData failed; the dialog stays open\n");
    return;
  }
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}
