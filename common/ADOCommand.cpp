// CADOCommand (see ADOCommand.h).
#include "ADOCommand.h"

#include <oleauto.h>

#include "ADODataBase.h"
#include "ADOException.h"
#include "ADOGuard.h"
#include "ADOParameter.h"

namespace {

using ado2::kServerContext;

// int as VT_I2 when it fits 16 bits, else VT_I4.
_variant_t SmallIntVariant(int value) {
  _variant_t v;
  if (value >= INT16_MIN && value <= INT16_MAX) {
    v.vt = VT_I2;
    v.iVal = static_cast<SHORT>(value);
  } else {
    v.vt = VT_I4;
    v.lVal = value;
  }
  return v;
}

}  // namespace

CADOCommand::CADOCommand(CADODataBase* pAdoDatabase, CString strCommandText, int nCommandType)
    : m_nCommandType(nCommandType), m_nRecordsAffected(0), m_dwLastError(0) {
  m_pCommand.CreateInstance(__uuidof(Command), nullptr, kServerContext);
  m_strCommandText = strCommandText;
  // Construction cannot fail; the first operation on the command reports the problem again.
  ado2::Guarded(Report(), [&] {
    m_pCommand->PutCommandText(_bstr_t((LPCTSTR)m_strCommandText));
    m_pCommand->PutCommandType(static_cast<CommandTypeEnum>(nCommandType));
    if (pAdoDatabase != nullptr) m_pCommand->PutRefActiveConnection(pAdoDatabase->GetActiveConnection());
  });
}

CADOCommand::~CADOCommand() {
  ado2::Guarded(ADO2_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), [&] {
    if (m_pCommand != nullptr) m_pCommand.Release();
  });
  m_pCommand = nullptr;
  m_strCommandText = "";
  m_strLastError = "";
}

void CADOCommand::dump_com_error(_com_error& e) {
  CString report = ado2::FormatComErrorReport("CADOCommand", e);
  m_strLastError = report;
  m_dwLastError = static_cast<DWORD>(e.Error());
  ado2::ShowComErrorReport(report);
}

BOOL CADOCommand::AddParameter(CADOParameter* pAdoParameter) {
  ASSERT(pAdoParameter != nullptr);
  return ado2::Guarded(Report(), FALSE, [&] {
    m_pCommand->GetParameters()->Append(pAdoParameter->GetParameter());
    return TRUE;
  });
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, _variant_t vtValue,
                               int nPrecision, int nScale) {
  return ado2::Guarded(Report(), FALSE, [&] {
    _ParameterPtr param = m_pCommand->CreateParameter(
        _bstr_t((LPCTSTR)strName), static_cast<DataTypeEnum>(nType),
        static_cast<ParameterDirectionEnum>(nDirection), static_cast<LONG>(lSize), vtValue);
    param->PutPrecision(static_cast<unsigned char>(nPrecision));
    param->PutNumericScale(static_cast<unsigned char>(nScale));
    m_pCommand->GetParameters()->Append(param);
    return TRUE;
  });
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, int nValue) {
  return AddParameter(strName, nType, nDirection, lSize, SmallIntVariant(nValue), 0, 0);
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, long lValue) {
  return AddParameter(strName, nType, nDirection, lSize, _variant_t(lValue), 0, 0);
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, double dblValue) {
  return AddParameter(strName, nType, nDirection, lSize, _variant_t(dblValue), 0, 0);
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, CString strValue) {
  return AddParameter(strName, nType, nDirection, lSize, _variant_t((LPCTSTR)strValue), 0, 0);
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, COleDateTime time) {
  return AddParameter(strName, nType, nDirection, lSize, _variant_t(time.m_dt, VT_DATE), 0, 0);
}

void CADOCommand::SetText(CString strCommandText) {
  ASSERT(!strCommandText.IsEmpty());
  m_strCommandText = strCommandText;
  m_pCommand->PutCommandText(_bstr_t((LPCTSTR)m_strCommandText));
}

void CADOCommand::SetType(int nCommandType) {
  m_nCommandType = nCommandType;
  m_pCommand->PutCommandType(static_cast<CommandTypeEnum>(m_nCommandType));
}

BOOL CADOCommand::Execute() {
  m_nRecordsAffected = 0;
  return ado2::Guarded(Report(), FALSE, [&] {
    _variant_t count;
    m_pCommand->Execute(&count, nullptr, adCmdStoredProc);
    m_nRecordsAffected = ado2::RecordsAffected(count);
    return TRUE;
  });
}

BOOL CADOCommand::Append(_ParameterPtr param) {
  return ado2::Guarded(ADO2_METHOD("Append"), FALSE, [&] {
    m_pCommand->GetParameters()->Append(param);
    return TRUE;
  });
}

BOOL CADOCommand::Cancel() {
  return ado2::Guarded(ADO2_METHOD("Cancel"), FALSE, [&] {
    HRESULT hr = m_pCommand->raw_Cancel();
    if (FAILED(hr)) _com_issue_errorex(hr, m_pCommand.GetInterfacePtr(), __uuidof(_Command));
    return hr == S_OK;
  });
}

_ParameterPtr CADOCommand::CreateParameter(LPCTSTR lpstrName, DataTypeEnum Type,
                                           ParameterDirectionEnum Direction, long lSize, _variant_t Value) {
  return ado2::Guarded<_ParameterPtr>(ADO2_METHOD("CreateParameter"), nullptr, [&] {
    return m_pCommand->CreateParameter(_bstr_t(lpstrName), Type, Direction, static_cast<LONG>(lSize), Value);
  });
}

_RecordsetPtr CADOCommand::Execute(long lOption) {
  return ado2::Guarded<_RecordsetPtr>(ADO2_METHOD("Execute"), nullptr, [&] {
    return m_pCommand->Execute(nullptr, nullptr, static_cast<LONG>(lOption));
  });
}

_ParameterPtr CADOCommand::ParameterItem(const _variant_t& key) {
  return ado2::Guarded<_ParameterPtr>(ADO2_METHOD("GetParamter"), nullptr,
                                      [&] { return m_pCommand->GetParameters()->GetItem(key); });
}

_ParameterPtr CADOCommand::GetParamter(long lIndex) {
  return ParameterItem(ado2::IndexKey(lIndex));
}
_ParameterPtr CADOCommand::GetParamter(LPCTSTR lpstrParamName) {
  return ParameterItem(ado2::NameKey(lpstrParamName));
}

ParametersPtr CADOCommand::GetParameters() {
  return ado2::Guarded<ParametersPtr>(ADO2_METHOD("GetParamter"), nullptr,
                                      [&] { return m_pCommand->GetParameters(); });
}

long CADOCommand::GetState() {
  return ado2::Guarded(ADO2_METHOD("GetState"), -1L, [&] { return m_pCommand->GetState(); });
}

_variant_t CADOCommand::ParameterValue(const _variant_t& key) {
  return ado2::Guarded(ADO2_METHOD("GetValue"), _variant_t(),
                       [&] { return m_pCommand->GetParameters()->GetItem(key)->GetValue(); });
}

_variant_t CADOCommand::GetValue(long lIndex) {
  return ParameterValue(ado2::IndexKey(lIndex));
}
_variant_t CADOCommand::GetValue(LPCTSTR lpstrName) {
  return ParameterValue(ado2::NameKey(lpstrName));
}

CADOParameter CADOCommand::Attached(const _variant_t& key) {
  CADOParameter parameter;
  ado2::Guarded(ADO2_METHOD("operator []"),
                [&] { parameter.Attach(m_pCommand->GetParameters()->GetItem(key)); });
  return parameter;
}

CADOParameter CADOCommand::operator[](long lIndex) {
  return Attached(ado2::IndexKey(lIndex));
}
CADOParameter CADOCommand::operator[](LPCTSTR lpszParamName) {
  return Attached(ado2::NameKey(lpszParamName));
}

BOOL CADOCommand::PutCommandType(CommandTypeEnum CommandType) {
  return ado2::Guarded(ADO2_METHOD("PutCommandType"), FALSE, [&] {
    m_pCommand->PutCommandType(CommandType);
    m_nCommandType = CommandType;
    return TRUE;
  });
}

BOOL CADOCommand::PutCommandText(LPCTSTR lpstrCommand) {
  return ado2::Guarded(ADO2_METHOD("PutCommandText"), FALSE, [&] {
    m_pCommand->PutCommandText(_bstr_t(lpstrCommand));
    m_strCommandText = lpstrCommand;
    return TRUE;
  });
}

void CADOCommand::Release() {
  if (m_pCommand != nullptr) m_pCommand.Release();
  m_pCommand = nullptr;
}
