// The cursor behind an open Recordset, one implementation per cursor location: the server
// cursor (ServerCursor.h: forward-only over the provider's live cursor, one row held) and the
// client view (ClientView.h: every row materialised, with an order, a position, Filter and
// Sort). The Recordset keeps the COM surface, the pending edit and the checks common to both;
// what depends on the kind of cursor (moving, positions, bookmarks, Find, counting) is asked of
// this interface. Moves are called after the Recordset's BeforeMove (pending edit saved, move
// counted by the fault switch) unless said otherwise.
//
// A cursor refers to the Recordset's field map (the non-hidden column of each field), which the
// Recordset builds from Columns() right after the cursor is made and which lives as long as it.
// The interface and the client view are exported from the library for their unit tests.
#pragma once
#include <msado15.tlh>

#include <functional>
#include <string_view>
#include <vector>

#include "RowSet.h"
#include "kp/kpplatform.h"

namespace kp::ado {

class ClientView;
class Criteria;

class KPAPI RecordCursor {
 public:
  explicit RecordCursor(const std::vector<int>& fields) : fields_(fields) {}
  virtual ~RecordCursor();
  RecordCursor(const RecordCursor&) = delete;
  RecordCursor& operator=(const RecordCursor&) = delete;

  // Column metadata (hidden columns included); Field objects read it through the Recordset.
  virtual std::vector<ColumnInfo>& Columns() const = 0;
  int FieldCount() const { return (int)fields_.size(); }
  int FieldIndex(std::u16string_view name) const;
  const ColumnInfo& FieldColumn(int f) const { return Columns()[fields_[f]]; }

  virtual bool Bof() const = 0;
  virtual bool Eof() const = 0;
  // The cells of the current row as stored; null when there is none (or it was deleted).
  virtual const Cell* Current() const = 0;
  // The cells OriginalValue reads: those of the current row, deleted or not; null when none.
  virtual const Cell* Original() const = 0;
  // Whether the current row was deleted through this recordset or one sharing its rows.
  virtual bool CurrentDeleted() const = 0;

  virtual HRESULT MoveNext() = 0;
  virtual HRESULT MovePrevious() = 0;
  virtual HRESULT MoveFirst() = 0;
  virtual HRESULT MoveLast() = 0;
  // Move n records from the current one or from the bookmark start. Called on an open
  // recordset before BeforeMove, which the cursor calls (through beforeMove) where it moves.
  virtual HRESULT Move(LONG n, const VARIANT& start, const std::function<HRESULT()>& beforeMove) = 0;
  // Moves to the next row (skip rows on, in direction) that matches crit, or past the end.
  // used: the fields crit reads.
  virtual HRESULT Find(const Criteria& crit, const std::vector<int>& used, LONG skip,
                       SearchDirectionEnum direction, const VARIANT& start) = 0;

  virtual LONG RecordCount() const = 0;  // -1 when the cursor cannot tell
  virtual PositionEnum AbsolutePosition() const = 0;
  virtual PositionEnum AbsolutePage(LONG pageSize) const = 0;
  virtual HRESULT SetAbsolutePosition(PositionEnum position) = 0;
  virtual HRESULT GetBookmark(VARIANT* out) const = 0;
  virtual HRESULT SetBookmark(const VARIANT& bookmark) = 0;
  // Not called through BeforeMove: comparing moves nothing.
  virtual HRESULT CompareBookmarks(const VARIANT& a, const VARIANT& b, CompareEnum* out) const = 0;

  // The CursorOptionEnum bits of Supports that depend on the kind of cursor.
  virtual LONG Options() const = 0;
  // Memory held for materialised rows (benchmark figure).
  virtual size_t RowBytes() const = 0;
  // The client view, for what only it has (Filter, Sort, Clone, Save, edits); null otherwise.
  virtual ClientView* View() { return nullptr; }

 protected:
  // VARIANTs of the fields used (others stay VT_EMPTY) of a row, one per field; the caller
  // clears them (RecordsetArgs::ClearAll).
  void Values(const Cell* cells, const std::vector<int>& used, std::vector<VARIANT>& out) const;

  const std::vector<int>& fields_;
};

}  // namespace kp::ado
