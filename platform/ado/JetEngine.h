// JRO's engine class ("JRO.JetEngine"): CompactDatabase(source, destination) with full OLE DB
// connection strings. For Provider=SQLite sources it copies and compacts the database into the
// destination's Data Source with VACUUM INTO; the destination must not exist (as with Jet).
// Other providers (Jet itself) answer adErrFeatureNotAvailable; a malformed string answers
// the connection-string error. RefreshCache has nothing to flush for SQLite and succeeds.
#pragma once
#include <msjro.tlh>

#include "AdoObject.h"

namespace kp::ado {

class JetEngineObject final : public AdoObject<IJetEngine> {
 public:
  HRESULT __stdcall raw_CompactDatabase(BSTR source, BSTR destination) override;
  HRESULT __stdcall raw_RefreshCache(_Connection* connection) override;
};

}  // namespace kp::ado
