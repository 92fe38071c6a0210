// The SQLite provider (see SqliteProvider.h).
#include "SqliteProvider.h"

#include <msado15.tlh>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "AdoText.h"
#include "ConnectionString.h"
#include "SchemaRowset.h"
#include "UtilErrors.h"

namespace kp::ado {
namespace {

constexpr const char16_t* kSource = u"Microsoft OLE DB Provider for SQLite";

std::u16string U16(const void* p) {
  return p ? std::u16string(static_cast<const char16_t*>(p)) : std::u16string();
}

bool Contains(const std::u16string& s, const char16_t* what) {
  return s.find(what) != std::u16string::npos;
}

// The one place that turns a SQLite failure into an OLE DB error.
ProviderError MakeError(sqlite3* db, int rc, bool timedOut = false) {
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

class SqliteSession;

class SqliteCursor final : public ProviderCursor {
 public:
  SqliteCursor(SqliteSession* session, sqlite3_stmt* stmt) : session_(session), stmt_(stmt) {}
  ~SqliteCursor() override { sqlite3_finalize(stmt_); }
  std::vector<ColumnInfo>& Columns() override { return columns_; }
  HRESULT Next(ProviderError& err) override;
  void Read(size_t c, Cell& cell, Arena& arena) override {
    int col = (int)c;
    switch (sqlite3_column_type(stmt_, col)) {
      case SQLITE_INTEGER:
        cell = Cell::Int(sqlite3_column_int64(stmt_, col));
        break;
      case SQLITE_FLOAT:
        cell = Cell::Real(sqlite3_column_double(stmt_, col));
        break;
      case SQLITE_TEXT: {
        // Converted when the row was fetched (Fetched), so this allocates nothing.
        const void* t = sqlite3_column_text16(stmt_, col);
        int bytes = t ? sqlite3_column_bytes16(stmt_, col) : 0;
        cell = arena.Text(static_cast<const char16_t*>(t), (size_t)bytes / 2);
        break;
      }
      case SQLITE_BLOB: {
        const void* b = sqlite3_column_blob(stmt_, col);
        cell = arena.Blob(b, b ? (size_t)sqlite3_column_bytes(stmt_, col) : 0);
        break;
      }
      default:
        cell = Cell();
        break;
    }
  }
  // Column names, declared types and base columns; SQLITE_OK, or the failure that kept them.
  int Describe(sqlite3* db);
  int Step();  // first row is stepped by Execute so that errors surface there
  int prefetched_ = -1;

 private:
  // Makes every value of the row just stepped readable as Read reads it (text as UTF-16, blobs
  // in memory), so that a conversion that runs out of memory fails the fetch instead of
  // yielding a missing value. SQLITE_ROW, or SQLITE_NOMEM.
  int Fetched();

  SqliteSession* session_;
  sqlite3_stmt* stmt_;
  std::vector<ColumnInfo> columns_;
  bool typed_ = false;
};

class SqliteSession final : public ProviderSession {
 public:
  explicit SqliteSession(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
    sqlite3_progress_handler(db_, 10000, &SqliteSession::Progress, this);
  }
  ~SqliteSession() override { sqlite3_close_v2(db_); }

  std::u16string ProviderName() const override { return u"SQLite"; }
  std::u16string DefaultDatabase() const override { return u"main"; }

  HRESULT Execute(std::u16string_view sql, const std::vector<Cell>& params,
                  std::unique_ptr<ProviderCursor>& cursor, LONG& affected, ProviderError& err) override {
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
        err = MakeError(db_, rc);
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
          err = MakeError(nullptr, src);  // Describe's own result, not the connection's last one
          return err.hr;
        }
        src = c->Step();
        if (src != SQLITE_ROW && src != SQLITE_DONE) {
          err = MakeError(db_, src, timedOut_);
          return err.hr;
        }
        affected = -1;
        cursor = std::move(c);
        return S_OK;  // statements after a row-returning one are not run
      }
      int src = sqlite3_step(stmt);
      if (src != SQLITE_DONE && src != SQLITE_ROW) {
        err = MakeError(db_, src, timedOut_);
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
      err.source = kSource;
      return err.hr;
    }
    return S_OK;
  }

  HRESULT ParameterCount(std::u16string_view sql, int& count, ProviderError& err) override {
    std::u16string text(sql);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare16_v2(db_, text.c_str(), (int)text.size() * 2, &stmt, nullptr);
    if (rc != SQLITE_OK) {
      err = MakeError(db_, rc);
      return err.hr;
    }
    count = stmt ? sqlite3_bind_parameter_count(stmt) : 0;
    sqlite3_finalize(stmt);
    return S_OK;
  }

  HRESULT Begin(int level, ProviderError& err) override {
    return Run(level == 1 ? "BEGIN" : "SAVEPOINT kp_level" + std::to_string(level), err);
  }
  HRESULT Commit(int level, ProviderError& err) override {
    return Run(level == 1 ? "COMMIT" : "RELEASE kp_level" + std::to_string(level), err);
  }
  HRESULT Rollback(int level, ProviderError& err) override {
    // After an I/O error or running out of memory inside a transaction SQLite may have rolled the
    // whole transaction back itself; then there is nothing left to roll back, at any level.
    if (sqlite3_get_autocommit(db_)) return S_OK;
    if (level == 1) return Run("ROLLBACK", err);
    std::string sp = "kp_level" + std::to_string(level);
    HRESULT hr = Run("ROLLBACK TO " + sp, err);
    return FAILED(hr) ? hr : Run("RELEASE " + sp, err);
  }

  HRESULT Schema(int schema, const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) override {
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
        err.source = kSource;
        return err.hr;
    }
    // Text restrictions point into storage, which no longer moves.
    size_t k = 0;
    for (Cell& c : q.params)
      if (c.kind == CellKind::Text) c.p = q.storage[k++].data();
    return S_OK;
  }

  HRESULT TableKey(std::u16string_view table, std::vector<std::u16string>& keys, bool& hasRowId,
                   ProviderError& err) override {
    keys.clear();
    std::string t = ToUtf8(table);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, R"(SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk)", -1,
                                &stmt, nullptr);
    if (rc != SQLITE_OK) {
      err = MakeError(db_, rc);
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
      err = MakeError(db_, rc);
      return err.hr;
    }
    // A table without a rowid refuses the probe as SQL (SQLITE_ERROR); other failures fail.
    std::string probe = "SELECT rowid FROM " + ToUtf8(QuoteIdentifier(table)) + " LIMIT 0";
    rc = sqlite3_prepare_v2(db_, probe.c_str(), -1, &stmt, nullptr);
    sqlite3_finalize(stmt);
    hasRowId = rc == SQLITE_OK;
    if (rc != SQLITE_OK && rc != SQLITE_ERROR) {
      keys.clear();
      err = MakeError(db_, rc);
      return err.hr;
    }
    return S_OK;
  }

  bool LastInsertId(std::u16string_view, std::u16string_view, int64_t& id) override {
    id = sqlite3_last_insert_rowid(db_);
    return true;
  }

  std::u16string QuoteIdentifier(std::u16string_view name) const override {
    std::u16string q = u"\"";
    for (char16_t c : name) {
      if (c == u'"') q.push_back(u'"');
      q.push_back(c);
    }
    q.push_back(u'"');
    return q;
  }

  std::u16string WithRowId(std::u16string_view sql, std::u16string_view alias) const override {
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

  bool SupportsStoredProcedures() const override { return false; }
  void SetCommandTimeout(LONG seconds) override {
    timeoutSeconds_ = seconds;
    sqlite3_busy_timeout(db_, seconds > 0 ? seconds * 1000 : 0);
  }
  void Interrupt() override { sqlite3_interrupt(db_); }

  void StartClock() {
    timedOut_ = false;
    deadline_ = timeoutSeconds_ > 0 ? std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_)
                                    : std::chrono::steady_clock::time_point::max();
  }
  bool timedOut_ = false;
  sqlite3* db() { return db_; }

 private:
  static int Progress(void* self) {
    auto* s = static_cast<SqliteSession*>(self);
    if (std::chrono::steady_clock::now() > s->deadline_) {
      s->timedOut_ = true;
      return 1;  // interrupts the statement
    }
    return 0;
  }

  HRESULT Bind(sqlite3_stmt* stmt, const std::vector<Cell>& params, ProviderError& err) {
    int count = sqlite3_bind_parameter_count(stmt);
    if ((int)params.size() < count) {
      err.hr = DB_E_PARAMNOTOPTIONAL;
      err.description = u"No value given for one or more required parameters.";
      err.sqlState = u"07002";
      err.source = kSource;
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
        err = MakeError(db_, rc);
        return err.hr;
      }
    }
    return S_OK;
  }

  HRESULT Run(const std::string& sql, ProviderError& err) {
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      err = MakeError(db_, rc);
      return err.hr;
    }
    return S_OK;
  }

  sqlite3* db_;
  std::string path_;
  LONG timeoutSeconds_ = 0;
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
};

int SqliteCursor::Describe(sqlite3* db) {
  // The UTF-8 forms of the names: SQLite holds them so and answers them without allocating. A
  // column always has a name, so a null one means memory ran out.
  int n = sqlite3_column_count(stmt_);
  columns_.resize(n);
  for (int i = 0; i < n; ++i) {
    ColumnInfo& c = columns_[i];
    const char* name = sqlite3_column_name(stmt_, i);
    if (name == nullptr) return SQLITE_NOMEM;
    c.name = FromUtf8(name);
    const char* decl = sqlite3_column_decltype(stmt_, i);
    c.declType = decl ? FromUtf8(decl) : std::u16string();
    const char* table = sqlite3_column_table_name(stmt_, i);
    const char* origin = sqlite3_column_origin_name(stmt_, i);
    if (table && origin) {
      c.baseTable = FromUtf8(table);
      c.baseColumn = FromUtf8(origin);
      int notNull = 0, pk = 0, autoinc = 0;
      int rc = sqlite3_table_column_metadata(db, sqlite3_column_database_name(stmt_, i), table, origin,
                                             nullptr, nullptr, &notNull, &pk, &autoinc);
      if (rc == SQLITE_OK) {
        c.notNull = notNull != 0;
        c.primaryKey = pk != 0;
        c.autoIncrement = autoinc != 0;
      } else if ((rc & 0xFF) == SQLITE_NOMEM || (rc & 0xFF) == SQLITE_IOERR) {
        return rc;
      }
    }
    c.TypeFromDeclaration();
  }
  return SQLITE_OK;
}

int SqliteCursor::Step() {
  session_->StartClock();
  int rc = sqlite3_step(stmt_);
  if (!typed_ && rc == SQLITE_ROW) {
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (columns_[i].typed) continue;
      int t = sqlite3_column_type(stmt_, (int)i);
      columns_[i].TypeFromValue(t == SQLITE_INTEGER ? CellKind::Int
                                : t == SQLITE_FLOAT ? CellKind::Real
                                : t == SQLITE_BLOB  ? CellKind::Blob
                                : t == SQLITE_TEXT  ? CellKind::Text
                                                    : CellKind::Null);
    }
  }
  if (!typed_) {
    for (auto& c : columns_)
      if (!c.typed) c.TypeFromValue(CellKind::Null);
    typed_ = true;
  }
  prefetched_ = rc;
  return rc;
}

int SqliteCursor::Fetched() {
  for (int c = 0, n = (int)columns_.size(); c < n; ++c) {
    switch (sqlite3_column_type(stmt_, c)) {
      case SQLITE_TEXT:
        if (sqlite3_column_text16(stmt_, c) == nullptr) return SQLITE_NOMEM;
        break;
      case SQLITE_BLOB:
        if (sqlite3_column_blob(stmt_, c) == nullptr && sqlite3_column_bytes(stmt_, c) > 0)
          return SQLITE_NOMEM;
        break;
      default:
        break;
    }
  }
  return SQLITE_ROW;
}

HRESULT SqliteCursor::Next(ProviderError& err) {
  int rc;
  if (prefetched_ >= 0) {
    rc = prefetched_;
    prefetched_ = -1;
  } else {
    rc = sqlite3_step(stmt_);
  }
  if (rc == SQLITE_ROW) rc = Fetched();
  if (rc == SQLITE_NOMEM) {
    err = MakeError(nullptr, rc);
    return err.hr;
  }
  if (rc == SQLITE_ROW) return S_OK;
  if (rc == SQLITE_DONE) return S_FALSE;
  err = MakeError(session_->db(), rc, session_->timedOut_);
  return err.hr;
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
    err.source = kSource;
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
    err = MakeError(db, rc);
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
    err = MakeError(db, rc);
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
  err.source = kSource;
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
    err = MakeError(db, rc);
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
