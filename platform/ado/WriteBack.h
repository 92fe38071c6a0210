// The write-back of a client cursor: whether its rows can be written (one base table, and what
// locates a row of it), the pending edit (AddNew or field writes, until Update or CancelUpdate),
// and writing that edit or a delete to the table and then to the row set.
//
// A recordset is updatable when it is a client cursor with a lock type other than
// adLockReadOnly whose columns come from one base table; the table's key is asked of the
// provider (a failure fails the open: without the whole key an edit could change other rows).
// Each edit runs as its own statement on the connection (inside its transaction when one is
// open) through WriteStatement; a failed write leaves the database, the row set and the pending
// edit as they were. A recordset reopened from a persisted file has no connection: its edits
// are stored in the row set only. Server cursors are never updatable, so this never sees one.
#pragma once
#include <msado15.tlh>

#include <memory>
#include <string>
#include <vector>

#include "RowSet.h"
#include "WriteStatement.h"

namespace kp::ado {

class AdoConnection;

class WriteBack {
 public:
  // Finds the base table and its key for the columns of a newly opened cursor and sets their
  // attributes (adFldUpdatable, key columns). conn is null for a persisted recordset.
  HRESULT Analyse(AdoConnection* conn, std::vector<ColumnInfo>& columns, bool client, LockTypeEnum lockType);
  // A clone's write-back: other's table and key; updatable only where other is and the clone may.
  void CopyAnalysis(const WriteBack& other, bool mayWrite);
  bool Updatable() const { return updatable_; }

  // The pending edit: adEditNone, adEditInProgress (fields of the current row written) or
  // adEditAdd (a new row). Its cells hold every column, changed or not.
  EditModeEnum Mode() const { return mode_; }
  bool Pending() const { return mode_ == adEditAdd || mode_ == adEditInProgress; }
  const Cell* Cells() const { return edit_.data(); }
  // Starts an edit of a row from its cells (nothing when an edit is pending already).
  void Begin(const Cell* row, size_t columns);
  // Starts a new row of Null cells.
  void BeginAdd(size_t columns);
  // Writes value (converted to info's type) into column of the pending edit.
  HRESULT Put(size_t column, const ColumnInfo& info, const VARIANT& value);
  void Clear();

  // Writes the pending edit: a new row is inserted and appended to rows, an edited one (row,
  // the current row) updated there. written is the row stored. S_FALSE when no column changed
  // (nothing written). On a failure nothing changed and the edit stays pending.
  HRESULT Write(AdoConnection* conn, RowSet& rows, long row, LONG timeout, size_t& written);
  // Deletes row from the table (a persisted recordset has none: nothing to do). The caller
  // marks it deleted in the row set.
  HRESULT Delete(AdoConnection* conn, const RowSet& rows, size_t row, LONG timeout);

 private:
  HRESULT WriteToTable(AdoConnection* conn, RowSet& rows, long row, LONG timeout);
  size_t Store(AdoConnection* conn, RowSet& rows, long row);
  HRESULT RowNotLocated(AdoConnection* conn);

  bool updatable_ = false;
  std::u16string table_;
  RowLocator locator_;

  EditModeEnum mode_ = adEditNone;
  std::vector<Cell> edit_;
  std::vector<bool> changed_;
  std::unique_ptr<Arena> arena_;
};

}  // namespace kp::ado
