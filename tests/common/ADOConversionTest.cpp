// The field conversion rules (ADOConversion.h, and CADORecordset's static members that answer
// through them), checked on VARIANTs built here, so that every VARIANT type is covered, also
// those no SQLite field yields (VT_INT, VT_I1, VT_UI2, VT_UINT, 96-bit decimals):
// GetFieldValue's text, GetValueString's display text, the typed-read rules, the converters with
// their "未处理的 _variant_t 类型值" trace, the VARIANTs the writes put and the text parsers of
// SetValueString.
#include <gtest/gtest.h>

#include <oleauto.h>

#include "ADOConversion.h"
#include "ADORecordset.h"
#include "Ado2TestSupport.h"

namespace {

using ado2test::TraceCapture;

_variant_t Make(VARTYPE vt, void (*set)(VARIANT&)) {
  _variant_t v;
  v.vt = vt;
  set(v);
  return v;
}

_variant_t Decimal(ULONG hi, ULONGLONG lo, BYTE scale, bool negative) {
  _variant_t v;
  v.decVal.Hi32 = hi;
  v.decVal.Lo64 = lo;
  v.decVal.scale = scale;
  v.decVal.sign = negative ? DECIMAL_NEG : 0;
  v.vt = VT_DECIMAL;  // after the value: wReserved overlays vt
  return v;
}

struct TextCase {
  const char* name;
  _variant_t value;
  const char* text;     // GetFieldValue into CString (nullptr: FALSE with empty text)
  const char* display;  // GetValueString
};

std::vector<TextCase> TextCases() {
  return {
      {"Empty", _variant_t(), "", ""},
      {"Null", Make(VT_NULL, [](VARIANT&) {}), "", ""},
      {"R4", Make(VT_R4, [](VARIANT& v) { v.fltVal = 2.25f; }), "2.25", "2.2500"},
      {"R8", Make(VT_R8, [](VARIANT& v) { v.dblVal = 1234567890.0; }), "1234567890.", "1234567890.00000000"},
      {"Bstr", _variant_t("第四系"), "第四系", "第四系"},
      {"I2", Make(VT_I2, [](VARIANT& v) { v.iVal = -32768; }), "-32768", "-32768"},
      {"UI1", Make(VT_UI1, [](VARIANT& v) { v.bVal = 200; }), "200", "200"},
      {"I1", Make(VT_I1, [](VARIANT& v) { v.cVal = -5; }), "-5", "-5"},
      {"UI2", Make(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; }), "65535", "65535"},
      {"Int", Make(VT_INT, [](VARIANT& v) { v.intVal = -2147483647 - 1; }), "-2147483648", "-2147483648"},
      {"UInt", Make(VT_UINT, [](VARIANT& v) { v.uintVal = 4294967295u; }), "4294967295", "4294967295"},
      {"I4", Make(VT_I4, [](VARIANT& v) { v.lVal = 70000; }), "70000", "70000"},
      {"UI4", Make(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; }), "4000000000", "4000000000"},
      {"I8", Make(VT_I8, [](VARIANT& v) { v.llVal = -9000000000LL; }), "-9000000000", "-9000000000"},
      {"UI8", Make(VT_UI8, [](VARIANT& v) { v.ullVal = 18446744073709551615ULL; }), "18446744073709551615",
       "18446744073709551615"},
      // 2^64 + 5: the high 32 bits count.
      {"Decimal96", Decimal(1, 5, 0, false), "18446744073709551621", "18446744073709551621"},
      {"DecimalNegative", Decimal(0, 123456, 0, true), "-123456", "-123456"},
      // A scaled decimal's text is its own digits; the display is "%.4f" of the nearest double.
      {"DecimalScaled", Decimal(0, 12345, 2, true), "-123.45", "-123.4500"},
      {"DecimalScaledHigh", Decimal(1, 0, 4, false), "1844674407370955.1616", "1844674407370955.2500"},
      {"BoolTrue", Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), "T", "TRUE"},
      {"BoolFalse", Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), "F", "FALSE"},
      // 2026-03-19 13:30:05 (DATE 46100.5625578...): the default layout.
      {"Date", Make(VT_DATE, [](VARIANT& v) { v.date = 46100.0 + (13 * 3600 + 30 * 60 + 5) / 86400.0; }),
       "2026-03-19 13:30:05", "2026-03-19 13:30:05"},
      {"Currency", Make(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 45000; }), nullptr, "4.5"},
      {"Error", Make(VT_ERROR, [](VARIANT& v) { v.scode = E_FAIL; }), nullptr, "UN_KNOW"},
  };
}

class FieldText : public ::testing::TestWithParam<TextCase> {};

TEST_P(FieldText, GetFieldValueTextRule) {
  CString text = "sentinel";
  BOOL ok = CADORecordset::VariantToText(GetParam().value, text, "");
  if (GetParam().text == nullptr) {
    EXPECT_FALSE(ok);
    EXPECT_STREQ((LPCTSTR)text, "");
  } else {
    EXPECT_TRUE(ok);
    EXPECT_STREQ((LPCTSTR)text, GetParam().text);
  }
}

TEST_P(FieldText, GetValueStringDisplayRule) {
  EXPECT_STREQ((LPCTSTR)CADORecordset::VariantToDisplayText(GetParam().value), GetParam().display);
}

INSTANTIATE_TEST_SUITE_P(EveryVariantType, FieldText, ::testing::ValuesIn(TextCases()),
                         [](const ::testing::TestParamInfo<TextCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(FieldTextRules, DateFormatIsUsedWhenGiven) {
  CString text;
  _variant_t date = Make(VT_DATE, [](VARIANT& v) { v.date = 46100.0; });
  ASSERT_TRUE(CADORecordset::VariantToText(date, text, "%Y/%m/%d"));
  EXPECT_STREQ((LPCTSTR)text, "2026/03/19");
}

TEST(FieldTextRules, DisplayTextOfBinaryAndBlobs) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 3);
  VARIANT raw;
  VariantInit(&raw);
  raw.vt = VT_ARRAY | VT_UI1;
  raw.parray = bytes;
  _variant_t binary(raw, false);
  EXPECT_STREQ((LPCTSTR)CADORecordset::VariantToDisplayText(binary), "Ole对象");
  EXPECT_STREQ((LPCTSTR)CADORecordset::VariantToDisplayText(Make(VT_BLOB, [](VARIANT&) {})), "[BLOB]");
}

// The typed reads: which VARIANT types each target takes, and the value.
TEST(TypedReadRules, IntReadsAllThirtyTwoBitsAndRefusesOtherTypes) {
  int value = 0x5eed;
  EXPECT_TRUE(CADORecordset::VariantToInt(Make(VT_I4, [](VARIANT& v) { v.lVal = 70000; }), value));
  EXPECT_EQ(value, 70000);
  EXPECT_TRUE(CADORecordset::VariantToInt(Make(VT_UI1, [](VARIANT& v) { v.bVal = 200; }), value));
  EXPECT_EQ(value, 200);
  EXPECT_TRUE(CADORecordset::VariantToInt(Make(VT_INT, [](VARIANT& v) { v.intVal = -7; }), value));
  EXPECT_EQ(value, -7);
  EXPECT_TRUE(CADORecordset::VariantToInt(Make(VT_NULL, [](VARIANT&) {}), value));
  EXPECT_EQ(value, 0);
  value = 0x5eed;
  EXPECT_FALSE(CADORecordset::VariantToInt(Make(VT_R8, [](VARIANT& v) { v.dblVal = 1.0; }), value));
  EXPECT_FALSE(CADORecordset::VariantToInt(_variant_t("12"), value));
  EXPECT_EQ(value, 0x5eed);
}

TEST(TypedReadRules, LongWidensSmallTypesByValueAndTakesThirtyTwoBits) {
  long value = 0x5eed;
  EXPECT_TRUE(CADORecordset::VariantToLong(Make(VT_I2, [](VARIANT& v) { v.iVal = -2; }), value));
  EXPECT_EQ(value, -2);
  EXPECT_TRUE(CADORecordset::VariantToLong(Make(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; }), value));
  EXPECT_EQ(value, 65535);
  EXPECT_TRUE(CADORecordset::VariantToLong(Make(VT_UI4, [](VARIANT& v) { v.ulVal = 0xFFFFFFFFu; }), value));
  EXPECT_EQ(value, -1);  // a Windows long
  unsigned long uvalue = 0;
  EXPECT_TRUE(CADORecordset::VariantToULong(Make(VT_I4, [](VARIANT& v) { v.lVal = -1; }), uvalue));
  EXPECT_EQ(uvalue, 0xFFFFFFFFul);
  EXPECT_TRUE(CADORecordset::VariantToULong(Make(VT_UI1, [](VARIANT& v) { v.bVal = 7; }), uvalue));
  EXPECT_EQ(uvalue, 7ul);
  value = 0x5eed;
  EXPECT_FALSE(CADORecordset::VariantToLong(Make(VT_R8, [](VARIANT& v) { v.dblVal = 3.0; }), value));
  EXPECT_FALSE(CADORecordset::VariantToLong(_variant_t("3"), value));
  EXPECT_FALSE(CADORecordset::VariantToLong(Make(VT_I8, [](VARIANT& v) { v.llVal = 3; }), value));
  EXPECT_EQ(value, 0x5eed);
}

TEST(TypedReadRules, DoubleUsesAllNinetySixDecimalBits) {
  double value = 0;
  EXPECT_TRUE(CADORecordset::VariantToDouble(Decimal(1, 0, 0, true), value));
  EXPECT_DOUBLE_EQ(value, -18446744073709551616.0);
  EXPECT_TRUE(CADORecordset::VariantToDouble(Make(VT_I8, [](VARIANT& v) { v.llVal = 1LL << 40; }), value));
  EXPECT_DOUBLE_EQ(value, 1099511627776.0);
  EXPECT_FALSE(CADORecordset::VariantToDouble(_variant_t("1.5"), value));
  EXPECT_EQ(value, 0.0);
}

TEST(TypedReadRules, BoolDateAndCurrency) {
  bool flag = true;
  EXPECT_TRUE(CADORecordset::VariantToBool(Make(VT_NULL, [](VARIANT&) {}), flag));
  EXPECT_FALSE(flag);
  EXPECT_FALSE(CADORecordset::VariantToBool(Make(VT_I4, [](VARIANT& v) { v.lVal = 1; }), flag));
  COleDateTime date;
  EXPECT_TRUE(CADORecordset::VariantToDate(_variant_t(), date));
  EXPECT_EQ(date.GetStatus(), COleDateTime::null);
  EXPECT_FALSE(CADORecordset::VariantToDate(_variant_t("2020-01-01"), date));
  COleCurrency money;
  EXPECT_TRUE(
      CADORecordset::VariantToCurrency(Make(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 15000; }), money));
  EXPECT_EQ(money.m_cur.int64, 15000);
  EXPECT_EQ(money.GetStatus(), COleCurrency::valid);
}

// The converters: accepted types give the value; any other type traces and gives the default.
TEST(Converters, LongTakesVtIntAndStrings) {
  TraceCapture traces;
  EXPECT_EQ(CADORecordset::vartol(Make(VT_INT, [](VARIANT& v) { v.intVal = -70000; })), -70000);
  EXPECT_EQ(CADORecordset::vartol(_variant_t("  42abc")), 42);
  EXPECT_EQ(CADORecordset::vartol(Make(VT_R8, [](VARIANT& v) { v.dblVal = -2.9; })), -2);
  EXPECT_EQ(CADORecordset::vartol(Make(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 123456; })), 12);
  EXPECT_EQ(CADORecordset::vartol(Make(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; })), -1);
  EXPECT_EQ(traces.text(), "");
}

TEST(Converters, UnhandledTypeTracesAndGivesTheDefault) {
  TraceCapture traces;
  EXPECT_EQ(CADORecordset::vartol(Make(VT_DATE, [](VARIANT& v) { v.date = 1.0; })), 0);
  EXPECT_TRUE(ado2test::StartsWith(traces.text(), "Warning: 未处理的 _variant_t 类型值; 文件: "));
  traces.clear();
  EXPECT_EQ(CADORecordset::vartobool(Make(VT_I4, [](VARIANT& v) { v.lVal = 1; })), false);
  EXPECT_EQ(CADORecordset::vartoby(Make(VT_I2, [](VARIANT& v) { v.iVal = 1; })), 0);
  EXPECT_EQ(CADORecordset::vartoi(Make(VT_I4, [](VARIANT& v) { v.lVal = 1; })), 0);
  EXPECT_EQ(CADORecordset::vartodate(_variant_t(1.0)).GetStatus(), COleDateTime::null);
  EXPECT_EQ(CADORecordset::vartocy(_variant_t(1.0)).GetStatus(), COleCurrency::null);
  size_t count = 0;
  for (size_t at = 0; (at = traces.text().find("未处理的", at)) != std::string::npos; ++at) ++count;
  EXPECT_EQ(count, 5u);
}

TEST(Converters, EmptyAndNullGiveDefaultsWithoutTrace) {
  TraceCapture traces;
  _variant_t null = Make(VT_NULL, [](VARIANT&) {});
  EXPECT_EQ(CADORecordset::vartoi(null), 0);
  EXPECT_EQ(CADORecordset::vartof(_variant_t()), 0.0);
  EXPECT_EQ(CADORecordset::vartodate(null).GetStatus(), COleDateTime::null);
  EXPECT_EQ(traces.text(), "");
}

TEST(Converters, DoubleTakesStringsThroughAtof) {
  EXPECT_DOUBLE_EQ(CADORecordset::vartof(_variant_t("2.5e3")), 2500.0);
  EXPECT_DOUBLE_EQ(CADORecordset::vartof(Make(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; })),
                   4000000000.0);
}

// The VARIANTs the writes put: the smallest integer type that holds the value.
TEST(WriteVariants, IntegersTakeTheSmallestTypeThatHoldsThem) {
  EXPECT_EQ(ado2::IntegerVariant(-32768, true).vt, VT_I2);
  EXPECT_EQ(ado2::IntegerVariant(-32768, false).vt, VT_I4);
  EXPECT_EQ(ado2::IntegerVariant(32768, true).vt, VT_I4);
  _variant_t wide = ado2::IntegerVariant(-2147483649LL, false);
  EXPECT_EQ(wide.vt, VT_I8);
  EXPECT_EQ(wide.llVal, -2147483649LL);
  EXPECT_EQ(ado2::UnsignedVariant(4294967295ULL).vt, VT_UI4);
  EXPECT_EQ(ado2::UnsignedVariant(4294967296ULL).vt, VT_I8);
  EXPECT_EQ(ado2::UnsignedVariant(18446744073709551615ULL).vt, VT_UI8);
}

TEST(WriteVariants, EmptyTextIsNullAndTheOthersKeepTheirValue) {
  EXPECT_EQ(ado2::TextVariant("").vt, VT_NULL);
  EXPECT_EQ(ado2::TextVariant("砂岩").vt, VT_BSTR);
  EXPECT_EQ(ado2::NullVariant().vt, VT_NULL);
  _variant_t flag = ado2::BoolVariant(true);
  EXPECT_EQ(flag.vt, VT_BOOL);
  EXPECT_EQ(flag.boolVal, VARIANT_TRUE);
  EXPECT_EQ(ado2::DateVariant(COleDateTime(2.5)).date, 2.5);
  COleCurrency money;
  money.m_cur.int64 = 12345;
  _variant_t cy = ado2::CurrencyVariant(money);
  EXPECT_EQ(cy.vt, VT_CY);
  EXPECT_EQ(cy.cyVal.int64, 12345);
}

// SetValueString's parsers: the target type by the field's ADO type, then the whole text.
TEST(TextParsers, TargetTypeFollowsTheFieldType) {
  EXPECT_EQ(ado2::TextTargetType(adTinyInt), VT_I1);
  EXPECT_EQ(ado2::TextTargetType(adUnsignedBigInt), VT_UI8);
  EXPECT_EQ(ado2::TextTargetType(adNumeric), VT_DECIMAL);
  EXPECT_EQ(ado2::TextTargetType(adVarWChar), VT_BSTR);
  EXPECT_EQ(ado2::TextTargetType(adDBTimeStamp), VT_DATE);
  EXPECT_EQ(ado2::TextTargetType(adLongVarBinary), VT_EMPTY);
  EXPECT_EQ(ado2::TextTargetType(adGUID), VT_EMPTY);
}

TEST(TextParsers, IntegersParseWholeAndInRange) {
  _variant_t out;
  ASSERT_TRUE(ado2::ParseFieldText(VT_I2, "  -32768", out));
  EXPECT_EQ(out.vt, VT_I2);
  EXPECT_EQ(out.iVal, -32768);
  EXPECT_FALSE(ado2::ParseFieldText(VT_I2, "32768", out));
  EXPECT_FALSE(ado2::ParseFieldText(VT_I4, "12abc", out));
  EXPECT_FALSE(ado2::ParseFieldText(VT_I4, "", out));
  EXPECT_FALSE(ado2::ParseFieldText(VT_I8, "9223372036854775808", out));
  ASSERT_TRUE(ado2::ParseFieldText(VT_UI1, "255", out));
  EXPECT_EQ(out.bVal, 255);
  EXPECT_FALSE(ado2::ParseFieldText(VT_UI1, "256", out));
  EXPECT_FALSE(ado2::ParseFieldText(VT_UI4, " -1", out));
  ASSERT_TRUE(ado2::ParseFieldText(VT_UI8, "18446744073709551615", out));
  EXPECT_EQ(out.ullVal, 18446744073709551615ULL);
}

TEST(TextParsers, RealsAreFiniteAndInTheirRange) {
  _variant_t out;
  ASSERT_TRUE(ado2::ParseFieldText(VT_R8, "2.5e3", out));
  EXPECT_EQ(out.dblVal, 2500.0);
  EXPECT_FALSE(ado2::ParseFieldText(VT_R8, "inf", out));
  EXPECT_FALSE(ado2::ParseFieldText(VT_R8, "1e999", out));
  EXPECT_FALSE(ado2::ParseFieldText(VT_R4, "1e39", out));
  ASSERT_TRUE(ado2::ParseFieldText(VT_R4, "0.5", out));
  EXPECT_EQ(out.fltVal, 0.5f);
  ASSERT_TRUE(ado2::ParseFieldText(VT_DECIMAL, "12.25", out));
  EXPECT_EQ(out.vt, VT_DECIMAL);
  EXPECT_EQ(ado2::VariantToDisplayText(out), "12.2500");
}

TEST(TextParsers, BoolTextAndRefusedTypes) {
  _variant_t out;
  ASSERT_TRUE(ado2::ParseFieldText(VT_BOOL, "true", out));
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_TRUE(ado2::ParseFieldText(VT_BOOL, "FALSE", out));
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  ASSERT_TRUE(ado2::ParseFieldText(VT_BOOL, "-3", out));
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_FALSE(ado2::ParseFieldText(VT_BOOL, "yes", out));
  ASSERT_TRUE(ado2::ParseFieldText(VT_BSTR, "第四系 Q", out));
  EXPECT_EQ(ado2::VariantToDisplayText(out), "第四系 Q");
  EXPECT_FALSE(ado2::ParseFieldText(VT_EMPTY, "1", out));
  ASSERT_TRUE(ado2::ParseFieldText(VT_DATE, "2026-03-19 13:30:05", out));
  EXPECT_EQ(ado2::VariantToDisplayText(out), "2026-03-19 13:30:05");
  EXPECT_FALSE(ado2::ParseFieldText(VT_DATE, "not a date", out));
}

}  // namespace
