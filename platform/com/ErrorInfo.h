// The error object of OLE Automation: what CreateErrorInfo makes and SetErrorInfo/GetErrorInfo
// pass between an object that failed and its caller. One object implements both
// ICreateErrorInfo (filled by the failing side) and IErrorInfo (read by the caller).
// Not thread-safe for concurrent Set/Get, like the Windows object; its reference count is.
#pragma once
#include <atomic>
#include <string>

#include "oleauto.h"

namespace kp::com {

class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
 public:
  ErrorInfo() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override;
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) override;
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) override;
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) override;
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) override;

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override;
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) override;
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) override;
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) override;
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) override;

 private:
  ~ErrorInfo() = default;

  std::atomic<ULONG> refs_{1};
  GUID guid_ = GUID_NULL;
  std::u16string source_;
  std::u16string description_;
  std::u16string helpFile_;
  DWORD helpContext_ = 0;
};

}  // namespace kp::com
