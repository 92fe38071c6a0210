// The provider interface: what the ADO object model asks of a database engine, and the registry
// that picks an engine by the Provider= keyword of a connection string.
//
// A provider opens sessions. A session runs SQL with '?' parameters bound in order, yields a
// forward-only cursor for statements that return columns, and runs transactions, schema
// queries and a few metadata look-ups used to generate INSERT/UPDATE/DELETE for client cursors.
// Every failure fills a ProviderError (HRESULT, description, SQLSTATE, native code, source) that
// the connection turns into an Error object and an IErrorInfo; an engine that reports several
// diagnostics for one failure (ODBC) adds the others as further records, which become further
// Error objects. Implementations: embedded SQLite (SqliteProvider.h) and ODBC over unixODBC
// (OdbcProvider.h).
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ColumnInfo.h"
#include "RowSet.h"
#include "oaidl.h"

namespace kp::ado {

class ConnectionString;

struct ProviderError {
  HRESULT hr = E_FAIL;
  std::u16string description;
  std::u16string sqlState = u"HY000";
  LONG native = 0;
  std::u16string source;
  // Further diagnostics of the same failure, in the order the engine gave them (their own
  // further lists stay empty).
  std::vector<ProviderError> further;
};

class ProviderCursor {
 public:
  virtual ~ProviderCursor() = default;
  // Column metadata; columns without a declared type are typed at the first row (Next).
  virtual std::vector<ColumnInfo>& Columns() = 0;
  // Moves to the next row: S_OK on a row, S_FALSE past the last one, a failure with err.
  virtual HRESULT Next(ProviderError& err) = 0;
  // Column c of the current row; text and bytes are copied into arena.
  virtual void Read(size_t c, Cell& cell, Arena& arena) = 0;
};

// What a schema query needs: SQL with parameters, and declared types for its result columns; or,
// for a provider that answers from catalog functions, a ready cursor (sql then stays empty and
// the cursor's columns are typed already).
struct SchemaQuery {
  std::unique_ptr<ProviderCursor> cursor;
  std::u16string sql;
  std::vector<Cell> params;  // text payloads point into storage
  std::vector<std::u16string> declTypes;
  std::vector<std::u16string> storage;
};

class ProviderSession {
 public:
  virtual ~ProviderSession() = default;
  virtual std::u16string ProviderName() const = 0;  // "SQLite"
  virtual std::u16string DefaultDatabase() const = 0;
  // Runs sql. A statement with result columns yields cursor (before its first row); others run
  // to completion and report affected (-1 when the provider cannot tell).
  virtual HRESULT Execute(std::u16string_view sql, const std::vector<Cell>& params,
                          std::unique_ptr<ProviderCursor>& cursor, LONG& affected, ProviderError& err) = 0;
  // Number of '?' placeholders of sql (Parameters.Refresh).
  virtual HRESULT ParameterCount(std::u16string_view sql, int& count, ProviderError& err) = 0;
  // Transactions; level is the nesting level being started or ended (1 = outermost).
  virtual HRESULT Begin(int level, ProviderError& err) = 0;
  virtual HRESULT Commit(int level, ProviderError& err) = 0;
  virtual HRESULT Rollback(int level, ProviderError& err) = 0;
  // The query answering OpenSchema; E_NOTIMPL-like failure for schemas the provider lacks.
  virtual HRESULT Schema(int schema, const std::vector<VARIANT>& restrictions, SchemaQuery& query,
                         ProviderError& err) = 0;
  // Primary-key columns of a table (empty when it has none) and whether it has a rowid.
  virtual HRESULT TableKey(std::u16string_view table, std::vector<std::u16string>& keyColumns, bool& hasRowId,
                           ProviderError& err) = 0;
  // The key generated for column of table by this session's last INSERT (SQLite: the rowid;
  // PostgreSQL: the current value of the column's sequence). False when there is none.
  virtual bool LastInsertId(std::u16string_view table, std::u16string_view column, int64_t& id) = 0;
  virtual std::u16string QuoteIdentifier(std::u16string_view name) const = 0;
  // The comparison that matches a column with a '?' value, Null matching Null (for keying a
  // row by all its original values): " IS ?" where the engine has it.
  virtual std::u16string NullSafeEquals() const { return u" IS ?"; }
  // SQL that prefixes the select list with the row id ("SELECT rowid AS x, ..."), or empty when
  // the provider has no row ids or the statement cannot carry one.
  virtual std::u16string WithRowId(std::u16string_view sql, std::u16string_view alias) const = 0;
  virtual bool SupportsStoredProcedures() const = 0;
  virtual void SetCommandTimeout(LONG seconds) = 0;
  virtual void Interrupt() = 0;  // Cancel: stops a running statement
  // The warnings the engine reported for the statement Execute ran last (ODBC's
  // SQL_SUCCESS_WITH_INFO diagnostics); the connection hands them to InfoMessage. None by default.
  virtual const std::vector<ProviderError>& Warnings() const {
    static const std::vector<ProviderError> none;
    return none;
  }
};

// The user name and password that Connection.Open was given beside the connection string (empty
// when not given). ADO documents that they override the user and password of the string; an
// empty one overrides nothing. Engines without logins (SQLite) ignore them.
struct ProviderLogin {
  std::u16string user;
  std::u16string password;
};

// Opens a session from the parsed connection string and login. udlFolder is the folder of the
// .udl file the string came from ("" when it did not come from one): relative file names resolve
// there.
using ProviderOpen = HRESULT (*)(const ConnectionString& cs, const ProviderLogin& login,
                                 const std::string& udlFolder, LONG timeoutSeconds, int mode,
                                 std::unique_ptr<ProviderSession>& session, ProviderError& err);

class ProviderRegistry {
 public:
  // name is version-independent ("SQLite"); lookups ignore case and ".N" version suffixes.
  static void Register(std::u16string_view name, ProviderOpen open);
  static ProviderOpen Find(std::u16string_view providerValue);
};

}  // namespace kp::ado
