// Recordset.Fields and its Field objects. A Field is a view of one column of its recordset's
// current row: Value reads and writes go to the recordset (field writes start an edit there).
// Fields and Field keep a plain pointer to the recordset, which detaches them when it closes;
// a Field used after that answers adErrObjectClosed.
#pragma once
#include <msado15.tlh>

#include <vector>

#include "AdoObject.h"

namespace kp::ado {

class AdoRecordset;

class AdoField final : public AdoObject<Field> {
 public:
  AdoField(AdoRecordset* rs, int index) : rs_(rs), index_(index) {}
  void Detach() { rs_ = nullptr; }

  HRESULT __stdcall get_Properties(Properties** pp) override;
  HRESULT __stdcall get_ActualSize(LONG* pl) override;
  HRESULT __stdcall get_Attributes(LONG* pl) override;
  HRESULT __stdcall get_DefinedSize(LONG* pl) override;
  HRESULT __stdcall get_Name(BSTR* pbstr) override;
  HRESULT __stdcall get_Type(DataTypeEnum* p) override;
  HRESULT __stdcall get_Value(VARIANT* pvar) override;
  HRESULT __stdcall put_Value(VARIANT v) override;
  HRESULT __stdcall get_Precision(unsigned char* p) override;
  HRESULT __stdcall get_NumericScale(unsigned char* p) override;
  HRESULT __stdcall raw_AppendChunk(VARIANT data) override;
  HRESULT __stdcall raw_GetChunk(LONG length, VARIANT* pvar) override;
  HRESULT __stdcall get_OriginalValue(VARIANT* pvar) override;
  HRESULT __stdcall get_UnderlyingValue(VARIANT* pvar) override;
  HRESULT __stdcall get_DataFormat(IUnknown** pp) override;
  HRESULT __stdcall putref_DataFormat(IUnknown* p) override;
  HRESULT __stdcall put_Precision(unsigned char v) override;
  HRESULT __stdcall put_NumericScale(unsigned char v) override;
  HRESULT __stdcall put_Type(DataTypeEnum v) override;
  HRESULT __stdcall put_DefinedSize(LONG v) override;
  HRESULT __stdcall put_Attributes(LONG v) override;
  HRESULT __stdcall get_Status(LONG* p) override;

 protected:
  bool IsBase(REFIID riid) override { return riid == __uuidof(_ADO); }

 private:
  HRESULT Check() const;
  HRESULT ReadOnlyWhileOpen() const;
  AdoRecordset* rs_;
  int index_;
};

class AdoFields final : public AdoObject<Fields> {
 public:
  explicit AdoFields(AdoRecordset* rs) : rs_(rs) {}
  ~AdoFields() override;
  void Detach();

  HRESULT __stdcall get_Count(LONG* c) override;
  HRESULT __stdcall raw__NewEnum(IUnknown** pp) override;
  HRESULT __stdcall raw_Refresh() override { return S_OK; }
  HRESULT __stdcall get_Item(VARIANT index, Field** pp) override;
  HRESULT __stdcall raw__Append(BSTR name, DataTypeEnum type, LONG size, FieldAttributeEnum attrib) override;
  HRESULT __stdcall raw_Delete(VARIANT index) override;
  HRESULT __stdcall raw_Append(BSTR name, DataTypeEnum type, LONG size, FieldAttributeEnum attrib,
                               VARIANT value) override;
  HRESULT __stdcall raw_Update() override;
  HRESULT __stdcall raw_Resync(ResyncEnum resync) override;
  HRESULT __stdcall raw_CancelUpdate() override;

 protected:
  bool IsBase(REFIID riid) override { return riid == __uuidof(_Collection); }

 private:
  AdoRecordset* rs_;
  std::vector<AdoField*> items_;  // created on first use, one per field
};

}  // namespace kp::ado
