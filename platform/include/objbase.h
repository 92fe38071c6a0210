// COM's base services: apartments (CoInitialize/CoInitializeEx/CoUninitialize), activation
// (CoCreateInstance, CoGetClassObject), class ids and ProgIDs in text form, and the task
// allocator. In-process only: classes come from the platform's class registry (kpcom.h), which
// each library fills when it is loaded; there is no system registry and no out-of-process
// server, so every CLSCTX that includes an in-process bit activates the registered class.
#pragma once
#include "unknwn.h"
#include "oaidl.h"

enum COINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
};

enum CLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_INPROC_SERVER16 = 0x8,
  CLSCTX_REMOTE_SERVER = 0x10
};
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

#ifndef IID_NULL
#define IID_NULL GUID_NULL
#endif
#ifndef CLSID_NULL
#define CLSID_NULL GUID_NULL
#endif

// GUID text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters plus the NUL.
#define CHARS_IN_GUID 39

extern "C" {
// Apartments are counted per thread. The first successful call answers S_OK, later calls in the
// same model S_FALSE (both must be balanced by CoUninitialize); a call asking for the other
// model answers RPC_E_CHANGED_MODE and is not counted. The last CoUninitialize of a thread
// releases the thread's error object.
KPAPI HRESULT WINAPI CoInitialize(LPVOID pvReserved);
KPAPI HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
KPAPI void WINAPI CoUninitialize(void);
KPAPI HRESULT WINAPI OleInitialize(LPVOID pvReserved);
KPAPI void WINAPI OleUninitialize(void);

// CO_E_NOTINITIALIZED on a thread without COM, REGDB_E_CLASSNOTREG for a CLSID nobody
// registered, CLASS_E_NOAGGREGATION when pUnkOuter is given with an IID other than IUnknown or
// the class refuses aggregation. *ppv is set to NULL on every failure.
KPAPI HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                      LPVOID* ppv);
KPAPI HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                                      LPVOID* ppv);

// ProgIDs compare case-insensitively. CLSIDFromProgID answers CO_E_CLASSSTRING for a ProgID
// nobody registered; it works without CoInitialize (its documented results do not include
// CO_E_NOTINITIALIZED).
KPAPI HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
KPAPI HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);  // CoTaskMemFree the text
// Accepts the braced text form or a registered ProgID; NULL gives CLSID_NULL.
KPAPI HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
KPAPI HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);  // braced form only, else E_INVALIDARG
KPAPI HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);  // CoTaskMemFree the text
KPAPI HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
// Answers the characters written including the NUL (39), or 0 when cchMax is too small.
KPAPI int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

KPAPI LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
KPAPI LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
KPAPI void WINAPI CoTaskMemFree(LPVOID pv);
}
