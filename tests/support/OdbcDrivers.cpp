// The installed ODBC drivers, asked of the driver manager (see OdbcDrivers.h).
#include "OdbcDrivers.h"

#include <sql.h>
#include <sqlext.h>

namespace kptest {

bool OdbcDriverInstalled(const std::string& name) {
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  bool found = false;
  SQLCHAR driver[256], attributes[1024];
  SQLSMALLINT driverLength = 0, attributesLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (!found && SQL_SUCCEEDED(SQLDrivers(env, direction, driver, sizeof driver, &driverLength, attributes,
                                            sizeof attributes, &attributesLength))) {
    found = name == reinterpret_cast<const char*>(driver);
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return found;
}

}  // namespace kptest
