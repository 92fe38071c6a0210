// The platform's published view of VARIANT values (kp/kpvariant.h): the class of every value
// type, the integers of integer VARIANTs at the ends of their ranges, and the decimal text in
// both digit forms. The Trimmed form is VarBstrFromDec's documented text, so the same rows are
// checked against VarBstrFromDec as well.
#include <gtest/gtest.h>

#include "kp/kpvariant.h"
#include "oleauto.h"

namespace {

using kp::VarClass;

DECIMAL Dec(uint64_t lo, uint32_t hi, int scale, bool negative) {
  DECIMAL d{};
  d.Lo64 = lo;
  d.Hi32 = hi;
  d.scale = (BYTE)scale;
  d.sign = negative ? DECIMAL_NEG : 0;
  return d;
}

TEST(VariantClass, EveryValueTypeHasItsClass) {
  const std::pair<VARTYPE, VarClass> rows[] = {
      {VT_EMPTY, VarClass::Empty},      {VT_NULL, VarClass::Null},         {VT_I1, VarClass::Signed},
      {VT_I2, VarClass::Signed},        {VT_I4, VarClass::Signed},         {VT_I8, VarClass::Signed},
      {VT_INT, VarClass::Signed},       {VT_UI1, VarClass::Unsigned},      {VT_UI2, VarClass::Unsigned},
      {VT_UI4, VarClass::Unsigned},     {VT_UI8, VarClass::Unsigned},      {VT_UINT, VarClass::Unsigned},
      {VT_R4, VarClass::Real},          {VT_R8, VarClass::Real},           {VT_CY, VarClass::Currency},
      {VT_DECIMAL, VarClass::Decimal},  {VT_DATE, VarClass::Date},         {VT_BOOL, VarClass::Bool},
      {VT_BSTR, VarClass::Text},        {VT_ERROR, VarClass::Code},        {VT_HRESULT, VarClass::Code},
      {VT_DISPATCH, VarClass::Object},  {VT_UNKNOWN, VarClass::Object},    {VT_VARIANT, VarClass::Other},
      {VT_RECORD, VarClass::Other},     {VT_ARRAY | VT_UI1, VarClass::Array},
      {VT_BYREF | VT_I4, VarClass::Other}, {VT_BYREF | VT_VARIANT, VarClass::Other},
  };
  for (const auto& [vt, expected] : rows) EXPECT_EQ(kp::ClassOfType(vt), expected) << "vt " << vt;
  EXPECT_TRUE(kp::IsNumberClass(VarClass::Decimal));
  EXPECT_FALSE(kp::IsNumberClass(VarClass::Date));  // a date compares as a date, not a number
  EXPECT_FALSE(kp::IsIntegerClass(VarClass::Currency));
}

TEST(VariantClass, IntegersAreReadWithTheirTypesSignAndWidth) {
  VARIANT v;
  v.vt = VT_I1;
  v.cVal = (CHAR)0x80;
  EXPECT_EQ(kp::SignedValue(v), -128);
  v.vt = VT_I8;
  v.llVal = INT64_MIN;
  EXPECT_EQ(kp::SignedValue(v), INT64_MIN);
  v.vt = VT_UI1;
  v.bVal = 255;
  EXPECT_EQ(kp::UnsignedValue(v), 255u);
  v.vt = VT_UI8;
  v.ullVal = UINT64_MAX;
  EXPECT_EQ(kp::UnsignedValue(v), UINT64_MAX);
  EXPECT_EQ(kp::SignedValue(v), 0);  // not a signed type
  v.vt = VT_R8;
  v.dblVal = 3;
  EXPECT_EQ(kp::UnsignedValue(v), 0u);
}

TEST(VariantClass, DecimalTextGivesTheDecimalsOwnDigits) {
  struct Row {
    DECIMAL value;
    const char* trimmed;
    const char* all;
  };
  const Row rows[] = {
      {Dec(778, 0, 2, false), "7.78", "7.78"},
      {Dec(77800, 0, 4, false), "7.78", "7.7800"},
      {Dec(5, 0, 3, true), "-0.005", "-0.005"},
      {Dec(0, 0, 2, true), "0", "0.00"},  // a negative zero has no sign in text
      {Dec(0, 0, 0, false), "0", "0"},
      {Dec(1, 0, 28, false), "0.0000000000000000000000000001", "0.0000000000000000000000000001"},
      {Dec(UINT64_MAX, 0xFFFFFFFFu, 0, true), "-79228162514264337593543950335", "-79228162514264337593543950335"},
      {Dec(UINT64_MAX, 0xFFFFFFFFu, 28, false), "7.9228162514264337593543950335",
       "7.9228162514264337593543950335"},
      {Dec(10000000000000000000ULL, 0, 0, false), "10000000000000000000", "10000000000000000000"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(kp::DecimalText(row.value, kp::DecimalDigits::Trimmed), row.trimmed);
    EXPECT_EQ(kp::DecimalText(row.value, kp::DecimalDigits::All), row.all);
    BSTR text = nullptr;
    ASSERT_EQ(VarBstrFromDec(&row.value, 0, 0, &text), S_OK);
    std::string narrow;
    for (UINT i = 0; i < SysStringLen(text); ++i) narrow.push_back((char)text[i]);
    SysFreeString(text);
    EXPECT_EQ(narrow, row.trimmed);
  }
  EXPECT_EQ(kp::DecimalText(123456, true, 4, kp::DecimalDigits::Trimmed), "-12.3456");  // a currency
  EXPECT_EQ(kp::MagnitudeDigits(~(unsigned __int128)0), "340282366920938463463374607431768211455");
}

}  // namespace
