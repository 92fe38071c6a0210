// ODBC diagnostics to OLE DB errors (see OdbcDiagnostics.h). Needs nothing of the ADO library
// but its ProviderError, so that it is tested on its own against the driver manager.
#include "OdbcDiagnostics.h"

#include <cstring>

#include "oledberr.h"

namespace kp::ado {
namespace {

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

HRESULT OdbcDiagnostics::HresultFor(std::u16string_view s) {
  if (StartsWith(s, u"23")) return DB_E_INTEGRITYVIOLATION;
  if (s == u"42S02" || s == u"42P01") return DB_E_NOTABLE;
  if (s == u"42501") return DB_SEC_E_PERMISSIONDENIED;
  if (StartsWith(s, u"42") || StartsWith(s, u"37") || s == u"22018") return DB_E_ERRORSINCOMMAND;
  if (StartsWith(s, u"28")) return DB_SEC_E_AUTH_FAILED;
  if (s == u"07001" || s == u"07002") return DB_E_PARAMNOTOPTIONAL;
  if (s == u"HYT00" || s == u"HYT01" || s == u"HY008") return DB_E_CANCELED;
  return E_FAIL;
}

std::u16string OdbcDiagnostics::DriverText(const SQLWCHAR* text, size_t units) {
  std::u16string_view s(reinterpret_cast<const char16_t*>(text), units);
  return std::u16string(s.substr(0, s.find(u'\0')));
}

ProviderError OdbcDiagnostics::Make(HRESULT hr, std::u16string_view sqlState,
                                    std::u16string_view description) {
  ProviderError e;
  e.hr = hr;
  e.sqlState = std::u16string(sqlState);
  e.description = std::u16string(description);
  e.source = kSource;
  return e;
}

ProviderError OdbcDiagnostics::Collect(SQLSMALLINT type, SQLHANDLE handle, SQLRETURN rc, const char* what) {
  std::vector<ProviderError> records;
  for (SQLSMALLINT i = 1; handle != SQL_NULL_HANDLE; ++i) {
    SQLWCHAR state[6] = {0};
    SQLWCHAR text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN r = SQLGetDiagRecW(type, handle, i, state, &native, text,
                                 (SQLSMALLINT)(sizeof text / sizeof text[0]), &length);
    if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) break;
    size_t units =
        (size_t)length < sizeof text / sizeof text[0] ? (size_t)length : sizeof text / sizeof text[0] - 1;
    ProviderError e;
    e.sqlState = std::u16string(reinterpret_cast<const char16_t*>(state), 5);
    e.description = DriverText(text, units);
    e.native = native;
    e.hr = HresultFor(e.sqlState);
    e.source = kSource;
    records.push_back(std::move(e));
  }
  if (records.empty()) {
    std::u16string text(what, what + std::strlen(what));  // a function name: ASCII
    text += rc == SQL_INVALID_HANDLE ? u": invalid handle" : u" failed";
    return Make(E_FAIL, u"HY000", text);
  }
  ProviderError lead = records.front();
  size_t from = 1;
  if (lead.sqlState == u"57014" && lead.description.find(u"timeout") != std::u16string::npos) {
    lead = Make(DB_E_CANCELED, u"HYT00", u"Query timeout expired");
    from = 0;
  }
  for (size_t i = from; i < records.size(); ++i) lead.further.push_back(std::move(records[i]));
  return lead;
}

bool OdbcDiagnostics::Failed(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what,
                             ProviderError& err) {
  if (SQL_SUCCEEDED(rc)) return false;
  err = Collect(type, handle, rc, what);
  return true;
}

bool OdbcDiagnostics::HasState(SQLSMALLINT type, SQLHANDLE handle, std::u16string_view want) {
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {0};
    SQLWCHAR text[8];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN r = SQLGetDiagRecW(type, handle, i, state, &native, text, 8, &length);
    if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) return false;
    if (std::u16string_view(reinterpret_cast<const char16_t*>(state), 5) == want) return true;
  }
}

}  // namespace kp::ado
