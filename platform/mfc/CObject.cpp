// CObject and CRuntimeClass: the root class of the library and its run-time class records.
// A class's record names its base class; IsKindOf walks that chain. CreateObject works for
// classes declared with DECLARE_DYNCREATE (or DECLARE_SERIAL).
#include "afx.h"

const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF, nullptr, nullptr, nullptr};

CRuntimeClass* CObject::GetRuntimeClass() const {
  return RUNTIME_CLASS(CObject);
}

BOOL CObject::IsSerializable() const {
  return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
  ASSERT(pClass != nullptr);
  return GetRuntimeClass()->IsDerivedFrom(pClass);
}

void CObject::Serialize(CArchive&) {}

// CObject has no members to check; derived classes check theirs and call this first.
void CObject::AssertValid() const {}

void CObject::Dump(CDumpContext& dc) const {
  dc << "a " << GetRuntimeClass()->m_lpszClassName << " at " << (const void*)this << "\n";
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass)
    if (p == pBaseClass) return TRUE;
  return FALSE;
}

CObject* CRuntimeClass::CreateObject() const {
  if (m_pfnCreateObject == nullptr) {
    TRACE("Error: Trying to create object which is not DECLARE_DYNCREATE\nor DECLARE_SERIAL: %hs.\n",
          m_lpszClassName);
    return nullptr;
  }
  try {
    return (*m_pfnCreateObject)();
  } catch (CException* e) {
    e->Delete();
  } catch (std::bad_alloc&) {
  }
  return nullptr;
}

CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject) {
  return (pObject != nullptr && pObject->IsKindOf(pClass)) ? pObject : nullptr;
}
