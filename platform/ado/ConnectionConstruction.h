// ADOConnectionConstruction15 (and ADOConnectionConstruction, the same members) of a Connection:
// how OLE DB code reads the data source object and session behind a connection, or hands its own
// to ADO. There is no OLE DB here: while the connection is closed it has neither (DSO and
// Session read null, S_OK); while it is open the provider's session is no OLE DB object, so
// reading them is a gap (E_NOTIMPL, traced), as is WrapDSOandSession on a closed connection; on
// an open one WrapDSOandSession is adErrObjectOpen.
#pragma once
#include <msado15.tlh>

#include "AdoObject.h"

namespace kp::ado {

class AdoConnection;

class ConnectionConstruction final : public AdoPart<ADOConnectionConstruction, AdoConnection> {
 public:
  using AdoPart::AdoPart;
  HRESULT __stdcall get_DSO(IUnknown** pp) override;
  HRESULT __stdcall get_Session(IUnknown** pp) override;
  HRESULT __stdcall raw_WrapDSOandSession(IUnknown* dso, IUnknown* session) override;
};

}  // namespace kp::ado
