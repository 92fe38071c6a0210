// OLE Automation's API: BSTR allocation, VARIANT handling and conversion (VariantChangeType and
// the Var*From* family), SAFEARRAYs, error information and the DATE/SYSTEMTIME conversions.
//
// Where Windows takes its text rules from the locale, this platform has one fixed locale, the
// one of its ANSI code page 936 (Chinese, PRC; LCID 2052) with these choices, whatever lcid is
// passed:
//   numbers   '.' is the decimal point, ',' the thousands separator (accepted, never written);
//             R8 is written with 15 significant digits, R4 with 7 (printf "%.15G"/"%.7G", so
//             1E+16 and 1E-05 use an exponent), CY and DECIMAL without trailing zeros.
//   booleans  VT_BOOL becomes "-1"/"0" by default, "True"/"False" with VARIANT_ALPHABOOL (and
//             from VarBstrFromBool); "True"/"False" (any case), "#TRUE#"/"#FALSE#" and numbers
//             are read back.
//   dates     written "yyyy/M/d H:mm:ss" (zh-CN short date, long time); the time is left out at
//             midnight and the date when it is 1899-12-30 (so 0.0 is "0:00:00"). Read: "y-M-d"
//             or "y/M/d" with a 4-digit year, optionally followed (blank or 'T') by "H:mm",
//             "H:mm:ss" or "H:mm:ss.fff" and an optional "AM"/"PM"; or a time alone.
//   text      narrow text is GBK; BSTRs are UTF-16.
#pragma once
#include "oaidl.h"
#include "winbase.h"

// VariantChangeType(Ex) flags.
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_CALENDAR_HIJRI 0x08
#define VARIANT_LOCALBOOL 0x10

// Var*From* flags.
#define VAR_TIMEVALUEONLY ((DWORD)0x00000001)
#define VAR_DATEVALUEONLY ((DWORD)0x00000002)
#define VAR_VALIDDATE ((DWORD)0x00000004)
#define VAR_CALENDAR_HIJRI ((DWORD)0x00000008)
#define VAR_LOCALBOOL ((DWORD)0x00000010)
#define VAR_FORMAT_NOSUBSTITUTE ((DWORD)0x00000020)
#define VAR_FOURDIGITYEARS ((DWORD)0x00000040)
#define LOCALE_NOUSEROVERRIDE 0x80000000

#define VARCMP_LT 0
#define VARCMP_EQ 1
#define VARCMP_GT 2
#define VARCMP_NULL 3

#ifndef NORM_IGNORECASE
#define NORM_IGNORECASE 0x00000001
#endif

// Element accessors, as in the SDK.
#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_UI1(X) ((X)->bVal)
#define V_I1(X) ((X)->cVal)
#define V_I2(X) ((X)->iVal)
#define V_UI2(X) ((X)->uiVal)
#define V_I4(X) ((X)->lVal)
#define V_UI4(X) ((X)->ulVal)
#define V_I8(X) ((X)->llVal)
#define V_UI8(X) ((X)->ullVal)
#define V_INT(X) ((X)->intVal)
#define V_UINT(X) ((X)->uintVal)
#define V_R4(X) ((X)->fltVal)
#define V_R8(X) ((X)->dblVal)
#define V_CY(X) ((X)->cyVal)
#define V_DATE(X) ((X)->date)
#define V_BSTR(X) ((X)->bstrVal)
#define V_BOOL(X) ((X)->boolVal)
#define V_ERROR(X) ((X)->scode)
#define V_UNKNOWN(X) ((X)->punkVal)
#define V_DISPATCH(X) ((X)->pdispVal)
#define V_ARRAY(X) ((X)->parray)
#define V_BYREF(X) ((X)->byref)
#define V_VARIANTREF(X) ((X)->pvarVal)
#define V_DECIMAL(X) ((X)->decVal)
#define V_I4REF(X) ((X)->plVal)
#define V_BSTRREF(X) ((X)->pbstrVal)

extern "C" {

// --- BSTR: a 4-byte byte count before the text, a 16-bit NUL after it (not counted), embedded
// NULs allowed; a NULL BSTR is the empty string.
KPAPI BSTR WINAPI SysAllocString(const OLECHAR* psz);
KPAPI BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);  // strIn NULL: ui zeroed characters
KPAPI BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);       // psz NULL: len zeroed bytes
KPAPI INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
KPAPI INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
KPAPI void WINAPI SysFreeString(BSTR bstrString);
KPAPI UINT WINAPI SysStringLen(BSTR pbstr);
KPAPI UINT WINAPI SysStringByteLen(BSTR bstr);

// --- VARIANT
KPAPI void WINAPI VariantInit(VARIANTARG* pvarg);
KPAPI HRESULT WINAPI VariantClear(VARIANTARG* pvarg);
KPAPI HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
KPAPI HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
// Windows rules: the source may be VT_BYREF; dest may equal src (converted in place); a failure
// leaves dest untouched. Out of range: DISP_E_OVERFLOW; VT_NULL to anything but VT_NULL, and
// pairs without a conversion: DISP_E_TYPEMISMATCH; VT_EMPTY gives 0, "" or VARIANT_FALSE.
// Floating values become integers with round-half-to-even. VT_DISPATCH sources are read through
// their DISPID_VALUE property (unless VARIANT_NOVALUEPROP); VT_DISPATCH/VT_UNKNOWN targets use
// QueryInterface. VT_ARRAY|VT_UI1 and VT_BSTR convert into each other byte for byte.
KPAPI HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                                       VARTYPE vt);
KPAPI HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                                         USHORT wFlags, VARTYPE vt);
// VARCMP_LT/EQ/GT, or VARCMP_NULL when either side is VT_NULL. Strings compare by UTF-16 unit
// (NORM_IGNORECASE folds ASCII letters); numbers by value; a string against a number is read
// as a number first.
KPAPI HRESULT WINAPI VarCmp(LPVARIANT pvarLeft, LPVARIANT pvarRight, LCID lcid, ULONG dwFlags);

// --- DATE <-> SYSTEMTIME. VariantTimeToSystemTime rounds to the nearest second (wMilliseconds
// is 0); SystemTimeToVariantTime ignores wMilliseconds and wDayOfWeek and refuses fields out of
// range (no normalisation of, say, February 30). Both answer FALSE outside 100-01-01 ..
// 9999-12-31. Negative DATEs: the integer part counts days back from 1899-12-30, the fraction
// is always a time of day (-1.25 is 1899-12-29 06:00).
KPAPI INT WINAPI VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime);
KPAPI INT WINAPI SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime);

// --- SAFEARRAY. Bounds are stored as Windows stores them: rgsabound[0] of the descriptor is the
// right-most dimension; SafeArrayCreate takes them left-most first. The left-most index varies
// fastest in memory. SafeArrayRedim changes the right-most dimension only.
KPAPI SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
KPAPI SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
KPAPI HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa);
KPAPI UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa);
KPAPI UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa);
KPAPI HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
KPAPI HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
KPAPI HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
KPAPI HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa);
KPAPI HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa);
KPAPI HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
KPAPI HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa);
KPAPI HRESULT WINAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData);
// For VT_BSTR, VT_UNKNOWN and VT_DISPATCH arrays pv of PutElement is the BSTR or interface
// pointer itself; elements are copied (SysAllocString, VariantCopy, AddRef) both ways.
KPAPI HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
KPAPI HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
KPAPI HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
KPAPI HRESULT WINAPI SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew);
KPAPI HRESULT WINAPI BstrFromVector(SAFEARRAY* psa, BSTR* pbstr);  // VT_UI1 vector -> bytes
KPAPI HRESULT WINAPI VectorFromBstr(BSTR bstr, SAFEARRAY** ppsa);  // bytes -> VT_UI1 vector

// --- Error information, one object per thread. GetErrorInfo hands the object over and clears
// the slot; with none it answers S_FALSE and NULL.
KPAPI HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
KPAPI HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
KPAPI HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo);

// --- The Var*From* conversions: VarXFromY for every pair of the scalar types below, plus the
// Str (text), Dec (DECIMAL*), Disp (IDispatch*) sources and the Bstr and Dec targets. They follow
// VariantChangeType's rules.
#define KP_VAR_SCALAR_TYPES(M, ...)    \
  M(__VA_ARGS__, I1, CHAR, VT_I1)      \
  M(__VA_ARGS__, UI1, BYTE, VT_UI1)    \
  M(__VA_ARGS__, I2, SHORT, VT_I2)     \
  M(__VA_ARGS__, UI2, USHORT, VT_UI2)  \
  M(__VA_ARGS__, I4, LONG, VT_I4)      \
  M(__VA_ARGS__, UI4, ULONG, VT_UI4)   \
  M(__VA_ARGS__, I8, LONG64, VT_I8)    \
  M(__VA_ARGS__, UI8, ULONG64, VT_UI8) \
  M(__VA_ARGS__, R4, FLOAT, VT_R4)     \
  M(__VA_ARGS__, R8, DOUBLE, VT_R8)    \
  M(__VA_ARGS__, Cy, CY, VT_CY)        \
  M(__VA_ARGS__, Date, DATE, VT_DATE)  \
  M(__VA_ARGS__, Bool, VARIANT_BOOL, VT_BOOL)
#define KP_VAR_TARGET_TYPES(M) \
  M(I1, CHAR, VT_I1)           \
  M(UI1, BYTE, VT_UI1)         \
  M(I2, SHORT, VT_I2)          \
  M(UI2, USHORT, VT_UI2)       \
  M(I4, LONG, VT_I4)           \
  M(UI4, ULONG, VT_UI4)        \
  M(I8, LONG64, VT_I8)         \
  M(UI8, ULONG64, VT_UI8)      \
  M(R4, FLOAT, VT_R4)          \
  M(R8, DOUBLE, VT_R8)         \
  M(Cy, CY, VT_CY)             \
  M(Date, DATE, VT_DATE)       \
  M(Bool, VARIANT_BOOL, VT_BOOL)

#define KP_DECLARE_VAR_CELL(D, DT, DV, S, ST, SV) KPAPI HRESULT WINAPI Var##D##From##S(ST in, DT* out);
#define KP_DECLARE_VAR_ROW(D, DT, DV)                                                       \
  KP_VAR_SCALAR_TYPES(KP_DECLARE_VAR_CELL, D, DT, DV)                                       \
  KPAPI HRESULT WINAPI Var##D##FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DT* out); \
  KPAPI HRESULT WINAPI Var##D##FromDec(const DECIMAL* pdecIn, DT* out);                     \
  KPAPI HRESULT WINAPI Var##D##FromDisp(IDispatch* pdispIn, LCID lcid, DT* out);            \
  KPAPI HRESULT WINAPI VarDecFrom##D(DT in, DECIMAL* pdecOut);                              \
  KPAPI HRESULT WINAPI VarBstrFrom##D(DT in, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
KP_VAR_TARGET_TYPES(KP_DECLARE_VAR_ROW)
#undef KP_DECLARE_VAR_ROW
#undef KP_DECLARE_VAR_CELL

KPAPI HRESULT WINAPI VarDecFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DECIMAL* pdecOut);
KPAPI HRESULT WINAPI VarDecFromDisp(IDispatch* pdispIn, LCID lcid, DECIMAL* pdecOut);
KPAPI HRESULT WINAPI VarBstrFromDec(const DECIMAL* pdecIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
KPAPI HRESULT WINAPI VarBstrFromDisp(IDispatch* pdispIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);

}  // extern "C"

// The VB-style names some code uses for the INT type.
#define VarIntFromR8 VarI4FromR8
#define VarIntFromStr VarI4FromStr
#define VarR8FromInt VarR8FromI4
#define VarBstrFromInt VarBstrFromI4
