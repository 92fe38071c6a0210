// Building the write-back statements of a client cursor (see WriteStatement.h).
#include "WriteStatement.h"

namespace kp::ado {
namespace {

// Whether column c is written: changed, and a column of the table other than the rowid.
bool Written(const std::vector<ColumnInfo>& columns, const std::vector<bool>& changed, size_t c) {
  return changed[c] && !columns[c].rowId && !columns[c].baseColumn.empty();
}

}  // namespace

std::vector<Cell> WriteStatement::Bind(const Cell* edit, const Cell* row) const {
  std::vector<Cell> values;
  values.reserve(params.size());
  for (const StatementParam& p : params)
    values.push_back(p.source == ValueSource::Edit ? edit[p.column] : row[p.column]);
  return values;
}

WriteStatement WriteStatement::Insert(const SqlDialect& dialect, std::u16string_view table,
                                      const std::vector<ColumnInfo>& columns,
                                      const std::vector<bool>& changed) {
  WriteStatement out;
  std::u16string names, marks;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (!Written(columns, changed, c)) continue;
    if (!names.empty()) names += u", ", marks += u", ";
    names += dialect.quote(columns[c].baseColumn);
    marks += u"?";
    out.params.push_back({ValueSource::Edit, c});
  }
  std::u16string quoted = dialect.quote(table);
  out.sql = names.empty() ? u"INSERT INTO " + quoted + u" DEFAULT VALUES"
                          : u"INSERT INTO " + quoted + u" (" + names + u") VALUES (" + marks + u")";
  return out;
}

bool WriteStatement::Update(const SqlDialect& dialect, std::u16string_view table,
                            const std::vector<ColumnInfo>& columns, const std::vector<bool>& changed,
                            const RowLocator& locator, WriteStatement& out) {
  out = WriteStatement();
  std::u16string sets;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (!Written(columns, changed, c)) continue;
    if (!sets.empty()) sets += u", ";
    sets += dialect.quote(columns[c].baseColumn) + u" = ?";
    out.params.push_back({ValueSource::Edit, c});
  }
  if (sets.empty()) {
    out.params.clear();
    return true;  // nothing changed: nothing to write
  }
  out.sql = u"UPDATE " + dialect.quote(table) + u" SET " + sets + u" WHERE ";
  if (out.AppendWhere(dialect, columns, locator)) return true;
  out = WriteStatement();
  return false;
}

bool WriteStatement::Delete(const SqlDialect& dialect, std::u16string_view table,
                            const std::vector<ColumnInfo>& columns, const RowLocator& locator,
                            WriteStatement& out) {
  out = WriteStatement();
  out.sql = u"DELETE FROM " + dialect.quote(table) + u" WHERE ";
  if (out.AppendWhere(dialect, columns, locator)) return true;
  out = WriteStatement();
  return false;
}

bool WriteStatement::AppendWhere(const SqlDialect& dialect, const std::vector<ColumnInfo>& columns,
                                 const RowLocator& locator) {
  bool byKey = !locator.keyColumns.empty();
  if (!byKey && locator.rowIdColumn >= 0) {
    sql += u"rowid = ?";
    params.push_back({ValueSource::Row, (size_t)locator.rowIdColumn});
    return true;
  }
  std::vector<int> located = locator.keyColumns;
  if (!byKey)
    for (size_t i = 0; i < columns.size(); ++i)
      if (!columns[i].baseColumn.empty() && !columns[i].rowId) located.push_back((int)i);
  for (size_t k = 0; k < located.size(); ++k) {
    if (k) sql += u" AND ";
    sql += dialect.quote(columns[located[k]].baseColumn);
    sql += byKey ? u" = ?" : dialect.nullSafeEquals;
    params.push_back({ValueSource::Row, (size_t)located[k]});
  }
  return !located.empty();
}

}  // namespace kp::ado
