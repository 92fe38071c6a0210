// The SQL that writes a client cursor's edits back to its base table: INSERT for an added row,
// UPDATE of the changed columns and DELETE, each keyed to its one row. Building it is a pure
// function of the table, its columns, which of them changed and how the row is located, so it is
// tested without a database; the values come later, from the parameter order (Bind).
//
// A row is located by the table's primary key when the result holds all of it ("k = ?"), else
// by the rowid fetched as a hidden column ("rowid = ?"), else by every original value of the
// columns that come from the table (compared with the engine's Null-safe equality, so a Null
// matches a Null). The rowid column itself is never written. Names are quoted by the engine's
// rule (ProviderSession::QuoteIdentifier). The class is exported from the library for its test
// only.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ColumnInfo.h"
#include "RowSet.h"
#include "kp/kpplatform.h"

namespace kp::ado {

// What a statement needs of the engine's SQL dialect.
struct SqlDialect {
  std::function<std::u16string(std::u16string_view)> quote;  // QuoteIdentifier
  std::u16string nullSafeEquals = u" IS ?";                  // NullSafeEquals
};

// How the row a write changes is found: its key columns (all of them, or none), else the hidden
// rowid column (-1: none), else all its values.
struct RowLocator {
  std::vector<int> keyColumns;
  int rowIdColumn = -1;
};

// Where a '?' of a statement takes its value: the pending edit, or the row as it was last read.
enum class ValueSource { Edit, Row };
struct StatementParam {
  ValueSource source;
  size_t column;
  bool operator==(const StatementParam&) const = default;
};

class KPAPI WriteStatement {
 public:
  std::u16string sql;  // empty: nothing to write
  std::vector<StatementParam> params;

  // The parameter values in order: edit and row are the cells of the pending edit and of the row
  // as last read (either may be null when the statement takes nothing from it).
  std::vector<Cell> Bind(const Cell* edit, const Cell* row) const;

  // INSERT of the changed columns (DEFAULT VALUES when none changed).
  static WriteStatement Insert(const SqlDialect& dialect, std::u16string_view table,
                               const std::vector<ColumnInfo>& columns, const std::vector<bool>& changed);
  // UPDATE of the changed columns of the located row. An empty sql when no column changed;
  // false when the row cannot be located (no column tells it).
  static bool Update(const SqlDialect& dialect, std::u16string_view table,
                     const std::vector<ColumnInfo>& columns, const std::vector<bool>& changed,
                     const RowLocator& locator, WriteStatement& out);
  // DELETE of the located row; false when the row cannot be located.
  static bool Delete(const SqlDialect& dialect, std::u16string_view table,
                     const std::vector<ColumnInfo>& columns, const RowLocator& locator, WriteStatement& out);

 private:
  // Appends the condition that locates the row to sql; false when no column tells it.
  bool AppendWhere(const SqlDialect& dialect, const std::vector<ColumnInfo>& columns,
                   const RowLocator& locator);
};

}  // namespace kp::ado
