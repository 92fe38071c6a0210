// Run-time class records of the typed arrays of afxcoll.h (their code is CArray's).
#include "afx.h"

#define KP_IMPLEMENT_TYPED_ARRAY(class_name) \
  IMPLEMENT_DYNAMIC(class_name, CObject)     \
  class_name::~class_name() = default;

KP_IMPLEMENT_TYPED_ARRAY(CStringArray)
KP_IMPLEMENT_TYPED_ARRAY(CByteArray)
KP_IMPLEMENT_TYPED_ARRAY(CWordArray)
KP_IMPLEMENT_TYPED_ARRAY(CDWordArray)
KP_IMPLEMENT_TYPED_ARRAY(CUIntArray)
KP_IMPLEMENT_TYPED_ARRAY(CPtrArray)
KP_IMPLEMENT_TYPED_ARRAY(CObArray)
