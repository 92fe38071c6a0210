// SQLite failures to OLE DB errors (see SqliteDiagnostics.h).
#include "SqliteDiagnostics.h"

#include "AdoText.h"
#include "oledberr.h"

namespace kp::ado {
namespace {

bool Contains(const std::u16string& s, const char16_t* what) {
  return s.find(what) != std::u16string::npos;
}

}  // namespace

ProviderError SqliteDiagnostics::Make(sqlite3* db, int rc, bool timedOut) {
  ProviderError e;
  e.source = kSource;
  e.native = db ? sqlite3_extended_errcode(db) : rc;
  // The UTF-8 message: SQLite keeps it as UTF-8, so reading it allocates nothing (the UTF-16 one
  // is converted on demand and is null when memory has run out).
  const char* message = db ? sqlite3_errmsg(db) : nullptr;
  e.description = FromUtf8(message && *message ? message : sqlite3_errstr(rc));
  switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
      e.hr = DB_E_INTEGRITYVIOLATION, e.sqlState = u"23000";
      break;
    case SQLITE_ERROR:
      e.hr = DB_E_ERRORSINCOMMAND, e.sqlState = u"42000";
      if (Contains(e.description, u"no such table")) e.hr = DB_E_NOTABLE, e.sqlState = u"42S02";
      if (Contains(e.description, u"no such column")) e.sqlState = u"42S22";
      if (Contains(e.description, u"already exists")) e.sqlState = u"42S01";
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      e.hr = E_FAIL, e.sqlState = u"40001";
      break;
    case SQLITE_CANTOPEN:
      e.hr = E_FAIL, e.sqlState = u"08001";
      break;
    case SQLITE_INTERRUPT:
      e.hr = DB_E_CANCELED, e.sqlState = timedOut ? u"HYT00" : u"HY008";
      if (timedOut) e.description = u"Query timeout expired";
      break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      e.hr = DB_SEC_E_PERMISSIONDENIED, e.sqlState = u"42000";
      break;
    case SQLITE_MISMATCH:
      e.hr = DB_E_ERRORSINCOMMAND, e.sqlState = u"22018";
      break;
    case SQLITE_TOOBIG:
      e.hr = E_FAIL, e.sqlState = u"22001";
      break;
    case SQLITE_RANGE:
      e.hr = E_FAIL, e.sqlState = u"07009";
      break;
    default:
      e.hr = E_FAIL, e.sqlState = u"HY000";
      break;
  }
  return e;
}
}  // namespace kp::ado
