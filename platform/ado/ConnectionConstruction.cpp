// ADOConnectionConstruction15 of a Connection (see ConnectionConstruction.h).
#include "ConnectionConstruction.h"

#include "AdoConnection.h"
#include "AdoError.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {

HRESULT ConnectionConstruction::get_DSO(IUnknown** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  if (!outer_->IsOpen()) return S_OK;
  return KP_NOT_IMPLEMENTED("ConnectionConstruction::DSO", "get; no OLE DB data source object");
}

HRESULT ConnectionConstruction::get_Session(IUnknown** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  if (!outer_->IsOpen()) return S_OK;
  return KP_NOT_IMPLEMENTED("ConnectionConstruction::Session", "get; no OLE DB session");
}

HRESULT ConnectionConstruction::raw_WrapDSOandSession(IUnknown*, IUnknown*) {
  if (outer_->IsOpen()) return AdoFail(AdoErr(adErrObjectOpen), kSrcConnection);
  return KP_NOT_IMPLEMENTED("ConnectionConstruction::WrapDSOandSession", "OLE DB data sources");
}

}  // namespace kp::ado
