// CADOCommand: one ADO Command bound to a CADODataBase: command text and type, a parameter
// list, and execution. CADORecordset::Execute opens a recordset from one.
//
// Reporting: the class error report ("CADOCommand Error ..." in a message box, last error text
// and code) for the unguarded operations (AddParameter, Execute); "Warning: " traces for the
// guarded ones. Execute keeps the provider's full 32-bit records-affected count.
//
// Stored procedures exist only where the provider has them (PostgreSQL through ODBC, text
// "{call NAME(...)}"); on SQLite, Execute with the stored-procedure type fails as ADO reports.
#pragma once
#include <afx.h>
#include <afxdisp.h>
#include <comdef.h>
#include <msado15.tlh>

class CADODataBase;
class CADOParameter;

class CADOCommand {
 public:
  CADOCommand(CADODataBase* pAdoDatabase, CString strCommandText = "", int nCommandType = adCmdStoredProc);
  virtual ~CADOCommand();

  BOOL AddParameter(CADOParameter* pAdoParameter);
  // ADO CreateParameter, then Precision and NumericScale (one byte each), then append.
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, _variant_t vtValue,
                    int nPrecision = 0, int nScale = 0);
  // Typed forms: int as VT_I2 when it fits 16 bits (else VT_I4), long as VT_I4 (VT_I8 beyond
  // 32 bits), double VT_R8, text VT_BSTR, date VT_DATE; precision and scale 0.
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, int nValue);
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, long lValue);
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, double dblValue);
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, CString strValue);
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, LPCTSTR lpszValue) {
    return AddParameter(strName, nType, nDirection, lSize, CString(lpszValue));
  }
  BOOL AddParameter(CString strName, int nType, int nDirection, long lSize, COleDateTime time);

  void SetText(CString strCommandText);
  void SetType(int nCommandType);
  int GetType() const { return m_nCommandType; }
  CString GetText() const { return m_strCommandText; }
  _CommandPtr GetCommand() { return m_pCommand; }
  // Runs the command with options adCmdStoredProc (4); the returned recordset is dropped.
  BOOL Execute();
  int GetRecordsAffected() const { return m_nRecordsAffected; }

  // ---- guarded operations: "Warning: OPERATION 方法..." trace and the failure value.
  BOOL Append(_ParameterPtr param);  // FALSE
  BOOL Cancel();                     // TRUE only for exactly S_OK
  _ParameterPtr CreateParameter(LPCTSTR lpstrName, DataTypeEnum Type, ParameterDirectionEnum Direction,
                                long lSize, _variant_t Value);  // null
  _RecordsetPtr Execute(long lOption);                          // null
  _ParameterPtr GetParamter(long lIndex);                       // null
  _ParameterPtr GetParamter(LPCTSTR lpstrParamName);            // null
  ParametersPtr GetParameters();                                // null
  long GetState();                                              // -1
  _variant_t GetValue(long lIndex);                             // empty
  _variant_t GetValue(LPCTSTR lpstrName);                       // empty
  // A CADOParameter attached to the item; out of range: a fresh, unattached parameter.
  CADOParameter operator[](long lIndex);
  CADOParameter operator[](LPCTSTR lpszParamName);
  BOOL PutCommandType(CommandTypeEnum CommandType);  // FALSE
  BOOL PutCommandText(LPCTSTR lpstrCommand);         // FALSE
  void Release();

  CString GetLastErrorString() const { return m_strLastError; }
  DWORD GetLastErrorCode() const { return m_dwLastError; }

 protected:
  void dump_com_error(_com_error& e);

  _CommandPtr m_pCommand;
  int m_nCommandType;
  int m_nRecordsAffected;
  CString m_strCommandText;
  CString m_strLastError;
  DWORD m_dwLastError;

 private:
  // dump_com_error as the error guard's report (ADOGuard.h).
  auto Report() {
    return [this](_com_error& e) { dump_com_error(e); };
  }
  CADOCommand(const CADOCommand&) = delete;
  CADOCommand& operator=(const CADOCommand&) = delete;
  CADOParameter Attached(const _variant_t& key);
  _ParameterPtr ParameterItem(const _variant_t& key);  // GetParamter by name or index
  _variant_t ParameterValue(const _variant_t& key);    // GetValue by name or index
};
