// Command parameters: the Parameter object (ADODB.Parameter) and the Parameters collection.
//
// A parameter is a value with its declared metadata (Name, Type, Direction, Size, Precision,
// NumericScale, Attributes). Parameters bind to the '?' placeholders of the command text in
// collection order; SQLite has no output parameters, so output and return-value parameters keep
// their values. Size, Type and Direction are not checked against the value until the command
// runs, as ADO does.
#pragma once
#include <msado15.tlh>

#include <string>
#include <vector>

#include "AdoObject.h"

namespace kp::ado {

class AdoParameter final : public AdoObject<_Parameter> {
 public:
  AdoParameter();
  ~AdoParameter() override;
  HRESULT __stdcall get_Properties(Properties** pp) override;
  HRESULT __stdcall get_Name(BSTR* pbstr) override;
  HRESULT __stdcall put_Name(BSTR v) override;
  HRESULT __stdcall get_Value(VARIANT* pvar) override;
  HRESULT __stdcall put_Value(VARIANT v) override;
  HRESULT __stdcall get_Type(DataTypeEnum* p) override;
  HRESULT __stdcall put_Type(DataTypeEnum v) override;
  HRESULT __stdcall put_Direction(ParameterDirectionEnum v) override;
  HRESULT __stdcall get_Direction(ParameterDirectionEnum* p) override;
  HRESULT __stdcall put_Precision(unsigned char v) override;
  HRESULT __stdcall get_Precision(unsigned char* p) override;
  HRESULT __stdcall put_NumericScale(unsigned char v) override;
  HRESULT __stdcall get_NumericScale(unsigned char* p) override;
  HRESULT __stdcall put_Size(LONG v) override;
  HRESULT __stdcall get_Size(LONG* p) override;
  HRESULT __stdcall raw_AppendChunk(VARIANT v) override;
  HRESULT __stdcall get_Attributes(LONG* p) override;
  HRESULT __stdcall put_Attributes(LONG v) override;

 protected:
  bool IsBase(REFIID riid) override { return riid == __uuidof(_ADO); }

 private:
  std::u16string name_;
  VARIANT value_;
  DataTypeEnum type_ = adEmpty;
  ParameterDirectionEnum direction_ = adParamInput;
  unsigned char precision_ = 0, scale_ = 0;
  LONG size_ = 0;
  LONG attributes_ = adParamSigned | adParamNullable;
};

class AdoParameters final : public AdoObject<Parameters> {
 public:
  ~AdoParameters() override;
  HRESULT __stdcall get_Count(LONG* c) override;
  HRESULT __stdcall raw__NewEnum(IUnknown** pp) override;
  HRESULT __stdcall raw_Refresh() override;
  HRESULT __stdcall raw_Append(IDispatch* object) override;
  HRESULT __stdcall raw_Delete(VARIANT index) override;
  HRESULT __stdcall get_Item(VARIANT index, _Parameter** pp) override;

  // Items in order (borrowed).
  const std::vector<_Parameter*>& Items() const { return items_; }
  // Refresh asks this of its command: the number of placeholders in the command text.
  void SetRefreshSource(HRESULT (*count)(void* ctx, int& n), void* ctx) {
    refreshCount_ = count;
    refreshCtx_ = ctx;
  }

 protected:
  bool IsBase(REFIID riid) override {
    return riid == __uuidof(_Collection) || riid == __uuidof(_DynaCollection);
  }

 private:
  int Find(const VARIANT& index);
  std::vector<_Parameter*> items_;
  HRESULT (*refreshCount_)(void*, int&) = nullptr;
  void* refreshCtx_ = nullptr;
};

}  // namespace kp::ado
