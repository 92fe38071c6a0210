// Fields and Field (see AdoFields.h).
#include "AdoFields.h"

#include <oleauto.h>

#include "AdoError.h"
#include "kp/kpnotimpl.h"
#include "AdoRecordset.h"
#include "FabricatedFields.h"

namespace kp::ado {

HRESULT AdoField::Check() const {
  if (!rs_ || !rs_->IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcField);
  return S_OK;
}

HRESULT AdoField::CheckDefined() const {
  if (!rs_ || index_ >= rs_->FieldCount()) return AdoFail(AdoErr(adErrObjectClosed), kSrcField);
  return S_OK;
}

HRESULT AdoField::Definitions(FabricatedFields*& out) const {
  out = nullptr;
  HRESULT hr = CheckDefined();
  if (FAILED(hr)) return hr;
  out = rs_->ClosedFields();
  return out ? S_OK : AdoFail(AdoErr(adErrObjectOpen), kSrcField);
}

HRESULT AdoField::get_Properties(Properties** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Field::Properties");
}

HRESULT AdoField::get_ActualSize(LONG* pl) {
  HRESULT hr = Check();
  return FAILED(hr) ? hr : rs_->FieldActualSize(index_, pl);
}

#define KPADO_FIELD_META(method, T, expr)           \
  HRESULT AdoField::method(T* p) {                  \
    if (!p) return E_POINTER;                       \
    HRESULT hr = CheckDefined();                    \
    if (FAILED(hr)) return hr;                      \
    const ColumnInfo& c = rs_->FieldColumn(index_); \
    *p = (T)(expr);                                 \
    return S_OK;                                    \
  }
KPADO_FIELD_META(get_Attributes, LONG, c.attributes)
KPADO_FIELD_META(get_DefinedSize, LONG, c.definedSize)
KPADO_FIELD_META(get_Type, DataTypeEnum, c.type)
KPADO_FIELD_META(get_Precision, unsigned char, c.precision)
KPADO_FIELD_META(get_NumericScale, unsigned char, c.scale)
#undef KPADO_FIELD_META

HRESULT AdoField::get_Name(BSTR* p) {
  if (!p) return E_POINTER;
  *p = nullptr;
  HRESULT hr = CheckDefined();
  if (FAILED(hr)) return hr;
  *p = AllocBstr(rs_->FieldColumn(index_).name);
  return S_OK;
}

HRESULT AdoField::get_Value(VARIANT* p) {
  HRESULT hr = Check();
  if (FAILED(hr)) {
    if (p) VariantInit(p);
    return hr;
  }
  return rs_->GetFieldValue(index_, p);
}

HRESULT AdoField::put_Value(VARIANT v) {
  HRESULT hr = Check();
  return FAILED(hr) ? hr : rs_->PutFieldValue(index_, v);
}

HRESULT AdoField::raw_AppendChunk(VARIANT data) {
  HRESULT hr = Check();
  return FAILED(hr) ? hr : rs_->FieldAppendChunk(index_, data);
}

HRESULT AdoField::raw_GetChunk(LONG length, VARIANT* p) {
  HRESULT hr = Check();
  if (FAILED(hr)) {
    if (p) VariantInit(p);
    return hr;
  }
  return rs_->FieldGetChunk(index_, length, p);
}

HRESULT AdoField::get_OriginalValue(VARIANT* p) {
  HRESULT hr = Check();
  if (FAILED(hr)) {
    if (p) VariantInit(p);
    return hr;
  }
  return rs_->FieldOriginalValue(index_, p);
}

HRESULT AdoField::get_UnderlyingValue(VARIANT* p) {
  return get_OriginalValue(p);
}

HRESULT AdoField::get_DataFormat(IUnknown** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Field::DataFormat");
}
HRESULT AdoField::putref_DataFormat(IUnknown*) {
  return KP_NOT_IMPLEMENTED("Field::DataFormat");
}
// Metadata is fixed once the recordset is open; before, appended fields take it.
#define KPADO_FIELD_DEFINE(method, T, setter)     \
  HRESULT AdoField::method(T v) {                 \
    FabricatedFields* d = nullptr;                \
    HRESULT hr = Definitions(d);                  \
    return FAILED(hr) ? hr : d->setter(index_, v); \
  }
KPADO_FIELD_DEFINE(put_Precision, unsigned char, SetPrecision)
KPADO_FIELD_DEFINE(put_NumericScale, unsigned char, SetNumericScale)
KPADO_FIELD_DEFINE(put_Type, DataTypeEnum, SetType)
KPADO_FIELD_DEFINE(put_DefinedSize, LONG, SetDefinedSize)
KPADO_FIELD_DEFINE(put_Attributes, LONG, SetAttributes)
#undef KPADO_FIELD_DEFINE
HRESULT AdoField::get_Status(LONG* p) {
  HRESULT hr = Check();
  return FAILED(hr) ? hr : rs_->FieldStatus(index_, p);
}

AdoFields::~AdoFields() {
  Detach();
}

void AdoFields::Detach() {
  Reset();
  rs_ = nullptr;
}

void AdoFields::Reset() {
  for (auto* f : items_) {
    if (!f) continue;
    f->Detach();
    f->Release();
  }
  items_.clear();
}

HRESULT AdoFields::get_Count(LONG* c) {
  if (!c) return E_POINTER;
  *c = rs_ ? rs_->FieldCount() : 0;
  return S_OK;
}

int AdoFields::Resolve(const VARIANT& index) const {
  const VARIANT* v = &index;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  int f = -1;
  if (v->vt == VT_BSTR) {
    f = rs_->FieldIndex(BstrView(v->bstrVal));
  } else if (v->vt == VT_I4) {
    f = v->lVal;  // the common case, without a conversion
  } else {
    VARIANT n;
    VariantInit(&n);
    if (SUCCEEDED(VariantChangeType(&n, v, 0, VT_I4))) f = n.lVal;
  }
  return f >= 0 && f < rs_->FieldCount() ? f : -1;
}

HRESULT AdoFields::raw__NewEnum(IUnknown** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Fields::_NewEnum");
}

HRESULT AdoFields::get_Item(VARIANT index, Field** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  int f = rs_ ? Resolve(index) : -1;
  if (f < 0) return AdoFail(AdoErr(adErrItemNotFound), kSrcFields);
  if (items_.empty()) items_.assign(rs_->FieldCount(), nullptr);
  if (!items_[f]) items_[f] = new AdoField(rs_, f);
  items_[f]->AddRef();
  *pp = items_[f];
  return S_OK;
}

HRESULT AdoFields::raw__Append(BSTR name, DataTypeEnum type, LONG size, FieldAttributeEnum attrib) {
  VARIANT missing;
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  return raw_Append(name, type, size, attrib, missing);
}

HRESULT AdoFields::raw_Append(BSTR name, DataTypeEnum type, LONG size, FieldAttributeEnum attrib, VARIANT value) {
  if (!rs_) return AdoFail(AdoErr(adErrObjectClosed), kSrcFields);
  FabricatedFields* d = rs_->DefinableFields();
  if (!d) return AdoFail(AdoErr(adErrIllegalOperation), kSrcFields);
  // A value comes with a field of a Record only; a recordset's fields get theirs once open.
  const VARIANT* v = &value;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  if (!(v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND) && v->vt != VT_EMPTY && v->vt != VT_NULL)
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcFields);
  HRESULT hr = d->Append(BstrView(name), type, size, attrib);
  if (SUCCEEDED(hr)) Reset();
  return hr;
}

HRESULT AdoFields::raw_Delete(VARIANT index) {
  if (!rs_) return AdoFail(AdoErr(adErrObjectClosed), kSrcFields);
  FabricatedFields* d = rs_->DefinableFields();
  if (!d) return AdoFail(AdoErr(adErrIllegalOperation), kSrcFields);
  int f = Resolve(index);
  if (f < 0) return AdoFail(AdoErr(adErrItemNotFound), kSrcFields);
  d->Delete(f);
  Reset();
  return S_OK;
}
HRESULT AdoFields::raw_Update() {
  return KP_NOT_IMPLEMENTED("Fields::Update", "Record objects");
}
HRESULT AdoFields::raw_Resync(ResyncEnum resync) {
  return KP_NOT_IMPLEMENTED("Fields::Resync", "%d", (int)resync);
}
HRESULT AdoFields::raw_CancelUpdate() {
  return KP_NOT_IMPLEMENTED("Fields::CancelUpdate", "Record objects");
}

}  // namespace kp::ado
