// CADORecordset (see ADORecordset.h): opening, navigation, finding, editing and the state
// operations, then field access (typed, checked, raw, display text, metadata, chunks) and the
// conversion rules shared with CADOParameter.
#include "ADORecordset.h"

#include <oleauto.h>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "kp/kpcrt.h"

#include "ADOChunk.h"
#include "ADOCommand.h"
#include "ADODataBase.h"
#include "ADODecimal.h"
#include "ADOException.h"

namespace {
using ado2::kServerContext;

// Takes a new reference to what an ADO call answered (the smart pointer adds one, the
// temporary gives its own back).
template <class Ptr>
void Adopt(Ptr& target, const Ptr& result) {
  target = result;
}
}  // namespace

CADORecordset::CADORecordset(CADODataBase* pAdoDatabase)
    : m_nSearchDirection(searchForward), m_nEditStatus(dbEditNone), m_dwLastError(0) {
  m_pRecordset.CreateInstance(__uuidof(Recordset), nullptr, kServerContext);
  m_pCmd.CreateInstance(__uuidof(Command), nullptr, kServerContext);
  if (pAdoDatabase != nullptr) Adopt(m_pConnection, pAdoDatabase->GetActiveConnection());
}

CADORecordset::~CADORecordset() {
  try {
    Close();
  } catch (_com_error& e) {
    ADO2_TRACE_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n", e);
  }
  if (m_pRecordset != nullptr) m_pRecordset.Release();
  if (m_pCmd != nullptr) m_pCmd.Release();
  m_pRecordset = nullptr;
  m_pCmd = nullptr;
  m_strLastError = "";
  m_strQuery = "";
  m_dwLastError = 0;
  m_nEditStatus = dbEditNone;
  m_varBookFind.Clear();
  m_varBookmark.Clear();
}

void CADORecordset::dump_com_error(_com_error& e) {
  CString report = ado2::FormatComErrorReport("CADORecordset", e);
  m_strLastError = "Query = " + GetQuery() + "\n" + report;
  m_dwLastError = static_cast<DWORD>(e.Error());
  ado2::ShowComErrorReport(report);
}

BOOL CADORecordset::Open(LPCTSTR lpstrExec, int nOption) {
  ASSERT(m_pConnection != nullptr);
  ASSERT(m_pConnection != nullptr && m_pConnection->GetState() != adStateClosed);
  return Open(m_pConnection, lpstrExec, nOption);
}

BOOL CADORecordset::Open(_ConnectionPtr mpdb, LPCTSTR lpstrExec, int nOption) {
  Close();  // before the error guard: a failure here reaches the caller, as from Close itself
  if (lpstrExec != nullptr && lpstrExec[0] != '\0') m_strQuery = lpstrExec;
  ASSERT(!m_strQuery.IsEmpty());
  if (m_pConnection == nullptr) m_pConnection = mpdb;
  m_strQuery.TrimLeft();
  // A text starting with "select " counts as a query; only option 0 can be changed by it, and
  // option 0 is opened as a query already.
  bool isSelect = m_strQuery.Left(7).CompareNoCase("select ") == 0 && nOption == openUnknown;
  try {
    // The cursor is set up first, for every option: an unknown option leaves the recordset
    // closed with a static client cursor, and ADO's Open is not called.
    m_pRecordset->PutCursorType(adOpenStatic);
    m_pRecordset->PutCursorLocation(adUseClient);
    if (!isSelect && nOption != openUnknown && nOption != openQuery && nOption != openTable &&
        nOption != openStoredProc) {
      TRACE("Unknown parameter. %d", nOption);
      return FALSE;
    }
    _variant_t connection(static_cast<IDispatch*>(mpdb.GetInterfacePtr()), true);
    if (isSelect || nOption == openUnknown || nOption == openQuery) {
      m_pRecordset->Open(_variant_t((LPCTSTR)m_strQuery), connection, adOpenStatic, adLockOptimistic,
                         adCmdUnknown);
    } else if (nOption == openTable) {
      m_pRecordset->Open(_variant_t((LPCTSTR)m_strQuery), connection, adOpenKeyset, adLockOptimistic,
                         adCmdTable);
    } else {
      m_pCmd->PutRefActiveConnection(mpdb);
      m_pCmd->PutCommandText(_bstr_t((LPCTSTR)m_strQuery));
      m_pCmd->PutCommandType(adCmdStoredProc);
      mpdb->PutCursorLocation(adUseClient);
      // The options repeat the command's own type, so they never disagree with CommandType.
      Adopt(m_pRecordset, m_pCmd->Execute(nullptr, nullptr, adCmdStoredProc));
    }
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
  return m_pRecordset != nullptr;
}

BOOL CADORecordset::IsOpen() {
  if (m_pRecordset != nullptr && m_pConnection != nullptr && m_pConnection->GetState() != adStateClosed) {
    return m_pRecordset->GetState() != adStateClosed;
  }
  return FALSE;
}

void CADORecordset::Close() {
  if (IsOpen()) {
    if (m_nEditStatus != dbEditNone) CancelUpdate();
    m_pRecordset->PutSort(_bstr_t(""));
    m_pRecordset->Close();
  }
}

BOOL CADORecordset::Requery() {
  if (!IsOpen()) return FALSE;
  try {
    m_pRecordset->Requery(adOptionUnspecified);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::OpenSchema(long nSchema, LPCTSTR lpszRestriction) {
  try {
    _variant_t restriction = vtMissing;
    if (lpszRestriction != nullptr && lpszRestriction[0] != '\0') restriction = _variant_t(lpszRestriction);
    Adopt(m_pRecordset, m_pConnection->OpenSchema(static_cast<SchemaEnum>(nSchema), restriction, vtMissing));
    return m_pRecordset != nullptr;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::Clone(CADORecordset& pRs) {
  try {
    Adopt(pRs.m_pRecordset, m_pRecordset->Clone(adLockUnspecified));
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::Save(LPCTSTR lpstrXMLFile) {
  ASSERT(IsOpen());
  try {
    m_pRecordset->Save(_variant_t(lpstrXMLFile), adPersistXML);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::OpenFromFile(LPCTSTR lpstrXMLFile) {
  try {
    if (IsOpen()) Close();
    m_pRecordset->Open(_variant_t(lpstrXMLFile), _variant_t("Provider=MSPersist;"), adOpenForwardOnly,
                       adLockOptimistic, adCmdFile);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::Load(LPCTSTR lpstrXMLFile) {
  try {
    if (IsOpen()) Close();
    HRESULT hr = m_pRecordset->raw_Open(_variant_t(lpstrXMLFile), _variant_t("Provider=MSPersist;"),
                                        adOpenForwardOnly, adLockOptimistic, adCmdFile);
    if (FAILED(hr)) _com_issue_errorex(hr, m_pRecordset.GetInterfacePtr(), __uuidof(_Recordset));
    return hr == S_OK;
  } catch (_com_error& e) {
    ADO2_TRACE_AT("Warning: Load 发生异常. 错误信息: %s; 文件: %s; 行: %d\n", e);
    return FALSE;
  }
}

BOOL CADORecordset::Execute(CADOCommand* pCommand) {
  try {
    if (IsOpen()) Close();
    ASSERT(!pCommand->GetText().IsEmpty());
    m_pConnection->PutCursorLocation(adUseClient);
    Adopt(m_pRecordset, pCommand->GetCommand()->Execute(nullptr, nullptr, pCommand->GetType()));
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

void CADORecordset::MoveFirst() {
  m_pRecordset->MoveFirst();
}
void CADORecordset::MoveNext() {
  m_pRecordset->MoveNext();
}
void CADORecordset::MovePrevious() {
  m_pRecordset->MovePrevious();
}
void CADORecordset::MoveLast() {
  m_pRecordset->MoveLast();
}
BOOL CADORecordset::IsEOF() {
  return m_pRecordset->GetadoEOF() == VARIANT_TRUE;
}
BOOL CADORecordset::IsBOF() {
  return m_pRecordset->GetBOF() == VARIANT_TRUE;
}

DWORD CADORecordset::GetRecordCount() {
  LONG count = m_pRecordset->GetRecordCount();
  if (count != -1) return static_cast<DWORD>(count);
  DWORD walked = 0;
  if (!IsEOF()) m_pRecordset->MoveFirst();
  while (!IsEOF()) {
    ++walked;
    m_pRecordset->MoveNext();
  }
  if (walked > 0) m_pRecordset->MoveFirst();
  return walked;
}

void CADORecordset::GetBookmark() {
  m_varBookmark = m_pRecordset->GetBookmark();
}

BOOL CADORecordset::SetBookmark() {
  if (m_varBookmark.vt == VT_EMPTY) return FALSE;
  m_pRecordset->PutBookmark(m_varBookmark);
  return TRUE;
}

BOOL CADORecordset::SetFilter(LPCTSTR strFilter) {
  ASSERT(IsOpen());
  try {
    m_pRecordset->PutFilter(_variant_t(strFilter));
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::SetSort(LPCTSTR lpstrCriteria) {
  ASSERT(IsOpen());
  try {
    m_pRecordset->PutSort(_bstr_t(lpstrCriteria));
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

CString CADORecordset::GetString(LPCTSTR lpCols, LPCTSTR lpRows, LPCTSTR lpNull, long numRows) {
  (void)lpNull;  // null fields always render as empty text
  long rows = numRows == 0 ? static_cast<long>(GetRecordCount()) : numRows;
  CString columns = (lpCols == nullptr || lpCols[0] == '\0') ? "\t" : lpCols;
  CString lines = (lpRows == nullptr || lpRows[0] == '\0') ? "\r" : lpRows;
  return ado2::BstrText(m_pRecordset->GetString(adClipString, static_cast<LONG>(rows),
                                                _bstr_t((LPCTSTR)columns), _bstr_t((LPCTSTR)lines),
                                                _bstr_t("")));
}

BOOL CADORecordset::AddNew() {
  m_nEditStatus = dbEditNone;
  try {
    m_pRecordset->AddNew(vtMissing, vtMissing);
    m_nEditStatus = dbEditNew;
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::Update() {
  BOOL result = TRUE;
  // Field writes on an existing row leave ADO editing without AddNew: they count as an edit.
  if (m_nEditStatus == dbEditNone && GetEditMode() != adEditNone) m_nEditStatus = dbEdit;
  if (m_nEditStatus != dbEditNone) {
    try {
      HRESULT hr = m_pRecordset->raw_Update(vtMissing, vtMissing);
      if (FAILED(hr)) _com_issue_errorex(hr, m_pRecordset.GetInterfacePtr(), __uuidof(_Recordset));
      if (hr != S_OK) result = FALSE;
    } catch (_com_error& e) {
      dump_com_error(e);
      result = FALSE;
    }
    if (!result) {
      try {
        m_pRecordset->CancelUpdate();
      } catch (_com_error& e) {
        ADO2_TRACE_SHORT("CancelBatch", e);
      }
    }
    m_nEditStatus = dbEditNone;
  }
  return result;
}

void CADORecordset::CancelUpdate() {
  m_pRecordset->CancelUpdate();
  m_nEditStatus = dbEditNone;
}

BOOL CADORecordset::Delete() {
  try {
    m_pRecordset->Delete(adAffectCurrent);
    m_pRecordset->Update(vtMissing, vtMissing);
    m_nEditStatus = dbEditNone;
    return TRUE;
  } catch (_com_error& e) {
    m_nEditStatus = dbEditNone;
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::Find(LPCTSTR lpFind, int nSearchDirection) {
  m_strFind = lpFind;
  m_nSearchDirection = nSearchDirection;
  ASSERT(!m_strFind.IsEmpty());
  if (m_nSearchDirection == searchForward) {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 0, adSearchForward, _variant_t(""));
    if (!IsEOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  } else if (m_nSearchDirection == searchBackward) {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 0, adSearchBackward, _variant_t(""));
    if (!IsBOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  } else {
    TRACE("Unknown parameter. %d", nSearchDirection);
    m_nSearchDirection = searchForward;
  }
  return FALSE;
}

BOOL CADORecordset::FindFirst(LPCTSTR lpFind) {
  m_pRecordset->MoveFirst();
  return Find(lpFind, searchForward);
}

BOOL CADORecordset::FindNext() {
  if (m_nSearchDirection == searchForward) {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 1, adSearchForward, m_varBookFind);
    if (!IsEOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  } else {
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 1, adSearchBackward, m_varBookFind);
    if (!IsBOF()) {
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CADORecordset::FindGuarded(LPCTSTR lpFind, int nSearchDirection) {
  if (nSearchDirection != searchForward && nSearchDirection != searchBackward) {
    TRACE("Unknown parameter. %d", nSearchDirection);
    return FALSE;
  }
  try {
    if (lpFind != nullptr && lpFind[0] != '\0') m_strFind = lpFind;
    ASSERT(!m_strFind.IsEmpty());
    m_pRecordset->Find(_bstr_t((LPCTSTR)m_strFind), 0, static_cast<SearchDirectionEnum>(nSearchDirection),
                       _variant_t(""));
    if (!IsEOF() && !IsBOF()) {
      m_nSearchDirection = nSearchDirection;
      m_varBookFind = m_pRecordset->GetBookmark();
      return TRUE;
    }
    return FALSE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("Find", e);
    return FALSE;
  }
}

long CADORecordset::GetState() {
  try {
    return m_pRecordset->GetState();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetState", e);
    return 0;
  }
}

long CADORecordset::GetStatus() {
  try {
    return m_pRecordset->GetStatus();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetStatus", e);
    return 0;
  }
}

long CADORecordset::GetEditMode() {
  try {
    return m_pRecordset->GetEditMode();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetStatus", e);
    return 0;
  }
}

long CADORecordset::GetCursorType() {
  try {
    return m_pRecordset->GetCursorType();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetCursorType", e);
    return -1;
  }
}

long CADORecordset::GetCursorLocation() {
  try {
    return m_pRecordset->GetCursorLocation();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetCursorLocation", e);
    return adUseNone;
  }
}

BOOL CADORecordset::SetCacheSize(long lCacheSize) {
  if ((GetState() & adStateExecuting) != 0) return FALSE;
  try {
    m_pRecordset->PutCacheSize(static_cast<LONG>(lCacheSize));
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("SetCacheSize方法", e);
    return FALSE;
  }
}

BOOL CADORecordset::Supports(long lOption) {
  try {
    return m_pRecordset->Supports(static_cast<CursorOptionEnum>(lOption)) != VARIANT_FALSE;
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("Supports方法", e);
    return FALSE;
  }
}

BOOL CADORecordset::Cancel() {
  try {
    return SUCCEEDED(m_pRecordset->Cancel());
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("Cancel", e);
    return FALSE;
  }
}

BOOL CADORecordset::CancelBatch(long lAffect) {
  try {
    return SUCCEEDED(m_pRecordset->CancelBatch(static_cast<AffectEnum>(lAffect)));
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("CancelBatch", e);
    return FALSE;
  }
}

BOOL CADORecordset::DeleteGuarded(long lAffect) {
  try {
    return SUCCEEDED(m_pRecordset->Delete(static_cast<AffectEnum>(lAffect)));
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("Delete", e);
    return FALSE;
  }
}

BOOL CADORecordset::PutCursorLocation(long lLocation) {
  try {
    m_pRecordset->PutCursorLocation(static_cast<CursorLocationEnum>(lLocation));
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("PutCursorLocation", e);
    return FALSE;
  }
}

BOOL CADORecordset::Release() {
  try {
    Close();
    if (m_pRecordset != nullptr) m_pRecordset.Release();
    m_pRecordset = nullptr;
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n", e);
    return FALSE;
  }
}

/////////////////////////////////////////////////////////////////////////////
// Conversion rules

namespace {

// Keys: a field name travels as a BSTR, an index as a 32-bit integer.
_variant_t NameKey(LPCTSTR name) {
  return _variant_t(name);
}
using ado2::IndexKey;
using ado2::MakeVariant;

_variant_t NullVariant() {
  return MakeVariant(VT_NULL, [](VARIANT&) {});
}

// A signed value as the VARIANT of the smallest of VT_I2 (when small is allowed), VT_I4 and
// VT_I8 that holds it.
_variant_t IntegerVariant(long long value, bool small) {
  if (small && value >= INT16_MIN && value <= INT16_MAX) {
    return MakeVariant(VT_I2, [&](VARIANT& v) { v.iVal = static_cast<SHORT>(value); });
  }
  if (value >= INT32_MIN && value <= INT32_MAX) {
    return MakeVariant(VT_I4, [&](VARIANT& v) { v.lVal = static_cast<LONG>(value); });
  }
  return MakeVariant(VT_I8, [&](VARIANT& v) { v.llVal = value; });
}

_variant_t UnsignedVariant(unsigned long long value) {
  if (value <= UINT32_MAX)
    return MakeVariant(VT_UI4, [&](VARIANT& v) { v.ulVal = static_cast<ULONG>(value); });
  if (value <= static_cast<unsigned long long>(INT64_MAX)) {
    return MakeVariant(VT_I8, [&](VARIANT& v) { v.llVal = static_cast<LONGLONG>(value); });
  }
  return MakeVariant(VT_UI8, [&](VARIANT& v) { v.ullVal = value; });
}

_variant_t TextVariant(const CString& text) {
  if (text.IsEmpty()) return NullVariant();
  return _variant_t((LPCTSTR)text);
}

_variant_t DateVariant(const COleDateTime& time) {
  return MakeVariant(VT_DATE, [&](VARIANT& v) { v.date = time.m_dt; });
}

_variant_t BoolVariant(bool value) {
  return MakeVariant(VT_BOOL, [&](VARIANT& v) { v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; });
}

_variant_t CurrencyVariant(const COleCurrency& value) {
  return MakeVariant(VT_CY, [&](VARIANT& v) { v.cyVal = value.m_cur; });
}

using ado2::DecimalIntegerText;

CString Gcvt(double value, int digits) {
  char buffer[_CVTBUFSIZE];
  return CString(_gcvt(value, digits, buffer));
}

// A double as a 32-bit Windows long: truncated toward zero, saturated at the ends.
long SaturatedLong(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<long>(static_cast<LONG>(value));
}

void TraceUnhandledType(LPCTSTR file, int line) {
  TRACE("Warning: 未处理的 _variant_t 类型值; 文件: %s; 行: %d\n", file, line);
}
#define ADO2_UNHANDLED_TYPE() TraceUnhandledType(__FILE__, __LINE__)

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

}  // namespace

double CADORecordset::DecimalToDouble(const DECIMAL& dec) {
  return ado2::DecimalToDouble(dec);
}

BOOL CADORecordset::VariantToText(const _variant_t& vtValue, CString& strValue, LPCTSTR lpszDateFormat) {
  char buffer[72];
  CString text;
  switch (vtValue.vt) {
    case VT_R4:
      text = Gcvt(vtValue.fltVal, 10);
      break;
    case VT_R8:
      text = Gcvt(vtValue.dblVal, 20);
      break;
    case VT_BSTR:
      text = ado2::BstrText(vtValue.bstrVal);
      break;
    case VT_I2:
      text = _itoa(vtValue.iVal, buffer, 10);
      break;
    case VT_UI1:
      text = _itoa(vtValue.bVal, buffer, 10);
      break;
    case VT_I1:
      text = _itoa(static_cast<signed char>(vtValue.cVal), buffer, 10);
      break;
    case VT_UI2:
      text = _itoa(vtValue.uiVal, buffer, 10);
      break;
    case VT_INT:
      text = _itoa(vtValue.intVal, buffer, 10);
      break;
    case VT_UINT:
      text = _ultoa(vtValue.uintVal, buffer, 10);
      break;
    case VT_I4:
      text = _ltoa(vtValue.lVal, buffer, 10);
      break;
    case VT_UI4:
      text = _ultoa(vtValue.ulVal, buffer, 10);
      break;
    case VT_I8:
      text = _i64toa(vtValue.llVal, buffer, 10);
      break;
    case VT_UI8:
      text = _ui64toa(vtValue.ullVal, buffer, 10);
      break;
    case VT_DECIMAL:
      // The 20-digit rule of a floating value, applied to an exact value, is its own digits.
      text =
          vtValue.decVal.scale == 0 ? DecimalIntegerText(vtValue.decVal) : ado2::DecimalText(vtValue.decVal);
      break;
    case VT_DATE: {
      COleDateTime date(vtValue.date);
      CString format =
          (lpszDateFormat == nullptr || lpszDateFormat[0] == '\0') ? "%Y-%m-%d %H:%M:%S" : lpszDateFormat;
      text = date.Format((LPCTSTR)format);
      break;
    }
    case VT_BOOL:
      text = vtValue.boolVal == VARIANT_TRUE ? "T" : "F";
      break;
    case VT_EMPTY:
    case VT_NULL:
      break;
    default:
      strValue.Empty();  // a type without a text rule: empty text and FALSE
      return FALSE;
  }
  strValue = text;
  return TRUE;
}

CString CADORecordset::VariantToDisplayText(const _variant_t& vtValue) {
  CString text;
  switch (vtValue.vt) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_I2:
      text.Format("%d", vtValue.iVal);
      break;
    case VT_I4:
      text.Format("%d", vtValue.lVal);
      break;
    case VT_INT:
      text.Format("%d", vtValue.intVal);
      break;
    case VT_HRESULT:
      text.Format("%d", vtValue.scode);
      break;
    case VT_I1:
      text.Format("%d", static_cast<int>(static_cast<signed char>(vtValue.cVal)));
      break;
    case VT_UI1:
      text.Format("%d", static_cast<int>(vtValue.bVal));
      break;
    case VT_UI2:
      text.Format("%d", static_cast<int>(vtValue.uiVal));
      break;
    case VT_UI4:
      text.Format("%u", static_cast<unsigned>(vtValue.ulVal));
      break;
    case VT_UINT:
      text.Format("%u", vtValue.uintVal);
      break;
    case VT_I8:
      text.Format("%lld", static_cast<long long>(vtValue.llVal));
      break;
    case VT_UI8:
      text.Format("%llu", static_cast<unsigned long long>(vtValue.ullVal));
      break;
    case VT_R4:
      text.Format("%.4f", static_cast<double>(vtValue.fltVal));
      break;
    case VT_R8:
      text.Format("%.8f", vtValue.dblVal);
      break;
    case VT_CY:
      text = COleCurrency(vtValue.cyVal).Format();
      break;
    case VT_DATE:
      text = COleDateTime(vtValue.date).Format("%Y-%m-%d %H:%M:%S");
      break;
    case VT_BSTR:
      text = ado2::BstrText(vtValue.bstrVal);
      break;
    case VT_LPSTR:
      text = static_cast<LPCSTR>(vtValue.byref);
      break;
    case VT_LPWSTR:
      text = CString(static_cast<LPCWSTR>(vtValue.byref));
      break;
    case VT_BOOL:
      text = vtValue.boolVal == VARIANT_TRUE ? "TRUE" : "FALSE";
      break;
    case VT_DECIMAL:
      if (vtValue.decVal.scale == 0) {
        text = DecimalIntegerText(vtValue.decVal);
      } else {
        text.Format("%.4f", DecimalToDouble(vtValue.decVal));
      }
      break;
    case VT_ARRAY | VT_UI1:
      text = "Ole对象";
      break;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
      text = "[BLOB]";
      break;
    case VT_BYREF:
      text.Format("%8llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(vtValue.byref)));
      break;
    default:
      text = "UN_KNOW";
      break;
  }
  return text;
}

BOOL CADORecordset::VariantToInt(const _variant_t& var, int& value) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      value = 0;
      return TRUE;
    case VT_I2:
    case VT_BOOL:
      value = var.iVal;
      return TRUE;
    case VT_UI1:
      value = var.bVal;
      return TRUE;
    case VT_I4:
      value = var.lVal;
      return TRUE;
    case VT_INT:
      value = var.intVal;
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CADORecordset::VariantToLong(const _variant_t& var, long& value) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      value = 0;
      return TRUE;
    case VT_I1:
      value = static_cast<signed char>(var.cVal);
      return TRUE;
    case VT_UI1:
      value = var.bVal;
      return TRUE;
    case VT_I2:
      value = var.iVal;
      return TRUE;
    case VT_UI2:
      value = var.uiVal;
      return TRUE;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      value = var.lVal;  // the 32-bit payload, as a Windows long
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CADORecordset::VariantToULong(const _variant_t& var, unsigned long& value) {
  long wide = 0;
  if (!VariantToLong(var, wide)) return FALSE;
  value = static_cast<ULONG>(static_cast<LONG>(wide));  // 32 bits, as a Windows unsigned long
  return TRUE;
}

BOOL CADORecordset::VariantToDouble(const _variant_t& var, double& value) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      value = 0;
      return TRUE;
    case VT_I1:
      value = static_cast<signed char>(var.cVal);
      return TRUE;
    case VT_UI1:
      value = var.bVal;
      return TRUE;
    case VT_I2:
      value = var.iVal;
      return TRUE;
    case VT_UI2:
      value = var.uiVal;
      return TRUE;
    case VT_I4:
    case VT_INT:
      value = var.lVal;
      return TRUE;
    case VT_UI4:
    case VT_UINT:
      value = var.ulVal;
      return TRUE;
    case VT_I8:
      value = static_cast<double>(var.llVal);
      return TRUE;
    case VT_UI8:
      value = static_cast<double>(var.ullVal);
      return TRUE;
    case VT_R4:
      value = var.fltVal;
      return TRUE;
    case VT_R8:
      value = var.dblVal;
      return TRUE;
    case VT_CY:
      value = static_cast<double>(var.cyVal.int64) / 10000.0;
      return TRUE;
    case VT_DECIMAL:
      value = DecimalToDouble(var.decVal);
      return TRUE;
    default:
      value = 0;
      return FALSE;
  }
}

BOOL CADORecordset::VariantToBool(const _variant_t& var, bool& value) {
  if (var.vt == VT_EMPTY || var.vt == VT_NULL) {
    value = false;
    return TRUE;
  }
  if (var.vt != VT_BOOL) return FALSE;
  value = var.boolVal == VARIANT_TRUE;
  return TRUE;
}

BOOL CADORecordset::VariantToDate(const _variant_t& var, COleDateTime& value) {
  if (var.vt == VT_EMPTY || var.vt == VT_NULL) {
    value.SetStatus(COleDateTime::null);
    return TRUE;
  }
  if (var.vt != VT_DATE) return FALSE;
  value = COleDateTime(var.date);
  return TRUE;
}

BOOL CADORecordset::VariantToCurrency(const _variant_t& var, COleCurrency& value) {
  if (var.vt == VT_EMPTY || var.vt == VT_NULL) {
    value.SetStatus(COleCurrency::null);
    return TRUE;
  }
  if (var.vt != VT_CY) return FALSE;
  value = COleCurrency(var.cyVal);
  return TRUE;
}

bool CADORecordset::vartobool(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return false;
    case VT_BOOL:
      return var.boolVal != VARIANT_FALSE;
    default:
      ADO2_UNHANDLED_TYPE();
      return false;
  }
}

BYTE CADORecordset::vartoby(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I1:
    case VT_UI1:
      return var.bVal;
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

short CADORecordset::vartoi(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return var.iVal;
    case VT_I1:
      return static_cast<signed char>(var.cVal);
    case VT_UI1:
      return var.bVal;
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

long CADORecordset::vartol(const _variant_t& var) {
  switch (var.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return 0;
    case VT_I2:
    case VT_BOOL:
      return var.iVal;
    case VT_UI2:
      return var.uiVal;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
      return var.lVal;
    case VT_I1:
      return static_cast<signed char>(var.cVal);
    case VT_UI1:
      return var.bVal;
    case VT_R4:
      return SaturatedLong(var.fltVal);
    case VT_R8:
      return SaturatedLong(var.dblVal);
    case VT_CY:
      return SaturatedLong(static_cast<double>(var.cyVal.int64 / 10000));
    case VT_DECIMAL:
      return SaturatedLong(DecimalToDouble(var.decVal));
    case VT_BSTR:
    case VT_LPSTR:
    case VT_LPWSTR: {
      CString text = var.vt == VT_BSTR    ? ado2::BstrText(var.bstrVal)
                     : var.vt == VT_LPSTR ? CString(static_cast<LPCSTR>(var.byref))
                                          : CString(static_cast<LPCWSTR>(var.byref));
      return SaturatedLong(static_cast<double>(std::atoll(text)));
    }
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

double CADORecordset::vartof(const _variant_t& var) {
  switch (var.vt) {
    case VT_BSTR:
    case VT_LPSTR:
    case VT_LPWSTR: {
      CString text = var.vt == VT_BSTR    ? ado2::BstrText(var.bstrVal)
                     : var.vt == VT_LPSTR ? CString(static_cast<LPCSTR>(var.byref))
                                          : CString(static_cast<LPCWSTR>(var.byref));
      return std::atof(text);
    }
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_INT: {
      double value = 0;
      VariantToDouble(var, value);
      return value;
    }
    case VT_BOOL:
      return var.boolVal;
    default:
      ADO2_UNHANDLED_TYPE();
      return 0;
  }
}

COleDateTime CADORecordset::vartodate(const _variant_t& var) {
  COleDateTime value;
  if (!VariantToDate(var, value)) {
    ADO2_UNHANDLED_TYPE();
    value.SetStatus(COleDateTime::null);
  }
  return value;
}

COleCurrency CADORecordset::vartocy(const _variant_t& var) {
  COleCurrency value;
  if (!VariantToCurrency(var, value)) {
    ADO2_UNHANDLED_TYPE();
    value.SetStatus(COleCurrency::null);
  }
  return value;
}

/////////////////////////////////////////////////////////////////////////////
// Typed reads and raw writes through Field.Value

BOOL CADORecordset::ReadValue(const _variant_t& key, _variant_t& value) {
  try {
    value = m_pRecordset->GetFields()->GetItem(key)->GetValue();
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::WriteValue(const _variant_t& key, const _variant_t& value) {
  try {
    m_pRecordset->GetFields()->GetItem(key)->PutValue(value);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::ReadText(const _variant_t& key, CString& text, const CString& dateFormat) {
  _variant_t value;
  if (!ReadValue(key, value)) return FALSE;
  return VariantToText(value, text, dateFormat);
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

ADO2_TYPED_READ(int, VariantToInt)
ADO2_TYPED_READ(long, VariantToLong)
ADO2_TYPED_READ(unsigned long, VariantToULong)
ADO2_TYPED_READ(double, VariantToDouble)
ADO2_TYPED_READ(bool, VariantToBool)
ADO2_TYPED_READ(COleDateTime, VariantToDate)
ADO2_TYPED_READ(COleCurrency, VariantToCurrency)
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
  try {
    int type = m_pRecordset->GetFields()->GetItem(key)->GetType();
    bool expected = false;
    for (int i = 0; i < typeCount; ++i) expected = expected || type == types[i];
    if (!expected) {
      AfxMessageBox(kReadMismatch, MB_OK);
      ASSERT(FALSE);
    }
    value = m_pRecordset->GetCollect(key);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::WriteChecked(const _variant_t& key, const int* types, int typeCount, bool traceMismatch,
                                 const _variant_t& value) {
  try {
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
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::ReadCollect(const _variant_t& key, _variant_t& value) {
  try {
    value = m_pRecordset->GetCollect(key);
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_AT("Warning: GetField发生异常. 错误信息: %s; 文件: %s; 行: %d\n", e);
    return FALSE;
  }
}

#define ADO2_CHECKED_READ(T, types, convert)                                    \
  BOOL CADORecordset::GetCollectValue(LPCTSTR lpFieldName, T& value) {          \
    _variant_t v;                                                               \
    if (!ReadChecked(NameKey(lpFieldName), ADO2_TYPES(types), v)) return FALSE; \
    value = convert;                                                            \
    return TRUE;                                                                \
  }                                                                             \
  BOOL CADORecordset::GetCollectValue(int nIndex, T& value) {                   \
    _variant_t v;                                                               \
    if (!ReadChecked(IndexKey(nIndex), ADO2_TYPES(types), v)) return FALSE;     \
    value = convert;                                                            \
    return TRUE;                                                                \
  }

ADO2_CHECKED_READ(BYTE, kByteTypes, vartoby(v))
ADO2_CHECKED_READ(short, kShortTypes, vartoi(v))
ADO2_CHECKED_READ(int, kIntTypes, static_cast<int>(vartol(v)))
ADO2_CHECKED_READ(float, kFloatTypes, static_cast<float>(vartof(v)))
ADO2_CHECKED_READ(double, kDoubleTypes, vartof(v))
ADO2_CHECKED_READ(CString, kTextTypes, VariantToDisplayText(v))
#undef ADO2_CHECKED_READ

// The adBigInt read moves 32 bits: a 64-bit value beyond them is refused, not cut.
static BOOL BigIntToLong(const _variant_t& v, long& value) {
  if (v.vt == VT_I8 || v.vt == VT_UI8) {
    bool fits = v.vt == VT_I8 ? (v.llVal >= INT32_MIN && v.llVal <= INT32_MAX) : v.ullVal <= INT32_MAX;
    if (!fits) {
      ado2::TraceComErrorAt("Warning: GetCollectValue 方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n",
                            _com_error(DISP_E_OVERFLOW), __FILE__, __LINE__);
      return FALSE;
    }
    value = static_cast<LONG>(v.llVal);
    return TRUE;
  }
  value = CADORecordset::vartol(v);
  return TRUE;
}

BOOL CADORecordset::GetCollectValue(LPCTSTR lpFieldName, long& value) {
  _variant_t v;
  return ReadChecked(NameKey(lpFieldName), ADO2_TYPES(kLongTypes), v) && BigIntToLong(v, value);
}
BOOL CADORecordset::GetCollectValue(int nIndex, long& value) {
  _variant_t v;
  return ReadChecked(IndexKey(nIndex), ADO2_TYPES(kLongTypes), v) && BigIntToLong(v, value);
}

#define ADO2_CONVERTED_READ(T, convert)                                \
  BOOL CADORecordset::GetCollectValue(LPCTSTR lpFieldName, T& value) { \
    _variant_t v;                                                      \
    if (!ReadCollect(NameKey(lpFieldName), v)) return FALSE;           \
    value = convert(v);                                                \
    return TRUE;                                                       \
  }                                                                    \
  BOOL CADORecordset::GetCollectValue(int nIndex, T& value) {          \
    _variant_t v;                                                      \
    if (!ReadCollect(IndexKey(nIndex), v)) return FALSE;               \
    value = convert(v);                                                \
    return TRUE;                                                       \
  }

ADO2_CONVERTED_READ(bool, vartobool)
ADO2_CONVERTED_READ(COleDateTime, vartodate)
ADO2_CONVERTED_READ(COleCurrency, vartocy)
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
  try {
    if (!RecordReachable()) return FALSE;
    strValue = VariantToDisplayText(m_pRecordset->GetCollect(NameKey(lpFieldName)));
    return TRUE;
  } catch (_com_error& e) {
    ado2::TraceComError(kFieldAccessFailed, e);
    return FALSE;
  }
}

namespace {

// The VARIANT type SetValueString parses a field's text into (VT_EMPTY: refused).
VARTYPE TextTargetType(int adoType) {
  switch (adoType) {
    case adTinyInt:
      return VT_I1;
    case adSmallInt:
      return VT_I2;
    case adInteger:
      return VT_I4;
    case adBigInt:
      return VT_I8;
    case adUnsignedTinyInt:
      return VT_UI1;
    case adUnsignedSmallInt:
      return VT_UI2;
    case adUnsignedInt:
      return VT_UI4;
    case adUnsignedBigInt:
      return VT_UI8;
    case adSingle:
      return VT_R4;
    case adDouble:
      return VT_R8;
    case adCurrency:
      return VT_CY;
    case adDecimal:
    case adNumeric:
    case adVarNumeric:
      return VT_DECIMAL;
    case adBoolean:
      return VT_BOOL;
    case adBSTR:
    case adChar:
    case adVarChar:
    case adLongVarChar:
    case adWChar:
    case adVarWChar:
    case adLongVarWChar:
      return VT_BSTR;
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
      return VT_DATE;
    default:
      return VT_EMPTY;  // binary, GUID and types without a text form are refused
  }
}

// A whole signed integer in [low, high]; leading blanks allowed, nothing after the digits.
bool ParseSigned(const char* text, long long low, long long high, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && value >= low && value <= high;
}

bool ParseUnsigned(const char* text, unsigned long long high, unsigned long long& value) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '-') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && value <= high;
}

bool ParseDouble(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

// Parses text into a VARIANT of type vt; false when it does not parse whole or is out of range.
bool ParseFieldText(VARTYPE vt, const CString& text, _variant_t& out) {
  long long s = 0;
  unsigned long long u = 0;
  double d = 0;
  switch (vt) {
    case VT_I1:
      if (!ParseSigned(text, INT8_MIN, INT8_MAX, s)) return false;
      out = MakeVariant(VT_I1, [&](VARIANT& v) { v.cVal = static_cast<CHAR>(s); });
      return true;
    case VT_I2:
      if (!ParseSigned(text, INT16_MIN, INT16_MAX, s)) return false;
      out = MakeVariant(VT_I2, [&](VARIANT& v) { v.iVal = static_cast<SHORT>(s); });
      return true;
    case VT_I4:
      if (!ParseSigned(text, INT32_MIN, INT32_MAX, s)) return false;
      out = MakeVariant(VT_I4, [&](VARIANT& v) { v.lVal = static_cast<LONG>(s); });
      return true;
    case VT_I8:
      if (!ParseSigned(text, INT64_MIN, INT64_MAX, s)) return false;
      out = MakeVariant(VT_I8, [&](VARIANT& v) { v.llVal = s; });
      return true;
    case VT_UI1:
      if (!ParseUnsigned(text, UINT8_MAX, u)) return false;
      out = MakeVariant(VT_UI1, [&](VARIANT& v) { v.bVal = static_cast<BYTE>(u); });
      return true;
    case VT_UI2:
      if (!ParseUnsigned(text, UINT16_MAX, u)) return false;
      out = MakeVariant(VT_UI2, [&](VARIANT& v) { v.uiVal = static_cast<USHORT>(u); });
      return true;
    case VT_UI4:
      if (!ParseUnsigned(text, UINT32_MAX, u)) return false;
      out = MakeVariant(VT_UI4, [&](VARIANT& v) { v.ulVal = static_cast<ULONG>(u); });
      return true;
    case VT_UI8:
      if (!ParseUnsigned(text, UINT64_MAX, u)) return false;
      out = MakeVariant(VT_UI8, [&](VARIANT& v) { v.ullVal = u; });
      return true;
    case VT_R4:
      if (!ParseDouble(text, d) || std::fabs(d) > 3.4028234663852886e38) return false;
      out = MakeVariant(VT_R4, [&](VARIANT& v) { v.fltVal = static_cast<float>(d); });
      return true;
    case VT_R8:
      if (!ParseDouble(text, d)) return false;
      out = MakeVariant(VT_R8, [&](VARIANT& v) { v.dblVal = d; });
      return true;
    case VT_DECIMAL: {
      if (!ParseDouble(text, d)) return false;
      _variant_t r8 = MakeVariant(VT_R8, [&](VARIANT& v) { v.dblVal = d; });
      VARIANT dec;
      VariantInit(&dec);
      if (FAILED(VariantChangeType(&dec, &r8, 0, VT_DECIMAL))) return false;
      out = _variant_t(dec);
      return true;
    }
    case VT_CY: {
      COleCurrency cy;
      if (!cy.ParseCurrency(text) || cy.GetStatus() != COleCurrency::valid) return false;
      out = CurrencyVariant(cy);
      return true;
    }
    case VT_DATE: {
      COleDateTime date;
      if (!date.ParseDateTime(text) || date.GetStatus() != COleDateTime::valid) return false;
      out = DateVariant(date);
      return true;
    }
    case VT_BOOL:
      if (text.CompareNoCase("TRUE") == 0) {
        out = BoolVariant(true);
      } else if (text.CompareNoCase("FALSE") == 0) {
        out = BoolVariant(false);
      } else {
        if (!ParseSigned(text, INT32_MIN, INT32_MAX, s)) return false;
        out = BoolVariant(s != 0);
      }
      return true;
    case VT_BSTR:
      out = _variant_t((LPCTSTR)text);
      return true;
    default:
      return false;
  }
}

}  // namespace

BOOL CADORecordset::SetValueString(LPCTSTR lpszValue, LPCTSTR lpFieldName) {
  try {
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
    if (!ParseFieldText(TextTargetType(field->GetType()), text, value)) return FALSE;
    field->PutValue(value);
    return TRUE;
  } catch (_com_error& e) {
    ado2::TraceComError(kFieldAccessFailed, e);
    return FALSE;
  }
}

/////////////////////////////////////////////////////////////////////////////
// Metadata

int CADORecordset::GetFieldCount() {
  try {
    return m_pRecordset->GetFields()->GetCount();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetFields", e);
    return -1;
  }
}

FieldsPtr CADORecordset::GetFields() {
  try {
    return m_pRecordset->GetFields();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetFields", e);
    return nullptr;
  }
}

FieldPtr CADORecordset::GuardedField(const _variant_t& key) {
  try {
    return m_pRecordset->GetFields()->GetItem(key);
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetField", e);
    return nullptr;
  }
}

FieldPtr CADORecordset::GetField(LPCTSTR lpFieldName) {
  return GuardedField(NameKey(lpFieldName));
}
FieldPtr CADORecordset::GetField(int nIndex) {
  return GuardedField(IndexKey(nIndex));
}

CString CADORecordset::GetFieldName(int nIndex) {
  try {
    return ado2::BstrText(m_pRecordset->GetFields()->GetItem(IndexKey(nIndex))->GetName());
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetFieldName", e);
    return CString();
  }
}

int CADORecordset::GetFieldType(LPCTSTR lpFieldName) {
  FieldPtr field = GuardedField(NameKey(lpFieldName));
  try {
    return field != nullptr ? static_cast<int>(field->GetType()) : adEmpty;
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetField", e);
    return adEmpty;
  }
}

int CADORecordset::GetFieldType(int nIndex) {
  FieldPtr field = GuardedField(IndexKey(nIndex));
  try {
    return field != nullptr ? static_cast<int>(field->GetType()) : adEmpty;
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetField", e);
    return adEmpty;
  }
}

long CADORecordset::GetFieldAttributes(LPCTSTR lpFieldName) {
  try {
    return m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName))->GetAttributes();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetFieldAttributes", e);
    return -1;
  }
}

long CADORecordset::GetFieldAttributes(int nIndex) {
  try {
    return m_pRecordset->GetFields()->GetItem(IndexKey(nIndex))->GetAttributes();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetFieldAttributes", e);
    return -1;
  }
}

long CADORecordset::GetDefineSize(int nIndex) {
  try {
    return m_pRecordset->GetFields()->GetItem(IndexKey(nIndex))->GetDefinedSize();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetDefineSize", e);
    return -1;
  }
}

long CADORecordset::GetFieldActualSize(LPCTSTR lpFieldName) {
  try {
    return m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName))->GetActualSize();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetFieldActualSize", e);
    return -1;
  }
}

long CADORecordset::GetFieldActualSize(int nIndex) {
  try {
    return m_pRecordset->GetFields()->GetItem(IndexKey(nIndex))->GetActualSize();
  } catch (_com_error& e) {
    ADO2_TRACE_SHORT("GetFieldActualSize", e);
    return -1;
  }
}

BOOL CADORecordset::FieldInfo(const _variant_t& key, CADOFieldInfo* fldInfo) {
  ASSERT(fldInfo != nullptr);
  if (fldInfo == nullptr) return FALSE;
  std::memset(fldInfo, 0, sizeof(CADOFieldInfo));
  try {
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
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADORecordset::GetFieldInfo(LPCTSTR lpFieldName, CADOFieldInfo* fldInfo) {
  return FieldInfo(NameKey(lpFieldName), fldInfo);
}
BOOL CADORecordset::GetFieldInfo(int nIndex, CADOFieldInfo* fldInfo) {
  return FieldInfo(IndexKey(nIndex), fldInfo);
}

/////////////////////////////////////////////////////////////////////////////
// Chunks

namespace {

// The "Warning: GetChunk" trace of a failure that is not ADO's own: DISP_E_TYPEMISMATCH for a
// value that is not bytes (or text, for the text form), E_INVALIDARG for a refused bitmap,
// E_OUTOFMEMORY when the bytes could not be copied.
void TraceChunkFailure(HRESULT hr, LPCTSTR file, int line) {
  ado2::TraceComErrorAt("Warning: GetChunk 方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n", _com_error(hr),
                        file, line);
}
#define ADO2_CHUNK_FAILURE(hr) TraceChunkFailure(hr, __FILE__, __LINE__)

}  // namespace

// The chunk is read with the field's ActualSize, so the caller's buffer holds what
// GetFieldActualSize answered; no more than that and no more than the array ADO returned is
// copied.
BOOL CADORecordset::ReadChunk(const _variant_t& key, CString* text, LPVOID buffer) {
  try {
    FieldPtr field = m_pRecordset->GetFields()->GetItem(key);
    LONG size = field->GetActualSize();
    _variant_t chunk;
    if (size > 0) chunk = field->GetChunk(size);
    if (chunk.vt == VT_NULL || chunk.vt == VT_EMPTY) return TRUE;
    std::vector<BYTE> bytes;
    if (ado2::ChunkBytes(chunk, static_cast<size_t>(size), &bytes)) {
      if (text != nullptr && !bytes.empty()) {
        *text += CString(reinterpret_cast<LPCSTR>(bytes.data()), static_cast<int>(bytes.size()));
      }
      if (buffer != nullptr && !bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
      return TRUE;
    }
    if (chunk.vt == VT_BSTR && text != nullptr) {
      *text += ado2::BstrText(chunk.bstrVal);
      return TRUE;
    }
    ADO2_CHUNK_FAILURE(DISP_E_TYPEMISMATCH);
    return FALSE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetChunk", e);
    return FALSE;
  } catch (const std::bad_alloc&) {
    ADO2_CHUNK_FAILURE(E_OUTOFMEMORY);
    return FALSE;
  }
}

BOOL CADORecordset::GetChunk(LPCTSTR lpFieldName, CString& strValue) {
  return ReadChunk(NameKey(lpFieldName), &strValue, nullptr);
}
BOOL CADORecordset::GetChunk(int nIndex, CString& strValue) {
  return ReadChunk(IndexKey(nIndex), &strValue, nullptr);
}
BOOL CADORecordset::GetChunk(LPCTSTR lpFieldName, LPVOID pData) {
  return ReadChunk(NameKey(lpFieldName), nullptr, pData);
}
BOOL CADORecordset::GetChunk(int nIndex, LPVOID pData) {
  return ReadChunk(IndexKey(nIndex), nullptr, pData);
}

BOOL CADORecordset::GetChunk(LPCTSTR lpFieldName, CBitmap& bitmap) {
  try {
    FieldPtr field = m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName));
    if ((field->GetAttributes() & adFldLong) == 0) return FALSE;
    LONG size = field->GetActualSize();
    if (size <= 0) return FALSE;
    _variant_t chunk = field->GetChunk(size);
    if (chunk.vt == VT_NULL || chunk.vt == VT_EMPTY) return FALSE;  // no bytes: no bitmap
    std::vector<BYTE> data;
    if (!ado2::ChunkBytes(chunk, static_cast<size_t>(size), &data)) {
      ADO2_CHUNK_FAILURE(DISP_E_TYPEMISMATCH);
      return FALSE;
    }
    ado2::BitmapImage image;
    if (!ado2::CheckBitmapImage(data.data(), data.size(), &image)) {
      ADO2_CHUNK_FAILURE(E_INVALIDARG);
      return FALSE;
    }
    // The information block (header, masks, colour table), copied to aligned storage; the
    // check put all of it before the pixel offset, so CreateDIBitmap reads inside the copy.
    const size_t infoSize = image.pixelOffset - ado2::BitmapImage::kInfoOffset;
    std::vector<DWORD> info((infoSize + 3) / 4);
    std::memcpy(info.data(), &data[ado2::BitmapImage::kInfoOffset], infoSize);
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
    HDC dc = ::GetDC(nullptr);
    HBITMAP handle = ::CreateDIBitmap(dc, header, CBM_INIT, &data[image.pixelOffset],
                                      reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    if (handle == nullptr) {
      ADO2_CHUNK_FAILURE(E_INVALIDARG);
      return FALSE;
    }
    bitmap.DeleteObject();
    bitmap.Attach(handle);
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetChunk", e);
    return FALSE;
  } catch (const std::bad_alloc&) {
    ADO2_CHUNK_FAILURE(E_OUTOFMEMORY);
    return FALSE;
  }
}

BOOL CADORecordset::AppendBytes(const _variant_t& key, const void* data, UINT nBytes) {
  try {
    if (data == nullptr && nBytes > 0) _com_issue_error(E_POINTER);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, nBytes);
    if (array == nullptr) _com_issue_error(E_OUTOFMEMORY);
    void* target = nullptr;
    if (nBytes > 0 && SUCCEEDED(SafeArrayAccessData(array, &target))) {
      std::memcpy(target, data, nBytes);
      SafeArrayUnaccessData(array);
    }
    VARIANT chunk;
    VariantInit(&chunk);
    chunk.vt = VT_ARRAY | VT_UI1;
    chunk.parray = array;
    _variant_t owned(chunk, false);
    m_pRecordset->GetFields()->GetItem(key)->AppendChunk(owned);
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("AppendChunk", e);
    return FALSE;
  }
}

BOOL CADORecordset::AppendChunk(LPCTSTR lpFieldName, LPVOID pData, UINT nBytes) {
  return AppendBytes(NameKey(lpFieldName), pData, nBytes);
}
BOOL CADORecordset::AppendChunk(int nIndex, LPVOID pData, UINT nBytes) {
  return AppendBytes(IndexKey(nIndex), pData, nBytes);
}

BOOL CADORecordset::AppendChunk(LPCTSTR lpFieldName, LPCTSTR lpszFileName) {
  try {
    if ((m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName))->GetAttributes() & adFldLong) == 0)
      return FALSE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("AppendChunk", e);
    return FALSE;
  }
  // File names are GBK like all narrow text; the file system's names are UTF-8. Only a regular
  // file is read (a folder or a device has no length to trust), and only when all of it, as
  // long as it was when opened, can be read.
  std::string path = kp::GbkToUtf8(lpszFileName != nullptr ? lpszFileName : "");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return FALSE;
  struct stat status;
  bool whole = ::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 &&
               static_cast<unsigned long long>(status.st_size) <= UINT32_MAX;
  std::vector<BYTE> bytes;
  try {
    if (whole) bytes.resize(static_cast<size_t>(status.st_size));
  } catch (const std::bad_alloc&) {
    whole = false;
  }
  whole = whole && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fgetc(file) == EOF;
  std::fclose(file);
  if (!whole) return FALSE;
  return AppendBytes(NameKey(lpFieldName), bytes.data(), static_cast<UINT>(bytes.size()));
}
