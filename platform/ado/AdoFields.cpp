// Fields and Field (see AdoFields.h).
#include "AdoFields.h"

#include <oleauto.h>

#include "AdoError.h"
#include "kp/kpnotimpl.h"
#include "AdoRecordset.h"

namespace kp::ado {

HRESULT AdoField::Check() const {
  if (!rs_ || !rs_->IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcField);
  return S_OK;
}

HRESULT AdoField::ReadOnlyWhileOpen() const {
  HRESULT hr = Check();
  return FAILED(hr) ? hr : AdoFail(AdoErr(adErrObjectOpen), kSrcField);
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
    HRESULT hr = Check();                           \
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
  HRESULT hr = Check();
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
// Metadata is fixed once the recordset is open (fields appended to a closed recordset are not
// supported here, see Fields::Append).
HRESULT AdoField::put_Precision(unsigned char) {
  return ReadOnlyWhileOpen();
}
HRESULT AdoField::put_NumericScale(unsigned char) {
  return ReadOnlyWhileOpen();
}
HRESULT AdoField::put_Type(DataTypeEnum) {
  return ReadOnlyWhileOpen();
}
HRESULT AdoField::put_DefinedSize(LONG) {
  return ReadOnlyWhileOpen();
}
HRESULT AdoField::put_Attributes(LONG) {
  return ReadOnlyWhileOpen();
}
HRESULT AdoField::get_Status(LONG* p) {
  HRESULT hr = Check();
  return FAILED(hr) ? hr : rs_->FieldStatus(index_, p);
}

AdoFields::~AdoFields() {
  Detach();
}

void AdoFields::Detach() {
  for (auto* f : items_) {
    if (!f) continue;
    f->Detach();
    f->Release();
  }
  items_.clear();
  rs_ = nullptr;
}

HRESULT AdoFields::get_Count(LONG* c) {
  if (!c) return E_POINTER;
  *c = rs_ && rs_->IsOpen() ? rs_->FieldCount() : 0;
  return S_OK;
}

HRESULT AdoFields::raw__NewEnum(IUnknown** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Fields::_NewEnum");
}

HRESULT AdoFields::get_Item(VARIANT index, Field** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  if (!rs_ || !rs_->IsOpen()) return AdoFail(AdoErr(adErrItemNotFound), kSrcFields);
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
  if (f < 0 || f >= rs_->FieldCount()) return AdoFail(AdoErr(adErrItemNotFound), kSrcFields);
  if (items_.empty()) items_.assign(rs_->FieldCount(), nullptr);
  if (!items_[f]) items_[f] = new AdoField(rs_, f);
  items_[f]->AddRef();
  *pp = items_[f];
  return S_OK;
}

HRESULT AdoFields::raw__Append(BSTR name, DataTypeEnum type, LONG size, FieldAttributeEnum attrib) {
  return KP_NOT_IMPLEMENTED("Fields::_Append", "%s, %d, %d, %d", ToUtf8(BstrView(name)).c_str(), (int)type,
                            (int)size, (int)attrib);
}
HRESULT AdoFields::raw_Append(BSTR name, DataTypeEnum type, LONG size, FieldAttributeEnum attrib, VARIANT) {
  return KP_NOT_IMPLEMENTED("Fields::Append", "%s, %d, %d, %d; fabricated recordsets", ToUtf8(BstrView(name)).c_str(),
                            (int)type, (int)size, (int)attrib);
}
HRESULT AdoFields::raw_Delete(VARIANT) {
  return KP_NOT_IMPLEMENTED("Fields::Delete");
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
