// OLE automation classes of the MFC 4.2-compatible library (kpmfc): COleDispatchDriver,
// COleVariant, COleException, COleDispatchException, COleDateTime, COleDateTimeSpan,
// COleCurrency, AfxOleInit. One .cpp file per class in platform/mfc/.
//
// InvokeHelper works as MFC's: the parameter-type string (VTS_*) describes the variable
// arguments; they go into DISPPARAMS in REVERSE order (last argument at index 0); a property
// put passes its value as the one named argument DISPID_PROPERTYPUT. Variable arguments are
// read as C++ promotes them: 8- to 32-bit integers and BOOL as int (LONG is 32-bit here),
// float as double; VTS_BSTR is a narrow (GBK) LPCSTR converted to a BSTR for the call,
// VTS_WBSTR an LPCOLESTR; VTS_CY a CY*, VTS_VARIANT a const VARIANT* (copied shallowly);
// VTS_Pxxx are pointers passed VT_BYREF (VTS_PI4: LONG*, VTS_PBOOL: VARIANT_BOOL*,
// VTS_PVARIANT: VARIANT*). The result is converted to vtRet (VariantChangeType) unless vtRet
// is VT_VARIANT, then stored through pvRet: VT_I2 short*, VT_I4 LONG*, VT_R8 double*, VT_BOOL
// BOOL*, VT_BSTR CString*, VT_DISPATCH LPDISPATCH* (the caller releases it), VT_VARIANT
// VARIANT* (the caller clears it), ... Failures throw heap exceptions, as MFC does:
// DISP_E_EXCEPTION a COleDispatchException* filled from EXCEPINFO (m_wCode, m_scError,
// m_strSource, m_strDescription, help file and context; pfnDeferredFillIn is called first);
// any other failure a COleException* with m_sc. Calling with no IDispatch attached throws a
// COleException with E_POINTER. Catchers call Delete().
#pragma once
#include <cstdarg>
#include <ctime>

#include "afxwin.h"
#include "oleauto.h"

class COleException;
class COleDateTimeSpan;
typedef const VARIANT* LPCVARIANT;

// Parameter-type bytes: the VARTYPE, with 0x40 (VT_MFCBYREF) for by-reference arguments.
#define VT_MFCBYREF 0x40
#define VT_BSTRA 14  // an LPCSTR argument, passed as a BSTR
#define VT_BSTRT VT_BSTRA
#define VTS_I2 "\x02"
#define VTS_I4 "\x03"
#define VTS_R4 "\x04"
#define VTS_R8 "\x05"
#define VTS_CY "\x06"
#define VTS_DATE "\x07"
#define VTS_WBSTR "\x08"
#define VTS_DISPATCH "\x09"
#define VTS_SCODE "\x0A"
#define VTS_BOOL "\x0B"
#define VTS_VARIANT "\x0C"
#define VTS_UNKNOWN "\x0D"
#define VTS_BSTR "\x0E"
#define VTS_I1 "\x10"
#define VTS_UI1 "\x11"
#define VTS_UI2 "\x12"
#define VTS_UI4 "\x13"
#define VTS_I8 "\x14"
#define VTS_UI8 "\x15"
#define VTS_INT "\x16"
#define VTS_UINT "\x17"
#define VTS_PI2 "\x42"
#define VTS_PI4 "\x43"
#define VTS_PR4 "\x44"
#define VTS_PR8 "\x45"
#define VTS_PCY "\x46"
#define VTS_PDATE "\x47"
#define VTS_PBSTR "\x48"
#define VTS_PDISPATCH "\x49"
#define VTS_PSCODE "\x4A"
#define VTS_PBOOL "\x4B"
#define VTS_PVARIANT "\x4C"
#define VTS_PUNKNOWN "\x4D"
#define VTS_PI1 "\x50"
#define VTS_PUI1 "\x51"
#define VTS_PUI2 "\x52"
#define VTS_PUI4 "\x53"
#define VTS_PI8 "\x54"
#define VTS_PUI8 "\x55"
#define VTS_NONE nullptr

/////////////////////////////////////////////////////////////////////////////
// Exceptions

class KPAPI COleException : public CException {
  DECLARE_DYNAMIC(COleException)
 public:
  COleException() : m_sc(S_OK) {}
  SCODE m_sc;
  // The system message of m_sc (FormatMessage), else "OLE error 0x........".
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
  // The SCODE an exception stands for: m_sc of a COleException, the m_scError of a
  // COleDispatchException (DISP_E_EXCEPTION if it is 0), E_OUTOFMEMORY for a memory
  // exception, E_NOTIMPL for not-supported, else E_UNEXPECTED.
  static SCODE PASCAL Process(const CException* pAnyException);
};

class KPAPI COleDispatchException : public CException {
  DECLARE_DYNAMIC(COleDispatchException)
 public:
  COleDispatchException(LPCTSTR lpszDescription, UINT nHelpID, WORD wCode);
  // m_strDescription (the source's own text).
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  WORD m_wCode;  // the server's error code (EXCEPINFO.wCode); 0 when m_scError is used
  SCODE m_scError;
  CString m_strSource;
  CString m_strDescription;
  CString m_strHelpFile;
  DWORD m_dwHelpContext;
};

[[noreturn]] KPAPI void AFXAPI AfxThrowOleException(SCODE sc);
[[noreturn]] KPAPI void AFXAPI AfxThrowOleDispatchException(WORD wCode, LPCTSTR lpszDescription,
                                                            UINT nHelpID = 0);
[[noreturn]] KPAPI void AFXAPI AfxThrowOleDispatchException(WORD wCode, UINT nDescriptionID,
                                                            UINT nHelpID = (UINT)-1);

/////////////////////////////////////////////////////////////////////////////
// COleDispatchDriver

class KPAPI COleDispatchDriver {
 public:
  COleDispatchDriver();
  // Takes over the reference (released at the end when bAutoRelease).
  COleDispatchDriver(LPDISPATCH lpDispatch, BOOL bAutoRelease = TRUE);
  // Shares the other driver's dispatch (AddRef'ed, auto release).
  COleDispatchDriver(const COleDispatchDriver& dispatchSrc);
  ~COleDispatchDriver();
  const COleDispatchDriver& operator=(const COleDispatchDriver& dispatchSrc);
  operator LPDISPATCH() { return m_lpDispatch; }

  // Creates the object (CoCreateInstance, CLSCTX_ALL) and takes its IDispatch. Failure answers
  // FALSE and, given pError, sets its m_sc (e.g. CO_E_CLASSSTRING for an unknown ProgID,
  // REGDB_E_CLASSNOTREG, CO_E_NOTINITIALIZED, E_NOINTERFACE).
  BOOL CreateDispatch(REFCLSID clsid, COleException* pError = nullptr);
  BOOL CreateDispatch(LPCTSTR lpszProgID, COleException* pError = nullptr);
  // Releases what is held (if auto release) and takes lpDispatch without AddRef.
  void AttachDispatch(LPDISPATCH lpDispatch, BOOL bAutoRelease = TRUE);
  // Hands the pointer over to the caller, who now owns the reference.
  LPDISPATCH DetachDispatch();
  // Releases the pointer when auto release, and forgets it.
  void ReleaseDispatch();

  void AFX_CDECL InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                              const BYTE* pbParamInfo, ...);
  void InvokeHelperV(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo,
                     va_list argList);
  void AFX_CDECL SetProperty(DISPID dwDispID, VARTYPE vtProp, ...);
  // SetProperty with a va_list (a platform addition, used by CWnd::SetProperty). VT_BSTR means
  // an LPCSTR value; VT_BYREF types take a pointer.
  void SetPropertyV(DISPID dwDispID, VARTYPE vtProp, va_list argList);
  void GetProperty(DISPID dwDispID, VARTYPE vtProp, void* pvProp) const;

  LPDISPATCH m_lpDispatch;
  BOOL m_bAutoRelease;
};

/////////////////////////////////////////////////////////////////////////////
// COleCurrency, COleDateTime, COleDateTimeSpan

class KPAPI COleCurrency {
 public:
  enum CurrencyStatus { valid = 0, invalid = 1, null = 2 };

  COleCurrency();
  COleCurrency(CURRENCY cySrc);
  COleCurrency(const VARIANT& varSrc);
  // units + fractionalUnits / 10,000: (4, 5000) is 4.5.
  COleCurrency(LONG nUnits, LONG nFractionalUnits);

  CURRENCY m_cur;
  CurrencyStatus m_status;

  CurrencyStatus GetStatus() const { return m_status; }
  void SetStatus(CurrencyStatus status) { m_status = status; }
  void SetCurrency(LONG nUnits, LONG nFractionalUnits);
  operator CURRENCY() const { return m_cur; }

  const COleCurrency& operator=(CURRENCY cySrc);
  const COleCurrency& operator=(const VARIANT& varSrc);  // converted; failure: invalid
  bool operator==(const COleCurrency& cur) const;
  bool operator!=(const COleCurrency& cur) const { return !(*this == cur); }
  bool operator<(const COleCurrency& cur) const;
  bool operator>(const COleCurrency& cur) const { return cur < *this; }
  bool operator<=(const COleCurrency& cur) const { return !(cur < *this); }
  bool operator>=(const COleCurrency& cur) const { return !(*this < cur); }
  // Arithmetic; overflow gives status invalid. An invalid or null operand makes the result so.
  COleCurrency operator+(const COleCurrency& cur) const;
  COleCurrency operator-(const COleCurrency& cur) const;
  COleCurrency operator-() const;
  COleCurrency operator*(LONG nOperand) const;
  COleCurrency operator/(LONG nOperand) const;
  const COleCurrency& operator+=(const COleCurrency& cur) { return *this = *this + cur; }
  const COleCurrency& operator-=(const COleCurrency& cur) { return *this = *this - cur; }

  // The text of VarBstrFromCy (no trailing zeros: "4.5"); "" for null; invalid: "Invalid
  // currency" is not MFC's, so the empty string is answered there as well.
  CString Format(DWORD dwFlags = 0, LCID lcid = LOCALE_USER_DEFAULT) const;
  // VarCyFromStr; a text that is not a number answers FALSE with status invalid.
  BOOL ParseCurrency(LPCTSTR lpszCurrency, DWORD dwFlags = 0, LCID lcid = LOCALE_USER_DEFAULT);
};

class KPAPI COleDateTimeSpan {
 public:
  enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTimeSpan() : m_span(0), m_status(valid) {}
  COleDateTimeSpan(double dblSpanSrc) : m_span(dblSpanSrc), m_status(valid) {}
  COleDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs);

  double m_span;  // days
  DateTimeSpanStatus m_status;

  DateTimeSpanStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeSpanStatus status) { m_status = status; }
  void SetDateTimeSpan(LONG lDays, int nHours, int nMins, int nSecs);
  double GetTotalDays() const { return m_span; }
  double GetTotalHours() const { return m_span * 24; }
  double GetTotalMinutes() const { return m_span * 24 * 60; }
  double GetTotalSeconds() const { return m_span * 24 * 60 * 60; }
  // The parts of the span rounded to the second; negative spans give negative parts.
  LONG GetDays() const;
  LONG GetHours() const;
  LONG GetMinutes() const;
  LONG GetSeconds() const;
  operator double() const { return m_span; }

  bool operator==(const COleDateTimeSpan& s) const { return m_span == s.m_span; }
  bool operator!=(const COleDateTimeSpan& s) const { return m_span != s.m_span; }
  bool operator<(const COleDateTimeSpan& s) const { return m_span < s.m_span; }
  bool operator>(const COleDateTimeSpan& s) const { return m_span > s.m_span; }
  COleDateTimeSpan operator+(const COleDateTimeSpan& s) const;
  COleDateTimeSpan operator-(const COleDateTimeSpan& s) const;
  COleDateTimeSpan operator-() const;
  // %D days, %H hours, %M minutes, %S seconds (two digits), %% a percent sign.
  CString Format(LPCTSTR pFormat) const;
};

class KPAPI COleDateTime {
 public:
  enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

  COleDateTime() : m_dt(0), m_status(valid) {}
  COleDateTime(DATE dtSrc) : m_dt(dtSrc), m_status(valid) {}
  COleDateTime(const VARIANT& varSrc);
  COleDateTime(time_t timeSrc);  // local time
  COleDateTime(const SYSTEMTIME& systimeSrc);
  COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);

  static COleDateTime PASCAL GetCurrentTime();  // local time, to the second

  DATE m_dt;
  DateTimeStatus m_status;

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }
  // Fields answer -1 (error) when the status is not valid or the value is out of range.
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday
  int GetDayOfYear() const;  // 1 = January 1
  BOOL GetAsSystemTime(SYSTEMTIME& sysTime) const;
  operator DATE() const { return m_dt; }

  // 0 and status valid on success; 1 and status invalid for a field out of range (years 100 to
  // 9999, no normalisation of day 31 in a short month and the like).
  int SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);
  int SetDate(int nYear, int nMonth, int nDay) { return SetDateTime(nYear, nMonth, nDay, 0, 0, 0); }
  int SetTime(int nHour, int nMin, int nSec) { return SetDateTime(1899, 12, 30, nHour, nMin, nSec); }

  const COleDateTime& operator=(DATE dtSrc);
  const COleDateTime& operator=(const VARIANT& varSrc);  // converted; failure: invalid
  const COleDateTime& operator=(time_t timeSrc);
  // Comparison by the moment in time (negative DATEs are read correctly: -1.25 < -1.0).
  bool operator==(const COleDateTime& date) const;
  bool operator!=(const COleDateTime& date) const { return !(*this == date); }
  bool operator<(const COleDateTime& date) const;
  bool operator>(const COleDateTime& date) const { return date < *this; }
  bool operator<=(const COleDateTime& date) const { return !(date < *this); }
  bool operator>=(const COleDateTime& date) const { return !(*this < date); }
  COleDateTime operator+(const COleDateTimeSpan& dateSpan) const;
  COleDateTime operator-(const COleDateTimeSpan& dateSpan) const;
  const COleDateTime& operator+=(const COleDateTimeSpan& dateSpan) { return *this = *this + dateSpan; }
  const COleDateTime& operator-=(const COleDateTimeSpan& dateSpan) { return *this = *this - dateSpan; }
  COleDateTimeSpan operator-(const COleDateTime& date) const;

  // The locale text of VarBstrFromDate ("yyyy/M/d H:mm:ss"; the time left out at midnight,
  // the date on 1899-12-30; flags VAR_DATEVALUEONLY / VAR_TIMEVALUEONLY). Null: ""; invalid:
  // "Invalid DateTime".
  CString Format(DWORD dwFlags = 0, LCID lcid = LOCALE_USER_DEFAULT) const;
  // strftime codes (%Y %m %d %H %M %S %A %B %a %b %y %j %p %c %x %X %%, and MFC's '#' flag
  // that drops leading zeros: %#d). Null: ""; invalid: "Invalid DateTime".
  CString Format(LPCTSTR lpszFormat) const;
  // MFC's Format(UINT nFormatID) is not provided: DWORD and UINT are one type on this platform,
  // so it would collide with Format(DWORD). Use Format(CString(MAKEINTRESOURCE(id))).
  // VarDateFromStr. A text that is not a date answers FALSE with status invalid.
  BOOL ParseDateTime(LPCTSTR lpszDate, DWORD dwFlags = 0, LCID lcid = LOCALE_USER_DEFAULT);
};

/////////////////////////////////////////////////////////////////////////////
// COleVariant: a VARIANT that clears itself.

class KPAPI COleVariant : public VARIANT {
 public:
  COleVariant();
  COleVariant(const VARIANT& varSrc);
  COleVariant(LPCVARIANT pSrc);
  COleVariant(const COleVariant& varSrc);
  // VT_BSTR (vtSrc VT_BSTR, UTF-16 from GBK) or VT_BSTRT (the narrow bytes kept in the BSTR).
  COleVariant(LPCTSTR lpszSrc);
  COleVariant(LPCTSTR lpszSrc, VARTYPE vtSrc);
  COleVariant(const CString& strSrc);
  COleVariant(BYTE nSrc);
  COleVariant(short nSrc, VARTYPE vtSrc = VT_I2);  // VT_I2 or VT_BOOL
  COleVariant(LONG lSrc, VARTYPE vtSrc = VT_I4);   // VT_I4, VT_ERROR or VT_BOOL
  COleVariant(long lSrc, VARTYPE vtSrc = VT_I4)
      : COleVariant(static_cast<LONG>(lSrc), vtSrc) {}  // LP64 `long`
  COleVariant(float fltSrc);
  COleVariant(double dblSrc, VARTYPE vtSrc = VT_R8);  // VT_R8 or VT_DATE
  COleVariant(const COleCurrency& curSrc);
  COleVariant(const COleDateTime& timeSrc);
  ~COleVariant();

  void Clear();
  // Converts in place (or from pSrc); failure throws COleException.
  void ChangeType(VARTYPE vartype, LPVARIANT pSrc = nullptr);
  // Takes over varSrc's value (varSrc becomes VT_EMPTY); Detach hands the value out.
  void Attach(VARIANT& varSrc);
  VARIANT Detach();
  void SetString(LPCTSTR lpszSrc, VARTYPE vtSrc);

  const COleVariant& operator=(const VARIANT& varSrc);
  const COleVariant& operator=(LPCVARIANT pSrc);
  const COleVariant& operator=(const COleVariant& varSrc);
  const COleVariant& operator=(LPCTSTR lpszSrc);
  const COleVariant& operator=(const CString& strSrc);
  const COleVariant& operator=(BYTE nSrc);
  const COleVariant& operator=(short nSrc);
  const COleVariant& operator=(LONG lSrc);
  const COleVariant& operator=(float fltSrc);
  const COleVariant& operator=(double dblSrc);
  const COleVariant& operator=(const COleCurrency& curSrc);
  const COleVariant& operator=(const COleDateTime& dateSrc);
  // Same type and value (strings by content, VT_EMPTY/VT_NULL by type).
  bool operator==(const VARIANT& varSrc) const;
  bool operator==(LPCVARIANT pSrc) const { return *this == *pSrc; }
  bool operator==(const COleVariant& varSrc) const { return *this == static_cast<const VARIANT&>(varSrc); }

  operator LPVARIANT() { return this; }
  operator LPCVARIANT() const { return this; }
};

// OLE for the application: OleInitialize on the calling thread; TRUE when it succeeded (S_OK or
// S_FALSE). AfxOleTerm balances it.
KPAPI BOOL AFXAPI AfxOleInit();
KPAPI void AFXAPI AfxOleTerm(BOOL bJustRevoke = FALSE);
