// The ODBC provider: OLE DB providers whose engine is reached through an ODBC driver of the
// unixODBC driver manager. Registered names: MSDASQL (also the default when a string has no
// Provider), the SQL Server providers SQLOLEDB, SQLNCLI, SQLNCLI10, SQLNCLI11 and MSOLEDBSQL
// (FreeTDS driver) and the Jet/ACE providers Microsoft.Jet.OLEDB and Microsoft.ACE.OLEDB
// (MDBTools driver, read-only); any ".N" version. The connection string is mapped by
// OdbcConnect (OdbcConnect.h) and opened with SQLDriverConnectW, SQL_DRIVER_NOPROMPT, the
// ConnectionTimeout as login and connection time-out, and Mode=Read as SQL_MODE_READ_ONLY.
//
// One ODBC 3 environment serves the process; it is made at the first open and lives until the
// process ends. A mapped provider whose driver the driver manager does not list (SQLDriversW) fails
// with ADO's adErrProviderNotFound, its description naming the driver; through MSDASQL a missing
// driver or DSN is the driver manager's own IM002.
#pragma once
#include <string>

#include "Provider.h"

namespace kp::ado {

class OdbcProvider {
 public:
  // A non-empty login user or password becomes the driver's UID or PWD (see OdbcConnect).
  static HRESULT Open(const ConnectionString& cs, const ProviderLogin& login, const std::string& udlFolder,
                      LONG timeoutSeconds, int mode, std::unique_ptr<ProviderSession>& session,
                      ProviderError& err);
  // Whether the driver manager lists a driver of this name (e.g. "FreeTDS").
  static bool DriverInstalled(std::u16string_view name);
};

}  // namespace kp::ado
