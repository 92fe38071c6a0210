// The server cursor (adUseServer, ADO's default): forward-only and read-only over the provider's
// live cursor. Only the current row is held, one 16-byte cell per column in a buffer whose arena
// is reset at every fetch. RecordCount and the positions are unknown (-1, adPosUnknown);
// MovePrevious, MoveLast, backward moves, bookmarks and backward Find answer
// adErrFeatureNotAvailable; MoveFirst runs the statement again. MaxRecords ends the rows early.
//
// The connection is the Recordset's (it holds the reference); every fetch is counted by its
// fault switch unless the move that asked for it was counted already.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "Provider.h"
#include "RecordCursor.h"

namespace kp::ado {

class AdoConnection;

class ServerCursor final : public RecordCursor {
 public:
  // sql and params are what ran (for MoveFirst); param payloads belong to the Recordset.
  ServerCursor(std::unique_ptr<ProviderCursor> provider, AdoConnection* conn, std::u16string sql,
               std::vector<Cell> params, LONG timeout, LONG maxRecords, const std::vector<int>& fields);
  // Fetches the next row; counted: the caller already counted the move.
  HRESULT Fetch(bool counted = false);

  std::vector<ColumnInfo>& Columns() const override { return provider_->Columns(); }
  bool Bof() const override { return !hasRow_ && rowNumber_ == 0; }
  bool Eof() const override { return !hasRow_; }
  const Cell* Current() const override { return hasRow_ ? row_.data() : nullptr; }
  const Cell* Original() const override { return Current(); }
  bool CurrentDeleted() const override { return false; }
  HRESULT MoveNext() override;
  HRESULT MoveFirst() override;  // runs the statement again
  // Backwards, to the end, to a position or a bookmark: not on a forward-only cursor.
  HRESULT MovePrevious() override { return NotAvailable(); }
  HRESULT MoveLast() override { return NotAvailable(); }
  HRESULT SetAbsolutePosition(PositionEnum) override { return NotAvailable(); }
  HRESULT GetBookmark(VARIANT*) const override { return NotAvailable(); }
  HRESULT SetBookmark(const VARIANT&) override { return NotAvailable(); }
  HRESULT Move(LONG n, const VARIANT& start, const std::function<HRESULT()>& beforeMove) override;
  HRESULT Find(const Criteria& crit, const std::vector<int>& used, LONG skip, SearchDirectionEnum direction,
               const VARIANT& start) override;
  LONG RecordCount() const override { return -1; }
  PositionEnum AbsolutePosition() const override { return adPosUnknown; }
  PositionEnum AbsolutePage(LONG) const override { return adPosUnknown; }
  HRESULT CompareBookmarks(const VARIANT& a, const VARIANT& b, CompareEnum* out) const override;
  LONG Options() const override { return 0; }
  size_t RowBytes() const override { return 0; }

 private:
  static HRESULT NotAvailable();  // adErrFeatureNotAvailable

  std::unique_ptr<ProviderCursor> provider_;
  AdoConnection* conn_;
  std::u16string sql_;
  std::vector<Cell> params_;
  LONG timeout_;
  LONG maxRecords_;
  std::vector<Cell> row_;
  Arena arena_{16 * 1024};
  bool hasRow_ = false;
  long rowNumber_ = 0;
};

}  // namespace kp::ado
