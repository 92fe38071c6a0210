// The OLE DB schema rowsets that Connection.OpenSchema answers (adSchemaTables, adSchemaColumns,
// adSchemaPrimaryKeys): their column names and types in one place, and an in-memory cursor for
// providers that build the rows themselves from catalog functions (ODBC's SQLTables, SQLColumns,
// SQLPrimaryKeys) instead of answering with SQL.
//
// Column types follow the OLE DB documentation of each rowset (names as VARCHAR(128), GUIDs as
// VARCHAR(38), ordinals UNSIGNED INT, DATA_TYPE SMALLINT ...), given as declared types so that the
// SQL-answering SQLite provider and this cursor type them alike (ColumnInfo::TypeFromDeclaration).
// The rows are few (a catalog), so the cursor keeps them all; text lives in its arena.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Provider.h"

namespace kp::ado {

class SchemaRowset final : public ProviderCursor {
 public:
  struct Column {
    const char16_t* name;
    const char16_t* declType;
  };
  // The columns of schema (empty for a schema this layer does not describe).
  static const std::vector<Column>& Layout(int schema);
  // The declared types of Layout(schema), in order.
  static std::vector<std::u16string> DeclTypes(int schema);

  // An empty rowset with the columns of schema.
  explicit SchemaRowset(int schema);
  std::vector<ColumnInfo>& Columns() override { return columns_; }
  HRESULT Next(ProviderError& err) override;
  void Read(size_t c, Cell& cell, Arena& arena) override { cell = arena.Copy(rows_[pos_][c]); }

  // Appends a row of Null cells; the setters fill the last row.
  void AddRow();
  void SetText(size_t c, std::u16string_view text);
  void SetInt(size_t c, int64_t v) { rows_.back()[c] = Cell::Int(v); }
  void SetNull(size_t c) { rows_.back()[c] = Cell(); }
  size_t RowCount() const { return rows_.size(); }

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<Cell>> rows_;
  Arena arena_{16 * 1024};
  size_t pos_ = 0;
  bool started_ = false;
};

}  // namespace kp::ado
