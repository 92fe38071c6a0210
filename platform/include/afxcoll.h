// MFC's typed array classes: CStringArray, CByteArray, CWordArray, CDWordArray, CUIntArray,
// CPtrArray and CObArray. Each is a dynamic class of its own (IsKindOf works on it) with the
// interface of CArray, on which it is built. MFC's own Add of CStringArray takes LPCTSTR and
// const CString& alike; a const CString& parameter accepts both here.
//
// CObArray and CPtrArray own nothing: removing an element does not delete what it points to.
#pragma once
#include "afx.h"
#include "kp/kpafxarray.h"

#define KP_DECLARE_TYPED_ARRAY(class_name, TYPE, ARG_TYPE) \
  class KPAPI class_name : public CArray<TYPE, ARG_TYPE> { \
    DECLARE_DYNAMIC(class_name)                            \
   public:                                                 \
    class_name() = default;                                \
    ~class_name() override;                                \
  };

KP_DECLARE_TYPED_ARRAY(CStringArray, CString, const CString&)
KP_DECLARE_TYPED_ARRAY(CByteArray, BYTE, BYTE)
KP_DECLARE_TYPED_ARRAY(CWordArray, WORD, WORD)
KP_DECLARE_TYPED_ARRAY(CDWordArray, DWORD, DWORD)
KP_DECLARE_TYPED_ARRAY(CUIntArray, UINT, UINT)
KP_DECLARE_TYPED_ARRAY(CPtrArray, void*, void*)
KP_DECLARE_TYPED_ARRAY(CObArray, CObject*, CObject*)

#undef KP_DECLARE_TYPED_ARRAY
