// Conformance of VariantChangeType and the VARIANT life-cycle functions with the documented
// Windows rules: overflow answers DISP_E_OVERFLOW, VT_NULL converts to nothing but VT_NULL,
// VT_EMPTY gives 0 / "" / VARIANT_FALSE, floating values round half to even, VARIANT_BOOL is
// -1/0, BYREF sources are read through, interfaces are released by VariantClear. Texts follow
// the platform's fixed locale (oleauto.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "TestObjects.h"

namespace {

std::string Ascii(const OLECHAR* s, UINT n) {
  std::string out;
  for (UINT i = 0; i < n; ++i) out.push_back(s[i] < 128 ? char(s[i]) : '?');
  return out;
}

// The result as "TYPE:value", the form the table below states its expectations in.
std::string Describe(const VARIANT& v) {
  char buf[96];
  switch (v.vt) {
    case VT_EMPTY:
      return "EMPTY";
    case VT_NULL:
      return "NULL";
    case VT_I1:
      return "I1:" + std::to_string(int(static_cast<signed char>(v.cVal)));
    case VT_UI1:
      return "UI1:" + std::to_string(v.bVal);
    case VT_I2:
      return "I2:" + std::to_string(v.iVal);
    case VT_UI2:
      return "UI2:" + std::to_string(v.uiVal);
    case VT_I4:
      return "I4:" + std::to_string(v.lVal);
    case VT_UI4:
      return "UI4:" + std::to_string(v.ulVal);
    case VT_I8:
      return "I8:" + std::to_string(v.llVal);
    case VT_UI8:
      return "UI8:" + std::to_string(v.ullVal);
    case VT_BOOL:
      return "BOOL:" + std::to_string(v.boolVal);
    case VT_CY:
      return "CY:" + std::to_string(v.cyVal.int64);
    case VT_R4:
      std::snprintf(buf, sizeof buf, "R4:%.9g", v.fltVal);
      return buf;
    case VT_R8:
      std::snprintf(buf, sizeof buf, "R8:%.17g", v.dblVal);
      return buf;
    case VT_DATE:
      std::snprintf(buf, sizeof buf, "DATE:%.17g", v.date);
      return buf;
    case VT_BSTR:
      return "BSTR:" + Ascii(v.bstrVal, SysStringLen(v.bstrVal));
    case VT_DECIMAL:
      std::snprintf(buf, sizeof buf, "DEC:%u:%u:%llu:%u", v.decVal.scale, v.decVal.sign,
                    (unsigned long long)v.decVal.Lo64, v.decVal.Hi32);
      return buf;
    default:
      return "VT:" + std::to_string(v.vt);
  }
}

VARIANT I4(LONG x) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = x;
  return v;
}
VARIANT I2(SHORT x) {
  VARIANT v;
  v.vt = VT_I2;
  v.iVal = x;
  return v;
}
VARIANT I1(CHAR x) {
  VARIANT v;
  v.vt = VT_I1;
  v.cVal = x;
  return v;
}
VARIANT UI4(ULONG x) {
  VARIANT v;
  v.vt = VT_UI4;
  v.ulVal = x;
  return v;
}
VARIANT I8(LONG64 x) {
  VARIANT v;
  v.vt = VT_I8;
  v.llVal = x;
  return v;
}
VARIANT UI8(ULONG64 x) {
  VARIANT v;
  v.vt = VT_UI8;
  v.ullVal = x;
  return v;
}
VARIANT R8(double x) {
  VARIANT v;
  v.vt = VT_R8;
  v.dblVal = x;
  return v;
}
VARIANT R4(float x) {
  VARIANT v;
  v.vt = VT_R4;
  v.fltVal = x;
  return v;
}
VARIANT Date(double x) {
  VARIANT v;
  v.vt = VT_DATE;
  v.date = x;
  return v;
}
VARIANT Cy(LONG64 x) {
  VARIANT v;
  v.vt = VT_CY;
  v.cyVal.int64 = x;
  return v;
}
VARIANT Bool(bool b) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
VARIANT Empty() {
  VARIANT v;
  v.vt = VT_EMPTY;
  return v;
}
VARIANT Null() {
  VARIANT v;
  v.vt = VT_NULL;
  return v;
}
VARIANT Error() {
  VARIANT v;
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}
VARIANT Dec(bool negative, BYTE scale, ULONG64 lo) {
  VARIANT v;
  v.decVal.Hi32 = 0;
  v.decVal.Lo64 = lo;
  v.decVal.scale = scale;
  v.decVal.sign = negative ? DECIMAL_NEG : 0;
  v.vt = VT_DECIMAL;
  return v;
}

struct Case {
  const char* name;
  std::function<VARIANT()> make;  // BSTR sources are made per run and freed by the test
  VARTYPE to;
  HRESULT hr;
  const char* expected;  // Describe() of the result when hr is S_OK
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

std::function<VARIANT()> Str(const char16_t* text) {
  return [text] {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
  };
}
std::function<VARIANT()> Val(VARIANT v) {
  return [v] { return v; };
}

class ChangeType : public ::testing::TestWithParam<Case> {};

TEST_P(ChangeType, GivesTheDocumentedResult) {
  const Case& c = GetParam();
  VARIANT src = c.make();
  VARIANT dst;
  VariantInit(&dst);
  EXPECT_EQ(VariantChangeType(&dst, &src, 0, c.to), c.hr);
  if (c.hr == S_OK) {
    EXPECT_EQ(Describe(dst), c.expected);
  } else {
    EXPECT_EQ(dst.vt, VT_EMPTY);  // a failure leaves the destination untouched
  }
  VariantClear(&dst);
  VariantClear(&src);
}

const Case kCases[] = {
    // Integer ranges.
    {"I4ToUI1InRange", Val(I4(255)), VT_UI1, S_OK, "UI1:255"},
    {"I4ToUI1Overflow", Val(I4(300)), VT_UI1, DISP_E_OVERFLOW, ""},
    {"NegativeI2ToUI1Overflows", Val(I2(-1)), VT_UI1, DISP_E_OVERFLOW, ""},
    {"UI4MaxToI4Overflows", Val(UI4(4294967295u)), VT_I4, DISP_E_OVERFLOW, ""},
    {"I8ToI4Overflow", Val(I8(5000000000LL)), VT_I4, DISP_E_OVERFLOW, ""},
    {"UI8MaxToI8Overflows", Val(UI8(~0ULL)), VT_I8, DISP_E_OVERFLOW, ""},
    {"I4ToI8", Val(I4(-7)), VT_I8, S_OK, "I8:-7"},
    {"I1ToText", Val(I1(-128)), VT_BSTR, S_OK, "BSTR:-128"},
    // Banker's rounding from floating point.
    {"R8HalfRoundsToEvenDown", Val(R8(2.5)), VT_I4, S_OK, "I4:2"},
    {"R8HalfRoundsToEvenUp", Val(R8(3.5)), VT_I4, S_OK, "I4:4"},
    {"NegativeHalfRoundsToEven", Val(R8(-2.5)), VT_I4, S_OK, "I4:-2"},
    {"R8RoundingPastI4MaxOverflows", Val(R8(2147483647.5)), VT_I4, DISP_E_OVERFLOW, ""},
    {"R8NearI4MinRoundsIn", Val(R8(-2147483648.4)), VT_I4, S_OK, "I4:-2147483648"},
    {"R8TooBigForI4", Val(R8(1e10)), VT_I4, DISP_E_OVERFLOW, ""},
    {"R8TooBigForR4", Val(R8(1e300)), VT_R4, DISP_E_OVERFLOW, ""},
    {"DateRoundsToI4", Val(Date(5.5)), VT_I4, S_OK, "I4:6"},
    // Text to numbers.
    {"TextHalfRoundsToEven", Str(u"2.5"), VT_I2, S_OK, "I2:2"},
    {"TextWithThousandsAndBlanks", Str(u" 1,234 "), VT_I4, S_OK, "I4:1234"},
    {"TextWithExponent", Str(u"1e3"), VT_I4, S_OK, "I4:1000"},
    {"TextNegativeR8", Str(u"-0.125"), VT_R8, S_OK, "R8:-0.125"},
    {"TextNotANumber", Str(u"abc"), VT_I4, DISP_E_TYPEMISMATCH, ""},
    {"EmptyTextNotANumber", Str(u""), VT_I4, DISP_E_TYPEMISMATCH, ""},
    {"TextOverflowsUI1", Str(u"256"), VT_UI1, DISP_E_OVERFLOW, ""},
    {"TextToDecimalIsExact", Str(u"0.1"), VT_DECIMAL, S_OK, "DEC:1:0:1:0"},
    {"TextToCurrencyRoundsHalfEvenUp", Str(u"0.00015"), VT_CY, S_OK, "CY:2"},
    {"TextToCurrencyRoundsHalfEvenDown", Str(u"0.00025"), VT_CY, S_OK, "CY:2"},
    {"TextTrueToBool", Str(u"True"), VT_BOOL, S_OK, "BOOL:-1"},
    {"TextFalseAnyCaseToBool", Str(u"fALSE"), VT_BOOL, S_OK, "BOOL:0"},
    {"NumericTextToBool", Str(u"0"), VT_BOOL, S_OK, "BOOL:0"},
    // EMPTY and NULL.
    {"EmptyToI4IsZero", Val(Empty()), VT_I4, S_OK, "I4:0"},
    {"EmptyToTextIsEmpty", Val(Empty()), VT_BSTR, S_OK, "BSTR:"},
    {"EmptyToBoolIsFalse", Val(Empty()), VT_BOOL, S_OK, "BOOL:0"},
    {"EmptyToR8IsZero", Val(Empty()), VT_R8, S_OK, "R8:0"},
    {"NullToI4Mismatch", Val(Null()), VT_I4, DISP_E_TYPEMISMATCH, ""},
    {"NullToTextMismatch", Val(Null()), VT_BSTR, DISP_E_TYPEMISMATCH, ""},
    {"NullToNull", Val(Null()), VT_NULL, S_OK, "NULL"},
    {"I4ToNullMismatch", Val(I4(1)), VT_NULL, DISP_E_TYPEMISMATCH, ""},
    {"ErrorToI4Mismatch", Val(Error()), VT_I4, DISP_E_TYPEMISMATCH, ""},
    {"I4ToUnknownMismatch", Val(I4(1)), VT_UNKNOWN, DISP_E_TYPEMISMATCH, ""},
    // Booleans are -1 / 0.
    {"TrueToI4", Val(Bool(true)), VT_I4, S_OK, "I4:-1"},
    {"NonZeroToBool", Val(I4(5)), VT_BOOL, S_OK, "BOOL:-1"},
    {"TrueToTextIsMinusOne", Val(Bool(true)), VT_BSTR, S_OK, "BSTR:-1"},
    {"TrueToUI1Overflows", Val(Bool(true)), VT_UI1, DISP_E_OVERFLOW, ""},
    // Currency and decimal.
    {"R8ToCurrency", Val(R8(1.5)), VT_CY, S_OK, "CY:15000"},
    {"CurrencyToText", Val(Cy(15000)), VT_BSTR, S_OK, "BSTR:1.5"},
    {"NegativeCurrencyToText", Val(Cy(-1)), VT_BSTR, S_OK, "BSTR:-0.0001"},
    {"CurrencyHalfToI4", Val(Cy(25000)), VT_I4, S_OK, "I4:2"},
    {"R8TooBigForCurrency", Val(R8(1e15)), VT_CY, DISP_E_OVERFLOW, ""},
    {"R8ToDecimalKeeps15Digits", Val(R8(0.1)), VT_DECIMAL, S_OK, "DEC:1:0:1:0"},
    {"NegativeDecimalToI4", Val(Dec(true, 1, 15)), VT_I4, S_OK, "I4:-2"},
    {"DecimalToText", Val(Dec(true, 3, 1250)), VT_BSTR, S_OK, "BSTR:-1.25"},
    {"DecimalToR8", Val(Dec(false, 2, 5)), VT_R8, S_OK, "R8:0.050000000000000003"},
    // Floating point text.
    {"R8ToText", Val(R8(0.1)), VT_BSTR, S_OK, "BSTR:0.1"},
    {"LargeR8ToTextUsesExponent", Val(R8(1e16)), VT_BSTR, S_OK, "BSTR:1E+16"},
    {"R8ToTextKeeps15Digits", Val(R8(123456789012345678.0)), VT_BSTR, S_OK, "BSTR:1.23456789012346E+17"},
    {"NegativeR8ToText", Val(R8(-0.5)), VT_BSTR, S_OK, "BSTR:-0.5"},
    {"R4ToTextKeeps7Digits", Val(R4(0.1f)), VT_BSTR, S_OK, "BSTR:0.1"},
    // Dates.
    {"DateToTextDateOnly", Val(Date(2.0)), VT_BSTR, S_OK, "BSTR:1900/1/1"},
    {"DateToTextWithTime", Val(Date(5.25)), VT_BSTR, S_OK, "BSTR:1900/1/4 6:00:00"},
    {"ZeroDateIsMidnight", Val(Date(0.0)), VT_BSTR, S_OK, "BSTR:0:00:00"},
    {"TextToDate", Str(u"1900-01-04 06:00"), VT_DATE, S_OK, "DATE:5.25"},
    {"SlashTextToDate", Str(u"1899/12/29 6:00:00 AM"), VT_DATE, S_OK, "DATE:-1.25"},
    {"TimeOnlyTextToDate", Str(u"12:00"), VT_DATE, S_OK, "DATE:0.5"},
    {"BadDateText", Str(u"2024-02-30"), VT_DATE, DISP_E_TYPEMISMATCH, ""},
    {"R8BeyondYear9999ToDate", Val(R8(3000000.0)), VT_DATE, DISP_E_OVERFLOW, ""},
};

INSTANTIATE_TEST_SUITE_P(Conversions, ChangeType, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

TEST(Variant, ByRefSourceIsReadThrough) {
  LONG value = 42;
  VARIANT src;
  src.vt = VT_BYREF | VT_I4;
  src.plVal = &value;
  VARIANT dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Describe(dst), "BSTR:42");
  VariantClear(&dst);
  // A BYREF VARIANT owns nothing: clearing it leaves the target alone.
  EXPECT_EQ(VariantClear(&src), S_OK);
  EXPECT_EQ(value, 42);
}

TEST(Variant, InPlaceConversionFreesTheOldValue) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"17");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(Describe(v), "I4:17");
}

TEST(Variant, AlphaBoolFlagWritesTrueFalse) {
  VARIANT src = Bool(true), dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantChangeType(&dst, &src, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
  EXPECT_EQ(Describe(dst), "BSTR:True");
  VariantClear(&dst);
}

TEST(Variant, ClearAndCopyBalanceInterfaceReferences) {
  kptest::Counter* object = new kptest::Counter;  // one reference, ours
  VARIANT a;
  a.vt = VT_DISPATCH;
  a.pdispVal = object;
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(object->RefCount(), 2u);
  VARIANT unk;
  VariantInit(&unk);
  ASSERT_EQ(VariantChangeType(&unk, &b, 0, VT_UNKNOWN), S_OK);  // QueryInterface adds one
  EXPECT_EQ(object->RefCount(), 3u);
  EXPECT_EQ(VariantClear(&unk), S_OK);
  EXPECT_EQ(VariantClear(&b), S_OK);
  EXPECT_EQ(b.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(kptest::Counter::live, 0);
}

TEST(Variant, DispatchSourceIsReadThroughItsValueProperty) {
  kptest::Counter* object = new kptest::Counter;
  object->value_ = 12;
  VARIANT src;
  src.vt = VT_DISPATCH;
  src.pdispVal = object;
  VARIANT dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Describe(dst), "BSTR:12");
  VariantClear(&dst);
  EXPECT_EQ(VariantChangeType(&dst, &src, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  VariantClear(&src);
  EXPECT_EQ(kptest::Counter::live, 0);
}

TEST(Variant, ByteArrayAndTextConvertByteForByte) {
  VARIANT src;
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringByteLen("\x01\x02\x03", 3);
  VARIANT arr;
  VariantInit(&arr);
  ASSERT_EQ(VariantChangeType(&arr, &src, 0, VT_ARRAY | VT_UI1), S_OK);
  EXPECT_EQ(arr.parray->rgsabound[0].cElements, 3u);
  EXPECT_EQ(static_cast<BYTE*>(arr.parray->pvData)[2], 3);
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &arr), S_OK);  // deep: a second array
  EXPECT_NE(copy.parray, arr.parray);
  VARIANT back;
  VariantInit(&back);
  ASSERT_EQ(VariantChangeType(&back, &copy, 0, VT_BSTR), S_OK);
  EXPECT_EQ(SysStringByteLen(back.bstrVal), 3u);
  EXPECT_EQ(std::memcmp(back.bstrVal, "\x01\x02\x03", 3), 0);
  for (VARIANT* v : {&src, &arr, &copy, &back}) VariantClear(v);
}

TEST(Variant, CopyIndMakesAnOwnedCopyOfTheTarget) {
  BSTR text = SysAllocString(u"abc");
  VARIANT ref;
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &text;
  VARIANT dst;
  VariantInit(&dst);
  ASSERT_EQ(VariantCopyInd(&dst, &ref), S_OK);
  EXPECT_EQ(dst.vt, VT_BSTR);
  EXPECT_NE(dst.bstrVal, text);
  EXPECT_EQ(Describe(dst), "BSTR:abc");
  VariantClear(&dst);
  SysFreeString(text);
}

TEST(Variant, InvalidTypeIsBadVarType) {
  VARIANT v;
  v.vt = 15;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(VarCmp, OrdersNumbersTextsAndNull) {
  VARIANT a = I4(2), b = R8(2.5), n = Null();
  EXPECT_EQ(VarCmp(&a, &b, 0, 0), VARCMP_LT);
  EXPECT_EQ(VarCmp(&b, &a, 0, 0), VARCMP_GT);
  VARIANT c = Cy(20000);
  EXPECT_EQ(VarCmp(&a, &c, 0, 0), VARCMP_EQ);
  EXPECT_EQ(VarCmp(&a, &n, 0, 0), VARCMP_NULL);
  VARIANT s1 = Str(u"abc")(), s2 = Str(u"ABD")();
  EXPECT_EQ(VarCmp(&s1, &s2, 0, 0), VARCMP_GT);  // 'a' > 'A' by code unit
  EXPECT_EQ(VarCmp(&s1, &s2, 0, NORM_IGNORECASE), VARCMP_LT);
  VariantClear(&s1);
  VariantClear(&s2);
}

TEST(VarFunctions, FollowTheSameRules) {
  LONG l = 0xdead;
  EXPECT_EQ(VarI4FromR8(-3.5, &l), S_OK);
  EXPECT_EQ(l, -4);
  BYTE b = 0xAB;
  EXPECT_EQ(VarUI1FromI4(256, &b), DISP_E_OVERFLOW);
  EXPECT_EQ(b, 0xAB);
  double d = 0;
  EXPECT_EQ(VarR8FromStr(u"1.25", 2052, 0, &d), S_OK);
  EXPECT_EQ(d, 1.25);
  BSTR s = nullptr;
  EXPECT_EQ(VarBstrFromBool(VARIANT_TRUE, 2052, 0, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"True");
  SysFreeString(s);
  EXPECT_EQ(VarBstrFromDate(5.25, 2052, VAR_DATEVALUEONLY, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"1900/1/4");
  SysFreeString(s);
  DECIMAL dec;
  EXPECT_EQ(VarDecFromR8(-2.5, &dec), S_OK);
  EXPECT_EQ(dec.sign, DECIMAL_NEG);
  EXPECT_EQ(dec.scale, 1);
  EXPECT_EQ(dec.Lo64, 25u);
  EXPECT_EQ(VarR8FromDec(&dec, &d), S_OK);
  EXPECT_EQ(d, -2.5);
  CY cy;
  EXPECT_EQ(VarCyFromStr(u"-1.00005", 2052, 0, &cy), S_OK);
  EXPECT_EQ(cy.int64, -10000);  // -10000.5 rounds to even
  DATE date = 0;
  EXPECT_EQ(VarDateFromStr(u"2024-03-05 13:04:05", 2052, 0, &date), S_OK);
  EXPECT_EQ(VarBstrFromDate(date, 2052, 0, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"2024/3/5 13:04:05");
  SysFreeString(s);
}

}  // namespace
