// The error-object helpers (see AdoError.h); the texts of ADO's errors are in util/UtilErrors.cpp.
#include "AdoError.h"

#include <msado15.tlh>
#include <oleauto.h>

#include "AdoText.h"

namespace kp::ado {

HRESULT SetError(HRESULT hr, std::u16string_view source, std::u16string_view description) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
    std::u16string s(source), d(description);
    create->SetSource(s.data());
    create->SetDescription(d.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return hr;
}

HRESULT AdoFail(HRESULT hr, std::u16string_view source) {
  return SetError(hr, source, AdoErrorText(hr));
}

}  // namespace kp::ado
