// The forward-only cursor of the SQLite provider over one prepared statement (owned; finalised
// with the cursor). The session steps the first row itself (Step) so that a failing statement
// fails Execute; Next hands out that row and steps the others. Columns are described from the
// statement (names, declared types, base table and column, NOT NULL, key, AUTOINCREMENT);
// a column without a declared type is typed by its value in the first row.
#pragma once
#include <sqlite3.h>

#include <vector>

#include "Provider.h"

namespace kp::ado {

class SqliteSession;

class SqliteCursor final : public ProviderCursor {
 public:
  SqliteCursor(SqliteSession* session, sqlite3_stmt* stmt) : session_(session), stmt_(stmt) {}
  ~SqliteCursor() override { sqlite3_finalize(stmt_); }
  SqliteCursor(const SqliteCursor&) = delete;
  SqliteCursor& operator=(const SqliteCursor&) = delete;
  std::vector<ColumnInfo>& Columns() override { return columns_; }
  HRESULT Next(ProviderError& err) override;
  void Read(size_t c, Cell& cell, Arena& arena) override;
  // Column names, declared types and base columns; SQLITE_OK, or the failure that kept them.
  int Describe(sqlite3* db);
  int Step();            // first row is stepped by Execute so that errors surface there
  int prefetched_ = -1;  // the result of Step that Next has not handed out yet, or -1

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

}  // namespace kp::ado
