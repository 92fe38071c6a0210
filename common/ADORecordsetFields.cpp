// CADORecordset's field access (see ADORecordset.h): typed reads and raw writes through
// Field.Value, type-checked reads and writes through Collect, null tests, the display text and
// its parsing back into a field, and metadata. The conversion rules themselves are free
// functions in ADOConversion.h; the class's static members of the same names answer through
// them. Every name/index pair is one line each, forwarding with the key ADO takes.
#include "ADORecordset.h"

#include <oleauto.h>

#include <cstdint>
#include <cstring>

#include "ADOConversion.h"
#include "ADODecimal.h"
#include "ADOException.h"
#include "ADOGuard.h"

namespace {

using ado2::BoolVariant;
using ado2::CurrencyVariant;
using ado2::DateVariant;
using ado2::IndexKey;
using ado2::IntegerVariant;
using ado2::MakeVariant;
using ado2::NameKey;
using ado2::NullVariant;
using ado2::TextVariant;
using ado2::UnsignedVariant;

// The field types each checked access expects.
const int kByteTypes[] = {adUnsignedTinyInt};
const int kShortTypes[] = {adSmallInt};
const int kIntTypes[] = {adInteger};
const int kLongTypes[] = {adBigInt};
const int kFloatTypes[] = {adSingle};
const int kDoubleTypes[] = {adDouble};
const int kTextTypes[] = {adChar, adVarChar, adLongVarChar};
const int kBoolTypes[] = {adBoolean};
const int kDateTypes[] = {adDate, adDBDate, adDBTime, adDBTimeStamp};
const int kCurrencyTypes[] = {adCurrency};
#define ADO2_TYPES(list) list, static_cast<int>(sizeof(list) / sizeof(list[0]))

const char kReadMismatch[] = "你要读取的字段与变量的数据类型不符";
const char kWriteMismatch[] = "你要存储的字段与变量的数据类型不符";
const char kDisconnected[] = "数据库可能已经断开,\r\n请重新连接、然后重试.";
const char kNotice[] = "提示";
const char kFieldAccessFailed[] = ":( 字段访问失败: %s\n";

// A property of the field at key, read under the guard: fallback after the trace.
template <typename T, typename Read>
T FieldProperty(const _RecordsetPtr& recordset, const _variant_t& key, const ado2::TraceForm& trace,
                T fallback, Read read) {
  return ado2::Guarded(trace, fallback,
                       [&] { return static_cast<T>(read(recordset->GetFields()->GetItem(key))); });
}
long Attributes(const FieldPtr& field) {
  return field->GetAttributes();
}
long ActualSize(const FieldPtr& field) {
  return field->GetActualSize();
}
long DefinedSize(const FieldPtr& field) {
  return field->GetDefinedSize();
}
CString Name(const FieldPtr& field) {
  return ado2::BstrText(field->GetName());
}

// A converter as a read rule: the value always converts (to the target's type, as assigned).
template <auto convert, typename T>
BOOL Always(const _variant_t& v, T& value) {
  value = convert(v);
  return TRUE;
}

// The adBigInt read moves 32 bits: a 64-bit value beyond them is refused, not cut.
BOOL BigIntToLong(const _variant_t& v, long& value) {
  if (v.vt == VT_I8 || v.vt == VT_UI8) {
    bool fits = v.vt == VT_I8 ? (v.llVal >= INT32_MIN && v.llVal <= INT32_MAX) : v.ullVal <= INT32_MAX;
    if (!fits) {
      ADO2_METHOD("GetCollectValue")(_com_error(DISP_E_OVERFLOW));
      return FALSE;
    }
    value = static_cast<LONG>(v.llVal);
    return TRUE;
  }
  value = ado2::vartol(v);
  return TRUE;
}

// GetFieldType of a field GuardedField answered (adEmpty for none).
int TypeOf(const FieldPtr& field) {
  return ado2::Guarded(ADO2_SHORT("GetField"), int(adEmpty),
                       [&] { return field != nullptr ? static_cast<int>(field->GetType()) : int(adEmpty); });
}

}  // namespace

/////////////////////////////////////////////////////////////////////////////
// The shared conversion rules, as the class has always offered them

double CADORecordset::DecimalToDouble(const DECIMAL& dec) {
  return ado2::DecimalToDouble(dec);
}
BOOL CADORecordset::VariantToText(const _variant_t& vtValue, CString& strValue, LPCTSTR lpszDateFormat) {
  return ado2::VariantToText(vtValue, strValue, lpszDateFormat);
}
CString CADORecordset::VariantToDisplayText(const _variant_t& vtValue) {
  return ado2::VariantToDisplayText(vtValue);
}
bool CADORecordset::vartobool(const _variant_t& var) {
  return ado2::vartobool(var);
}
BYTE CADORecordset::vartoby(const _variant_t& var) {
  return ado2::vartoby(var);
}
short CADORecordset::vartoi(const _variant_t& var) {
  return ado2::vartoi(var);
}
long CADORecordset::vartol(const _variant_t& var) {
  return ado2::vartol(var);
}
double CADORecordset::vartof(const _variant_t& var) {
  return ado2::vartof(var);
}
COleDateTime CADORecordset::vartodate(const _variant_t& var) {
  return ado2::vartodate(var);
}
COleCurrency CADORecordset::vartocy(const _variant_t& var) {
  return ado2::vartocy(var);
}
BOOL CADORecordset::VariantToInt(const _variant_t& var, int& value) {
  return ado2::VariantToInt(var, value);
}
BOOL CADORecordset::VariantToLong(const _variant_t& var, long& value) {
  return ado2::VariantToLong(var, value);
}
BOOL CADORecordset::VariantToULong(const _variant_t& var, unsigned long& value) {
  return ado2::VariantToULong(var, value);
}
BOOL CADORecordset::VariantToDouble(const _variant_t& var, double& value) {
  return ado2::VariantToDouble(var, value);
}
BOOL CADORecordset::VariantToBool(const _variant_t& var, bool& value) {
  return ado2::VariantToBool(var, value);
}
BOOL CADORecordset::VariantToDate(const _variant_t& var, COleDateTime& value) {
  return ado2::VariantToDate(var, value);
}
BOOL CADORecordset::VariantToCurrency(const _variant_t& var, COleCurrency& value) {
  return ado2::VariantToCurrency(var, value);
}

/////////////////////////////////////////////////////////////////////////////
// Typed reads and raw writes through Field.Value

BOOL CADORecordset::ReadValue(const _variant_t& key, _variant_t& value) {
  return ado2::Guarded(Report(), FALSE, [&] {
    value = m_pRecordset->GetFields()->GetItem(key)->GetValue();
    return TRUE;
  });
}

BOOL CADORecordset::WriteValue(const _variant_t& key, const _variant_t& value) {
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pRecordset->GetFields()->GetItem(key)->PutValue(value);
    return TRUE;
  });
}

BOOL CADORecordset::ReadText(const _variant_t& key, CString& text, const CString& dateFormat) {
  _variant_t value;
  if (!ReadValue(key, value)) return FALSE;
  return ado2::VariantToText(value, text, dateFormat);
}

template <typename T>
BOOL CADORecordset::ReadTyped(const _variant_t& key, T& target, BOOL (*convert)(const _variant_t&, T&)) {
  _variant_t value;
  if (!ReadValue(key, value)) return FALSE;
  return convert(value, target);
}

BOOL CADORecordset::GetFieldValue(LPCTSTR lpFieldName, CString& strValue, CString strDateFormat) {
  return ReadText(NameKey(lpFieldName), strValue, strDateFormat);
}
BOOL CADORecordset::GetFieldValue(int nIndex, CString& strValue, CString strDateFormat) {
  return ReadText(IndexKey(nIndex), strValue, strDateFormat);
}

// The typed reads differ only in the target and the rule; one line each, by name and by index.
#define ADO2_TYPED_READ(T, rule)                                     \
  BOOL CADORecordset::GetFieldValue(LPCTSTR lpFieldName, T& value) { \
    return ReadTyped<T>(NameKey(lpFieldName), value, &rule);         \
  }                                                                  \
  BOOL CADORecordset::GetFieldValue(int nIndex, T& value) {          \
    return ReadTyped<T>(IndexKey(nIndex), value, &rule);             \
  }

ADO2_TYPED_READ(int, ado2::VariantToInt)
ADO2_TYPED_READ(long, ado2::VariantToLong)
ADO2_TYPED_READ(unsigned long, ado2::VariantToULong)
ADO2_TYPED_READ(double, ado2::VariantToDouble)
ADO2_TYPED_READ(bool, ado2::VariantToBool)
ADO2_TYPED_READ(COleDateTime, ado2::VariantToDate)
ADO2_TYPED_READ(COleCurrency, ado2::VariantToCurrency)
#undef ADO2_TYPED_READ

BOOL CADORecordset::GetFieldValue(LPCTSTR lpFieldName, _variant_t& vtValue) {
  return ReadValue(NameKey(lpFieldName), vtValue);
}
BOOL CADORecordset::GetFieldValue(int nIndex, _variant_t& vtValue) {
  return ReadValue(IndexKey(nIndex), vtValue);
}

#define ADO2_RAW_WRITE(T, make)                                     \
  BOOL CADORecordset::SetFieldValue(LPCTSTR lpFieldName, T value) { \
    return WriteValue(NameKey(lpFieldName), make);                  \
  }                                                                 \
  BOOL CADORecordset::SetFieldValue(int nIndex, T value) {          \
    return WriteValue(IndexKey(nIndex), make);                      \
  }

ADO2_RAW_WRITE(CString, TextVariant(value))
ADO2_RAW_WRITE(int, IntegerVariant(value, true))
ADO2_RAW_WRITE(long, IntegerVariant(value, false))
ADO2_RAW_WRITE(unsigned long, UnsignedVariant(value))
ADO2_RAW_WRITE(double, MakeVariant(VT_R8, [&](VARIANT& v) { v.dblVal = value; }))
ADO2_RAW_WRITE(COleDateTime, DateVariant(value))
ADO2_RAW_WRITE(bool, BoolVariant(value))
ADO2_RAW_WRITE(COleCurrency, CurrencyVariant(value))
ADO2_RAW_WRITE(_variant_t, value)
#undef ADO2_RAW_WRITE

BOOL CADORecordset::SetFieldEmpty(LPCTSTR lpFieldName) {
  return WriteValue(NameKey(lpFieldName), _variant_t());
}
BOOL CADORecordset::SetFieldEmpty(int nIndex) {
  return WriteValue(IndexKey(nIndex), _variant_t());
}
BOOL CADORecordset::SetFieldNull(LPCTSTR lpFieldName) {
  return WriteValue(NameKey(lpFieldName), NullVariant());
}

BOOL CADORecordset::IsFieldType(const _variant_t& key, bool orEmpty) {
  _variant_t value;
  if (!ReadValue(key, value)) return FALSE;
  return value.vt == VT_NULL || (orEmpty && value.vt == VT_EMPTY);
}

BOOL CADORecordset::IsFieldNull(LPCTSTR lpFieldName) {
  return IsFieldType(NameKey(lpFieldName), false);
}
BOOL CADORecordset::IsFieldNull(int nIndex) {
  return IsFieldType(IndexKey(nIndex), false);
}
BOOL CADORecordset::IsFieldEmpty(LPCTSTR lpFieldName) {
  return IsFieldType(NameKey(lpFieldName), true);
}
BOOL CADORecordset::IsFieldEmpty(int nIndex) {
  return IsFieldType(IndexKey(nIndex), true);
}

/////////////////////////////////////////////////////////////////////////////
// Checked reads and writes through Collect

BOOL CADORecordset::ReadChecked(const _variant_t& key, const int* types, int typeCount, _variant_t& value) {
  return ado2::Guarded(Report(), FALSE, [&] {
    int type = m_pRecordset->GetFields()->GetItem(key)->GetType();
    bool expected = false;
    for (int i = 0; i < typeCount; ++i) expected = expected || type == types[i];
    if (!expected) {
      AfxMessageBox(kReadMismatch, MB_OK);
      ASSERT(FALSE);
    }
    value = m_pRecordset->GetCollect(key);
    return TRUE;
  });
}

BOOL CADORecordset::WriteChecked(const _variant_t& key, const int* types, int typeCount, bool traceMismatch,
                                 const _variant_t& value) {
  return ado2::Guarded(Report(), FALSE, [&] {
    int type = m_pRecordset->GetFields()->GetItem(key)->GetType();
    bool expected = false;
    for (int i = 0; i < typeCount; ++i) expected = expected || type == types[i];
    if (!expected) {
      if (traceMismatch) {
        TRACE("Warning: 你要存贮的字段与变量的数据类型不符; 文件: %s; 行: %d\n", __FILE__, __LINE__);
      } else {
        AfxMessageBox(kWriteMismatch, MB_OK);
      }
    }
    m_pRecordset->PutCollect(key, value);
    return TRUE;
  });
}

BOOL CADORecordset::ReadCollect(const _variant_t& key, _variant_t& value) {
  return ado2::Guarded(ADO2_AT("Warning: GetField发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), FALSE, [&] {
    value = m_pRecordset->GetCollect(key);
    return TRUE;
  });
}

template <typename T>
BOOL CADORecordset::ReadCheckedAs(const _variant_t& key, const int* types, int typeCount, T& target,
                                  BOOL (*rule)(const _variant_t&, T&)) {
  _variant_t value;
  return ReadChecked(key, types, typeCount, value) && rule(value, target);
}

template <typename T>
BOOL CADORecordset::ReadCollectAs(const _variant_t& key, T& target, BOOL (*rule)(const _variant_t&, T&)) {
  _variant_t value;
  return ReadCollect(key, value) && rule(value, target);
}

#define ADO2_CHECKED_READ(T, types, rule)                                            \
  BOOL CADORecordset::GetCollectValue(LPCTSTR lpFieldName, T& value) {               \
    return ReadCheckedAs<T>(NameKey(lpFieldName), ADO2_TYPES(types), value, &rule); \
  }                                                                                  \
  BOOL CADORecordset::GetCollectValue(int nIndex, T& value) {                        \
    return ReadCheckedAs<T>(IndexKey(nIndex), ADO2_TYPES(types), value, &rule);     \
  }

ADO2_CHECKED_READ(BYTE, kByteTypes, Always<ado2::vartoby>)
ADO2_CHECKED_READ(short, kShortTypes, Always<ado2::vartoi>)
ADO2_CHECKED_READ(int, kIntTypes, Always<ado2::vartol>)
ADO2_CHECKED_READ(long, kLongTypes, BigIntToLong)
ADO2_CHECKED_READ(float, kFloatTypes, Always<ado2::vartof>)
ADO2_CHECKED_READ(double, kDoubleTypes, Always<ado2::vartof>)
ADO2_CHECKED_READ(CString, kTextTypes, Always<ado2::VariantToDisplayText>)
#undef ADO2_CHECKED_READ

#define ADO2_CONVERTED_READ(T, rule)                                   \
  BOOL CADORecordset::GetCollectValue(LPCTSTR lpFieldName, T& value) { \
    return ReadCollectAs<T>(NameKey(lpFieldName), value, &rule);       \
  }                                                                    \
  BOOL CADORecordset::GetCollectValue(int nIndex, T& value) {          \
    return ReadCollectAs<T>(IndexKey(nIndex), value, &rule);           \
  }

ADO2_CONVERTED_READ(bool, Always<ado2::vartobool>)
ADO2_CONVERTED_READ(COleDateTime, Always<ado2::vartodate>)
ADO2_CONVERTED_READ(COleCurrency, Always<ado2::vartocy>)
#undef ADO2_CONVERTED_READ

#define ADO2_CHECKED_WRITE(T, types, traceMismatch, make)                              \
  BOOL CADORecordset::PutCollectValue(LPCTSTR lpFieldName, T value) {                  \
    return WriteChecked(NameKey(lpFieldName), ADO2_TYPES(types), traceMismatch, make); \
  }                                                                                    \
  BOOL CADORecordset::PutCollectValue(int nIndex, T value) {                           \
    return WriteChecked(IndexKey(nIndex), ADO2_TYPES(types), traceMismatch, make);     \
  }

ADO2_CHECKED_WRITE(BYTE, kByteTypes, false, MakeVariant(VT_UI1, [&](VARIANT& v) { v.bVal = value; }))
ADO2_CHECKED_WRITE(short, kShortTypes, false, MakeVariant(VT_I2, [&](VARIANT& v) { v.iVal = value; }))
ADO2_CHECKED_WRITE(int, kIntTypes, false, IntegerVariant(value, false))
ADO2_CHECKED_WRITE(long, kLongTypes, false, IntegerVariant(value, false))
ADO2_CHECKED_WRITE(float, kFloatTypes, false, MakeVariant(VT_R4, [&](VARIANT& v) { v.fltVal = value; }))
ADO2_CHECKED_WRITE(double, kDoubleTypes, false, MakeVariant(VT_R8, [&](VARIANT& v) { v.dblVal = value; }))
ADO2_CHECKED_WRITE(const CString&, kTextTypes, false, _variant_t((LPCTSTR)value))
ADO2_CHECKED_WRITE(bool, kBoolTypes, true, BoolVariant(value))
ADO2_CHECKED_WRITE(const COleDateTime&, kDateTypes, true, DateVariant(value))
ADO2_CHECKED_WRITE(const COleCurrency&, kCurrencyTypes, true, CurrencyVariant(value))
#undef ADO2_CHECKED_WRITE

/////////////////////////////////////////////////////////////////////////////
// Display text

BOOL CADORecordset::RecordReachable() {
  ASSERT(m_pRecordset != nullptr);
  if (m_pRecordset == nullptr || m_pRecordset->GetState() == adStateClosed) {
    ::MessageBoxA(nullptr, kDisconnected, kNotice, MB_OK | MB_ICONINFORMATION);
    return FALSE;
  }
  return !IsEOF();
}

BOOL CADORecordset::GetValueString(CString& strValue, LPCTSTR lpFieldName) {
  return ado2::Guarded(ado2::TraceForm(kFieldAccessFailed), FALSE, [&] {
    if (!RecordReachable()) return FALSE;
    strValue = ado2::VariantToDisplayText(m_pRecordset->GetCollect(NameKey(lpFieldName)));
    return TRUE;
  });
}

BOOL CADORecordset::SetValueString(LPCTSTR lpszValue, LPCTSTR lpFieldName) {
  return ado2::Guarded(ado2::TraceForm(kFieldAccessFailed), FALSE, [&] {
    if (!RecordReachable()) return FALSE;
    CString text = lpszValue != nullptr ? lpszValue : "";
    text.TrimRight();
    FieldPtr field = m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName));
    if (text.IsEmpty() || text == "NULL") {
      bool isNull = field->GetValue().vt == VT_NULL;
      if (isNull) return TRUE;  // already what was asked
      if ((field->GetAttributes() & adFldIsNullable) != 0) {
        field->PutValue(NullVariant());
        return TRUE;
      }
    }
    _variant_t value;
    if (!ado2::ParseFieldText(ado2::TextTargetType(field->GetType()), text, value)) return FALSE;
    field->PutValue(value);
    return TRUE;
  });
}

/////////////////////////////////////////////////////////////////////////////
// Metadata

int CADORecordset::GetFieldCount() {
  return ado2::Guarded(ADO2_SHORT("GetFields"), -1,
                       [&] { return static_cast<int>(m_pRecordset->GetFields()->GetCount()); });
}

FieldsPtr CADORecordset::GetFields() {
  return ado2::Guarded<FieldsPtr>(ADO2_SHORT("GetFields"), nullptr,
                                  [&] { return m_pRecordset->GetFields(); });
}

FieldPtr CADORecordset::GuardedField(const _variant_t& key) {
  return ado2::Guarded<FieldPtr>(ADO2_SHORT("GetField"), nullptr,
                                 [&] { return m_pRecordset->GetFields()->GetItem(key); });
}

FieldPtr CADORecordset::GetField(LPCTSTR lpFieldName) {
  return GuardedField(NameKey(lpFieldName));
}
FieldPtr CADORecordset::GetField(int nIndex) {
  return GuardedField(IndexKey(nIndex));
}

CString CADORecordset::GetFieldName(int nIndex) {
  return FieldProperty(m_pRecordset, IndexKey(nIndex), ADO2_SHORT("GetFieldName"), CString(), Name);
}

int CADORecordset::GetFieldType(LPCTSTR lpFieldName) {
  return TypeOf(GuardedField(NameKey(lpFieldName)));
}

int CADORecordset::GetFieldType(int nIndex) {
  return TypeOf(GuardedField(IndexKey(nIndex)));
}

long CADORecordset::GetFieldAttributes(LPCTSTR lpFieldName) {
  return FieldProperty(m_pRecordset, NameKey(lpFieldName), ADO2_METHOD("GetFieldAttributes"), -1L,
                       Attributes);
}

long CADORecordset::GetFieldAttributes(int nIndex) {
  return FieldProperty(m_pRecordset, IndexKey(nIndex), ADO2_SHORT("GetFieldAttributes"), -1L, Attributes);
}

long CADORecordset::GetDefineSize(int nIndex) {
  return FieldProperty(m_pRecordset, IndexKey(nIndex), ADO2_SHORT("GetDefineSize"), -1L, DefinedSize);
}

long CADORecordset::GetFieldActualSize(LPCTSTR lpFieldName) {
  return FieldProperty(m_pRecordset, NameKey(lpFieldName), ADO2_METHOD("GetFieldActualSize"), -1L,
                       ActualSize);
}

long CADORecordset::GetFieldActualSize(int nIndex) {
  return FieldProperty(m_pRecordset, IndexKey(nIndex), ADO2_SHORT("GetFieldActualSize"), -1L, ActualSize);
}

BOOL CADORecordset::FieldInfo(const _variant_t& key, CADOFieldInfo* fldInfo) {
  ASSERT(fldInfo != nullptr);
  if (fldInfo == nullptr) return FALSE;
  std::memset(fldInfo, 0, sizeof(CADOFieldInfo));
  return ado2::Guarded(Report(), FALSE, [&] {
    FieldPtr field = m_pRecordset->GetFields()->GetItem(key);
    CString name = ado2::BstrText(field->GetName());
    // Cut to the slot, never inside a double-byte character.
    const int limit = static_cast<int>(sizeof(fldInfo->m_strName)) - 1;
    int length = 0;
    while (length < name.GetLength()) {
      int step = AfxGbkCharLength((LPCTSTR)name + length);
      if (length + step > limit) break;
      length += step;
    }
    std::memcpy(fldInfo->m_strName, (LPCTSTR)name, static_cast<size_t>(length));
    fldInfo->m_nType = static_cast<short>(field->GetType());
    if (!IsEOF()) fldInfo->m_lSize = field->GetActualSize();
    fldInfo->m_lDefinedSize = field->GetDefinedSize();
    fldInfo->m_lAttributes = field->GetAttributes();
    return TRUE;
  });
}

BOOL CADORecordset::GetFieldInfo(LPCTSTR lpFieldName, CADOFieldInfo* fldInfo) {
  return FieldInfo(NameKey(lpFieldName), fldInfo);
}
BOOL CADORecordset::GetFieldInfo(int nIndex, CADOFieldInfo* fldInfo) {
  return FieldInfo(IndexKey(nIndex), fldInfo);
}
