// The core of the MFC 4.2-compatible class library (library kpmfc): CObject and run-time class
// information, the diagnostic macros (TRACE, ASSERT, VERIFY, ASSERT_VALID), CException and the
// simple exceptions, CString, and (through afxcoll.h) the non-template collections.
//
// This is an ANSI build: TCHAR is char and narrow text is GBK (code page 936). CString is a
// reference-counted GBK byte string; every byte-wise operation that looks at characters
// (case mapping, searching, trimming, reversing) steps over double-byte characters whole, as
// MFC's _MBCS build does. Lengths and indexes are in bytes, as in MFC.
//
// Diagnostics are active in every build (there is no separate debug library here):
// - TRACE formats with printf rules (see CString::FormatV) and writes to OutputDebugStringA,
//   i.e. to the platform's trace sink.
// - ASSERT(f) evaluates f; when it is false it writes "Assertion failed: FILE(LINE)\n" to the
//   trace sink and CONTINUES. Windows' debug MFC would stop in a dialog; a plug-in running in a
//   batch host must not abort the process, and the release build carries on anyway.
// - VERIFY(f) is ASSERT(f); ASSERT_VALID(p) asserts p is not null, then calls p->AssertValid().
//
// Where MFC's classes are spread over this header, afxcoll.h, afxtempl.h and afxstate.h, the
// implementation has one .cpp file per class in platform/mfc/.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <new>

#include "windows.h"
#include "debugapi.h"

#ifndef AFXAPI
#define AFXAPI
#endif
#ifndef PASCAL
#define PASCAL
#endif
#define AFX_CDECL
#define AFX_DATA
#define AFX_API_EXPORT KPAPI
#define AFX_INLINE inline
#define AFX_STATIC static
#define AFX_STATIC_DATA static

typedef UINT* PUINT;
struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)-1L)

// Message-box types used by CException::ReportError and AfxMessageBox (winuser.h has them all).
#ifndef MB_OK
#define MB_OK 0x00000000L
#endif

class CObject;
class CString;
class CArchive;  // serialization to archives is not provided; Serialize is part of the interface
class CDumpContext;

/////////////////////////////////////////////////////////////////////////////
// Run-time class information

struct KPAPI CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;                         // 0xFFFF for classes that are not serializable
  CObject*(PASCAL* m_pfnCreateObject)();  // null for classes that are not dynamically creatable
  const CRuntimeClass* m_pBaseClass;      // null for CObject
  const CRuntimeClass* m_pNextClass;      // not used (no class list is kept)

  // Answers a new object of this class, or null (with a trace) when the class has no
  // DECLARE_DYNCREATE or the allocation failed.
  CObject* CreateObject() const;
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) ((CRuntimeClass*)(&class_name::class##class_name))

#define DECLARE_DYNAMIC(class_name)             \
 public:                                        \
  static const CRuntimeClass class##class_name; \
  virtual CRuntimeClass* GetRuntimeClass() const;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* PASCAL CreateObject();

#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew)                            \
  const CRuntimeClass class_name::class##class_name = {                                                 \
      #class_name, sizeof(class class_name), wSchema, pfnNew, RUNTIME_CLASS(base_class_name), nullptr}; \
  CRuntimeClass* class_name::GetRuntimeClass() const {                                                  \
    return RUNTIME_CLASS(class_name);                                                                   \
  }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
  CObject* PASCAL class_name::CreateObject() {           \
    return new class_name;                               \
  }                                                      \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema) \
  CObject* PASCAL class_name::CreateObject() {                 \
    return new class_name;                                     \
  }                                                            \
  IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject)

/////////////////////////////////////////////////////////////////////////////
// CObject: the root of the class library. Not copyable, as in MFC. Virtual slots in MFC's
// order: GetRuntimeClass, the destructor, Serialize, AssertValid, Dump.

class KPAPI CObject {
 public:
  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;

 protected:
  CObject() = default;

 private:
  CObject(const CObject&) = delete;
  void operator=(const CObject&) = delete;

 public:
  BOOL IsSerializable() const;
  BOOL IsKindOf(const CRuntimeClass* pClass) const;
  // CObject itself has nothing to store; MFC documents its Serialize as doing nothing.
  virtual void Serialize(CArchive& ar);
  virtual void AssertValid() const;
  virtual void Dump(CDumpContext& dc) const;

  static const CRuntimeClass classCObject;
};

#define ASSERT_KINDOF(class_name, object) ASSERT((object)->IsKindOf(RUNTIME_CLASS(class_name)))
#define DYNAMIC_DOWNCAST(class_name, object) \
  ((class_name*)AfxDynamicDownCast(RUNTIME_CLASS(class_name), (CObject*)(object)))
#define STATIC_DOWNCAST(class_name, object) (static_cast<class_name*>(object))
KPAPI CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject);

/////////////////////////////////////////////////////////////////////////////
// Diagnostics

// CDumpContext writes what Dump produces to the trace sink (afxDump). Minimal: text and numbers.
class KPAPI CDumpContext {
 public:
  CDumpContext() = default;
  int GetDepth() const { return m_nDepth; }
  void SetDepth(int nNewDepth) { m_nDepth = nNewDepth; }
  CDumpContext& operator<<(LPCSTR lpsz);
  CDumpContext& operator<<(const CString& str);
  CDumpContext& operator<<(const void* lp);
  CDumpContext& operator<<(const CObject* pOb);
  CDumpContext& operator<<(const CObject& ob);
  CDumpContext& operator<<(BYTE by);
  CDumpContext& operator<<(WORD w);
  CDumpContext& operator<<(UINT u);
  CDumpContext& operator<<(int n);
  CDumpContext& operator<<(LONGLONG n);
  CDumpContext& operator<<(ULONGLONG n);
  CDumpContext& operator<<(double d);
  void HexDump(LPCSTR lpszLine, BYTE* pby, int nBytes, int nWidth);
  void Flush() {}

 private:
  int m_nDepth = 0;
};
extern KPAPI CDumpContext afxDump;

// Formats with CString::FormatV rules and writes the text to OutputDebugStringA.
KPAPI void AFX_CDECL AfxTrace(LPCSTR lpszFormat, ...);
// Writes "Assertion failed: FILE(LINE)\n" to the trace sink; answers FALSE (never "break").
KPAPI BOOL AFXAPI AfxAssertFailedLine(LPCSTR lpszFileName, int nLine);
KPAPI void AFXAPI AfxAssertValidObject(const CObject* pOb, LPCSTR lpszFileName, int nLine);
// Without memory protection information these check only what can be checked: a non-null
// pointer (a zero-byte range is always valid). nLength -1 means NUL-terminated.
KPAPI BOOL AFXAPI AfxIsValidString(LPCSTR lpsz, int nLength = -1);
KPAPI BOOL AFXAPI AfxIsValidString(LPCWSTR lpsz, int nLength = -1);
KPAPI BOOL AFXAPI AfxIsValidAddress(const void* lp, UINT nBytes, BOOL bReadWrite = TRUE);

#define TRACE ::AfxTrace
#define TRACE0(sz) ::AfxTrace("%s", sz)
#define TRACE1(sz, p1) ::AfxTrace(sz, p1)
#define TRACE2(sz, p1, p2) ::AfxTrace(sz, p1, p2)
#define TRACE3(sz, p1, p2, p3) ::AfxTrace(sz, p1, p2, p3)
#define ASSERT(f)                                        \
  do {                                                   \
    if (!(f)) ::AfxAssertFailedLine(__FILE__, __LINE__); \
  } while (0)
#define VERIFY(f) ASSERT(f)
#define ASSERT_VALID(pOb) (::AfxAssertValidObject((const CObject*)(pOb), __FILE__, __LINE__))
#define DEBUG_ONLY(f) (f)
#define THIS_FILE __FILE__

/////////////////////////////////////////////////////////////////////////////
// Exceptions. MFC code throws heap-allocated exception objects by pointer and the catcher
// calls Delete(). The TRY/CATCH macros map onto C++ try/catch; CATCH does not delete the
// exception (call e->Delete() in the handler, as current MFC code does).

class KPAPI CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  CException();
  explicit CException(BOOL bAutoDelete);
  ~CException() override = default;

  // Deletes the object when it was made with automatic deletion (heap objects); a static or
  // stack exception (m_bAutoDelete FALSE) survives.
  void Delete();
  // Copies the message, cut to nMaxError-1 bytes at a character boundary, and answers TRUE;
  // CException itself has no message: it writes "" and answers FALSE.
  virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);
  // Shows the message (or string resource nMessageID when there is none, or "No error message
  // is available.") with AfxMessageBox and answers the box's result.
  virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

  BOOL m_bAutoDelete;
};

// An exception whose message is a fixed text (a string resource in MFC).
class KPAPI CSimpleException : public CException {
  DECLARE_DYNAMIC(CSimpleException)
 public:
  CSimpleException();
  explicit CSimpleException(BOOL bAutoDelete);
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

 protected:
  // The text shown when no string resource overrides it.
  virtual LPCSTR GetDefaultMessage() const { return nullptr; }
};

class KPAPI CMemoryException : public CSimpleException {
  DECLARE_DYNAMIC(CMemoryException)
 public:
  CMemoryException() = default;
  explicit CMemoryException(BOOL bAutoDelete) : CSimpleException(bAutoDelete) {}

 protected:
  LPCSTR GetDefaultMessage() const override;
};

class KPAPI CNotSupportedException : public CSimpleException {
  DECLARE_DYNAMIC(CNotSupportedException)
 public:
  CNotSupportedException() = default;
  explicit CNotSupportedException(BOOL bAutoDelete) : CSimpleException(bAutoDelete) {}

 protected:
  LPCSTR GetDefaultMessage() const override;
};

class KPAPI CInvalidArgException : public CSimpleException {
  DECLARE_DYNAMIC(CInvalidArgException)
 public:
  CInvalidArgException() = default;
  explicit CInvalidArgException(BOOL bAutoDelete) : CSimpleException(bAutoDelete) {}

 protected:
  LPCSTR GetDefaultMessage() const override;
};

// As in MFC, the memory exception thrown is one preallocated object (allocating one could fail
// too), not auto-deleted; the other two throw new heap objects.
[[noreturn]] KPAPI void AFXAPI AfxThrowMemoryException();
[[noreturn]] KPAPI void AFXAPI AfxThrowNotSupportedException();
[[noreturn]] KPAPI void AFXAPI AfxThrowInvalidArgException();

#define TRY try {
#define CATCH(class_name, e) \
  }                          \
  catch (class_name * e) {
#define AND_CATCH(class_name, e) \
  }                              \
  catch (class_name * e) {
#define END_CATCH }
#define CATCH_ALL(e) \
  }                  \
  catch (CException * e) {
#define AND_CATCH_ALL(e) \
  }                      \
  catch (CException * e) {
#define END_CATCH_ALL }
#define THROW(e) throw e
#define THROW_LAST() throw

/////////////////////////////////////////////////////////////////////////////
// CString: a reference-counted GBK byte string (copy on write), one pointer wide.
//
// Note for code ported from Windows: passing a CString itself through "..." (Format, TRACE,
// printf) does not work with g++ (the object is passed by invisible reference); cast it, as
// MFC's documentation asks anyway: (LPCTSTR)str.

class KPAPI CString {
 public:
  CString();
  CString(const CString& stringSrc);
  CString(CString&& stringSrc) noexcept;
  CString(TCHAR ch, int nRepeat = 1);
  CString(LPCSTR lpsz);  // nullptr gives the empty string; MAKEINTRESOURCE(id) loads string id
  CString(LPCSTR lpch, int nLength);
  CString(const unsigned char* psz);
  CString(LPCWSTR lpsz);  // UTF-16 converted to GBK (code page 936); nullptr gives ""
  CString(LPCWSTR lpch, int nLength);
  ~CString();

  int GetLength() const { return GetData()->nDataLength; }
  BOOL IsEmpty() const { return GetData()->nDataLength == 0; }
  void Empty();
  TCHAR GetAt(int nIndex) const;
  TCHAR operator[](int nIndex) const { return GetAt(nIndex); }
  void SetAt(int nIndex, TCHAR ch);
  operator LPCTSTR() const { return m_pchData; }

  const CString& operator=(const CString& stringSrc);
  const CString& operator=(CString&& stringSrc) noexcept;
  const CString& operator=(TCHAR ch);
  const CString& operator=(LPCSTR lpsz);
  const CString& operator=(LPCWSTR lpsz);
  const CString& operator=(const unsigned char* psz);

  const CString& operator+=(const CString& string);
  const CString& operator+=(TCHAR ch);
  const CString& operator+=(LPCTSTR lpsz);

  friend KPAPI CString AFXAPI operator+(const CString& string1, const CString& string2);
  friend KPAPI CString AFXAPI operator+(const CString& string, TCHAR ch);
  friend KPAPI CString AFXAPI operator+(TCHAR ch, const CString& string);
  friend KPAPI CString AFXAPI operator+(const CString& string, LPCTSTR lpsz);
  friend KPAPI CString AFXAPI operator+(LPCTSTR lpsz, const CString& string);

  // Byte-wise comparison (strcmp). The NoCase forms fold ASCII letters only, and never a
  // trail byte. Collate uses the C locale's order, which for GBK is the byte order as well.
  int Compare(LPCTSTR lpsz) const;
  int CompareNoCase(LPCTSTR lpsz) const;
  int Collate(LPCTSTR lpsz) const;
  int CollateNoCase(LPCTSTR lpsz) const;

  // Extraction in bytes, as MFC does; counts are clamped to the string.
  CString Mid(int nFirst, int nCount) const;
  CString Mid(int nFirst) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;
  CString SpanIncluding(LPCTSTR lpszCharSet) const;
  CString SpanExcluding(LPCTSTR lpszCharSet) const;

  void MakeUpper();
  void MakeLower();
  void MakeReverse();  // by characters: a double-byte character keeps its byte order

  int Replace(TCHAR chOld, TCHAR chNew);
  int Replace(LPCTSTR lpszOld, LPCTSTR lpszNew);
  int Remove(TCHAR chRemove);
  int Insert(int nIndex, TCHAR ch);
  int Insert(int nIndex, LPCTSTR pstr);
  int Delete(int nIndex, int nCount = 1);

  // printf rules as Microsoft's run-time library has them for this ANSI build: %s takes a
  // char*, and the length modifier l means 32 bits (Windows' long), so "%ld"/"%lx" read an int;
  // %I64d, %I32d and %lld are also understood. Format(UINT id, ...) takes the format from the
  // current module's string table.
  void AFX_CDECL Format(LPCTSTR lpszFormat, ...);
  void AFX_CDECL Format(UINT nFormatID, ...);
  void FormatV(LPCTSTR lpszFormat, va_list argList);
  void AFX_CDECL AppendFormat(LPCTSTR lpszFormat, ...);
  void AppendFormatV(LPCTSTR lpszFormat, va_list argList);

  // White space is the single-byte set " \t\n\v\f\r"; a lead byte is never white space.
  CString& Trim();
  CString& Trim(TCHAR chTarget);
  CString& Trim(LPCTSTR lpszTargets);
  void TrimRight();
  void TrimRight(TCHAR chTarget);
  void TrimRight(LPCTSTR lpszTargetList);
  void TrimLeft();
  void TrimLeft(TCHAR chTarget);
  void TrimLeft(LPCTSTR lpszTargets);

  // Searches match at character boundaries only (a trail byte is never found). -1: not found.
  int Find(TCHAR ch) const;
  int Find(TCHAR ch, int nStart) const;
  int Find(LPCTSTR lpszSub) const;
  int Find(LPCTSTR lpszSub, int nStart) const;
  int ReverseFind(TCHAR ch) const;
  int FindOneOf(LPCTSTR lpszCharSet) const;

  LPTSTR GetBuffer(int nMinBufLength);
  LPTSTR GetBuffer() { return GetBuffer(0); }
  void ReleaseBuffer(int nNewLength = -1);  // -1: the length is up to the first NUL
  LPTSTR GetBufferSetLength(int nNewLength);
  void FreeExtra();
  LPTSTR LockBuffer();  // the buffer stays this object's own until UnlockBuffer
  void UnlockBuffer();

  // BSTR in UTF-16, converted from GBK; the caller frees it with SysFreeString.
  BSTR AllocSysString() const;
  BSTR SetSysString(BSTR* pbstr) const;

  // Loads string nID from the current module state's string table. Answers FALSE (and leaves
  // the string empty) when the table has no such string.
  BOOL LoadString(UINT nID);

 private:
  struct Data {
    int nRefs;  // -1: locked (LockBuffer)
    int nDataLength;
    int nAllocLength;
    int nReserved;  // keeps the text 16-byte aligned
    char* data() { return reinterpret_cast<char*>(this + 1); }
  };
  Data* GetData() const { return reinterpret_cast<Data*>(m_pchData) - 1; }
  void Init();
  void AllocBuffer(int nLen);
  void Release();
  static void DropBuffer(char* pchData);  // drops one reference to a buffer (frees a locked one)
  void CopyBeforeWrite();
  void AllocBeforeWrite(int nLen);
  void AssignCopy(int nSrcLen, LPCTSTR lpszSrcData);
  void ConcatInPlace(int nSrcLen, LPCTSTR lpszSrcData);
  static void ConcatCopy(CString& dest, int nSrc1Len, LPCTSTR lpszSrc1Data, int nSrc2Len,
                         LPCTSTR lpszSrc2Data);
  void TrimRightRange(LPCTSTR lpszTargets, int nTargets, bool whiteSpace);
  void TrimLeftRange(LPCTSTR lpszTargets, int nTargets, bool whiteSpace);

  LPTSTR m_pchData;
};
static_assert(sizeof(CString) == sizeof(char*));

KPAPI bool AFXAPI operator==(const CString& s1, const CString& s2);
KPAPI bool AFXAPI operator==(const CString& s1, LPCTSTR s2);
KPAPI bool AFXAPI operator==(LPCTSTR s1, const CString& s2);
KPAPI bool AFXAPI operator!=(const CString& s1, const CString& s2);
KPAPI bool AFXAPI operator!=(const CString& s1, LPCTSTR s2);
KPAPI bool AFXAPI operator!=(LPCTSTR s1, const CString& s2);
KPAPI bool AFXAPI operator<(const CString& s1, const CString& s2);
KPAPI bool AFXAPI operator<(const CString& s1, LPCTSTR s2);
KPAPI bool AFXAPI operator<(LPCTSTR s1, const CString& s2);
KPAPI bool AFXAPI operator>(const CString& s1, const CString& s2);
KPAPI bool AFXAPI operator>(const CString& s1, LPCTSTR s2);
KPAPI bool AFXAPI operator>(LPCTSTR s1, const CString& s2);
KPAPI bool AFXAPI operator<=(const CString& s1, const CString& s2);
KPAPI bool AFXAPI operator<=(const CString& s1, LPCTSTR s2);
KPAPI bool AFXAPI operator<=(LPCTSTR s1, const CString& s2);
KPAPI bool AFXAPI operator>=(const CString& s1, const CString& s2);
KPAPI bool AFXAPI operator>=(const CString& s1, LPCTSTR s2);
KPAPI bool AFXAPI operator>=(LPCTSTR s1, const CString& s2);

// GBK helpers shared by the library: whether byte c starts a double-byte character, and the
// length in bytes of the character at p (1 or 2; a lead byte before the NUL counts as 1).
inline bool AfxIsGbkLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}
inline int AfxGbkCharLength(const char* p) {
  return (AfxIsGbkLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

#include "afxcoll.h"
