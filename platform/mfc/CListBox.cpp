// CListBox: the list box messages as member functions (answers are the messages' own: LB_ERR
// for a bad index, LB_ERRSPACE when out of memory). Row changes are reported to the desktop by
// the list box window itself, so rows added through SendMessage directly are reported too.
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CListBox, CWnd)

namespace {
int Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return static_cast<int>(::SendMessageA(hwnd, message, wParam, lParam));
}
WPARAM Index(int n) {
  return static_cast<WPARAM>(static_cast<INT_PTR>(n));
}
LPARAM Text(LPCTSTR s) {
  return reinterpret_cast<LPARAM>(s);
}
}  // namespace

BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create("LISTBOX", nullptr, dwStyle, rect, pParentWnd, nID);
}
int CListBox::GetCount() const {
  return Send(m_hWnd, LB_GETCOUNT);
}
int CListBox::GetCurSel() const {
  return Send(m_hWnd, LB_GETCURSEL);
}
int CListBox::SetCurSel(int nSelect) {
  return Send(m_hWnd, LB_SETCURSEL, Index(nSelect));
}
int CListBox::GetText(int nIndex, LPTSTR lpszBuffer) const {
  return Send(m_hWnd, LB_GETTEXT, Index(nIndex), reinterpret_cast<LPARAM>(lpszBuffer));
}
void CListBox::GetText(int nIndex, CString& rString) const {
  int length = GetTextLen(nIndex);
  if (length == LB_ERR) {
    rString.Empty();
    return;
  }
  GetText(nIndex, rString.GetBufferSetLength(length));
  rString.ReleaseBuffer(length);
}
int CListBox::GetTextLen(int nIndex) const {
  return Send(m_hWnd, LB_GETTEXTLEN, Index(nIndex));
}
DWORD_PTR CListBox::GetItemData(int nIndex) const {
  return static_cast<DWORD_PTR>(::SendMessageA(m_hWnd, LB_GETITEMDATA, Index(nIndex), 0));
}
int CListBox::SetItemData(int nIndex, DWORD_PTR dwItemData) {
  return Send(m_hWnd, LB_SETITEMDATA, Index(nIndex), static_cast<LPARAM>(dwItemData));
}
void* CListBox::GetItemDataPtr(int nIndex) const {
  return reinterpret_cast<void*>(GetItemData(nIndex));
}
int CListBox::SetItemDataPtr(int nIndex, void* pData) {
  return SetItemData(nIndex, reinterpret_cast<DWORD_PTR>(pData));
}
int CListBox::AddString(LPCTSTR lpszItem) {
  return Send(m_hWnd, LB_ADDSTRING, 0, Text(lpszItem));
}
int CListBox::InsertString(int nIndex, LPCTSTR lpszItem) {
  return Send(m_hWnd, LB_INSERTSTRING, Index(nIndex), Text(lpszItem));
}
int CListBox::DeleteString(UINT nIndex) {
  return Send(m_hWnd, LB_DELETESTRING, nIndex);
}
void CListBox::ResetContent() {
  Send(m_hWnd, LB_RESETCONTENT);
}
int CListBox::FindString(int nStartAfter, LPCTSTR lpszItem) const {
  return Send(m_hWnd, LB_FINDSTRING, Index(nStartAfter), Text(lpszItem));
}
int CListBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
  return Send(m_hWnd, LB_FINDSTRINGEXACT, Index(nIndexStart), Text(lpszFind));
}
int CListBox::SelectString(int nStartAfter, LPCTSTR lpszItem) {
  return Send(m_hWnd, LB_SELECTSTRING, Index(nStartAfter), Text(lpszItem));
}
