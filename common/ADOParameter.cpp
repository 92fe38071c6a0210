// CADOParameter (see ADOParameter.h).
#include "ADOParameter.h"

#include <objbase.h>
#include <afxwin.h>

#include "ADOConversion.h"
#include "ADOException.h"
#include "ADOGuard.h"

namespace {

using ado2::kServerContext;
const char kCreateFailed[] = "Parameter 对象创建失败! 请确认是否初始化了Com环境.";

_variant_t TextOrNull(LPCTSTR text) {
  if (text == nullptr || text[0] == '\0') return ado2::MakeVariant(VT_NULL, [](VARIANT&) {});
  return _variant_t(text);
}

// The guarded forms trace, the plain ones give the class error report.
template <class ClassReport>
auto TraceOrReport(bool guarded, ado2::TraceForm trace, ClassReport report) {
  return [=](_com_error& e) {
    if (guarded) {
      trace(e);
    } else {
      report(e);
    }
  };
}

}  // namespace

CADOParameter::CADOParameter(int nType, long lSize, int nDirection, CString strName)
    : m_nType(nType), m_dwLastError(0) {
  m_pParameter.CreateInstance(__uuidof(Parameter), nullptr, kServerContext);
  m_strName = strName;
  ado2::Guarded(Report(), [&] {
    m_pParameter->PutDirection(static_cast<ParameterDirectionEnum>(nDirection));
    m_pParameter->PutName(_bstr_t((LPCTSTR)m_strName));
    m_pParameter->PutType(static_cast<DataTypeEnum>(nType));
    m_pParameter->PutSize(static_cast<LONG>(lSize));
  });
}

CADOParameter::CADOParameter() : m_nType(adEmpty), m_dwLastError(0) {
  HRESULT hr = m_pParameter.CreateInstance("ADODB.Parameter");
  if (FAILED(hr)) {
    AfxMessageBox(kCreateFailed, MB_OK);
    ASSERT(FALSE);
  }
  m_strName = "";
}

CADOParameter::~CADOParameter() {
  ado2::Guarded(ADO2_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), [&] {
    if (m_pParameter != nullptr) m_pParameter.Release();
  });
  m_pParameter = nullptr;
  m_strName = "";
}

void CADOParameter::dump_com_error(_com_error& e) {
  CString report = ado2::FormatComErrorReport("CADOParameter", e);
  m_strLastError = report;
  m_dwLastError = static_cast<DWORD>(e.Error());
  ado2::ShowComErrorReport(report);
}

BOOL CADOParameter::Put(const _variant_t& value, long sizeIfZero, bool guarded) {
  return ado2::Guarded(TraceOrReport(guarded, ADO2_METHOD("SetValue"), Report()), FALSE, [&] {
    if (sizeIfZero >= 0 && m_pParameter->GetSize() == 0) m_pParameter->PutSize(static_cast<LONG>(sizeIfZero));
    m_pParameter->PutValue(value);
    return TRUE;
  });
}

BOOL CADOParameter::SetValue(int nValue) {
  if (nValue >= INT16_MIN && nValue <= INT16_MAX) {
    return Put(ado2::MakeVariant(VT_I2, [&](VARIANT& v) { v.iVal = static_cast<SHORT>(nValue); }), 4, false);
  }
  return Put(ado2::MakeVariant(VT_I4, [&](VARIANT& v) { v.lVal = nValue; }), 4, false);
}

BOOL CADOParameter::SetValue(long lValue) {
  _variant_t value(lValue);  // VT_I4, or VT_I8 beyond 32 bits
  return Put(value, value.vt == VT_I8 ? 8 : 4, false);
}

BOOL CADOParameter::SetValue(double dblValue) {
  return Put(_variant_t(dblValue), 8, false);
}

BOOL CADOParameter::SetValue(CString strValue) {
  return Put(TextOrNull(strValue), strValue.GetLength(), false);
}

BOOL CADOParameter::SetValue(COleDateTime time) {
  return Put(_variant_t(time.m_dt, VT_DATE), -1, false);
}

BOOL CADOParameter::SetValue(_variant_t vtValue) {
  return Put(vtValue, -1, false);
}

BOOL CADOParameter::SetValue(float fltValue) {
  return Put(_variant_t(fltValue), -1, true);
}

BOOL CADOParameter::SetValue(short sValue) {
  return Put(_variant_t(sValue), -1, true);
}

BOOL CADOParameter::SetValue(BYTE byValue) {
  return Put(_variant_t(byValue), -1, true);
}

BOOL CADOParameter::SetValue(LPCTSTR lpszValue) {
  return Put(TextOrNull(lpszValue), lpszValue != nullptr ? static_cast<long>(std::strlen(lpszValue)) : 0,
             true);
}

BOOL CADOParameter::SetValue(bool bValue) {
  return Put(_variant_t(bValue), -1, true);
}

BOOL CADOParameter::Get(_variant_t& value, bool guarded) {
  return ado2::Guarded(TraceOrReport(guarded, ADO2_METHOD("GetValue"), Report()), FALSE, [&] {
    value = m_pParameter->GetValue();
    return TRUE;
  });
}

BOOL CADOParameter::GetValue(int& nValue) {
  _variant_t v;
  return Get(v, false) && ado2::VariantToInt(v, nValue);
}

BOOL CADOParameter::GetValue(long& lValue) {
  _variant_t v;
  return Get(v, false) && ado2::VariantToLong(v, lValue);
}

BOOL CADOParameter::GetValue(double& dbValue) {
  _variant_t v;
  return Get(v, false) && ado2::VariantToDouble(v, dbValue);
}

BOOL CADOParameter::GetValue(CString& strValue, CString strDateFormat) {
  _variant_t v;
  return Get(v, false) && ado2::VariantToText(v, strValue, strDateFormat);
}

BOOL CADOParameter::GetValue(COleDateTime& time) {
  _variant_t v;
  return Get(v, false) && ado2::VariantToDate(v, time);
}

BOOL CADOParameter::GetValue(COleCurrency& cyValue) {
  _variant_t v;
  return Get(v, false) && ado2::VariantToCurrency(v, cyValue);
}

BOOL CADOParameter::GetValue(_variant_t& vtValue) {
  return Get(vtValue, false);
}

BOOL CADOParameter::GetValueString(CString& strValue) {
  _variant_t v;
  if (!Get(v, true)) return FALSE;
  strValue = ado2::VariantToDisplayText(v);
  return TRUE;
}

BOOL CADOParameter::GetValue(bool& bValue) {
  _variant_t v;
  if (!Get(v, true)) return FALSE;
  bValue = ado2::vartobool(v);
  return TRUE;
}

BOOL CADOParameter::GetValue(BYTE& byValue) {
  _variant_t v;
  if (!Get(v, true)) return FALSE;
  byValue = ado2::vartoby(v);
  return TRUE;
}

BOOL CADOParameter::GetValue(short& sValue) {
  _variant_t v;
  if (!Get(v, true)) return FALSE;
  sValue = ado2::vartoi(v);
  return TRUE;
}

BOOL CADOParameter::SetName(CString strName) {
  return ado2::Guarded(ADO2_METHOD("SetName"), FALSE, [&] {
    m_pParameter->PutName(_bstr_t((LPCTSTR)strName));
    m_strName = strName;
    return TRUE;
  });
}

CString CADOParameter::GetName() {
  return ado2::Guarded(ADO2_METHOD("GetName"), CString(),
                       [&] { return ado2::BstrText(m_pParameter->GetName()); });
}

BOOL CADOParameter::SetType(int nType) {
  return ado2::Guarded(ADO2_METHOD("SetType"), FALSE, [&] {
    m_pParameter->PutType(static_cast<DataTypeEnum>(nType));
    m_nType = nType;
    return TRUE;
  });
}

int CADOParameter::GetType() {
  return ado2::Guarded(ADO2_METHOD("GetType"), 0, [&] { return static_cast<int>(m_pParameter->GetType()); });
}

BOOL CADOParameter::SetDirection(int nDirection) {
  return ado2::Guarded(ADO2_METHOD("SetDirection"), FALSE, [&] {
    m_pParameter->PutDirection(static_cast<ParameterDirectionEnum>(nDirection));
    return TRUE;
  });
}

int CADOParameter::GetDirection() {
  return ado2::Guarded(ADO2_METHOD("GetDirection"), 0,
                       [&] { return static_cast<int>(m_pParameter->GetDirection()); });
}

long CADOParameter::GetSize() {
  return ado2::Guarded(ADO2_METHOD("GetSize"), -1L, [&] { return m_pParameter->GetSize(); });
}

BOOL CADOParameter::SetSize(long lSize) {
  return ado2::Guarded(ADO2_METHOD("SetSize"), FALSE, [&] {
    m_pParameter->PutSize(static_cast<LONG>(lSize));
    return TRUE;
  });
}
