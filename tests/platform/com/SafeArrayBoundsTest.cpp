// Conformance of SAFEARRAY size and bound arithmetic on hostile bounds: element counts whose
// product (or product with the element size) does not fit in memory's address range, upper bounds
// that do not fit a LONG, and Redim to such bounds. Documented behaviour checked:
//   - SafeArrayCreate / SafeArrayCreateVector answer NULL when the array cannot be created;
//   - SafeArrayRedim answers E_OUTOFMEMORY when the new size cannot be allocated and leaves the
//     array as it was (bounds, data, elements);
//   - SafeArrayGetUBound answers DISP_E_OVERFLOW when the upper bound cannot be computed in a LONG.
// Where the documentation names no code (a Redim whose upper bound leaves the LONG range) we
// answer DISP_E_BADINDEX, the code for a bound out of range. Each case would otherwise allocate
// a tiny block and let element access write far past it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "oleauto.h"

namespace {

// The range of a Windows LONG (32 bits; C++ long is 64 bits here).
constexpr LONG kLongMax = INT32_MAX;
constexpr LONG kLongMin = INT32_MIN;

struct CreateCase {
  const char* what;
  VARTYPE vt;
  std::vector<SAFEARRAYBOUND> bounds;  // left-most dimension first, as SafeArrayCreate takes them
};

void PrintTo(const CreateCase& c, std::ostream* os) {
  *os << c.what;
}

class SafeArrayCreateRefuses : public testing::TestWithParam<CreateCase> {};

TEST_P(SafeArrayCreateRefuses, AndAnswersNull) {
  std::vector<SAFEARRAYBOUND> bounds = GetParam().bounds;
  SAFEARRAY* psa = SafeArrayCreate(GetParam().vt, (UINT)bounds.size(), bounds.data());
  EXPECT_EQ(psa, nullptr);
  if (psa) SafeArrayDestroy(psa);
}

INSTANTIATE_TEST_SUITE_P(
    HostileBounds, SafeArrayCreateRefuses,
    testing::Values(
        // 2^16 ^ 4 = 2^64 elements: the count wraps to 0 in 64-bit arithmetic.
        CreateCase{"count wraps to zero", VT_UI1, {{0x10000, 0}, {0x10000, 0}, {0x10000, 0}, {0x10000, 0}}},
        // (2^32-1)^2 * 2^31 wraps to 2^31.
        CreateCase{
            "count wraps to a smaller count", VT_UI1, {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0x80000000, 0}}},
        // 2^61 elements of 16 bytes: the byte size wraps.
        CreateCase{"byte size wraps", VT_VARIANT, {{0x80000000, 0}, {0x40000000, 0}}},
        // Upper bound 0x7FFFFFFF + 1 does not fit a LONG.
        CreateCase{"upper bound past LONG_MAX", VT_I4, {{2, kLongMax}}},
        CreateCase{"upper bound far past LONG_MAX", VT_UI1, {{0xFFFFFFFF, 1}}},
        // An empty dimension at kLongMin has the upper bound kLongMin - 1.
        CreateCase{"upper bound below LONG_MIN", VT_UI1, {{0, kLongMin}}},
        CreateCase{"second dimension past LONG_MAX", VT_UI1, {{1, 0}, {2, kLongMax}}}),
    [](const testing::TestParamInfo<CreateCase>& info) {
      std::string name = info.param.what;
      for (char& c : name)
        if (!isalnum((unsigned char)c)) c = '_';
      return name;
    });

TEST(SafeArrayBounds, VectorWithUpperBoundPastLongMaxIsNull) {
  EXPECT_EQ(SafeArrayCreateVector(VT_UI1, kLongMax, 2), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 1, 0xFFFFFFFF), nullptr);
}

TEST(SafeArrayBounds, LargestRepresentableBoundsStillWork) {
  // Upper bound exactly kLongMax, and a full-range empty dimension at kLongMin + 1.
  SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, kLongMax - 1, 2);
  ASSERT_NE(psa, nullptr);
  LONG ub = 0xdead;
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
  EXPECT_EQ(ub, kLongMax);
  LONG at = kLongMax;
  LONG value = 7;
  EXPECT_EQ(SafeArrayPutElement(psa, &at, &value), S_OK);
  EXPECT_EQ(static_cast<LONG*>(psa->pvData)[1], 7);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

  SAFEARRAYBOUND empty{0, kLongMin + 1};
  psa = SafeArrayCreate(VT_I4, 1, &empty);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
  EXPECT_EQ(ub, kLongMin);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

  // Huge dimensions are fine while another one is empty: nothing is allocated.
  SAFEARRAYBOUND wide[3] = {{0xFFFFFFF, 0}, {0xFFFFFFF, 0}, {0, 0}};
  psa = SafeArrayCreate(VT_VARIANT, 3, wide);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(psa->pvData, nullptr);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

// Checks that a refused Redim left the array as it was.
void ExpectUnchanged(SAFEARRAY* psa, ULONG rightMostCount, LONG rightMostLbound, const void* data) {
  EXPECT_EQ(psa->rgsabound[0].cElements, rightMostCount);
  EXPECT_EQ(psa->rgsabound[0].lLbound, rightMostLbound);
  EXPECT_EQ(psa->pvData, data);
}

TEST(SafeArrayBounds, RedimToACountThatWrapsIsOutOfMemoryAndChangesNothing) {
  // Three 2^16 dimensions and an empty right-most one: creating allocates nothing; growing the
  // right-most to 2^16 asks for 2^64 elements, which wraps to 0.
  SAFEARRAYBOUND bounds[4] = {{0x10000, 0}, {0x10000, 0}, {0x10000, 0}, {0, 0}};
  SAFEARRAY* psa = SafeArrayCreate(VT_UI1, 4, bounds);
  ASSERT_NE(psa, nullptr);
  SAFEARRAYBOUND grow{0x10000, 0};
  EXPECT_EQ(SafeArrayRedim(psa, &grow), E_OUTOFMEMORY);
  ExpectUnchanged(psa, 0, 0, nullptr);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

  // 2^31 * (2^32 - 1) VARIANTs: the count fits 64 bits, the byte size does not.
  SAFEARRAYBOUND two[2] = {{0x80000000, 0}, {0, 0}};
  psa = SafeArrayCreate(VT_VARIANT, 2, two);
  ASSERT_NE(psa, nullptr);
  SAFEARRAYBOUND huge{0xFFFFFFFF, kLongMin};
  EXPECT_EQ(SafeArrayRedim(psa, &huge), E_OUTOFMEMORY);
  ExpectUnchanged(psa, 0, 0, nullptr);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayBounds, DataOfFourGibibytesOrMoreIsRefusedBeforeAnyAllocation) {
  // Automation describes an array's size in 32-bit ULONGs, so 2^16 x 2^14 four-byte elements
  // (exactly 4 GiB) cannot be made; one element less in a dimension can be described but is
  // not made here (it would allocate 4 GiB). A refused Redim to that size changes nothing.
  SAFEARRAYBOUND bounds[2] = {{0x10000, 0}, {0x4000, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 2, bounds), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 0x20000000), nullptr);

  bounds[1].cElements = 1;
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  void* data = psa->pvData;
  SAFEARRAYBOUND grow{0x4000, 0};
  EXPECT_EQ(SafeArrayRedim(psa, &grow), E_OUTOFMEMORY);
  ExpectUnchanged(psa, 1, 0, data);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayBounds, RedimToAnUpperBoundOutsideLongIsBadIndexAndKeepsTheData) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
  ASSERT_NE(psa, nullptr);
  LONG i = 1;
  BSTR text = SysAllocString(u"kept");
  ASSERT_EQ(SafeArrayPutElement(psa, &i, text), S_OK);
  SysFreeString(text);
  void* data = psa->pvData;

  SAFEARRAYBOUND past{2, kLongMax};
  EXPECT_EQ(SafeArrayRedim(psa, &past), DISP_E_BADINDEX);
  ExpectUnchanged(psa, 2, 0, data);
  SAFEARRAYBOUND below{0, kLongMin};
  EXPECT_EQ(SafeArrayRedim(psa, &below), DISP_E_BADINDEX);
  ExpectUnchanged(psa, 2, 0, data);

  BSTR got = nullptr;
  ASSERT_EQ(SafeArrayGetElement(psa, &i, &got), S_OK);
  EXPECT_EQ(std::u16string(got), u"kept");
  SysFreeString(got);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayBounds, GetUBoundOfAHandBuiltDescriptorThatOverflowsIsDispEOverflow) {
  // A descriptor laid out by its owner (FADF_STATIC), as callers may do without SafeArrayCreate.
  LONG cells[1] = {0};
  SAFEARRAY sa{};
  sa.cDims = 1;
  sa.fFeatures = FADF_STATIC;
  sa.cbElements = sizeof(LONG);
  sa.pvData = cells;
  sa.rgsabound[0] = {0x80000000, 1};  // 1 + 2^31 - 1 does not fit
  LONG ub = 0xdead;
  EXPECT_EQ(SafeArrayGetUBound(&sa, 1, &ub), DISP_E_OVERFLOW);
  EXPECT_EQ(ub, 0xdead);
  sa.rgsabound[0] = {0, kLongMin};
  EXPECT_EQ(SafeArrayGetUBound(&sa, 1, &ub), DISP_E_OVERFLOW);
  EXPECT_EQ(ub, 0xdead);
  sa.rgsabound[0] = {1, -5};
  EXPECT_EQ(SafeArrayGetUBound(&sa, 1, &ub), S_OK);
  EXPECT_EQ(ub, -5);
}

}  // namespace
