// CADOParameter: one ADO Parameter with typed value access, for CADOCommand.
//
// SetValue puts the value into a VARIANT (int as VT_I2 when it fits 16 bits, else VT_I4; long
// as VT_I4, VT_I8 beyond 32 bits; double VT_R8; text as a BSTR, or NULL when empty) and, when
// the parameter's Size is 0, first sets the size from the value (4 for int and long, 8 for
// double, the text length for text). GetValue reads by the field rules of CADORecordset.
//
// Reporting: the class error report ("CADOParameter Error ..." in a message box) for the plain
// forms, "Warning: SetValue/GetValue/... 方法..." traces for the guarded ones. The default
// constructor creates the parameter by its ProgID "ADODB.Parameter" and, when that fails,
// shows "Parameter 对象创建失败! 请确认是否初始化了Com环境." (the sign of missing COM).
//
// Copies share the ADO parameter (CADOCommand's operator [] returns one by copy).
#pragma once
#include <afx.h>
#include <afxdisp.h>
#include <comdef.h>
#include <msado15.tlh>

class CADOParameter {
 public:
  CADOParameter(int nType, long lSize = 0, int nDirection = adParamInput, CString strName = "");
  CADOParameter();
  CADOParameter(const CADOParameter& other) = default;
  CADOParameter& operator=(const CADOParameter& other) = default;
  virtual ~CADOParameter();

  BOOL SetValue(int nValue);
  BOOL SetValue(long lValue);
  BOOL SetValue(double dblValue);
  BOOL SetValue(CString strValue);
  BOOL SetValue(COleDateTime time);
  BOOL SetValue(_variant_t vtValue);
  // Guarded forms (trace "Warning: SetValue 方法..."): float VT_R4, short VT_I2, BYTE VT_UI1,
  // text (LPCTSTR: BSTR, or NULL when empty) and bool VT_BOOL.
  BOOL SetValue(float fltValue);
  BOOL SetValue(short sValue);
  BOOL SetValue(BYTE byValue);
  BOOL SetValue(LPCTSTR lpszValue);
  BOOL SetValue(bool bValue);

  // Numbers by the typed-read rules (empty or null gives 0), text by GetFieldValue's text rules,
  // dates and currency with the null status for empty or null; FALSE for a type they cannot
  // take, the class error report and FALSE on a COM error.
  BOOL GetValue(int& nValue);
  BOOL GetValue(long& lValue);
  BOOL GetValue(double& dbValue);
  BOOL GetValue(CString& strValue, CString strDateFormat = "");
  BOOL GetValue(COleDateTime& time);
  BOOL GetValue(COleCurrency& cyValue);
  BOOL GetValue(_variant_t& vtValue);
  // Guarded forms (trace "Warning: GetValue 方法..."): text by GetValueString's display rules,
  // bool, BYTE and short through the converters.
  BOOL GetValueString(CString& strValue);
  BOOL GetValue(bool& bValue);
  BOOL GetValue(BYTE& byValue);
  BOOL GetValue(short& sValue);

  BOOL SetName(CString strName);  // also stores the name
  CString GetName();              // empty after a trace
  BOOL SetType(int nType);
  int GetType();  // 0 after a trace
  BOOL SetDirection(int nDirection);
  int GetDirection();  // 0 after a trace
  long GetSize();      // -1 after a trace
  BOOL SetSize(long lSize);

  _ParameterPtr GetParameter() { return m_pParameter; }
  // Replaces the ADO parameter this object wraps (CADOCommand's operator [] uses it).
  void Attach(_ParameterPtr pParameter) { m_pParameter = pParameter; }

  CString GetLastErrorString() const { return m_strLastError; }
  DWORD GetLastErrorCode() const { return m_dwLastError; }

 protected:
  void dump_com_error(_com_error& e);

  _ParameterPtr m_pParameter;
  CString m_strName;
  int m_nType;
  CString m_strLastError;
  DWORD m_dwLastError;

 private:
  // dump_com_error as the error guard's report (ADOGuard.h).
  auto Report() {
    return [this](_com_error& e) { dump_com_error(e); };
  }
  BOOL Put(const _variant_t& value, long sizeIfZero, bool guarded);
  BOOL Get(_variant_t& value, bool guarded);
};
