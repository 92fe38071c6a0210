// The Error object of a Complete event (see EventError.h).
#include "EventError.h"

#include <oleauto.h>

#include "AdoError.h"
#include "AdoErrors.h"
#include "AdoText.h"

namespace kp::ado {

KeptErrorInfo::KeptErrorInfo() {
  if (GetErrorInfo(0, &info_) != S_OK) info_ = nullptr;
  SetErrorInfo(0, info_);  // reading took it from the thread: put it back at once
}

KeptErrorInfo::~KeptErrorInfo() {
  SetErrorInfo(0, info_);
  if (info_) info_->Release();
}

Error* MakeEventError(HRESULT hr, Errors* errors) {
  LONG count = 0;
  if (errors && SUCCEEDED(errors->get_Count(&count)) && count > 0) {
    VARIANT first;
    first.vt = VT_I4;
    first.lVal = 0;
    Error* e = nullptr;
    LONG number = 0;
    if (SUCCEEDED(errors->get_Item(first, &e)) && e) {
      if (SUCCEEDED(e->get_Number(&number)) && number == hr) return e;
      e->Release();
    }
  }
  ErrorRecord r;
  r.number = hr;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    r.source = std::u16string(BstrView(source));
    r.description = std::u16string(BstrView(description));
    SysFreeString(source);
    SysFreeString(description);
    SetErrorInfo(0, info);
    info->Release();
  }
  return new AdoErrorItem(std::move(r));
}

Error* MakeAdoEventError(int number, std::u16string_view source) {
  ErrorRecord r;
  r.number = AdoErr(number);
  r.source = std::u16string(source);
  r.description = AdoErrorText(r.number);
  return new AdoErrorItem(std::move(r));
}

}  // namespace kp::ado
