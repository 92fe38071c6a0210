// The one place where an ODBC failure becomes an OLE DB error. Every driver call's SQLRETURN goes
// through Failed, which leaves the error in the caller's ProviderError; every diagnostic record of
// the failing handle (SQLGetDiagRecW) becomes a ProviderError (SQLSTATE, native error, message; source
// "Microsoft OLE DB Provider for ODBC Drivers"), the first one leading, the others as further
// records, so that Connection.Errors lists them all as ADO does.
//
// HRESULTs follow the SQLSTATE class the way the SQLite provider maps the same conditions, so
// that callers and tests see one set of codes whatever the engine: 23xxx integrity
// DB_E_INTEGRITYVIOLATION, 42S02 (and PostgreSQL's 42P01) DB_E_NOTABLE, other 42xxx/37xxx and
// 22018 DB_E_ERRORSINCOMMAND, 42501 DB_SEC_E_PERMISSIONDENIED, 28xxx DB_SEC_E_AUTH_FAILED,
// 07001/07002 DB_E_PARAMNOTOPTIONAL, HYT00/HYT01/HY008 DB_E_CANCELED, everything else (08xxx
// connection failures, IM002 from the driver manager, 40001 ...) E_FAIL. PostgreSQL reports a
// statement time-out as 57014 "canceling statement due to statement timeout" where ODBC
// prescribes HYT00: the leading record then says HYT00 "Query timeout expired" (as the SQLite
// provider does) and the driver's own record follows it.
#pragma once

#include <string>
#include <string_view>

#include "OdbcApi.h"
#include "Provider.h"

namespace kp::ado {

class OdbcDiagnostics {
 public:
  static constexpr const char16_t* kSource = u"Microsoft OLE DB Provider for ODBC Drivers";

  // The check around a driver call: false when rc is SQL_SUCCESS or SQL_SUCCESS_WITH_INFO;
  // otherwise (SQL_NO_DATA too) true, with err holding the handle's diagnostics (Collect) and
  // err.hr the HRESULT to answer. what names the call.
  static bool Failed(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what,
                     ProviderError& err);

  // The diagnostics of handle after a call that answered rc (SQL_ERROR, SQL_INVALID_HANDLE ...).
  // what names the call for the rare failure that leaves no record.
  static ProviderError Collect(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* what);
  // Whether handle holds a record with this SQLSTATE (warnings after SQL_SUCCESS_WITH_INFO).
  static bool HasState(SQLSMALLINT handleType, SQLHANDLE handle, std::u16string_view state);
  // The HRESULT for a SQLSTATE (see above).
  static HRESULT HresultFor(std::u16string_view sqlState);
  // Text a driver gave through a wide (W) function, up to the first NUL. For a driver without W
  // functions the driver manager converts the driver's UTF-8 (see OdbcProvider::Open) but may
  // report the length in bytes, so the text ends at the first NUL within units.
  static std::u16string DriverText(const SQLWCHAR* text, size_t units);
  // An error made here rather than by the driver.
  static ProviderError Make(HRESULT hr, std::u16string_view sqlState, std::u16string_view description);
};

}  // namespace kp::ado
