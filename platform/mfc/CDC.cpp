// CDC: a holder of a device-context handle (GetDC / ReleaseDC belong to the caller).
#include "afxwin.h"

IMPLEMENT_DYNAMIC(CDC, CObject)

HDC CDC::GetSafeHdc() const {
  const void* volatile self = this;  // MFC code calls this through null pointers
  return self ? m_hDC : nullptr;
}

BOOL CDC::Attach(HDC hDC) {
  if (!hDC || m_hDC) return FALSE;
  m_hDC = m_hAttribDC = hDC;
  return TRUE;
}

HDC CDC::Detach() {
  HDC h = m_hDC;
  m_hDC = m_hAttribDC = nullptr;
  return h;
}
