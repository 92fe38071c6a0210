// A session of the SQLite provider: one connection (sqlite3*, owned). SQL text goes to SQLite as
// it is, statement after statement; '?' parameters bind to the first statement in order. The
// first statement that returns rows becomes the cursor, and the statements after it are not run.
// Transactions nest with savepoints (BEGIN, then SAVEPOINT kp_levelN). CommandTimeout is checked
// by a progress handler, which interrupts a statement past its deadline (HYT00), and is also
// the busy timeout. The schema rowsets are SQL over sqlite_master and pragma_table_info, typed
// by the kp_ado_* functions that SqliteProvider::Open registers on the connection.
#pragma once
#include <sqlite3.h>

#include <chrono>
#include <string>

#include "Provider.h"

namespace kp::ado {

class SqliteSession final : public ProviderSession {
 public:
  // Takes over an open connection; path is its file.
  explicit SqliteSession(sqlite3* db, std::string path);
  ~SqliteSession() override { sqlite3_close_v2(db_); }
  SqliteSession(const SqliteSession&) = delete;
  SqliteSession& operator=(const SqliteSession&) = delete;

  std::u16string ProviderName() const override { return u"SQLite"; }
  std::u16string DefaultDatabase() const override { return u"main"; }
  HRESULT Execute(std::u16string_view sql, const std::vector<Cell>& params,
                  std::unique_ptr<ProviderCursor>& cursor, LONG& affected, ProviderError& err) override;
  HRESULT ParameterCount(std::u16string_view sql, int& count, ProviderError& err) override;
  HRESULT Begin(int level, ProviderError& err) override;
  HRESULT Commit(int level, ProviderError& err) override;
  HRESULT Rollback(int level, ProviderError& err) override;
  HRESULT Schema(int schema, const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) override;
  HRESULT TableKey(std::u16string_view table, std::vector<std::u16string>& keys, bool& hasRowId,
                   ProviderError& err) override;
  bool LastInsertId(std::u16string_view, std::u16string_view, int64_t& id) override;
  std::u16string QuoteIdentifier(std::u16string_view name) const override;
  std::u16string WithRowId(std::u16string_view sql, std::u16string_view alias) const override;
  bool SupportsStoredProcedures() const override { return false; }
  void SetCommandTimeout(LONG seconds) override;
  void Interrupt() override { sqlite3_interrupt(db_); }

  // Starts the CommandTimeout's clock for a statement (or a fetch) about to run.
  void StartClock();
  // Whether the last interrupt came from the CommandTimeout.
  bool timedOut_ = false;
  sqlite3* db() { return db_; }

 private:
  // SQLite's progress handler: interrupts the statement once the deadline has passed.
  static int Progress(void* self);
  // Binds params to the '?' parameters of stmt in order; too few values is 07002.
  HRESULT Bind(sqlite3_stmt* stmt, const std::vector<Cell>& params, ProviderError& err);
  // Runs a statement without parameters or rows (transaction control).
  HRESULT Run(const std::string& sql, ProviderError& err);

  sqlite3* db_;
  std::string path_;
  LONG timeoutSeconds_ = 0;
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
};

}  // namespace kp::ado
