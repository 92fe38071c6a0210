// Conformance of SAFEARRAY handling: byte vectors (the binary field values), bounds, locking,
// element copies, Redim of the right-most dimension, 2-D layout with the left-most index
// varying fastest, and the documented errors.
#include <gtest/gtest.h>

#include "oleauto.h"

namespace {

TEST(SafeArray, ByteVectorShapeAndData) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 1, 4);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetDim(psa), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
  LONG lb = 0xdead, ub = 0xdead;
  EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
  EXPECT_EQ(lb, 1);
  EXPECT_EQ(ub, 4);
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lb), DISP_E_BADINDEX);
  VARTYPE vt = 0;
  EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
  EXPECT_EQ(vt, VT_UI1);

  BYTE* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, (void**)&data), S_OK);
  for (int i = 0; i < 4; ++i) data[i] = BYTE(0x10 + i);
  EXPECT_EQ(psa->cLocks, 1u);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);

  LONG index = 3;
  BYTE b = 0;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &b), S_OK);
  EXPECT_EQ(b, 0x12);
  index = 5;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &b), DISP_E_BADINDEX);
  index = 0;
  EXPECT_EQ(SafeArrayPutElement(psa, &index, &b), DISP_E_BADINDEX);

  SAFEARRAYBOUND bigger{6, 1};
  ASSERT_EQ(SafeArrayRedim(psa, &bigger), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
  EXPECT_EQ(ub, 6);
  EXPECT_EQ(static_cast<BYTE*>(psa->pvData)[3], 0x13);  // kept
  EXPECT_EQ(static_cast<BYTE*>(psa->pvData)[5], 0);     // new elements are zero

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  EXPECT_NE(copy->pvData, psa->pvData);
  EXPECT_EQ(std::memcmp(copy->pvData, psa->pvData, 6), 0);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, TwoDimensionsLeftMostIndexVariesFastest) {
  SAFEARRAYBOUND bounds[2] = {{3, 0}, {2, 10}};  // a(0..2, 10..11), left-most first
  SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(psa->rgsabound[0].cElements, 2u);  // stored right-most first
  EXPECT_EQ(psa->rgsabound[0].lLbound, 10);
  LONG lb;
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lb), S_OK);
  EXPECT_EQ(lb, 10);
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = 99;
  LONG at[2] = {1, 11};
  ASSERT_EQ(SafeArrayPutElement(psa, at, &v), S_OK);
  EXPECT_EQ(static_cast<VARIANT*>(psa->pvData)[1 + 1 * 3].lVal, 99);
  VARIANT out;
  out.vt = VT_BSTR;  // treated as uninitialised: not freed
  out.bstrVal = reinterpret_cast<BSTR>(0xdeadbeef);
  ASSERT_EQ(SafeArrayGetElement(psa, at, &out), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 99);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, BstrElementsAreCopiedBothWays) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
  BSTR text = SysAllocString(u"第四系");
  LONG i = 1;
  ASSERT_EQ(SafeArrayPutElement(psa, &i, text), S_OK);  // the BSTR itself, no indirection
  SysFreeString(text);
  BSTR got = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &got), S_OK);
  EXPECT_EQ(std::u16string(got), u"第四系");
  SysFreeString(got);
  SAFEARRAYBOUND smaller{1, 0};
  EXPECT_EQ(SafeArrayRedim(psa, &smaller), S_OK);  // frees the dropped string
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, UnsupportedTypesAndNullArguments) {
  SAFEARRAYBOUND b{1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &b), nullptr);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
  SAFEARRAY* out = reinterpret_cast<SAFEARRAY*>(0xdeadbeef);
  EXPECT_EQ(SafeArrayCopy(nullptr, &out), S_OK);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
