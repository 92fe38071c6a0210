// The field conversion rules of the layer, as free functions: what a VARIANT read from a field
// or a parameter becomes (text, display text, numbers, dates, currency), the VARIANTs the
// writes put, and the parsers behind SetValueString. CADORecordset and CADOParameter both
// read by these rules, so they live apart from either class (CADORecordset's static members of
// the same names answer through them).
//
// Integer widths: a Windows long is 32 bits. The `long` and `unsigned long` forms (64-bit C++
// types here) carry 32-bit values; writes beyond 32 bits become VT_I8 (VT_UI8 above the signed
// 64-bit range).
//
// Nothing here touches ADO objects, and only the converters trace ("Warning: 未处理的
// _variant_t 类型值; 文件: %s; 行: %d\n" for a type outside their accepted set).
#pragma once
#include <afx.h>
#include <afxdisp.h>
#include <comdef.h>

namespace ado2 {

// GetFieldValue's text of a VARIANT; empty text and FALSE for a type without a text rule.
BOOL VariantToText(const _variant_t& vtValue, CString& strValue, LPCTSTR lpszDateFormat);
// GetValueString's display text of a VARIANT (never fails).
CString VariantToDisplayText(const _variant_t& vtValue);

// The typed-read rules: EMPTY/NULL give 0, false or a null status and TRUE; FALSE for a type
// the target cannot take. int: VT_I2, VT_UI1, VT_BOOL by value, VT_I4 and VT_INT whole.
// long / unsigned long: 8- and 16-bit integers by value, 32 bits of VT_I4, VT_UI4, VT_INT and
// VT_UINT. double: every integer type, VT_R4, VT_R8, VT_CY and VT_DECIMAL.
BOOL VariantToInt(const _variant_t& var, int& value);
BOOL VariantToLong(const _variant_t& var, long& value);
BOOL VariantToULong(const _variant_t& var, unsigned long& value);
BOOL VariantToDouble(const _variant_t& var, double& value);
BOOL VariantToBool(const _variant_t& var, bool& value);
BOOL VariantToDate(const _variant_t& var, COleDateTime& value);
BOOL VariantToCurrency(const _variant_t& var, COleCurrency& value);

// The converters: VT_EMPTY/VT_NULL give false, 0 or a null status; another type outside the
// accepted set traces and gives the same default.
bool vartobool(const _variant_t& var);
BYTE vartoby(const _variant_t& var);
short vartoi(const _variant_t& var);
long vartol(const _variant_t& var);  // the 32-bit value, sign-extended
double vartof(const _variant_t& var);
COleDateTime vartodate(const _variant_t& var);
COleCurrency vartocy(const _variant_t& var);

// The VARIANTs the writes put: VT_NULL; a signed value as the smallest of VT_I2 (when small is
// allowed), VT_I4 and VT_I8 that holds it; an unsigned one as VT_UI4, VT_I8 or VT_UI8; text as
// a BSTR (empty text: VT_NULL); VT_DATE, VT_BOOL and VT_CY.
_variant_t NullVariant();
_variant_t IntegerVariant(long long value, bool small);
_variant_t UnsignedVariant(unsigned long long value);
_variant_t TextVariant(const CString& text);
_variant_t DateVariant(const COleDateTime& time);
_variant_t BoolVariant(bool value);
_variant_t CurrencyVariant(const COleCurrency& value);

// The VARIANT type SetValueString parses a field's text into, by the field's ADO type;
// VT_EMPTY for a type without a text form (binary, GUID, ...), which is refused.
VARTYPE TextTargetType(int adoType);
// Parses text into a VARIANT of type vt: whole integers in the type's range (leading blanks
// allowed, nothing after the digits, no sign for unsigned types), finite doubles (VT_R4 within
// float's range; VT_DECIMAL through the double), currency and dates by COleCurrency and
// COleDateTime, bool as TRUE/FALSE (any case) or a 32-bit integer, text as it is. False when
// the text does not parse whole, is out of range, or vt has no parser.
bool ParseFieldText(VARTYPE vt, const CString& text, _variant_t& out);

}  // namespace ado2
