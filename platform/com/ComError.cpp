// The out-of-line parts of the compiler COM support (<comdef.h>, <comutil.h>): _com_error,
// the error hooks _com_issue_error(ex) and _com_raise_error, the GBK <-> BSTR converters of
// _com_util, _variant_t equality and vtMissing.
//
// Documented behaviour followed: _com_issue_errorex attaches the thread's error object only
// when punk implements ISupportErrorInfo and answers S_OK for riid (otherwise the exception
// carries none, and the thread's object stays where it is). ErrorMessage: see comdef.h.
#include <cstdio>
#include <cstring>

#include "comdef.h"
#include "winbase.h"
#include "winnls.h"

namespace {

void(__stdcall* g_errorHandler)(HRESULT, IErrorInfo*) = nullptr;

}  // namespace

_variant_t vtMissing(DISP_E_PARAMNOTFOUND, VT_ERROR);

_com_error::_com_error(HRESULT hr, IErrorInfo* perrinfo, bool fAddRef) noexcept
    : m_hresult(hr), m_perrinfo(perrinfo), m_pszMsg(nullptr) {
  if (m_perrinfo && fAddRef) m_perrinfo->AddRef();
}

_com_error::_com_error(const _com_error& that) noexcept
    : m_hresult(that.m_hresult), m_perrinfo(that.m_perrinfo), m_pszMsg(nullptr) {
  if (m_perrinfo) m_perrinfo->AddRef();
}

_com_error& _com_error::operator=(const _com_error& that) noexcept {
  if (this != &that) {
    if (that.m_perrinfo) that.m_perrinfo->AddRef();
    if (m_perrinfo) m_perrinfo->Release();
    if (m_pszMsg) LocalFree(m_pszMsg);
    m_hresult = that.m_hresult;
    m_perrinfo = that.m_perrinfo;
    m_pszMsg = nullptr;
  }
  return *this;
}

_com_error::~_com_error() noexcept {
  if (m_perrinfo) m_perrinfo->Release();
  if (m_pszMsg) LocalFree(m_pszMsg);
}

IErrorInfo* _com_error::ErrorInfo() const noexcept {
  if (m_perrinfo) m_perrinfo->AddRef();
  return m_perrinfo;
}

_bstr_t _com_error::Description() const {
  BSTR b = nullptr;
  if (m_perrinfo) m_perrinfo->GetDescription(&b);
  return _bstr_t(b, false);
}

_bstr_t _com_error::Source() const {
  BSTR b = nullptr;
  if (m_perrinfo) m_perrinfo->GetSource(&b);
  return _bstr_t(b, false);
}

_bstr_t _com_error::HelpFile() const {
  BSTR b = nullptr;
  if (m_perrinfo) m_perrinfo->GetHelpFile(&b);
  return _bstr_t(b, false);
}

DWORD _com_error::HelpContext() const noexcept {
  DWORD context = 0;
  if (m_perrinfo) m_perrinfo->GetHelpContext(&context);
  return context;
}

::GUID _com_error::GUID() const noexcept {
  ::GUID g = GUID_NULL;
  if (m_perrinfo) m_perrinfo->GetGUID(&g);
  return g;
}

const TCHAR* _com_error::ErrorMessage() const noexcept {
  if (m_pszMsg) return m_pszMsg;
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(m_hresult), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (n > 0 && text) {
    size_t len = std::strlen(text);
    while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r')) text[--len] = 0;
    m_pszMsg = text;
    return m_pszMsg;
  }
  m_pszMsg = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, 32));
  if (!m_pszMsg) return "";
  const WORD wCode = WCode();
  if (wCode != 0) {
    std::snprintf(m_pszMsg, 32, "IDispatch error #%d", wCode);
  } else {
    std::snprintf(m_pszMsg, 32, "Unknown error 0x%0lX",
                  static_cast<unsigned long>(static_cast<uint32_t>(m_hresult)));
  }
  return m_pszMsg;
}

void __stdcall _com_raise_error(HRESULT hr, IErrorInfo* perrinfo) {
  throw _com_error(hr, perrinfo);
}

void __stdcall _set_com_error_handler(void(__stdcall* pHandler)(HRESULT hr, IErrorInfo* perrinfo)) {
  g_errorHandler = pHandler;
}

void __stdcall _com_issue_error(HRESULT hr) {
  if (g_errorHandler) {
    g_errorHandler(hr, nullptr);
    return;
  }
  _com_raise_error(hr, nullptr);
}

void __stdcall _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid) {
  IErrorInfo* info = nullptr;
  if (punk) {
    ISupportErrorInfo* support = nullptr;
    if (SUCCEEDED(punk->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) &&
        support) {
      if (support->InterfaceSupportsErrorInfo(riid) == S_OK && GetErrorInfo(0, &info) != S_OK) info = nullptr;
      support->Release();
    }
  }
  if (g_errorHandler) {
    g_errorHandler(hr, info);
    return;
  }
  _com_raise_error(hr, info);
}

namespace _com_util {

BSTR __stdcall ConvertStringToBSTR(const char* pSrc) {
  if (!pSrc) return nullptr;
  const std::u16string wide = kp::Widen(pSrc, std::strlen(pSrc));
  BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!b) _com_issue_error(E_OUTOFMEMORY);
  return b;
}

char* __stdcall ConvertBSTRToString(BSTR pSrc) {
  if (!pSrc) return nullptr;
  const std::string narrow = kp::Narrow(pSrc, static_cast<size_t>(SysStringLen(pSrc)));
  char* out = new char[narrow.size() + 1];
  std::memcpy(out, narrow.c_str(), narrow.size() + 1);
  return out;
}

}  // namespace _com_util

namespace kp {

bool VariantEqual(const VARIANT* a, const VARIANT* b) {
  if (a == b) return true;
  if (!a || !b || a->vt != b->vt) return false;
  if (a->vt & (VT_BYREF | VT_ARRAY)) return a->byref == b->byref;
  switch (a->vt) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_BSTR: {
      const UINT la = SysStringByteLen(a->bstrVal);
      return la == SysStringByteLen(b->bstrVal) && (la == 0 || std::memcmp(a->bstrVal, b->bstrVal, la) == 0);
    }
    case VT_DECIMAL:
      return std::memcmp(&a->decVal.signscale, &b->decVal.signscale, sizeof(DECIMAL) - 2) == 0;
    case VT_R4:
      return a->fltVal == b->fltVal;
    case VT_R8:
    case VT_DATE:
      return a->dblVal == b->dblVal;
    default: {
      size_t size = 8;  // the value bytes of the type; interfaces compare by address
      switch (a->vt) {
        case VT_I1:
        case VT_UI1:
          size = 1;
          break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
          size = 2;
          break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
          size = 4;
          break;
        default:
          break;
      }
      return std::memcmp(&a->llVal, &b->llVal, size) == 0;
    }
  }
}

}  // namespace kp
