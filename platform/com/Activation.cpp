// Activation and identifiers: CoCreateInstance and CoGetClassObject over the class registry,
// ProgID and CLSID lookups, GUIDs in text form, and the task allocator (the C heap).
//
// Documented behaviour followed: CoCreateInstance answers CO_E_NOTINITIALIZED on a thread
// without CoInitialize, REGDB_E_CLASSNOTREG for an unknown class (also when dwClsContext has no
// in-process bit, since every class here is in-process), CLASS_E_NOAGGREGATION when an outer
// object asks for anything but IUnknown; *ppv is NULL after every failure. GUID text is
// upper-case hexadecimal in braces.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ClassFactory.h"
#include "ClassRegistry.h"
#include "ComInternal.h"
#include "kp/kpcom.h"

namespace {

using kp::com::ClassRegistry;

constexpr DWORD kInprocContexts = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_INPROC_SERVER16;

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" exactly.
bool ParseGuid(const OLECHAR* s, GUID* g) {
  static const char kPattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  uint8_t bytes[16];
  int nibble = 0;
  for (int i = 0; kPattern[i]; ++i) {
    if (!s[i]) return false;
    if (kPattern[i] != 'X') {
      if (s[i] != static_cast<char16_t>(kPattern[i])) return false;
      continue;
    }
    const int v = HexValue(s[i]);
    if (v < 0) return false;
    if (nibble % 2 == 0) {
      bytes[nibble / 2] = static_cast<uint8_t>(v << 4);
    } else {
      bytes[nibble / 2] |= static_cast<uint8_t>(v);
    }
    ++nibble;
  }
  if (s[38] != 0) return false;
  g->Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
  g->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(g->Data4, bytes + 8, 8);
  return true;
}

LPOLESTR CoTaskCopy(const std::u16string& s) {
  auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  if (!out) return nullptr;
  std::memcpy(out, s.c_str(), (s.size() + 1) * sizeof(OLECHAR));
  return out;
}

}  // namespace

extern "C" {

HRESULT KpRegisterClass(REFCLSID clsid, LPCOLESTR progId, KpClassCreator create) {
  return ClassRegistry::Instance().Register(clsid, progId, create);
}

HRESULT KpRegisterProgId(LPCOLESTR progId, REFCLSID clsid) {
  return ClassRegistry::Instance().AddProgId(progId, clsid);
}

HRESULT KpRevokeClass(REFCLSID clsid) {
  return ClassRegistry::Instance().Revoke(clsid);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (kp::com::ApartmentDepth() == 0) return CO_E_NOTINITIALIZED;
  KpClassCreator create = ClassRegistry::Instance().Creator(rclsid);
  if (!create || !(context & kInprocContexts)) return REGDB_E_CLASSNOTREG;
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  HRESULT hr = create(outer, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD context, LPVOID reserved, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (reserved) return E_INVALIDARG;
  if (kp::com::ApartmentDepth() == 0) return CO_E_NOTINITIALIZED;
  KpClassCreator create = ClassRegistry::Instance().Creator(rclsid);
  if (!create || !(context & kInprocContexts)) return REGDB_E_CLASSNOTREG;
  auto* factory = new kp::com::ClassFactory(create);
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  if (!ClassRegistry::Instance().FindProgId(progId, clsid)) {
    *clsid = GUID_NULL;
    return CO_E_CLASSSTRING;
  }
  return S_OK;
}

HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
  if (!progId) return E_INVALIDARG;
  *progId = nullptr;
  std::u16string text;
  if (!ClassRegistry::Instance().PrimaryProgId(clsid, &text) || text.empty()) return REGDB_E_CLASSNOTREG;
  *progId = CoTaskCopy(text);
  return *progId ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  if (!clsid) return E_INVALIDARG;
  if (!text) {
    *clsid = GUID_NULL;
    return S_OK;
  }
  if (text[0] == u'{') {
    if (ParseGuid(text, clsid)) return S_OK;
    *clsid = GUID_NULL;
    return CO_E_CLASSSTRING;
  }
  return CLSIDFromProgID(text, clsid);
}

HRESULT WINAPI IIDFromString(LPCOLESTR text, LPIID iid) {
  if (!iid) return E_INVALIDARG;
  if (!text) {
    *iid = GUID_NULL;
    return S_OK;
  }
  return ParseGuid(text, iid) ? S_OK : E_INVALIDARG;
}

int WINAPI StringFromGUID2(REFGUID g, LPOLESTR out, int cchMax) {
  if (!out || cchMax < CHARS_IN_GUID) return 0;
  char text[CHARS_IN_GUID];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  for (int i = 0; i < CHARS_IN_GUID; ++i) out[i] = static_cast<unsigned char>(text[i]);
  return CHARS_IN_GUID;
}

HRESULT WINAPI StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
  if (!text) return E_INVALIDARG;
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc(CHARS_IN_GUID * sizeof(OLECHAR)));
  if (!*text) return E_OUTOFMEMORY;
  StringFromGUID2(clsid, *text, CHARS_IN_GUID);
  return S_OK;
}

HRESULT WINAPI StringFromIID(REFIID iid, LPOLESTR* text) {
  return StringFromCLSID(iid, text);
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  return std::malloc(cb ? cb : 1);
}

// Documented: a size of 0 frees the block and answers NULL.
LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (cb == 0 && pv) {
    std::free(pv);
    return nullptr;
  }
  return std::realloc(pv, cb ? cb : 1);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  std::free(pv);
}

}  // extern "C"
