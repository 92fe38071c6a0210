// Compiler COM support: _com_error, _com_raise_error and the smart pointer typedefs of the
// standard interfaces (IUnknownPtr, IDispatchPtr, IErrorInfoPtr, ...), behaving as Microsoft
// documents <comdef.h>. Includes <comutil.h> (_bstr_t, _variant_t) and <comip.h> (_com_ptr_t).
//
// _com_error::ErrorMessage answers narrow GBK text (an ANSI build): the system message for the
// HRESULT with its trailing line break removed; for 0x80040200..0x8004FFFF, which have no
// system text, "IDispatch error #<WCode>"; otherwise "Unknown error 0x%0lX".
// The class is exported, so the exception crosses library boundaries.
#pragma once
#include "comip.h"

class KPAPI _com_error {
 public:
  // Takes over one reference of perrinfo unless fAddRef asks to add one.
  _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
  _com_error(const _com_error& that) noexcept;
  _com_error& operator=(const _com_error& that) noexcept;
  virtual ~_com_error() noexcept;

  HRESULT Error() const noexcept { return m_hresult; }
  WORD WCode() const noexcept { return HRESULTToWCode(m_hresult); }
  // The captured error object with a reference added (null when there is none).
  IErrorInfo* ErrorInfo() const noexcept;

  _bstr_t Description() const;
  _bstr_t Source() const;
  _bstr_t HelpFile() const;
  DWORD HelpContext() const noexcept;
  ::GUID GUID() const noexcept;
  const TCHAR* ErrorMessage() const noexcept;

  static HRESULT WCodeToHRESULT(WORD wCode) noexcept {
    return wCode >= 0xFE00 ? (HRESULT)0x80040200 : (HRESULT)(0x80040200u + wCode);
  }
  static WORD HRESULTToWCode(HRESULT hr) noexcept {
    return ((uint32_t)hr >= 0x80040200u && (uint32_t)hr <= 0x8004FFFFu) ? (WORD)((uint32_t)hr - 0x80040200u)
                                                                        : 0;
  }

 private:
  HRESULT m_hresult;
  IErrorInfo* m_perrinfo;
  mutable char* m_pszMsg;
};

// Throws _com_error(hr, perrinfo), taking over perrinfo's reference.
KPAPI void __stdcall _com_raise_error(HRESULT hr, IErrorInfo* perrinfo = nullptr);
// Replaces what _com_issue_error(ex) does (the default throws); pass nullptr to restore.
KPAPI void __stdcall _set_com_error_handler(void(__stdcall* pHandler)(HRESULT hr, IErrorInfo* perrinfo));

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IClassFactory, __uuidof(IClassFactory));
_COM_SMARTPTR_TYPEDEF(IDispatch, __uuidof(IDispatch));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, __uuidof(ICreateErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
_COM_SMARTPTR_TYPEDEF(ITypeInfo, __uuidof(ITypeInfo));
