// CGdiObject and CBitmap: holders of a GDI handle. Deleting goes to the platform's
// DeleteObject when the GDI part of kpwin32 (wingdi.h) is present; without it, the handle is
// only forgotten and the call is traced.
#include "afxwin.h"
#if __has_include("wingdi.h")
#include "wingdi.h"
#define KP_HAVE_WINGDI 1
#endif

IMPLEMENT_DYNAMIC(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)

CGdiObject::~CGdiObject() {
  DeleteObject();
}

HGDIOBJ CGdiObject::GetSafeHandle() const {
  const void* volatile self = this;  // MFC code calls this through null pointers
  return self ? m_hObject : nullptr;
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  if (!hObject || m_hObject) return FALSE;
  m_hObject = hObject;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  HGDIOBJ h = Detach();
  if (!h) return FALSE;
#ifdef KP_HAVE_WINGDI
  return ::DeleteObject(h);
#else
  TRACE("CGdiObject::DeleteObject(%p): no GDI in this build; the handle is dropped\n", h);
  return TRUE;
#endif
}
