// CADODataBase: the layer's connection, a thin class over one ADO Connection object.
//
// Each object initialises COM on the constructing thread (CoInitialize, balanced by its
// destructor), creates one ADO Connection for its whole life and opens it as often as asked:
// from a connection string (with user name and password, or with options), from a data-link
// file ("File Name=PATH") or from the SQL Server, ODBC and Jet builders. Text is GBK.
//
// Failures are reported in one of three ways, fixed per operation (texts in ADOException.h):
// the class error report (message box "CADODataBase Error ...", last-error fields) for
// Open(by user) and Execute(records affected); a "Warning: " trace with file and line, or a
// ":( " trace, for the others. IsOpen, Close and the navigation-free getters named below let
// ADO's _com_error through to the caller.
//
// The connection-string builders quote a value that contains ';' or a quote, or that begins or
// ends with a blank: it is enclosed in double quotes with inner double quotes doubled, so that
// no value can add keys of its own. Every other value, the empty one included, is pasted byte
// for byte.
//
// Single-threaded and apartment-bound: use an object on the thread that made it.
#pragma once
#include <afx.h>
#include <comdef.h>
#include <msado15.tlh>

class CADODataBase {
 public:
  CADODataBase();
  // Rolls back a transaction still open (every nesting level), closes, releases the
  // connection and uninitialises COM; a failure is only traced.
  virtual ~CADODataBase();

  // Closes first if open; stores a non-empty lpstrConnection (the stored one must not be
  // empty); applies the stored connection time-out when non-zero; TRUE only when ADO's Open
  // answers exactly S_OK. A COM error, also one of the close, goes to the class error report
  // and gives FALSE.
  BOOL Open(LPCTSTR lpstrConnection, LPCTSTR lpstrUserID, LPCTSTR lpstrPassword);
  // Stores a non-empty lpstrConnection; FALSE (assertion) when the stored string is empty;
  // closes first if open; never applies the connection time-out; TRUE only for exactly S_OK.
  // Failures are traced ("Warning: 连接数据库发生异常..." and the provider error list); no box.
  BOOL Open(LPCTSTR lpstrConnection, long lOptions);
  // Open(by options) with "File Name=" + the path (quoted as the builders quote values).
  BOOL OpenUDLFile(LPCTSTR strFileName, long lOptions);
  BOOL OpenSQLServer(CString dbsrc, CString dbServer, CString user, CString password);
  BOOL OpenODBC(CString provider, CString dataSource, CString user, CString password);
  BOOL OpenJetFile(CString dbPath);

  BOOL IsOpen();  // lets ADO's COM error through
  void Close();   // lets ADO's COM error through

  CString GetConnectionString() const { return m_strConnection; }
  _ConnectionPtr GetActiveConnection() { return m_pConnection; }

  // Runs a statement that returns no rows; records affected keeps the provider's full 32-bit
  // count (GetRecordsAffected). Class error report and FALSE on failure.
  BOOL Execute(LPCTSTR lpstrExec);
  // Runs a statement and answers ADO's recordset, or null after a "Warning: Execute" trace.
  _RecordsetPtr Execute(LPCTSTR lpszSQL, long lOptions);
  int GetRecordsAffected() const { return m_nRecordsAffected; }

  long BeginTrans();     // nesting level, -1 after a trace
  BOOL CommitTrans();    // FALSE after a trace
  BOOL RollbackTrans();  // FALSE after a trace

  // The time-out applied before each Open(by user) when non-zero (0: the provider's default).
  void SetConnectionTimeout(long lTimeout) { m_nConnectionTimeout = lTimeout; }
  long GetConnectionTimeout() const { return m_nConnectionTimeout; }
  BOOL SetConnectTimeOut(long lTime);  // sets ADO's ConnectionTimeout directly
  long GetConnectTimeOut();            // -1 after a trace
  long GetState();                     // -1 after a trace
  long GetMode();                      // adModeUnknown after a trace
  BOOL SetMode(long lMode);            // only while closed
  CString GetVersion();
  CString GetDefaultDatabase();
  _RecordsetPtr OpenSchema(long lSchema);
  ErrorPtr GetError(long lIndex);  // null when out of range or after a trace
  // The provider error list: "Description: %s\r\nState: %s, Native: %d, Source: %s\r\n" per
  // error of ADO's Errors collection.
  CString GetLastError();
  BOOL Cancel();

  // Compacts a database through the Jet and Replication Objects engine (JRO.JetEngine); TRUE
  // only when it answers exactly S_OK. Here the engine compacts SQLite databases.
  static BOOL CompactDatabase(CString strDatabaseSource, CString strDatabaseDestination);

  // The guarded basic operations: each catches COM errors itself and reports only by trace.
  BOOL OpenGuarded(LPCTSTR lpszConnect, long lOptions);
  BOOL IsOpenGuarded();
  BOOL CloseGuarded();
  BOOL Release();
  ErrorsPtr GetErrors();
  CString GetLastErrorText();  // "Description: %s\r\n\r\nState: %s, Native: %d, Source: %s\r\n"

  // The last class error report: "Connection String = " + string + "\n" + report text.
  CString GetLastErrorString() const { return m_strLastError; }
  CString GetErrorDescription() const { return m_strErrorDescription; }
  DWORD GetLastErrorCode() const { return m_dwLastError; }

  // The connection-string value as the builders write it (see the file comment).
  static CString ConnectionValue(const CString& value);

 protected:
  void dump_com_error(_com_error& e);

  _ConnectionPtr m_pConnection;
  CString m_strConnection;
  CString m_strLastError;
  CString m_strErrorDescription;
  DWORD m_dwLastError;
  int m_nRecordsAffected;
  long m_nConnectionTimeout;

 private:
  // dump_com_error as the error guard's report (ADOGuard.h).
  auto Report() {
    return [this](_com_error& e) { dump_com_error(e); };
  }
  CADODataBase(const CADODataBase&) = delete;
  CADODataBase& operator=(const CADODataBase&) = delete;
  CString ProviderErrorList(LPCTSTR layout, bool shortTrace);
};
