// The SQLite provider's cursor (see SqliteCursor.h).
#include "SqliteCursor.h"

#include "AdoText.h"
#include "SqliteDiagnostics.h"
#include "SqliteSession.h"

namespace kp::ado {

void SqliteCursor::Read(size_t c, Cell& cell, Arena& arena) {
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
    err = SqliteDiagnostics::Make(nullptr, rc);
    return err.hr;
  }
  if (rc == SQLITE_ROW) return S_OK;
  if (rc == SQLITE_DONE) return S_FALSE;
  err = SqliteDiagnostics::Make(session_->db(), rc, session_->timedOut_);
  return err.hr;
}

}  // namespace kp::ado
