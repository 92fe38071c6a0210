// Connection.Errors and its Error objects: the provider errors of the connection's last failing
// operation (description, number, source, SQLState, native error). ADO's own errors are not
// added here (they travel as HRESULT + IErrorInfo only). The collection is replaced when a new
// provider error occurs and emptied by Clear; successful calls leave it as it is.
#pragma once
#include <msado15.tlh>

#include <string>
#include <vector>

#include "AdoObject.h"

namespace kp::ado {

struct ErrorRecord {
  LONG number = 0;
  std::u16string source, description, sqlState;
  LONG native = 0;
};

class AdoErrorItem final : public AdoObject<Error> {
 public:
  explicit AdoErrorItem(ErrorRecord r) : r_(std::move(r)) {}
  HRESULT __stdcall get_Number(LONG* pl) override;
  HRESULT __stdcall get_Source(BSTR* pbstr) override;
  HRESULT __stdcall get_Description(BSTR* pbstr) override;
  HRESULT __stdcall get_HelpFile(BSTR* pbstr) override;
  HRESULT __stdcall get_HelpContext(LONG* pl) override;
  HRESULT __stdcall get_SQLState(BSTR* pbstr) override;
  HRESULT __stdcall get_NativeError(LONG* pl) override;

 private:
  ErrorRecord r_;
};

class AdoErrors final : public AdoObject<Errors> {
 public:
  HRESULT __stdcall get_Count(LONG* c) override;
  HRESULT __stdcall raw__NewEnum(IUnknown** pp) override;
  HRESULT __stdcall raw_Refresh() override { return S_OK; }
  HRESULT __stdcall get_Item(VARIANT Index, Error** pp) override;
  HRESULT __stdcall raw_Clear() override {
    records_.clear();
    return S_OK;
  }
  void Replace(std::vector<ErrorRecord> records) { records_ = std::move(records); }

 protected:
  bool IsBase(REFIID riid) override { return riid == __uuidof(_Collection); }

 private:
  std::vector<ErrorRecord> records_;
};

}  // namespace kp::ado
