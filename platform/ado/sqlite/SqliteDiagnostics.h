// How a SQLite failure becomes an OLE DB error, in one place for the whole provider. The primary
// result code picks SQLSTATE and HRESULT: constraint 23000 DB_E_INTEGRITYVIOLATION; SQL errors
// 42000 DB_E_ERRORSINCOMMAND (a missing table 42S02 DB_E_NOTABLE, a missing column 42S22, an
// existing object 42S01); busy or locked 40001; cannot open 08001; interrupted HY008, or HYT00
// "Query timeout expired" when the CommandTimeout interrupted it, both DB_E_CANCELED; read-only,
// permission and authorisation 42000 DB_SEC_E_PERMISSIONDENIED; type mismatch 22018; too big
// 22001; parameter out of range 07009; anything else HY000 (E_FAIL where no code is named). The
// text is SQLite's message, the native error its extended result code.
#pragma once
#include <sqlite3.h>

#include "Provider.h"

namespace kp::ado {

class SqliteDiagnostics {
 public:
  static constexpr const char16_t* kSource = u"Microsoft OLE DB Provider for SQLite";

  // The error for result rc. db gives the message and the extended code; without it (null) the
  // text is SQLite's for rc. timedOut: an interrupt came from the CommandTimeout.
  static ProviderError Make(sqlite3* db, int rc, bool timedOut = false);
};

}  // namespace kp::ado
