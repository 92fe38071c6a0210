// CADOCommand (see ADOCommand.h).
#include "ADOCommand.h"

#include <oleauto.h>

#include "ADODataBase.h"
#include "ADOException.h"
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
  try {
    m_pCommand->PutCommandText(_bstr_t((LPCTSTR)m_strCommandText));
    m_pCommand->PutCommandType(static_cast<CommandTypeEnum>(nCommandType));
    if (pAdoDatabase != nullptr) m_pCommand->PutRefActiveConnection(pAdoDatabase->GetActiveConnection());
  } catch (_com_error& e) {
    // Construction cannot fail; the first operation on the command reports the problem again.
    dump_com_error(e);
  }
}

CADOCommand::~CADOCommand() {
  try {
    if (m_pCommand != nullptr) m_pCommand.Release();
  } catch (_com_error& e) {
    ADO2_TRACE_AT("Warning: Release方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n", e);
  }
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
  try {
    m_pCommand->GetParameters()->Append(pAdoParameter->GetParameter());
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADOCommand::AddParameter(CString strName, int nType, int nDirection, long lSize, _variant_t vtValue,
                               int nPrecision, int nScale) {
  try {
    _ParameterPtr param = m_pCommand->CreateParameter(
        _bstr_t((LPCTSTR)strName), static_cast<DataTypeEnum>(nType),
        static_cast<ParameterDirectionEnum>(nDirection), static_cast<LONG>(lSize), vtValue);
    param->PutPrecision(static_cast<unsigned char>(nPrecision));
    param->PutNumericScale(static_cast<unsigned char>(nScale));
    m_pCommand->GetParameters()->Append(param);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
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
  try {
    _variant_t count;
    m_pCommand->Execute(&count, nullptr, adCmdStoredProc);
    m_nRecordsAffected = ado2::RecordsAffected(count);
    return TRUE;
  } catch (_com_error& e) {
    dump_com_error(e);
    return FALSE;
  }
}

BOOL CADOCommand::Append(_ParameterPtr param) {
  try {
    m_pCommand->GetParameters()->Append(param);
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("Append", e);
    return FALSE;
  }
}

BOOL CADOCommand::Cancel() {
  try {
    HRESULT hr = m_pCommand->raw_Cancel();
    if (FAILED(hr)) _com_issue_errorex(hr, m_pCommand.GetInterfacePtr(), __uuidof(_Command));
    return hr == S_OK;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("Cancel", e);
    return FALSE;
  }
}

_ParameterPtr CADOCommand::CreateParameter(LPCTSTR lpstrName, DataTypeEnum Type,
                                           ParameterDirectionEnum Direction, long lSize, _variant_t Value) {
  try {
    return m_pCommand->CreateParameter(_bstr_t(lpstrName), Type, Direction, static_cast<LONG>(lSize), Value);
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("CreateParameter", e);
    return nullptr;
  }
}

_RecordsetPtr CADOCommand::Execute(long lOption) {
  try {
    return m_pCommand->Execute(nullptr, nullptr, static_cast<LONG>(lOption));
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("Execute", e);
    return nullptr;
  }
}

_ParameterPtr CADOCommand::GetParamter(long lIndex) {
  try {
    return m_pCommand->GetParameters()->GetItem(ado2::IndexKey(lIndex));
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetParamter", e);
    return nullptr;
  }
}

_ParameterPtr CADOCommand::GetParamter(LPCTSTR lpstrParamName) {
  try {
    return m_pCommand->GetParameters()->GetItem(_variant_t(lpstrParamName));
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetParamter", e);
    return nullptr;
  }
}

ParametersPtr CADOCommand::GetParameters() {
  try {
    return m_pCommand->GetParameters();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetParamter", e);
    return nullptr;
  }
}

long CADOCommand::GetState() {
  try {
    return m_pCommand->GetState();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetState", e);
    return -1;
  }
}

_variant_t CADOCommand::GetValue(long lIndex) {
  try {
    return m_pCommand->GetParameters()->GetItem(ado2::IndexKey(lIndex))->GetValue();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetValue", e);
    return _variant_t();
  }
}

_variant_t CADOCommand::GetValue(LPCTSTR lpstrName) {
  try {
    return m_pCommand->GetParameters()->GetItem(_variant_t(lpstrName))->GetValue();
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("GetValue", e);
    return _variant_t();
  }
}

CADOParameter CADOCommand::Attached(const _variant_t& key) {
  CADOParameter parameter;
  try {
    parameter.Attach(m_pCommand->GetParameters()->GetItem(key));
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("operator []", e);
  }
  return parameter;
}

CADOParameter CADOCommand::operator[](long lIndex) {
  return Attached(ado2::IndexKey(lIndex));
}
CADOParameter CADOCommand::operator[](LPCTSTR lpszParamName) {
  return Attached(_variant_t(lpszParamName));
}

BOOL CADOCommand::PutCommandType(CommandTypeEnum CommandType) {
  try {
    m_pCommand->PutCommandType(CommandType);
    m_nCommandType = CommandType;
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("PutCommandType", e);
    return FALSE;
  }
}

BOOL CADOCommand::PutCommandText(LPCTSTR lpstrCommand) {
  try {
    m_pCommand->PutCommandText(_bstr_t(lpstrCommand));
    m_strCommandText = lpstrCommand;
    return TRUE;
  } catch (_com_error& e) {
    ADO2_TRACE_METHOD("PutCommandText", e);
    return FALSE;
  }
}

void CADOCommand::Release() {
  if (m_pCommand != nullptr) m_pCommand.Release();
  m_pCommand = nullptr;
}
