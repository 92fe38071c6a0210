// ADOCommandConstruction of a Command: how OLE DB code reads the OLE DB command behind an ADO
// command, or hands its own to ADO. There is no OLE DB here and statements are prepared only
// when they run, so a command never holds one: OLEDBCommand reads null (S_OK); writing null is
// accepted, writing an object is a gap (E_NOTIMPL, traced).
#pragma once
#include <msado15.tlh>

#include "AdoObject.h"

namespace kp::ado {

class AdoCommand;

class CommandConstruction final : public AdoPart<ADOCommandConstruction, AdoCommand> {
 public:
  using AdoPart::AdoPart;
  HRESULT __stdcall get_OLEDBCommand(IUnknown** pp) override;
  HRESULT __stdcall put_OLEDBCommand(IUnknown* p) override;
};

}  // namespace kp::ado
