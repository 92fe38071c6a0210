// The ODBC drivers the unixODBC driver manager knows (odbcinst.ini), for tests that skip a
// provider only when its driver is absent.
#pragma once
#include <string>

namespace kptest {

// Whether a driver of this name (e.g. "PostgreSQL Unicode", "SQLite3") is installed.
bool OdbcDriverInstalled(const std::string& name);

}  // namespace kptest
