// A session of the SQLite provider (see SqliteSession.h).
#include "SqliteSession.h"

#include <msado15.tlh>

#include "AdoText.h"
#include "SchemaRowset.h"
#include "SqliteCursor.h"
#include "SqliteDiagnostics.h"
#include "UtilErrors.h"

namespace kp::ado {

SqliteSession::SqliteSession(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
  sqlite3_progress_handler(db_, 10000, &SqliteSession::Progress, this);
}

HRESULT SqliteSession::Execute(std::u16string_view sql, const std::vector<Cell>& params,
                               std::unique_ptr<ProviderCursor>& cursor, LONG& affected, ProviderError& err) {
  cursor.reset();
  affected = 0;
  std::u16string text(sql);
  const char16_t* tail = text.c_str();
  const char16_t* end = text.c_str() + text.size();
  bool first = true, any = false;
  StartClock();
  while (tail < end) {
    sqlite3_stmt* stmt = nullptr;
    const void* next = nullptr;
    int rc = sqlite3_prepare16_v2(db_, tail, (int)((end - tail) * 2), &stmt, &next);
    if (rc != SQLITE_OK) {
      err = SqliteDiagnostics::Make(db_, rc);
      return err.hr;
    }
    tail = static_cast<const char16_t*>(next);
    if (!stmt) continue;  // blank or a comment
    any = true;
    if (first) {
      HRESULT hr = Bind(stmt, params, err);
      if (FAILED(hr)) {
        sqlite3_finalize(stmt);
        return hr;
      }
    }
    first = false;
    if (sqlite3_column_count(stmt) > 0) {
      auto c = std::make_unique<SqliteCursor>(this, stmt);
      int src = c->Describe(db_);
      if (src != SQLITE_OK) {
        err = SqliteDiagnostics::Make(nullptr, src);  // Describe's own result, not the connection's last one
        return err.hr;
      }
      src = c->Step();
      if (src != SQLITE_ROW && src != SQLITE_DONE) {
        err = SqliteDiagnostics::Make(db_, src, timedOut_);
        return err.hr;
      }
      affected = -1;
      cursor = std::move(c);
      return S_OK;  // statements after a row-returning one are not run
    }
    int src = sqlite3_step(stmt);
    if (src != SQLITE_DONE && src != SQLITE_ROW) {
      err = SqliteDiagnostics::Make(db_, src, timedOut_);
      sqlite3_finalize(stmt);
      return err.hr;
    }
    affected += sqlite3_changes(db_);
    sqlite3_finalize(stmt);
  }
  if (!any) {
    err.hr = DB_E_NOCOMMAND;
    err.description = u"Command text was not set for the command object.";
    err.sqlState = u"42000";
    err.source = SqliteDiagnostics::kSource;
    return err.hr;
  }
  return S_OK;
}

HRESULT SqliteSession::ParameterCount(std::u16string_view sql, int& count, ProviderError& err) {
  std::u16string text(sql);
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare16_v2(db_, text.c_str(), (int)text.size() * 2, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    err = SqliteDiagnostics::Make(db_, rc);
    return err.hr;
  }
  count = stmt ? sqlite3_bind_parameter_count(stmt) : 0;
  sqlite3_finalize(stmt);
  return S_OK;
}

HRESULT SqliteSession::Begin(int level, ProviderError& err) {
  return Run(level == 1 ? "BEGIN" : "SAVEPOINT kp_level" + std::to_string(level), err);
}

HRESULT SqliteSession::Commit(int level, ProviderError& err) {
  return Run(level == 1 ? "COMMIT" : "RELEASE kp_level" + std::to_string(level), err);
}

HRESULT SqliteSession::Rollback(int level, ProviderError& err) {
  // After an I/O error or running out of memory inside a transaction SQLite may have rolled the
  // whole transaction back itself; then there is nothing left to roll back, at any level.
  if (sqlite3_get_autocommit(db_)) return S_OK;
  if (level == 1) return Run("ROLLBACK", err);
  std::string sp = "kp_level" + std::to_string(level);
  HRESULT hr = Run("ROLLBACK TO " + sp, err);
  return FAILED(hr) ? hr : Run("RELEASE " + sp, err);
}

HRESULT SqliteSession::Schema(int schema, const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) {
  auto restriction = [&](size_t i) {
    Cell c;
    if (i < r.size() && r[i].vt == VT_BSTR) {
      q.storage.emplace_back(BstrView(r[i].bstrVal));
      c.kind = CellKind::Text;
      c.size = (uint32_t)q.storage.back().size();
    }
    return c;
  };
  q.storage.reserve(4);
  switch (schema) {
    case adSchemaTables:
      q.sql =
          uR"(SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, name AS TABLE_NAME,
  CASE WHEN type = 'view' THEN 'VIEW' WHEN name LIKE 'sqlite\_%' ESCAPE '\' THEN 'SYSTEM TABLE'
  ELSE 'TABLE' END AS TABLE_TYPE, NULL AS TABLE_GUID, NULL AS DESCRIPTION, NULL AS TABLE_PROPID,
  NULL AS DATE_CREATED, NULL AS DATE_MODIFIED
FROM sqlite_master
WHERE type IN ('table', 'view') AND (?1 IS NULL OR name = ?1) AND (?2 IS NULL OR TABLE_TYPE = ?2)
ORDER BY TABLE_TYPE, TABLE_NAME)";
      q.params = {restriction(2), restriction(3)};
      q.declTypes = SchemaRowset::DeclTypes(adSchemaTables);
      break;
    case adSchemaColumns:
      q.sql =
          uR"(SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, m.name AS TABLE_NAME,
  p.name AS COLUMN_NAME, NULL AS COLUMN_GUID, NULL AS COLUMN_PROPID, p.cid + 1 AS ORDINAL_POSITION,
  p.dflt_value IS NOT NULL AS COLUMN_HASDEFAULT, p.dflt_value AS COLUMN_DEFAULT,
  kp_ado_flags(p.type, p."notnull", p.pk) AS COLUMN_FLAGS, NOT p."notnull" AS IS_NULLABLE,
  kp_ado_type(p.type) AS DATA_TYPE, NULL AS TYPE_GUID,
  kp_ado_size(p.type) AS CHARACTER_MAXIMUM_LENGTH, NULL AS CHARACTER_OCTET_LENGTH,
  kp_ado_precision(p.type) AS NUMERIC_PRECISION, kp_ado_scale(p.type) AS NUMERIC_SCALE
FROM sqlite_master m JOIN pragma_table_info(m.name) p
WHERE m.type IN ('table', 'view') AND (?1 IS NULL OR m.name = ?1) AND (?2 IS NULL OR p.name = ?2)
ORDER BY m.name, p.cid)";
      q.params = {restriction(2), restriction(3)};
      q.declTypes = SchemaRowset::DeclTypes(adSchemaColumns);
      break;
    case adSchemaPrimaryKeys:
      q.sql =
          uR"(SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, m.name AS TABLE_NAME,
  p.name AS COLUMN_NAME, NULL AS COLUMN_GUID, NULL AS COLUMN_PROPID, p.pk AS ORDINAL,
  'PK_' || m.name AS PK_NAME
FROM sqlite_master m JOIN pragma_table_info(m.name) p
WHERE m.type = 'table' AND p.pk > 0 AND (?1 IS NULL OR m.name = ?1)
ORDER BY m.name, p.pk)";
      q.params = {restriction(2)};
      q.declTypes = SchemaRowset::DeclTypes(adSchemaPrimaryKeys);
      break;
    default:
      err.hr = AdoErr(adErrFeatureNotAvailable);
      err.description = u"Object or provider is not able to perform requested operation.";
      err.sqlState = u"HYC00";
      err.source = SqliteDiagnostics::kSource;
      return err.hr;
  }
  // Text restrictions point into storage, which no longer moves.
  size_t k = 0;
  for (Cell& c : q.params)
    if (c.kind == CellKind::Text) c.p = q.storage[k++].data();
  return S_OK;
}

HRESULT SqliteSession::TableKey(std::u16string_view table, std::vector<std::u16string>& keys, bool& hasRowId,
                                ProviderError& err) {
  keys.clear();
  std::string t = ToUtf8(table);
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, R"(SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk)", -1,
                              &stmt, nullptr);
  if (rc != SQLITE_OK) {
    err = SqliteDiagnostics::Make(db_, rc);
    return err.hr;
  }
  // A key read in part would key edits by some of its columns only: any failure fails.
  rc = sqlite3_bind_text(stmt, 1, t.c_str(), (int)t.size(), SQLITE_TRANSIENT);
  while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    if (name == nullptr)
      rc = SQLITE_NOMEM;
    else
      keys.push_back(FromUtf8(name)), rc = SQLITE_OK;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) {
    keys.clear();
    err = SqliteDiagnostics::Make(db_, rc);
    return err.hr;
  }
  // A table without a rowid refuses the probe as SQL (SQLITE_ERROR); other failures fail.
  std::string probe = "SELECT rowid FROM " + ToUtf8(QuoteIdentifier(table)) + " LIMIT 0";
  rc = sqlite3_prepare_v2(db_, probe.c_str(), -1, &stmt, nullptr);
  sqlite3_finalize(stmt);
  hasRowId = rc == SQLITE_OK;
  if (rc != SQLITE_OK && rc != SQLITE_ERROR) {
    keys.clear();
    err = SqliteDiagnostics::Make(db_, rc);
    return err.hr;
  }
  return S_OK;
}

bool SqliteSession::LastInsertId(std::u16string_view, std::u16string_view, int64_t& id) {
  id = sqlite3_last_insert_rowid(db_);
  return true;
}

std::u16string SqliteSession::QuoteIdentifier(std::u16string_view name) const {
  std::u16string q = u"\"";
  for (char16_t c : name) {
    if (c == u'"') q.push_back(u'"');
    q.push_back(c);
  }
  q.push_back(u'"');
  return q;
}

std::u16string SqliteSession::WithRowId(std::u16string_view sql, std::u16string_view alias) const {
  // Only a plain "SELECT <list> FROM ..." whose rows are table rows can carry the rowid.
  std::u16string up = ToUpperAscii(sql);
  size_t i = 0;
  while (i < up.size() && (up[i] == u' ' || up[i] == u'\t' || up[i] == u'\r' || up[i] == u'\n')) ++i;
  if (up.compare(i, 6, u"SELECT") != 0 || i + 6 >= up.size()) return {};
  // Words that make rows other than table rows (outside quotes).
  std::u16string words;
  char16_t quote = 0;
  for (char16_t c : up) {
    if (quote) {
      if (c == quote) quote = 0;
      words.push_back(u' ');
    } else if (c == u'\'' || c == u'"' || c == u'[' || c == u'`') {
      quote = c == u'[' ? u']' : c;
      words.push_back(u' ');
    } else {
      words.push_back((c >= u'A' && c <= u'Z') || c == u'_' ? c : u' ');
    }
  }
  words = u" " + words + u" ";
  for (const char16_t* w : {u" DISTINCT ", u" GROUP ", u" UNION ", u" INTERSECT ", u" EXCEPT ", u" JOIN ",
                            u" VALUES ", u" WITH "})
    if (words.find(w) != std::u16string::npos) return {};
  std::u16string out(sql.substr(0, i + 6));
  out += u" rowid AS ";
  out += QuoteIdentifier(alias);
  out += u",";
  out += sql.substr(i + 6);
  return out;
}

void SqliteSession::SetCommandTimeout(LONG seconds) {
  timeoutSeconds_ = seconds;
  sqlite3_busy_timeout(db_, seconds > 0 ? seconds * 1000 : 0);
}

void SqliteSession::StartClock() {
  timedOut_ = false;
  deadline_ = timeoutSeconds_ > 0 ? std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_)
                                  : std::chrono::steady_clock::time_point::max();
}

int SqliteSession::Progress(void* self) {
  auto* s = static_cast<SqliteSession*>(self);
  if (std::chrono::steady_clock::now() > s->deadline_) {
    s->timedOut_ = true;
    return 1;  // interrupts the statement
  }
  return 0;
}

HRESULT SqliteSession::Bind(sqlite3_stmt* stmt, const std::vector<Cell>& params, ProviderError& err) {
  int count = sqlite3_bind_parameter_count(stmt);
  if ((int)params.size() < count) {
    err.hr = DB_E_PARAMNOTOPTIONAL;
    err.description = u"No value given for one or more required parameters.";
    err.sqlState = u"07002";
    err.source = SqliteDiagnostics::kSource;
    return err.hr;
  }
  for (int i = 0; i < count; ++i) {
    const Cell& c = params[i];
    int rc = SQLITE_OK;
    switch (c.kind) {
      case CellKind::Null:
        rc = sqlite3_bind_null(stmt, i + 1);
        break;
      case CellKind::Int:
        rc = sqlite3_bind_int64(stmt, i + 1, c.i);
        break;
      case CellKind::Real:
        rc = sqlite3_bind_double(stmt, i + 1, c.d);
        break;
      case CellKind::Text:
        rc = sqlite3_bind_text16(stmt, i + 1, c.size ? c.p : u"", (int)c.size * 2, SQLITE_TRANSIENT);
        break;
      case CellKind::Blob:
        rc = sqlite3_bind_blob(stmt, i + 1, c.size ? c.p : "", (int)c.size, SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) {
      err = SqliteDiagnostics::Make(db_, rc);
      return err.hr;
    }
  }
  return S_OK;
}

HRESULT SqliteSession::Run(const std::string& sql, ProviderError& err) {
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    err = SqliteDiagnostics::Make(db_, rc);
    return err.hr;
  }
  return S_OK;
}

}  // namespace kp::ado
