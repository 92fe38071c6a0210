// The client view (adUseClient, ADO's client-side static cursor): every row is materialised
// once into a RowSet, shared with clones, and navigated through a view, an order of row indices
// over it. Filter and Sort rebuild the view; Find walks it; a bookmark is a row index + 1, so it
// stays valid across filters, sorts and clones. Deleted rows stay in the row set (flagged) and
// leave a view the next time it moves (Purge), so that the current row of a delete is still
// there until then, as in ADO. Rows added through a clone join the other views at their end the
// next time those move (Purge adopts them), as changes through one clone show in all of them.
//
// Position: -1 is BOF, the view's size is EOF. The view also keeps the rows the last write
// changed (adFilterAffectedRecords) and where an AddNew started (CancelUpdate returns there).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "Provider.h"
#include "RecordCursor.h"

namespace kp::ado {

class AdoConnection;
struct PersistRow;

class KPAPI ClientView final : public RecordCursor {
 public:
  // A view of every row of rows, in their order, on the first one.
  ClientView(std::shared_ptr<RowSet> rows, const std::vector<int>& fields);
  // Reads every row of cursor (at most maxRecords when that is > 0) into a new row set,
  // counting each fetch with conn's fault switch.
  static HRESULT Materialise(ProviderCursor& cursor, AdoConnection* conn, LONG maxRecords,
                             std::shared_ptr<RowSet>& out);

  std::vector<ColumnInfo>& Columns() const override { return rows_->Columns(); }
  bool Bof() const override { return view_.empty() || pos_ < 0; }
  bool Eof() const override { return view_.empty() || pos_ >= (long)view_.size(); }
  const Cell* Current() const override;
  const Cell* Original() const override;
  bool CurrentDeleted() const override { return CurrentRow() >= 0 && rows_->Deleted(CurrentRow()); }
  HRESULT MoveNext() override;
  HRESULT MovePrevious() override;
  HRESULT MoveFirst() override;
  HRESULT MoveLast() override;
  HRESULT Move(LONG n, const VARIANT& start, const std::function<HRESULT()>& beforeMove) override;
  HRESULT Find(const Criteria& crit, const std::vector<int>& used, LONG skip, SearchDirectionEnum direction,
               const VARIANT& start) override;
  LONG RecordCount() const override;
  PositionEnum AbsolutePosition() const override;
  PositionEnum AbsolutePage(LONG pageSize) const override;
  HRESULT SetAbsolutePosition(PositionEnum position) override;
  HRESULT GetBookmark(VARIANT* out) const override;
  HRESULT SetBookmark(const VARIANT& bookmark) override;
  HRESULT CompareBookmarks(const VARIANT& a, const VARIANT& b, CompareEnum* out) const override;
  LONG Options() const override { return adHoldRecords | adMovePrevious | adBookmark | adApproxPosition; }
  size_t RowBytes() const override { return rows_->BytesUsed(); }
  ClientView* View() override { return this; }

  RowSet& Rows() { return *rows_; }
  // A view of the same rows for a clone (whose field map is fields).
  std::unique_ptr<ClientView> Clone(const std::vector<int>& fields) const;
  // The row index of the current row, or -1.
  long CurrentRow() const;

  // Rebuilds the view: every row not deleted, filtered by filter (criteria text, a
  // FilterGroupEnum or an array of bookmarks; VT_EMPTY for none) and ordered by sort; on its
  // first row. A criteria or sort text that does not parse fails (error info set) with the view
  // left unfiltered.
  HRESULT Apply(const VARIANT& filter, const std::u16string& sort);
  // Back to the first row (Save leaves the cursor there).
  void Rewind() { pos_ = 0; }
  // Drops rows deleted since the last purge from the view, keeping the position on the same
  // row (currentWasDeleted tells whether the current row was one of them), and appends the rows
  // added to the row set since (through a clone).
  void Purge(bool& currentWasDeleted);
  // The visible rows (deleted ones left out) for Save.
  void PersistRows(std::vector<PersistRow>& out) const;

  // AddNew starts here (leaves deleted rows first); CancelUpdate of the add returns here.
  void StartAdd();
  void CancelAdd() { pos_ = addReturnPos_; }
  // The pending edit was stored in row (added: appended, and becomes the current row).
  void Written(size_t row, bool added);
  // The rows Delete affects: the current one, or every row of the view (adAffectGroup).
  std::vector<long> DeleteTargets(AffectEnum affect) const;
  // Delete starts: no row is affected yet.
  void ClearAffected() { affected_.clear(); }
  // row was deleted from the table: flagged in the row set, and affected.
  void Deleted(size_t row);

 private:
  void Reset();
  HRESULT PositionFromBookmark(const VARIANT& bookmark, long& pos) const;
  // The start of a Move or Find: adBookmarkFirst, adBookmarkLast, adBookmarkCurrent or a bookmark.
  HRESULT StartFrom(const VARIANT& start, long& pos) const;
  HRESULT Filter(const VARIANT& filter);
  HRESULT Sort(const std::u16string& sort);

  std::shared_ptr<RowSet> rows_;
  std::vector<uint32_t> view_;
  long pos_ = 0;
  uint64_t purgedAt_ = 0;  // RowSet::Deletions() when view_ last held no deleted row
  size_t adopted_ = 0;     // RowSet::RowCount() when view_ last took in the rows added
  std::vector<uint32_t> affected_;
  long addReturnPos_ = 0;
};

}  // namespace kp::ado
