// ADOCommandConstruction of a Command (see CommandConstruction.h).
#include "CommandConstruction.h"

#include "AdoCommand.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {

HRESULT CommandConstruction::get_OLEDBCommand(IUnknown** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  return S_OK;
}

HRESULT CommandConstruction::put_OLEDBCommand(IUnknown* p) {
  if (!p) return S_OK;
  return KP_NOT_IMPLEMENTED("CommandConstruction::OLEDBCommand", "put; OLE DB commands");
}

}  // namespace kp::ado
