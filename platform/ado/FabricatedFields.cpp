// The fields of a fabricated recordset (see FabricatedFields.h).
#include "FabricatedFields.h"

#include <oleauto.h>

#include "AdoError.h"
#include "AdoText.h"
#include "TextUtil.h"
#include "kp/kpvariant.h"

namespace kp::ado {
namespace {

constexpr HRESULT kErrorsOccurred = (HRESULT)0x80040E21;  // DB_E_ERRORSOCCURRED
constexpr const char16_t* kErrorsOccurredText =
    u"Multiple-step operation generated errors. Check each status value.";
constexpr const char16_t* kCursorEngine = u"Microsoft Cursor Engine";
constexpr int32_t kUnlimited = 2147483647;
constexpr LONG kKnownAttributes = adFldMayDefer | adFldUpdatable | adFldUnknownUpdatable | adFldFixed |
                                  adFldIsNullable | adFldMayBeNull | adFldLong | adFldRowID |
                                  adFldRowVersion | adFldCacheDeferred | adFldIsChapter | adFldNegativeScale |
                                  adFldKeyColumn | adFldIsRowURL | adFldIsDefaultStream | adFldIsCollection;

// Types whose values carry their length (DefinedSize is required and enforced).
bool TakesLength(LONG type) {
  switch (type) {
    case adChar:
    case adWChar:
    case adVarChar:
    case adVarWChar:
    case adBinary:
    case adVarBinary:
      return true;
    default:
      return false;
  }
}

bool IsLongType(LONG type) {
  return type == adLongVarChar || type == adLongVarWChar || type == adLongVarBinary;
}

// The types a fabricated recordset can hold.
bool Holdable(LONG type) {
  switch (type) {
    case adTinyInt:
    case adSmallInt:
    case adInteger:
    case adBigInt:
    case adUnsignedTinyInt:
    case adUnsignedSmallInt:
    case adUnsignedInt:
    case adUnsignedBigInt:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adNumeric:
    case adBoolean:
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
    case adBSTR:
    case adGUID:
    case adLongVarChar:
    case adLongVarWChar:
    case adLongVarBinary:
      return true;
    default:
      return TakesLength(type);
  }
}

HRESULT ErrorsOccurred() {
  return SetError(kErrorsOccurred, kCursorEngine, kErrorsOccurredText);
}

}  // namespace

bool FabricatedFields::Define(ColumnInfo& c, LONG type, LONG size, LONG attributes) {
  if (!Holdable(type) || size < 0) return false;
  if (attributes != adFldUnspecified && (attributes & ~kKnownAttributes)) return false;
  if (TakesLength(type) && size == 0) return false;
  bool sized = TakesLength(type) || IsLongType(type) || type == adBSTR;
  c.SetAdoType((int)type, sized && size > 0 ? size : IsLongType(type) ? kUnlimited : -1);
  c.fabricated = true;
  c.declaredAttributes = attributes == adFldUnspecified ? 0 : attributes;
  c.notNull = !(c.declaredAttributes & adFldIsNullable);
  c.ComputeAttributes(false);
  return true;
}

HRESULT FabricatedFields::Append(std::u16string_view name, LONG type, LONG size, LONG attributes) {
  if (name.empty()) return AdoFail(AdoErr(adErrInvalidArgument), kSrcFields);
  if (Find(name) >= 0) return AdoFail(AdoErr(adErrObjectInCollection), kSrcFields);
  ColumnInfo c;
  c.name = std::u16string(name);
  if (!Define(c, type, size, attributes)) return AdoFail(AdoErr(adErrInvalidArgument), kSrcFields);
  columns_.push_back(std::move(c));
  return S_OK;
}

void FabricatedFields::Delete(int f) {
  columns_.erase(columns_.begin() + f);
}

int FabricatedFields::Find(std::u16string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (EqualsNoCase(columns_[i].name, name)) return (int)i;
  return -1;
}

HRESULT FabricatedFields::SetType(int f, LONG type) {
  // The size stays where both types carry one; a fixed-size type brings its own.
  ColumnInfo c = columns_[f];
  bool sized = TakesLength(c.type) || IsLongType(c.type) || c.type == adBSTR;
  if (!Define(c, type, sized ? c.definedSize : 0, columns_[f].declaredAttributes))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcField);
  columns_[f] = c;
  return S_OK;
}

HRESULT FabricatedFields::SetDefinedSize(int f, LONG size) {
  ColumnInfo c = columns_[f];
  if (!Define(c, c.type, size, c.declaredAttributes)) return AdoFail(AdoErr(adErrInvalidArgument), kSrcField);
  c.precision = columns_[f].precision;
  c.scale = columns_[f].scale;
  columns_[f] = c;
  return S_OK;
}

HRESULT FabricatedFields::SetPrecision(int f, BYTE precision) {
  ColumnInfo& c = columns_[f];
  if (precision < 1 || precision > 38 || (c.scale != 255 && c.scale > precision))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcField);
  c.precision = precision;
  return S_OK;
}

HRESULT FabricatedFields::SetNumericScale(int f, BYTE scale) {
  ColumnInfo& c = columns_[f];
  if (scale > 38 || (c.precision != 255 && scale > c.precision))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcField);
  c.scale = scale;
  return S_OK;
}

HRESULT FabricatedFields::SetAttributes(int f, LONG attributes) {
  ColumnInfo& c = columns_[f];
  if (attributes != adFldUnspecified && (attributes & ~kKnownAttributes))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcField);
  c.declaredAttributes = attributes == adFldUnspecified ? 0 : attributes;
  c.notNull = !(c.declaredAttributes & adFldIsNullable);
  c.ComputeAttributes(false);
  return S_OK;
}

std::shared_ptr<RowSet> FabricatedFields::NewRows() const {
  return std::make_shared<RowSet>(columns_);
}

HRESULT FabricatedFields::CheckValue(const ColumnInfo& col, const VARIANT& value) {
  const VARIANT* v = &value;
  while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  if (v->vt == VT_NULL || v->vt == VT_EMPTY)
    return (col.declaredAttributes & adFldIsNullable) ? S_OK : ErrorsOccurred();
  if (TakesLength(col.type)) {
    LONG length = 0;
    if (v->vt == (VT_ARRAY | VT_UI1) && v->parray) {
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(v->parray, 1, &lo);
      SafeArrayGetUBound(v->parray, 1, &hi);
      length = hi - lo + 1;
    } else {
      VARIANT text;
      VariantInit(&text);
      if (FAILED(VariantChangeType(&text, v, 0, VT_BSTR)))
        return S_OK;  // the write's own conversion reports the type
      length = (LONG)SysStringLen(text.bstrVal);
      if (col.IsBinary()) length = (LONG)ToUtf8(BstrView(text.bstrVal)).size();
      VariantClear(&text);
    }
    return length > col.definedSize ? ErrorsOccurred() : S_OK;
  }
  if (kp::IsIntegerClass(kp::ClassOfType(col.vt))) {
    VARIANT n;
    VariantInit(&n);
    HRESULT hr = VariantChangeType(&n, v, 0, col.vt);
    VariantClear(&n);
    if (FAILED(hr)) return AdoFail(AdoErr(adErrDataConversion), kSrcRecordset);
  }
  return S_OK;
}

}  // namespace kp::ado
