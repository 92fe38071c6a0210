// The forward-only server cursor (see ServerCursor.h).
#include "ServerCursor.h"

#include "AdoConnection.h"
#include "AdoError.h"
#include "Criteria.h"
#include "RecordsetArgs.h"

namespace kp::ado {
namespace {

HRESULT Fail(int number) {
  return AdoFail(AdoErr(number), kSrcRecordset);
}

}  // namespace

HRESULT ServerCursor::NotAvailable() {
  return Fail(adErrFeatureNotAvailable);
}

ServerCursor::ServerCursor(std::unique_ptr<ProviderCursor> provider, AdoConnection* conn, std::u16string sql,
                           std::vector<Cell> params, LONG timeout, LONG maxRecords,
                           const std::vector<int>& fields)
    : RecordCursor(fields),
      provider_(std::move(provider)),
      conn_(conn),
      sql_(std::move(sql)),
      params_(std::move(params)),
      timeout_(timeout),
      maxRecords_(maxRecords) {
  row_.assign(provider_->Columns().size(), Cell());
}

HRESULT ServerCursor::Fetch(bool counted) {
  HRESULT hr = conn_ && !counted ? conn_->FaultTick() : S_OK;
  if (FAILED(hr)) return hr;
  if (maxRecords_ > 0 && rowNumber_ >= maxRecords_) {
    hasRow_ = false;
    return S_OK;
  }
  ProviderError err;
  hr = provider_->Next(err);
  if (FAILED(hr)) {
    hasRow_ = false;
    return conn_->RaiseProvider(err);
  }
  if (hr == S_FALSE) {
    hasRow_ = false;
    return S_OK;
  }
  arena_.Reset();
  for (size_t c = 0; c < row_.size(); ++c) provider_->Read(c, row_[c], arena_);
  hasRow_ = true;
  ++rowNumber_;
  return S_OK;
}

HRESULT ServerCursor::MoveNext() {
  if (!hasRow_) return Fail(adErrNoCurrentRecord);
  return Fetch(true);
}

HRESULT ServerCursor::MoveFirst() {
  // A forward-only cursor starts over by running the query again.
  std::unique_ptr<ProviderCursor> provider;
  LONG affected;
  HRESULT hr = conn_->Run(sql_, params_, timeout_, provider, affected);
  if (FAILED(hr)) return hr;
  if (!provider) return Fail(adErrProviderFailed);
  // Keep the column metadata of the first run (Field objects read it).
  std::vector<ColumnInfo> cols = provider_->Columns();
  provider_ = std::move(provider);
  provider_->Columns() = cols;
  rowNumber_ = 0;
  return Fetch(true);
}

HRESULT ServerCursor::Move(LONG n, const VARIANT& start, const std::function<HRESULT()>& beforeMove) {
  if (n < 0 || !RecordsetArgs::Missing(start)) return NotAvailable();
  if (n == 0) return hasRow_ ? S_OK : Fail(adErrNoCurrentRecord);
  // Each step is a move of its own: counted, and failing on a cursor past its end.
  for (LONG i = 0; i < n; ++i) {
    HRESULT hr = beforeMove();
    if (FAILED(hr)) return hr;
    hr = MoveNext();
    if (FAILED(hr)) return hr;
    if (!hasRow_) break;
  }
  return S_OK;
}

HRESULT ServerCursor::Find(const Criteria& crit, const std::vector<int>& used, LONG skip,
                           SearchDirectionEnum direction, const VARIANT& start) {
  if (direction == adSearchBackward || !RecordsetArgs::Missing(start)) return NotAvailable();
  if (!hasRow_) return Fail(adErrNoCurrentRecord);
  for (LONG i = 0; i < skip && hasRow_; ++i) {
    HRESULT hr = Fetch();
    if (FAILED(hr)) return hr;
  }
  std::vector<VARIANT> vals;
  while (hasRow_) {
    Values(row_.data(), used, vals);
    bool match = crit.Matches([&](int f) -> const VARIANT* { return &vals[f]; });
    RecordsetArgs::ClearAll(vals);
    if (match) return S_OK;
    HRESULT hr = Fetch();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT ServerCursor::CompareBookmarks(const VARIANT&, const VARIANT&, CompareEnum* out) const {
  // A forward-only cursor has no bookmarks: no value names one of its rows.
  *out = adCompareNotComparable;
  return Fail(adErrInvalidArgument);
}

}  // namespace kp::ado
