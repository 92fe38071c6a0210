// Recordset.Fields and its Field objects. A Field is a view of one column of its recordset's
// current row: Value reads and writes go to the recordset (field writes start an edit there).
// Fields and Field keep a plain pointer to the recordset, which detaches them when it closes;
// a Field used after that answers adErrObjectClosed.
//
// Before a recordset without source or connection is opened, Fields.Append/_Append and Delete
// define its fields (FabricatedFields.h); their Field objects then answer their metadata, which
// may be written (Type, DefinedSize, Precision, NumericScale, Attributes), while Value waits for
// Open (adErrObjectClosed). Fields answers Fields, Fields20 and Fields15 (one vtable), Field
// answers Field and Field20; Fields refuses _Collection, the type library's base interface, which
// ADO's collection of fields does not answer.
#pragma once
#include <msado15.tlh>

#include <vector>

#include "AdoObject.h"

namespace kp::ado {

class AdoRecordset;
class FabricatedFields;

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
  bool IsBase(REFIID riid) override { return riid == __uuidof(_ADO) || riid == __uuidof(Field20); }

 private:
  HRESULT Check() const;
  // Metadata is there while the recordset is open, or closed with this field appended.
  HRESULT CheckDefined() const;
  // The appended fields this field's metadata may be written to; adErrObjectOpen while open.
  HRESULT Definitions(FabricatedFields*& out) const;
  AdoRecordset* rs_;
  int index_;
};

class AdoFields final : public AdoObject<Fields> {
 public:
  explicit AdoFields(AdoRecordset* rs) : rs_(rs) {}
  ~AdoFields() override;
  void Detach();
  // Drops the Field objects (the fields changed: appended, deleted, or the recordset opened).
  void Reset();

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
  bool IsBase(REFIID riid) override { return riid == __uuidof(Fields20) || riid == __uuidof(Fields15); }

 private:
  int Resolve(const VARIANT& index) const;  // the field ordinal, -1 when there is none
  AdoRecordset* rs_;
  std::vector<AdoField*> items_;  // created on first use, one per field
};

}  // namespace kp::ado
