// CCmdTarget: the message-map walk for commands and the wait cursor.
//
// A map chain is walked from the most derived class to CCmdTarget; within a map, entries are
// looked at in order, and the first entry with the message, the notification code and an id
// range holding the id wins (MFC's rule). The wait cursor keeps one count for the process (the
// user-interface thread's): BeginWaitCursor shows IDC_WAIT and counts up; EndWaitCursor counts
// down (never below 0) and shows the arrow when the count is back at 0; RestoreWaitCursor shows
// what the count calls for (after a message box or dialog changed the cursor).
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(const AFX_MSGMAP* map, UINT nMessage, UINT nCode, UINT nID) {
  for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->nSig != AfxSig_end; ++e) {
      if (e->nMessage == nMessage && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID) return e;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void*, AFX_CMDHANDLERINFO*) {
  const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), WM_COMMAND, static_cast<UINT>(nCode) & 0xFFFF, nID);
  if (!e) return FALSE;
  if (e->nSig == AfxSig_bv) return (this->*AfxPunMsgFn<BOOL (CCmdTarget::*)()>(e->pfn))();
  (this->*(e->pfn))();
  return TRUE;
}

void CCmdTarget::BeginWaitCursor() {
  AfxDoWaitCursor(1);
}
void CCmdTarget::EndWaitCursor() {
  AfxDoWaitCursor(-1);
}
void CCmdTarget::RestoreWaitCursor() {
  AfxDoWaitCursor(0);
}

void AFXAPI AfxDoWaitCursor(int nCode) {
  static int count = 0;
  if (nCode > 0) {
    ++count;
  } else if (nCode < 0 && count > 0) {
    --count;
  }
  SetCursor(LoadCursorA(nullptr, count > 0 ? IDC_WAIT : IDC_ARROW));
}
