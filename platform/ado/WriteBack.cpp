// The write-back of a client cursor (see WriteBack.h).
#include "WriteBack.h"

#include "AdoConnection.h"
#include "AdoError.h"
#include "TextUtil.h"
#include "ValueConversion.h"

namespace kp::ado {
namespace {

HRESULT Fail(int number) {
  return AdoFail(AdoErr(number), kSrcRecordset);
}

SqlDialect DialectOf(ProviderSession* s) {
  return SqlDialect{[s](std::u16string_view name) { return s->QuoteIdentifier(name); }, s->NullSafeEquals()};
}

}  // namespace

HRESULT WriteBack::Analyse(AdoConnection* conn, std::vector<ColumnInfo>& cols, bool client,
                           LockTypeEnum lockType) {
  updatable_ = false;
  table_.clear();
  locator_ = RowLocator();
  if (client && lockType != adLockReadOnly && conn) {
    // One base table: every column that has one names the same.
    bool one = true;
    for (auto& c : cols) {
      if (c.rowId || c.baseTable.empty()) continue;
      if (table_.empty())
        table_ = c.baseTable;
      else if (!EqualsNoCase(table_, c.baseTable))
        one = false;
    }
    if (one && !table_.empty()) {
      updatable_ = true;
      std::vector<std::u16string> keys;
      bool hasRowId = false;
      ProviderError err;
      // Without the whole key, edits could not be told to change their own row only.
      if (FAILED(conn->Session()->TableKey(table_, keys, hasRowId, err))) {
        updatable_ = false;
        return conn->RaiseProvider(err);
      }
      std::vector<int>& keyCols = locator_.keyColumns;
      for (const auto& k : keys) {
        int found = -1;
        for (size_t i = 0; i < cols.size(); ++i)
          if (!cols[i].rowId && EqualsNoCase(cols[i].baseColumn, k)) found = (int)i;
        if (found < 0) {
          keyCols.clear();
          break;
        }
        keyCols.push_back(found);
      }
      // Key columns are key fields (adFldKeyColumn) even where the cursor could not tell.
      for (int k : keyCols) cols[k].primaryKey = true;
      for (size_t i = 0; i < cols.size(); ++i)
        if (cols[i].rowId) locator_.rowIdColumn = hasRowId ? (int)i : -1;
    }
  }
  if (!conn && client) updatable_ = lockType != adLockReadOnly;  // persisted: local edits
  for (auto& c : cols)
    c.ComputeAttributes(updatable_ && (!conn || (!c.baseTable.empty() && EqualsNoCase(c.baseTable, table_))));
  return S_OK;
}

void WriteBack::CopyAnalysis(const WriteBack& other, bool mayWrite) {
  updatable_ = other.updatable_ && mayWrite;
  table_ = other.table_;
  locator_ = other.locator_;
}

void WriteBack::Begin(const Cell* row, size_t columns) {
  if (Pending()) return;
  arena_ = std::make_unique<Arena>(4096);
  edit_.assign(row, row + columns);
  for (auto& c : edit_) c = arena_->Copy(c);
  changed_.assign(columns, false);
  mode_ = adEditInProgress;
}

void WriteBack::BeginAdd(size_t columns) {
  arena_ = std::make_unique<Arena>(4096);
  edit_.assign(columns, Cell());
  changed_.assign(columns, false);
  mode_ = adEditAdd;
}

HRESULT WriteBack::Put(size_t column, const ColumnInfo& info, const VARIANT& value) {
  Cell cell;
  HRESULT hr = ValueConversion::VariantToCell(value, &info, *arena_, cell);
  if (FAILED(hr)) return AdoFail(hr == DISP_E_TYPEMISMATCH ? AdoErr(adErrDataConversion) : hr, kSrcRecordset);
  edit_[column] = cell;
  changed_[column] = true;
  return S_OK;
}

void WriteBack::Clear() {
  mode_ = adEditNone;
  edit_.clear();
  changed_.clear();
  arena_.reset();
}

HRESULT WriteBack::Write(AdoConnection* conn, RowSet& rows, long row, LONG timeout, size_t& written) {
  if (conn) {
    HRESULT hr = WriteToTable(conn, rows, row, timeout);
    if (hr != S_OK) return hr;  // failed, or nothing to write
  }
  // A persisted recordset without a connection keeps its edits locally.
  written = Store(conn, rows, row);
  return S_OK;
}

// Runs the INSERT or UPDATE of the pending edit. An update must change exactly its one row;
// RunWrite rolls back one that changes none or several.
HRESULT WriteBack::WriteToTable(AdoConnection* conn, RowSet& rows, long row, LONG timeout) {
  if (!conn->IsOpen()) return Fail(adErrInvalidConnection);
  const std::vector<ColumnInfo>& cols = rows.Columns();
  SqlDialect dialect = DialectOf(conn->Session());
  WriteStatement statement;
  if (mode_ == adEditAdd) {
    statement = WriteStatement::Insert(dialect, table_, cols, changed_);
  } else {
    if (!WriteStatement::Update(dialect, table_, cols, changed_, locator_, statement))
      return Fail(adErrFeatureNotAvailable);
    if (statement.sql.empty()) return S_FALSE;  // no column changed
  }
  std::vector<Cell> params =
      statement.Bind(edit_.data(), mode_ == adEditAdd ? nullptr : rows.Cells((size_t)row));
  LONG affected = 0;
  HRESULT hr;
  if (mode_ == adEditInProgress) {
    hr = conn->RunWrite(statement.sql, params, timeout, true, affected);
  } else {
    std::unique_ptr<ProviderCursor> none;
    hr = conn->Run(statement.sql, params, timeout, none, affected);
  }
  if (FAILED(hr)) return hr;  // the pending edit stays; nothing changed here
  if (mode_ == adEditInProgress && affected != 1) return RowNotLocated(conn);
  return S_OK;
}

// Stores the written edit in the row set: a new row gets every cell, with the key the engine
// generated for it; an edited row gets its changed cells. Answers the row stored.
size_t WriteBack::Store(AdoConnection* conn, RowSet& rows, long row) {
  const std::vector<ColumnInfo>& cols = rows.Columns();
  if (mode_ != adEditAdd) {
    for (size_t c = 0; c < cols.size(); ++c)
      if (changed_[c]) rows.Set((size_t)row, c, edit_[c]);
    return (size_t)row;
  }
  size_t r = rows.AppendRow();
  for (size_t c = 0; c < cols.size(); ++c) {
    Cell v = edit_[c];
    if (conn) {
      // The generated key: the rowid, an auto-increment column, or a single integer key that
      // the engine filled (SQLite's INTEGER PRIMARY KEY is the rowid).
      bool generated =
          cols[c].rowId ||
          (!changed_[c] && (cols[c].autoIncrement || (cols[c].primaryKey && locator_.keyColumns.size() <= 1 &&
                                                      cols[c].type == adInteger)));
      int64_t id = 0;
      if (generated && conn->Session()->LastInsertId(table_, cols[c].baseColumn, id)) v = Cell::Int(id);
    }
    rows.Set(r, c, v);
  }
  return r;
}

HRESULT WriteBack::Delete(AdoConnection* conn, const RowSet& rows, size_t row, LONG timeout) {
  if (!conn) return S_OK;
  if (!conn->IsOpen()) return Fail(adErrInvalidConnection);
  WriteStatement statement;
  if (!WriteStatement::Delete(DialectOf(conn->Session()), table_, rows.Columns(), locator_, statement))
    return Fail(adErrFeatureNotAvailable);
  LONG n = 0;
  HRESULT hr = conn->RunWrite(statement.sql, statement.Bind(nullptr, rows.Cells(row)), timeout, false, n);
  if (FAILED(hr)) return hr;
  if (n > 1) return RowNotLocated(conn);  // rolled back: the row's values are not its own
  return S_OK;
}

// The cursor engine's answer when the row an edit or delete is written to cannot be told apart
// from the others: none matches its key, or several share the values that locate it. The write
// has been rolled back.
HRESULT WriteBack::RowNotLocated(AdoConnection* conn) {
  ProviderError e;
  e.hr = E_FAIL;
  e.sqlState = u"HY000";
  e.source = u"Microsoft Cursor Engine";
  e.description =
      u"Row cannot be located for updating. Some values may have been changed since it was last read.";
  return conn->RaiseProvider(e);
}

}  // namespace kp::ado
