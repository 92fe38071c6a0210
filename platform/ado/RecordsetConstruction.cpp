// ADORecordsetConstruction of a Recordset (see RecordsetConstruction.h).
#include "RecordsetConstruction.h"

#include "AdoRecordset.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {

HRESULT RecordsetConstruction::get_Rowset(IUnknown** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  return outer_->SharedRowset(pp);
}

HRESULT RecordsetConstruction::put_Rowset(IUnknown* p) {
  return outer_->AdoptRowset(p);
}

HRESULT RecordsetConstruction::get_Chapter(LONG_PTR* p) {
  if (!p) return E_POINTER;
  *p = 0;
  return S_OK;
}

HRESULT RecordsetConstruction::put_Chapter(LONG_PTR v) {
  if (v == 0) return S_OK;
  return KP_NOT_IMPLEMENTED("RecordsetConstruction::Chapter", "put %ld; hierarchical recordsets", (long)v);
}

HRESULT RecordsetConstruction::get_RowPosition(IUnknown** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  return S_OK;
}

HRESULT RecordsetConstruction::put_RowPosition(IUnknown* p) {
  if (!p) return S_OK;
  return KP_NOT_IMPLEMENTED("RecordsetConstruction::RowPosition", "put; OLE DB row positions");
}

}  // namespace kp::ado
