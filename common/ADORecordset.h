// CADORecordset: one ADO Recordset bound to a CADODataBase. It opens a query, a table or a
// stored procedure (client-side static cursor for queries), walks and finds rows, saves and loads
// the XML persistence format, and reads and writes field values: typed reads and raw writes
// through Field.Value, type-checked reads and writes through the recordset's Collect, null
// tests, display text, metadata and chunked long fields (also a BMP into a CBitmap).
//
// Reporting (texts in ADOException.h): the class error report ("CADORecordset Error ..." in a
// message box; last error text "Query = " + query + "\n" + report) for Open, Requery, filter,
// sort, save, the typed reads and raw writes; ":( " traces for the guarded getters and the
// display-text access; "Warning: " traces for the newer getters, Load, the second Find, chunks
// and the converters. Navigation, IsOpen, Close and GetRecordCount let ADO's _com_error through.
//
// Integer widths: an ADO long is 32 bits. The `long` and `unsigned long` overloads (64-bit C++
// types here) carry 32-bit values; a value beyond 32 bits is written as VT_I8 (VT_UI8 above
// the signed 64-bit range) and reads take 32 bits from 32-bit VARIANT types only.
//
// Field text (GetFieldValue into CString), the display text (GetValueString) and the VARIANT
// converters are the free functions of ADOConversion.h, which CADOParameter uses too; the
// static members below answer through them. The member functions are defined in three files:
// ADORecordset.cpp (opening to state), ADORecordsetFields.cpp (field access and metadata) and
// ADORecordsetChunks.cpp (long fields).
#pragma once
#include <afx.h>
#include <afxdisp.h>
#include <afxwin.h>
#include <comdef.h>
#include <msado15.tlh>

class CADODataBase;
class CADOCommand;

// What GetFieldInfo fills: zeroed whole first; the name is cut to fit its 30 bytes (at a GBK
// character boundary) and always NUL-terminated.
struct CADOFieldInfo {
  char m_strName[30];
  short m_nType;
  LONG m_lSize;  // actual size, only when not at EOF
  LONG m_lDefinedSize;
  LONG m_lAttributes;
  short m_nOrdinalPosition;
  BOOL m_bRequired;
  BOOL m_bAllowZeroLength;
  LONG m_lCollatingOrder;
};

class CADORecordset {
 public:
  enum cadoOpenEnum { openUnknown = 0, openQuery = 1, openTable = 2, openStoredProc = 3 };
  enum cadoEditEnum { dbEditNone = 0, dbEditNew = 1, dbEdit = 2 };
  enum cadoSearchEnum { searchForward = 1, searchBackward = -1 };

  explicit CADORecordset(CADODataBase* pAdoDatabase);
  virtual ~CADORecordset();

  // ---- opening and lifecycle
  BOOL Open(LPCTSTR lpstrExec = "", int nOption = openUnknown);
  BOOL Open(_ConnectionPtr mpdb, LPCTSTR lpstrExec = "", int nOption = openUnknown);
  BOOL IsOpen();
  void Close();
  BOOL Requery();
  BOOL OpenSchema(long nSchema, LPCTSTR lpszRestriction = "");
  BOOL Clone(CADORecordset& pRs);
  BOOL Save(LPCTSTR lpstrXMLFile);
  BOOL OpenFromFile(LPCTSTR lpstrXMLFile);
  BOOL Load(LPCTSTR lpstrXMLFile);
  BOOL Execute(CADOCommand* pCommand);

  // ---- navigation (ADO's _com_error reaches the caller)
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();
  BOOL IsEOF();
  BOOL IsBOF();
  // ADO's RecordCount; when the provider answers -1 the rows are counted by walking them, and
  // the cursor is left on the first row (at EOF for no rows).
  DWORD GetRecordCount();
  void GetBookmark();
  BOOL SetBookmark();
  BOOL SetFilter(LPCTSTR strFilter);
  BOOL SetSort(LPCTSTR lpstrCriteria);
  CString GetString(LPCTSTR lpCols = "", LPCTSTR lpRows = "", LPCTSTR lpNull = "", long numRows = 0);

  // ---- editing
  BOOL AddNew();
  // Writes a pending AddNew, and also field writes on an existing row (ADO's EditMode shows
  // them); a failure is reported and the edit cancelled.
  BOOL Update();
  void CancelUpdate();
  BOOL Delete();

  // ---- finding
  BOOL Find(LPCTSTR lpFind, int nSearchDirection = searchForward);
  BOOL FindFirst(LPCTSTR lpFind);
  BOOL FindNext();
  // The second form: keeps the stored criteria when lpFind is empty; TRUE only when neither EOF
  // nor BOF follows; a COM error is traced ("Warning: Find 方法...") and gives FALSE.
  BOOL FindGuarded(LPCTSTR lpFind, int nSearchDirection = searchForward);

  // ---- state (guarded: trace and failure value)
  long GetState();                     // 0
  long GetStatus();                    // 0
  long GetEditMode();                  // 0
  long GetCursorType();                // -1
  long GetCursorLocation();            // adUseNone (1)
  BOOL SetCacheSize(long lCacheSize);  // FALSE, also while executing
  BOOL Supports(long lOption);         // FALSE
  BOOL Cancel();                       // FALSE
  BOOL CancelBatch(long lAffect = adAffectAll);
  BOOL DeleteGuarded(long lAffect = adAffectCurrent);
  BOOL PutCursorLocation(long lLocation);
  BOOL Release();

  // ---- typed reads through Field.Value: class error report on a COM error; FALSE without a
  // report for a VARIANT type the target cannot take.
  BOOL GetFieldValue(LPCTSTR lpFieldName, CString& strValue, CString strDateFormat = "");
  BOOL GetFieldValue(int nIndex, CString& strValue, CString strDateFormat = "");
  BOOL GetFieldValue(LPCTSTR lpFieldName, int& nValue);
  BOOL GetFieldValue(int nIndex, int& nValue);
  BOOL GetFieldValue(LPCTSTR lpFieldName, long& lValue);
  BOOL GetFieldValue(int nIndex, long& lValue);
  BOOL GetFieldValue(LPCTSTR lpFieldName, unsigned long& ulValue);
  BOOL GetFieldValue(int nIndex, unsigned long& ulValue);
  BOOL GetFieldValue(LPCTSTR lpFieldName, double& dbValue);
  BOOL GetFieldValue(int nIndex, double& dbValue);
  BOOL GetFieldValue(LPCTSTR lpFieldName, bool& bValue);
  BOOL GetFieldValue(int nIndex, bool& bValue);
  BOOL GetFieldValue(LPCTSTR lpFieldName, COleDateTime& time);
  BOOL GetFieldValue(int nIndex, COleDateTime& time);
  BOOL GetFieldValue(LPCTSTR lpFieldName, COleCurrency& cyValue);
  BOOL GetFieldValue(int nIndex, COleCurrency& cyValue);
  BOOL GetFieldValue(LPCTSTR lpFieldName, _variant_t& vtValue);
  BOOL GetFieldValue(int nIndex, _variant_t& vtValue);

  // ---- checked reads and writes through Collect: the field's ADO type is compared first
  // (BYTE 17, short 2, int 3, long 20, float 4, double 5, CString 129/200/201, bool 11, dates
  // 7/133/134/135, currency 6); a mismatch is shown (or traced for bool, date and currency
  // writes) and the access is done anyway. The long read refuses (FALSE, trace) a value beyond
  // 32 bits. The bool, date and currency reads are the guarded second set ("Warning: GetField").
  BOOL GetCollectValue(LPCTSTR lpFieldName, BYTE& value);
  BOOL GetCollectValue(int nIndex, BYTE& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, short& value);
  BOOL GetCollectValue(int nIndex, short& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, int& value);
  BOOL GetCollectValue(int nIndex, int& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, long& value);
  BOOL GetCollectValue(int nIndex, long& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, float& value);
  BOOL GetCollectValue(int nIndex, float& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, double& value);
  BOOL GetCollectValue(int nIndex, double& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, CString& value);
  BOOL GetCollectValue(int nIndex, CString& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, bool& value);
  BOOL GetCollectValue(int nIndex, bool& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, COleDateTime& value);
  BOOL GetCollectValue(int nIndex, COleDateTime& value);
  BOOL GetCollectValue(LPCTSTR lpFieldName, COleCurrency& value);
  BOOL GetCollectValue(int nIndex, COleCurrency& value);

  BOOL PutCollectValue(LPCTSTR lpFieldName, BYTE value);
  BOOL PutCollectValue(int nIndex, BYTE value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, short value);
  BOOL PutCollectValue(int nIndex, short value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, int value);
  BOOL PutCollectValue(int nIndex, int value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, long value);
  BOOL PutCollectValue(int nIndex, long value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, float value);
  BOOL PutCollectValue(int nIndex, float value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, double value);
  BOOL PutCollectValue(int nIndex, double value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, const CString& value);
  BOOL PutCollectValue(int nIndex, const CString& value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, LPCTSTR value) {
    return PutCollectValue(lpFieldName, CString(value));
  }
  BOOL PutCollectValue(int nIndex, LPCTSTR value) { return PutCollectValue(nIndex, CString(value)); }
  BOOL PutCollectValue(LPCTSTR lpFieldName, bool value);
  BOOL PutCollectValue(int nIndex, bool value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, const COleDateTime& value);
  BOOL PutCollectValue(int nIndex, const COleDateTime& value);
  BOOL PutCollectValue(LPCTSTR lpFieldName, const COleCurrency& value);
  BOOL PutCollectValue(int nIndex, const COleCurrency& value);

  // ---- raw writes through Field.Value: CString as BSTR (empty: NULL); int as VT_I2 when it
  // fits 16 bits, else VT_I4; long VT_I4 (VT_I8 beyond 32 bits); unsigned long VT_UI4 (VT_I8 /
  // VT_UI8 beyond); double VT_R8; dates VT_DATE; bool VT_BOOL; currency VT_CY. A text literal
  // goes to the CString form (not to bool).
  BOOL SetFieldValue(LPCTSTR lpFieldName, CString strValue);
  BOOL SetFieldValue(int nIndex, CString strValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, LPCTSTR lpszValue) {
    return SetFieldValue(lpFieldName, CString(lpszValue));
  }
  BOOL SetFieldValue(int nIndex, LPCTSTR lpszValue) { return SetFieldValue(nIndex, CString(lpszValue)); }
  BOOL SetFieldValue(LPCTSTR lpFieldName, int nValue);
  BOOL SetFieldValue(int nIndex, int nValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, long lValue);
  BOOL SetFieldValue(int nIndex, long lValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, unsigned long ulValue);
  BOOL SetFieldValue(int nIndex, unsigned long ulValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, double dblValue);
  BOOL SetFieldValue(int nIndex, double dblValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, COleDateTime time);
  BOOL SetFieldValue(int nIndex, COleDateTime time);
  BOOL SetFieldValue(LPCTSTR lpFieldName, bool bValue);
  BOOL SetFieldValue(int nIndex, bool bValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, COleCurrency cyValue);
  BOOL SetFieldValue(int nIndex, COleCurrency cyValue);
  BOOL SetFieldValue(LPCTSTR lpFieldName, _variant_t vtValue);
  BOOL SetFieldValue(int nIndex, _variant_t vtValue);
  BOOL SetFieldEmpty(LPCTSTR lpFieldName);
  BOOL SetFieldEmpty(int nIndex);
  BOOL SetFieldNull(LPCTSTR lpFieldName);

  BOOL IsFieldNull(LPCTSTR lpFieldName);
  BOOL IsFieldNull(int nIndex);
  BOOL IsFieldEmpty(LPCTSTR lpFieldName);
  BOOL IsFieldEmpty(int nIndex);

  // ---- display text (interactive tools): ":( 字段访问失败" traces; the disconnection box when
  // the recordset is gone. SetValueString leaves the field unchanged and answers FALSE when the
  // text does not parse or is out of the field type's range.
  BOOL GetValueString(CString& strValue, LPCTSTR lpFieldName);
  BOOL SetValueString(LPCTSTR lpszValue, LPCTSTR lpFieldName);

  // ---- metadata
  int GetFieldCount();                     // -1 after a trace
  FieldsPtr GetFields();                   // null after a trace
  FieldPtr GetField(LPCTSTR lpFieldName);  // null after a trace
  FieldPtr GetField(int nIndex);
  CString GetFieldName(int nIndex);       // empty after a trace
  int GetFieldType(LPCTSTR lpFieldName);  // adEmpty after a trace
  int GetFieldType(int nIndex);
  long GetFieldAttributes(LPCTSTR lpFieldName);  // -1 after a trace
  long GetFieldAttributes(int nIndex);
  long GetDefineSize(int nIndex);                // -1 after a trace
  long GetFieldActualSize(LPCTSTR lpFieldName);  // -1 after a trace
  long GetFieldActualSize(int nIndex);
  BOOL GetFieldInfo(LPCTSTR lpFieldName, CADOFieldInfo* fldInfo);
  BOOL GetFieldInfo(int nIndex, CADOFieldInfo* fldInfo);

  // ---- chunks of long fields ("Warning: GetChunk/AppendChunk" traces). A read asks ADO for
  // the field's ActualSize and copies what ADO gave, never more than ActualSize bytes: pData
  // must hold GetFieldActualSize bytes. VT_NULL and VT_EMPTY read as no bytes; the text form
  // also takes a VT_BSTR chunk (long text fields); other VARIANT types give FALSE.
  BOOL GetChunk(LPCTSTR lpFieldName, CString& strValue);
  BOOL GetChunk(int nIndex, CString& strValue);
  BOOL GetChunk(LPCTSTR lpFieldName, LPVOID pData);
  BOOL GetChunk(int nIndex, LPVOID pData);
  // A BMP file image in a long binary field into bmp; FALSE (bmp unchanged) unless the data is
  // a whole, consistent BMP that every part of lies inside (ado2::CheckBitmapImage).
  BOOL GetChunk(LPCTSTR lpFieldName, CBitmap& bitmap);
  BOOL AppendChunk(LPCTSTR lpFieldName, LPVOID pData, UINT nBytes);
  BOOL AppendChunk(int nIndex, LPVOID pData, UINT nBytes);
  // Appends a whole file; FALSE and nothing appended when it cannot be opened or read whole.
  BOOL AppendChunk(LPCTSTR lpFieldName, LPCTSTR lpszFileName);

  // ---- access for callers and tests
  _RecordsetPtr GetRecordset() { return m_pRecordset; }
  _ConnectionPtr GetActiveConnection() { return m_pConnection; }
  CString GetQuery() const { return m_strQuery; }
  CString GetLastErrorString() const { return m_strLastError; }
  DWORD GetLastErrorCode() const { return m_dwLastError; }
  int GetEditStatus() const { return m_nEditStatus; }

  // ---- the shared conversion rules (ADOConversion.h)
  // GetFieldValue's text of a VARIANT; empty text and FALSE for a type without a text rule.
  static BOOL VariantToText(const _variant_t& vtValue, CString& strValue, LPCTSTR lpszDateFormat);
  // GetValueString's display text of a VARIANT (never fails).
  static CString VariantToDisplayText(const _variant_t& vtValue);
  // The converters: VT_EMPTY/VT_NULL give false, 0 or a null status; another type outside the
  // accepted set writes "Warning: 未处理的 _variant_t 类型值; 文件: %s; 行: %d\n" and gives the
  // same default.
  static bool vartobool(const _variant_t& var);
  static BYTE vartoby(const _variant_t& var);
  static short vartoi(const _variant_t& var);
  static long vartol(const _variant_t& var);  // the 32-bit value, sign-extended
  static double vartof(const _variant_t& var);
  static COleDateTime vartodate(const _variant_t& var);
  static COleCurrency vartocy(const _variant_t& var);
  // The double nearest to a DECIMAL's value, all 96 bits and the sign used (ADODecimal.h).
  static double DecimalToDouble(const DECIMAL& dec);
  // The typed-read rules: EMPTY/NULL give 0, false or a null status and TRUE; FALSE for a type
  // the target cannot take. int: VT_I2, VT_UI1, VT_BOOL by value, VT_I4 and VT_INT whole.
  // long / unsigned long: 8- and 16-bit integers by value, 32 bits of VT_I4, VT_UI4, VT_INT and
  // VT_UINT. double: every integer type, VT_R4, VT_R8, VT_CY and VT_DECIMAL.
  static BOOL VariantToInt(const _variant_t& var, int& value);
  static BOOL VariantToLong(const _variant_t& var, long& value);
  static BOOL VariantToULong(const _variant_t& var, unsigned long& value);
  static BOOL VariantToDouble(const _variant_t& var, double& value);
  static BOOL VariantToBool(const _variant_t& var, bool& value);
  static BOOL VariantToDate(const _variant_t& var, COleDateTime& value);
  static BOOL VariantToCurrency(const _variant_t& var, COleCurrency& value);

 protected:
  void dump_com_error(_com_error& e);

  _RecordsetPtr m_pRecordset;
  _CommandPtr m_pCmd;
  _ConnectionPtr m_pConnection;
  int m_nSearchDirection;
  CString m_strFind;
  _variant_t m_varBookFind;
  _variant_t m_varBookmark;
  int m_nEditStatus;
  CString m_strLastError;
  DWORD m_dwLastError;
  CString m_strQuery;

 private:
  // dump_com_error as the error guard's report (ADOGuard.h).
  auto Report() {
    return [this](_com_error& e) { dump_com_error(e); };
  }
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  BOOL ReadValue(const _variant_t& key, _variant_t& value);  // Field.Value, class report
  BOOL WriteValue(const _variant_t& key, const _variant_t& value);
  BOOL ReadText(const _variant_t& key, CString& text, const CString& dateFormat);
  template <typename T>
  BOOL ReadTyped(const _variant_t& key, T& target, BOOL (*convert)(const _variant_t&, T&));
  BOOL ReadChecked(const _variant_t& key, const int* types, int typeCount, _variant_t& value);
  BOOL WriteChecked(const _variant_t& key, const int* types, int typeCount, bool traceMismatch,
                    const _variant_t& value);
  BOOL ReadCollect(const _variant_t& key, _variant_t& value);  // the guarded second set
  template <typename T>
  BOOL ReadCheckedAs(const _variant_t& key, const int* types, int typeCount, T& target,
                     BOOL (*rule)(const _variant_t&, T&));
  template <typename T>
  BOOL ReadCollectAs(const _variant_t& key, T& target, BOOL (*rule)(const _variant_t&, T&));
  BOOL IsFieldType(const _variant_t& key, bool orEmpty);
  FieldPtr GuardedField(const _variant_t& key);
  BOOL FieldInfo(const _variant_t& key, CADOFieldInfo* fldInfo);
  BOOL ReadChunk(const _variant_t& key, CString* text, LPVOID buffer);
  BOOL AppendBytes(const _variant_t& key, const void* data, UINT nBytes);
  BOOL RecordReachable();
};
