// The SQLite provider (see SqliteProvider.h).
#include "SqliteProvider.h"

#include <msado15.tlh>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>

#include "AdoText.h"
#include "ConnectionString.h"
#include "SqliteDiagnostics.h"
#include "SqliteSession.h"

namespace kp::ado {
namespace {

std::u16string U16(const void* p) {
  return p ? std::u16string(static_cast<const char16_t*>(p)) : std::u16string();
}

// Schema helpers callable from SQL: the ADO metadata of a declared type.
void SqlAdoMeta(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int what = (int)(intptr_t)sqlite3_user_data(ctx);
  ColumnInfo col;
  const void* decl = argc > 0 ? sqlite3_value_text16(argv[0]) : nullptr;
  col.declType = U16(decl);
  if (!col.TypeFromDeclaration()) col.SetAdoType(adVarChar, 255);
  switch (what) {
    case 0:
      sqlite3_result_int(ctx, col.type);
      break;
    case 1:
      if (col.vt == VT_BSTR || col.IsBinary())
        sqlite3_result_int(ctx, col.definedSize);
      else
        sqlite3_result_null(ctx);
      break;
    case 2:
      if (col.precision != 255)
        sqlite3_result_int(ctx, col.precision);
      else
        sqlite3_result_null(ctx);
      break;
    case 3:
      if (col.scale != 255)
        sqlite3_result_int(ctx, col.scale);
      else
        sqlite3_result_null(ctx);
      break;
    default: {
      col.notNull = argc > 1 && sqlite3_value_int(argv[1]) != 0;
      col.primaryKey = argc > 2 && sqlite3_value_int(argv[2]) != 0;
      col.ComputeAttributes(true);
      sqlite3_result_int(ctx, col.attributes);
      break;
    }
  }
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string SqliteProvider::ResolvePath(const ConnectionString& cs, const std::string& udlFolder) {
  std::u16string ds = cs.Get(u"Data Source");
  if (ds.empty()) ds = cs.Get(u"DataSource");
  if (ds.empty()) ds = cs.Get(u"Database");
  std::string path = ToUtf8(ds);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty() || path == ":memory:" || path[0] == '/' || udlFolder.empty()) return path;
  return udlFolder + (udlFolder.back() == '/' ? "" : "/") + path;
}

HRESULT SqliteProvider::Open(const ConnectionString& cs, const ProviderLogin&, const std::string& udlFolder,
                             LONG timeoutSeconds, int mode, std::unique_ptr<ProviderSession>& session,
                             ProviderError& err) {
  std::string path = ResolvePath(cs, udlFolder);
  if (path.empty()) {
    err.hr = E_FAIL;
    err.sqlState = u"08001";
    err.description = u"No Data Source was given for the SQLite provider.";
    err.source = SqliteDiagnostics::kSource;
    return err.hr;
  }
  int flags = (mode & 3) == adModeRead ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc == SQLITE_OK && path != ":memory:") {
    // Another connection may hold the file's lock for a moment (a writer committing): the read
    // waits for it as long as ConnectionTimeout allows (0 waits without limit).
    sqlite3_busy_timeout(
        db, timeoutSeconds > 0 ? (int)std::min<LONG>(timeoutSeconds, INT_MAX / 1000) * 1000 : INT_MAX);
    // Reading the schema proves the file is a database (sqlite3_open_v2 does not read it).
    rc = sqlite3_exec(db, R"(SELECT count(*) FROM sqlite_master)", nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    err = SqliteDiagnostics::Make(db, rc);
    err.sqlState = u"08001";
    err.hr = E_FAIL;
    if (rc == SQLITE_CANTOPEN) err.description = u"unable to open database file: " + FromUtf8(path);
    sqlite3_close_v2(db);
    return err.hr;
  }
  // The schema queries need these functions: a connection without them fails to open.
  const char* names[] = {"kp_ado_type", "kp_ado_size", "kp_ado_precision", "kp_ado_scale", "kp_ado_flags"};
  for (int i = 0; i < 5 && rc == SQLITE_OK; ++i)
    rc = sqlite3_create_function(db, names[i], -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, (void*)(intptr_t)i,
                                 SqlAdoMeta, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    err = SqliteDiagnostics::Make(db, rc);
    err.sqlState = u"08001";
    err.hr = E_FAIL;
    sqlite3_close_v2(db);
    return err.hr;
  }
  auto s = std::make_unique<SqliteSession>(db, path);
  s->SetCommandTimeout(timeoutSeconds);
  session = std::move(s);
  return S_OK;
}

HRESULT SqliteProvider::Compact(const std::string& src, const std::string& dst, ProviderError& err) {
  err.source = SqliteDiagnostics::kSource;
  if (FileExists(dst)) {
    err.hr = E_FAIL;
    err.sqlState = u"HY000";
    err.description = u"The destination database already exists: " + FromUtf8(dst);
    return err.hr;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(src.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db, R"(VACUUM INTO ?1)", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, dst.c_str(), (int)dst.size(), SQLITE_TRANSIENT);
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
  }
  if (rc != SQLITE_OK) {
    err = SqliteDiagnostics::Make(db, rc);
    sqlite3_close_v2(db);
    return err.hr;
  }
  sqlite3_close_v2(db);
  return S_OK;
}

namespace {
struct Registration {
  Registration() { ProviderRegistry::Register(u"SQLite", &SqliteProvider::Open); }
} g_registration;
}  // namespace

}  // namespace kp::ado
