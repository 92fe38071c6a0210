// CADODataBase (see ADODataBase.h). Every operation's failure value and report style is the one
// the header states; COM errors never leave the destructor.
#include "ADODataBase.h"

#include <objbase.h>
#include <msjro.tlh>
#include <oleauto.h>

#include "ADOException.h"
#include "ADOGuard.h"

namespace {

using ado2::kServerContext;

// ADO's error for closing a connection inside a transaction, and how many nested levels the
// destructor rolls back before it gives up.
constexpr HRESULT kInTransaction = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, adErrInTransaction);
constexpr int kMaxTransactionLevels = 64;

}  // namespace

CADODataBase::CADODataBase() : m_dwLastError(0), m_nRecordsAffected(0), m_nConnectionTimeout(0) {
  ::CoInitialize(nullptr);
  m_strConnection = "";
  m_strLastError = "";
  m_pConnection.CreateInstance(__uuidof(Connection), nullptr, kServerContext);
}

CADODataBase::~CADODataBase() {
  // ADO will not close a connection inside a transaction (adErrInTransaction): what was begun
  // and not committed is rolled back, one nesting level at a time, so nothing of it is
  // written, even while another object still holds the ADO connection.
  ado2::Guarded(ADO2_SHORT("关闭数据库"), [&] {
    if (!IsOpen()) return;
    HRESULT hr = m_pConnection->raw_Close();
    for (int level = 0; hr == kInTransaction && level < kMaxTransactionLevels; ++level) {
      m_pConnection->RollbackTrans();
      hr = m_pConnection->raw_Close();
    }
    if (FAILED(hr)) _com_issue_errorex(hr, m_pConnection.GetInterfacePtr(), __uuidof(_Connection));
  });
  if (m_pConnection != nullptr) {
    m_pConnection.Release();
    m_pConnection = nullptr;
  }
  m_strConnection = "";
  m_strLastError = "";
  m_dwLastError = 0;
  ::CoUninitialize();
}

CString CADODataBase::ConnectionValue(const CString& value) {
  int length = value.GetLength();
  bool quote = value.Find(';') >= 0 || value.Find('"') >= 0 || value.Find('\'') >= 0;
  if (length > 0) {
    char first = value[0], last = value[length - 1];
    quote = quote || first == ' ' || first == '\t' || last == ' ' || last == '\t';
  }
  if (!quote) return value;
  CString inner = value;
  inner.Replace("\"", "\"\"");
  return "\"" + inner + "\"";
}

void CADODataBase::dump_com_error(_com_error& e) {
  CString report = ado2::FormatComErrorReport("CADODataBase", e);
  m_strErrorDescription = ado2::BstrText(e.Description());
  m_strLastError = "Connection String = " + m_strConnection + "\n" + report;
  m_dwLastError = static_cast<DWORD>(e.Error());
  ado2::ShowComErrorReport(report);
}

BOOL CADODataBase::Open(LPCTSTR lpstrConnection, LPCTSTR lpstrUserID, LPCTSTR lpstrPassword) {
  if (lpstrConnection != nullptr && lpstrConnection[0] != '\0') m_strConnection = lpstrConnection;
  ASSERT(!m_strConnection.IsEmpty());
  return ado2::Guarded(Report(), FALSE, [&] {
    // Closing is inside the guard: a connection that will not close (inside a transaction)
    // fails this open with the report, and stays as it was.
    if (IsOpen()) Close();
    if (m_nConnectionTimeout != 0)
      m_pConnection->PutConnectionTimeout(static_cast<LONG>(m_nConnectionTimeout));
    HRESULT hr =
        m_pConnection->Open(_bstr_t((LPCTSTR)m_strConnection), _bstr_t(lpstrUserID ? lpstrUserID : ""),
                            _bstr_t(lpstrPassword ? lpstrPassword : ""), 0);
    return hr == S_OK;
  });
}

BOOL CADODataBase::Open(LPCTSTR lpstrConnection, long lOptions) {
  ASSERT(m_pConnection != nullptr);
  ASSERT(AfxIsValidString(lpstrConnection));
  if (lpstrConnection != nullptr && lpstrConnection[0] != '\0') m_strConnection = lpstrConnection;
  if (m_strConnection.IsEmpty()) {
    ASSERT(FALSE);
    return FALSE;
  }
  auto report = [&](_com_error& e) {
    ADO2_TRACE_AT("Warning: 连接数据库发生异常. 错误信息: %s; 文件: %s; 行: %d\n", e);
    TRACE("%s\r\n", (LPCTSTR)GetLastError());
  };
  auto unknown = [] { TRACE("Warning: 连接数据库时发生未知错误:"); };
  return ado2::GuardedAll(report, unknown, FALSE, [&] {
    if (IsOpen()) Close();  // inside the guard, as for the open by user
    HRESULT hr = m_pConnection->Open(_bstr_t((LPCTSTR)m_strConnection), _bstr_t(""), _bstr_t(""),
                                     static_cast<LONG>(lOptions));
    return hr == S_OK;
  });
}

BOOL CADODataBase::OpenUDLFile(LPCTSTR strFileName, long lOptions) {
  CString connection = "File Name=" + ConnectionValue(CString(strFileName));
  return Open(connection, lOptions);
}

BOOL CADODataBase::OpenSQLServer(CString dbsrc, CString dbServer, CString user, CString password) {
  CString connection = "Provider=SQLOLEDB.1;Driver={SQL Server};UID=" + ConnectionValue(user) +
                       ";PWD=" + ConnectionValue(password) + ";DATABASE=" + ConnectionValue(dbsrc) +
                       ";Server=" + ConnectionValue(dbServer);
  return Open(connection, "", "");
}

BOOL CADODataBase::OpenODBC(CString provider, CString dataSource, CString user, CString password) {
  CString connection = "ODBC;Provider=" + ConnectionValue(provider) +
                       ";Data Source=" + ConnectionValue(dataSource) + ";UID=" + ConnectionValue(user) +
                       ";PWD=" + ConnectionValue(password);
  return Open(connection, "", "");
}

BOOL CADODataBase::OpenJetFile(CString dbPath) {
  CString connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ConnectionValue(dbPath);
  return Open(connection, "", "");
}

BOOL CADODataBase::IsOpen() {
  if (m_pConnection == nullptr) return FALSE;
  return m_pConnection->GetState() != adStateClosed;
}

void CADODataBase::Close() {
  if (IsOpen()) m_pConnection->Close();
}

BOOL CADODataBase::Execute(LPCTSTR lpstrExec) {
  ASSERT(m_pConnection != nullptr);
  ASSERT(lpstrExec != nullptr && lpstrExec[0] != '\0');
  m_nRecordsAffected = 0;
  return ado2::Guarded(Report(), FALSE, [&] {
    _variant_t count;
    m_pConnection->PutCursorLocation(adUseClient);
    m_pConnection->Execute(_bstr_t(lpstrExec), &count, adExecuteNoRecords);
    m_nRecordsAffected = ado2::RecordsAffected(count);
    return TRUE;
  });
}

_RecordsetPtr CADODataBase::Execute(LPCTSTR lpszSQL, long lOptions) {
  ASSERT(m_pConnection != nullptr);
  return ado2::Guarded<_RecordsetPtr>(ADO2_METHOD("Execute"), nullptr, [&] {
    return m_pConnection->Execute(_bstr_t(lpszSQL), nullptr, static_cast<LONG>(lOptions));
  });
}

long CADODataBase::BeginTrans() {
  return ado2::Guarded(ADO2_SHORT("BeginTrans"), -1L, [&] { return m_pConnection->BeginTrans(); });
}

BOOL CADODataBase::CommitTrans() {
  return ado2::Guarded(ADO2_SHORT("CommitTrans"), FALSE,
                       [&] { return SUCCEEDED(m_pConnection->CommitTrans()); });
}

BOOL CADODataBase::RollbackTrans() {
  return ado2::Guarded(ADO2_SHORT("RollbackTrans"), FALSE,
                       [&] { return SUCCEEDED(m_pConnection->RollbackTrans()); });
}

BOOL CADODataBase::SetConnectTimeOut(long lTime) {
  return ado2::Guarded(ADO2_SHORT("SetConnectTimeOut方法"), FALSE, [&] {
    m_pConnection->PutConnectionTimeout(static_cast<LONG>(lTime));
    return TRUE;
  });
}

long CADODataBase::GetConnectTimeOut() {
  return ado2::Guarded(ADO2_METHOD("GetConnectTimeOut"), -1L,
                       [&] { return m_pConnection->GetConnectionTimeout(); });
}

long CADODataBase::GetState() {
  return ado2::Guarded(ADO2_AT("Warning: GetState 发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), -1L,
                       [&] { return m_pConnection->GetState(); });
}

long CADODataBase::GetMode() {
  return ado2::Guarded(ADO2_AT("Warning: GetMode 发生异常. 错误信息: %s; 文件: %s; 行: %d\n"),
                       long(adModeUnknown), [&] { return m_pConnection->GetMode(); });
}

BOOL CADODataBase::SetMode(long lMode) {
  ASSERT(m_pConnection != nullptr);
  ASSERT(!IsOpenGuarded());
  return ado2::Guarded(ADO2_AT("Warning: SetMode 发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), FALSE, [&] {
    m_pConnection->PutMode(static_cast<ConnectModeEnum>(lMode));
    return TRUE;
  });
}

CString CADODataBase::GetVersion() {
  return ado2::Guarded(ADO2_METHOD("GetVersion"), CString(),
                       [&] { return ado2::BstrText(m_pConnection->GetVersion()); });
}

CString CADODataBase::GetDefaultDatabase() {
  return ado2::Guarded(ADO2_METHOD("GetDefaultDatabase"), CString(),
                       [&] { return ado2::BstrText(m_pConnection->GetDefaultDatabase()); });
}

_RecordsetPtr CADODataBase::OpenSchema(long lSchema) {
  return ado2::Guarded<_RecordsetPtr>(
      ADO2_AT("Warning: OpenSchema方法发生异常. 错误信息: %s; 文件: %s; 行: %d\n"), nullptr,
      [&] { return m_pConnection->OpenSchema(static_cast<SchemaEnum>(lSchema), vtMissing, vtMissing); });
}

ErrorPtr CADODataBase::GetError(long lIndex) {
  return ado2::Guarded<ErrorPtr>(ADO2_METHOD("GetError"), nullptr, [&]() -> ErrorPtr {
    ErrorsPtr errors = m_pConnection->GetErrors();
    if (lIndex >= 0 && lIndex < errors->GetCount())
      return errors->GetItem(_variant_t(static_cast<LONG>(lIndex)));
    return nullptr;
  });
}

CString CADODataBase::ProviderErrorList(LPCTSTR layout, bool shortTrace) {
  CString text;
  if (m_pConnection == nullptr) return text;
  ado2::Guarded(shortTrace ? ADO2_SHORT("GetLastError") : ADO2_METHOD("GetLastError"), [&] {
    ErrorsPtr errors = m_pConnection->GetErrors();
    LONG count = errors->GetCount();
    for (LONG i = 0; i < count; ++i) {
      ErrorPtr error = errors->GetItem(_variant_t(i));
      CString source = ado2::BstrText(error->GetSource());
      LONG native = error->GetNativeError();
      CString state = ado2::BstrText(error->GetSQLState());
      CString description = ado2::BstrText(error->GetDescription());
      text.AppendFormat(layout, (LPCTSTR)description, (LPCTSTR)state, native, (LPCTSTR)source);
    }
  });
  return text;
}

CString CADODataBase::GetLastError() {
  return ProviderErrorList("Description: %s\r\nState: %s, Native: %d, Source: %s\r\n", false);
}

CString CADODataBase::GetLastErrorText() {
  return ProviderErrorList("Description: %s\r\n\r\nState: %s, Native: %d, Source: %s\r\n", true);
}

BOOL CADODataBase::Cancel() {
  return ado2::Guarded(ADO2_SHORT("Cancel"), FALSE, [&] { return SUCCEEDED(m_pConnection->Cancel()); });
}

BOOL CADODataBase::CompactDatabase(CString strDatabaseSource, CString strDatabaseDestination) {
  ::CoInitialize(nullptr);
  BOOL result = FALSE;
  try {
    IJetEnginePtr engine;
    HRESULT hr = engine.CreateInstance(__uuidof(JetEngine), nullptr, kServerContext);
    if (FAILED(hr)) _com_issue_error(hr);
    result = engine->CompactDatabase(_bstr_t((LPCTSTR)strDatabaseSource),
                                     _bstr_t((LPCTSTR)strDatabaseDestination)) == S_OK;
  } catch (...) {
    result = FALSE;
  }
  ::CoUninitialize();
  return result;
}

BOOL CADODataBase::OpenGuarded(LPCTSTR lpszConnect, long lOptions) {
  ASSERT(m_pConnection != nullptr);
  m_strConnection = lpszConnect;
  auto unknown = [] { TRACE(":( 连接数据库时发生未知错误:"); };
  return ado2::GuardedAll(ADO2_SHORT("连接数据库"), unknown, FALSE, [&] {
    HRESULT hr =
        m_pConnection->Open(_bstr_t(lpszConnect), _bstr_t(""), _bstr_t(""), static_cast<LONG>(lOptions));
    return SUCCEEDED(hr);
  });
}

BOOL CADODataBase::IsOpenGuarded() {
  return ado2::Guarded(ADO2_SHORT("IsOpen方法"), FALSE, [&] {
    if (m_pConnection == nullptr) _com_issue_error(E_POINTER);
    return (m_pConnection->GetState() & adStateOpen) != 0;
  });
}

BOOL CADODataBase::CloseGuarded() {
  return ado2::Guarded(ADO2_SHORT("关闭数据库"), FALSE, [&] {
    if (m_pConnection != nullptr && m_pConnection->GetState() == adStateOpen) {
      return SUCCEEDED(m_pConnection->Close());
    }
    return false;
  });
}

BOOL CADODataBase::Release() {
  return ado2::Guarded(ADO2_SHORT("Release方法"), FALSE, [&] {
    CloseGuarded();
    if (m_pConnection != nullptr) {
      m_pConnection.Release();
      m_pConnection = nullptr;
    }
    return TRUE;
  });
}

ErrorsPtr CADODataBase::GetErrors() {
  return ado2::Guarded<ErrorsPtr>(ADO2_SHORT("GetLastError"), nullptr,
                                  [&] { return m_pConnection->GetErrors(); });
}
