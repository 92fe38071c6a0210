// The client cursor's view over its materialised rows (see ClientView.h).
#include "ClientView.h"

#include <oleauto.h>

#include <algorithm>

#include "AdoConnection.h"
#include "AdoError.h"
#include "Criteria.h"
#include "PersistXml.h"
#include "RecordsetArgs.h"
#include "SortSpec.h"
#include "TextUtil.h"

namespace kp::ado {
namespace {

HRESULT Fail(int number) {
  return AdoFail(AdoErr(number), kSrcRecordset);
}

// A criteria or sort text that does not parse or names no field.
HRESULT Refused(HRESULT hr, const std::u16string& description) {
  return SetError(hr, kSrcRecordset, description.empty() ? AdoErrorText(hr) : description);
}

}  // namespace

ClientView::ClientView(std::shared_ptr<RowSet> rows, const std::vector<int>& fields)
    : RecordCursor(fields), rows_(std::move(rows)) {
  Reset();
}

HRESULT ClientView::Materialise(ProviderCursor& cursor, AdoConnection* conn, LONG maxRecords,
                                std::shared_ptr<RowSet>& out) {
  auto rows = std::make_shared<RowSet>(cursor.Columns());
  size_t n = cursor.Columns().size();
  for (;;) {
    if (maxRecords > 0 && (LONG)rows->RowCount() >= maxRecords) break;
    HRESULT hr = conn->FaultTick();
    if (FAILED(hr)) return hr;
    ProviderError err;
    hr = cursor.Next(err);
    if (FAILED(hr)) return conn->RaiseProvider(err);
    if (hr == S_FALSE) break;
    size_t r = rows->AppendRow();
    Cell* cells = rows->Cells(r);
    for (size_t c = 0; c < n; ++c) cursor.Read(c, cells[c], rows->arena());
  }
  // Columns typed at the first row by the cursor: copy the final metadata.
  rows->Columns() = cursor.Columns();
  out = std::move(rows);
  return S_OK;
}

std::unique_ptr<ClientView> ClientView::Clone(const std::vector<int>& fields) const {
  return std::make_unique<ClientView>(rows_, fields);
}

long ClientView::CurrentRow() const {
  if (pos_ < 0 || pos_ >= (long)view_.size()) return -1;
  return (long)view_[pos_];
}

const Cell* ClientView::Current() const {
  long r = CurrentRow();
  if (r < 0 || rows_->Deleted(r)) return nullptr;
  return rows_->Cells(r);
}

const Cell* ClientView::Original() const {
  long r = CurrentRow();
  return r >= 0 ? rows_->Cells(r) : nullptr;
}

// ---- The view: Filter and Sort ----------------------------------------------------------------

void ClientView::Reset() {
  view_.clear();
  for (size_t r = 0; r < rows_->RowCount(); ++r)
    if (!rows_->Deleted(r)) view_.push_back((uint32_t)r);
  purgedAt_ = rows_->Deletions();
  adopted_ = rows_->RowCount();
  pos_ = 0;
}

HRESULT ClientView::Apply(const VARIANT& filter, const std::u16string& sort) {
  Reset();
  HRESULT hr = Filter(filter);
  if (SUCCEEDED(hr) && !sort.empty()) hr = Sort(sort);
  if (FAILED(hr)) return hr;
  pos_ = 0;
  return S_OK;
}

HRESULT ClientView::Filter(const VARIANT& flt) {
  if (flt.vt == VT_BSTR && !Trim(BstrView(flt.bstrVal)).empty()) {
    Criteria crit;
    std::u16string description;
    HRESULT hr = Criteria::ParseFilter(BstrView(flt.bstrVal), crit, &description);
    if (SUCCEEDED(hr))
      hr = crit.Bind([this](std::u16string_view n) { return FieldIndex(n); },
                     [this](int f) { return FieldColumn(f).type; });
    if (FAILED(hr)) return Refused(hr, description);
    std::vector<int> used;
    for (auto& n : crit.FieldNames()) used.push_back(FieldIndex(n));
    std::vector<uint32_t> kept;
    std::vector<VARIANT> vals;
    for (uint32_t r : view_) {
      Values(rows_->Cells(r), used, vals);
      if (crit.Matches([&](int f) -> const VARIANT* { return &vals[f]; })) kept.push_back(r);
      RecordsetArgs::ClearAll(vals);
    }
    view_.swap(kept);
  } else if (flt.vt == VT_I4 || flt.vt == VT_I2) {
    LONG g = flt.vt == VT_I4 ? flt.lVal : flt.iVal;
    if (g == adFilterAffectedRecords) {
      std::vector<uint32_t> kept;
      for (uint32_t r : view_)
        if (std::find(affected_.begin(), affected_.end(), r) != affected_.end()) kept.push_back(r);
      view_.swap(kept);
    } else if (g == adFilterPendingRecords || g == adFilterConflictingRecords) {
      view_.clear();  // immediate mode: nothing is pending or in conflict
    }
  } else if ((flt.vt & VT_ARRAY) && flt.parray) {
    // Bookmarks are resolved against the unfiltered rows.
    std::vector<VARIANT> marks = RecordsetArgs::ListOf(flt);
    std::vector<uint32_t> kept;
    for (auto& m : marks) {
      long p;
      if (SUCCEEDED(PositionFromBookmark(m, p)) && p >= 0) kept.push_back(view_[p]);
    }
    RecordsetArgs::ClearAll(marks);
    view_.swap(kept);
  }
  return S_OK;
}

HRESULT ClientView::Sort(const std::u16string& sort) {
  SortSpec order;
  std::u16string description;
  HRESULT hr = SortSpec::Parse(sort, order, &description);
  if (SUCCEEDED(hr)) hr = order.Bind([this](std::u16string_view n) { return FieldIndex(n); });
  if (FAILED(hr)) return Refused(hr, description);
  std::vector<int> used;
  for (auto& k : order.Keys()) used.push_back(k.index);
  // The sort keys of every row of the view, by row index.
  std::vector<std::vector<VARIANT>> keys(rows_->RowCount());
  for (uint32_t r : view_) Values(rows_->Cells(r), used, keys[r]);
  std::stable_sort(view_.begin(), view_.end(), [&](uint32_t a, uint32_t b) {
    return order.Compare([&](int f) -> const VARIANT* { return &keys[a][f]; },
                         [&](int f) -> const VARIANT* { return &keys[b][f]; }) < 0;
  });
  for (auto& k : keys) RecordsetArgs::ClearAll(k);
  return S_OK;
}

void ClientView::Purge(bool& currentWasDeleted) {
  currentWasDeleted = false;
  for (; adopted_ < rows_->RowCount(); ++adopted_)
    if (!rows_->Deleted(adopted_)) view_.push_back((uint32_t)adopted_);
  if (rows_->Deletions() == purgedAt_) return;  // nothing deleted since
  std::vector<uint32_t> kept;
  long newPos = pos_;
  for (long i = 0; i < (long)view_.size(); ++i) {
    if (rows_->Deleted(view_[i])) {
      if (i < pos_) --newPos;
      if (i == pos_) currentWasDeleted = true;
    } else {
      kept.push_back(view_[i]);
    }
  }
  view_.swap(kept);
  pos_ = newPos;
  purgedAt_ = rows_->Deletions();
}

void ClientView::PersistRows(std::vector<PersistRow>& out) const {
  std::vector<int> all;
  for (int f = 0; f < (int)fields_.size(); ++f) all.push_back(f);
  std::vector<uint32_t> visible = view_;
  for (size_t r = adopted_; r < rows_->RowCount(); ++r) visible.push_back((uint32_t)r);  // added by a clone
  for (uint32_t r : visible) {
    if (rows_->Deleted(r)) continue;
    PersistRow pr;
    Values(rows_->Cells(r), all, pr.values);
    out.push_back(std::move(pr));
  }
}

// ---- Moves and positions ----------------------------------------------------------------------

HRESULT ClientView::MoveNext() {
  bool wasDeleted;
  Purge(wasDeleted);
  if (Eof() && !wasDeleted) return Fail(adErrNoCurrentRecord);
  if (!wasDeleted) ++pos_;  // the row after a purged current row is already current
  if (pos_ > (long)view_.size()) pos_ = (long)view_.size();
  return S_OK;
}

HRESULT ClientView::MovePrevious() {
  bool wasDeleted;
  Purge(wasDeleted);
  if (Bof()) return Fail(adErrNoCurrentRecord);
  --pos_;
  if (pos_ < -1) pos_ = -1;
  return S_OK;
}

HRESULT ClientView::MoveFirst() {
  bool wasDeleted;
  Purge(wasDeleted);
  if (view_.empty()) return Fail(adErrNoCurrentRecord);
  pos_ = 0;
  return S_OK;
}

HRESULT ClientView::MoveLast() {
  bool wasDeleted;
  Purge(wasDeleted);
  if (view_.empty()) return Fail(adErrNoCurrentRecord);
  pos_ = (long)view_.size() - 1;
  return S_OK;
}

HRESULT ClientView::PositionFromBookmark(const VARIANT& bookmark, long& pos) const {
  const VARIANT& b = RecordsetArgs::Deref(bookmark);
  VARIANT d;
  VariantInit(&d);
  if (b.vt != VT_R8 && FAILED(VariantChangeType(&d, &b, 0, VT_R8))) return Fail(adErrInvalidArgument);
  double v = b.vt == VT_R8 ? b.dblVal : d.dblVal;
  long row = (long)v - 1;
  for (size_t i = 0; i < view_.size(); ++i)
    if ((long)view_[i] == row) {
      pos = (long)i;
      return S_OK;
    }
  return Fail(adErrInvalidArgument);
}

HRESULT ClientView::StartFrom(const VARIANT& start, long& pos) const {
  const VARIANT& s = RecordsetArgs::Deref(start);
  if (s.vt == VT_I4 || s.vt == VT_I2) {
    LONG k = s.vt == VT_I4 ? s.lVal : s.iVal;
    pos = k == adBookmarkFirst ? 0 : k == adBookmarkLast ? (long)view_.size() - 1 : pos_;
    return S_OK;
  }
  return PositionFromBookmark(s, pos);
}

HRESULT ClientView::Move(LONG n, const VARIANT& start, const std::function<HRESULT()>& beforeMove) {
  HRESULT hr = beforeMove();
  if (FAILED(hr)) return hr;
  bool wasDeleted;
  Purge(wasDeleted);
  long base = pos_;
  if (!RecordsetArgs::Missing(start)) {
    hr = StartFrom(start, base);
    if (FAILED(hr)) return hr;
  } else {
    if (view_.empty()) return Fail(adErrNoCurrentRecord);
    if (n == 0 && (Bof() || Eof())) return Fail(adErrNoCurrentRecord);
    if (n > 0 && Eof()) return Fail(adErrNoCurrentRecord);
    if (n < 0 && Bof()) return Fail(adErrNoCurrentRecord);
    if (wasDeleted && n > 0) --base;  // the purged current row's successor is at its place
  }
  long target = base + n;
  if (target < 0) target = -1;
  if (target > (long)view_.size()) target = (long)view_.size();
  pos_ = target;
  return S_OK;
}

HRESULT ClientView::Find(const Criteria& crit, const std::vector<int>& used, LONG skip,
                         SearchDirectionEnum direction, const VARIANT& start) {
  bool wasDeleted;
  Purge(wasDeleted);
  long from = pos_;
  const VARIANT& s = RecordsetArgs::Deref(start);
  if (!RecordsetArgs::Missing(s) && !(s.vt == VT_BSTR && BstrView(s.bstrVal).empty())) {
    HRESULT hr = StartFrom(s, from);
    if (FAILED(hr)) return hr;
  } else if (Bof() || Eof()) {
    return Fail(adErrNoCurrentRecord);
  }
  std::vector<VARIANT> vals;
  for (long i = from + skip * (long)direction; i >= 0 && i < (long)view_.size(); i += direction) {
    Values(rows_->Cells(view_[i]), used, vals);
    bool match = crit.Matches([&](int f) -> const VARIANT* { return &vals[f]; });
    RecordsetArgs::ClearAll(vals);
    if (match) {
      pos_ = i;
      return S_OK;
    }
  }
  pos_ = direction == adSearchForward ? (long)view_.size() : -1;
  return S_OK;
}

LONG ClientView::RecordCount() const {
  LONG n = (LONG)view_.size();
  if (rows_->Deletions() != purgedAt_) {
    n = 0;
    for (uint32_t r : view_)
      if (!rows_->Deleted(r)) ++n;
  }
  for (size_t r = adopted_; r < rows_->RowCount(); ++r)  // added through a clone, not yet adopted
    if (!rows_->Deleted(r)) ++n;
  return n;
}

PositionEnum ClientView::AbsolutePosition() const {
  if (view_.empty()) return adPosUnknown;
  if (Bof()) return adPosBOF;
  if (Eof()) return adPosEOF;
  return (PositionEnum)(pos_ + 1);
}

PositionEnum ClientView::AbsolutePage(LONG pageSize) const {
  if (view_.empty()) return adPosUnknown;
  if (Bof()) return adPosBOF;
  if (Eof()) return adPosEOF;
  return (PositionEnum)(pos_ / pageSize + 1);
}

HRESULT ClientView::SetAbsolutePosition(PositionEnum v) {
  bool wasDeleted;
  Purge(wasDeleted);
  if (v < 1 || v > (LONG)view_.size()) return Fail(adErrInvalidArgument);
  pos_ = v - 1;
  return S_OK;
}

HRESULT ClientView::GetBookmark(VARIANT* pv) const {
  long r = CurrentRow();
  if (r < 0) return Fail(adErrNoCurrentRecord);
  pv->vt = VT_R8;
  pv->dblVal = (double)(r + 1);
  return S_OK;
}

HRESULT ClientView::SetBookmark(const VARIANT& v) {
  bool wasDeleted;
  Purge(wasDeleted);
  long p;
  HRESULT hr = PositionFromBookmark(v, p);
  if (FAILED(hr)) return hr;
  pos_ = p;
  return S_OK;
}

HRESULT ClientView::CompareBookmarks(const VARIANT& b1, const VARIANT& b2, CompareEnum* p) const {
  long p1, p2;
  if (FAILED(PositionFromBookmark(b1, p1)) || FAILED(PositionFromBookmark(b2, p2))) {
    *p = adCompareNotComparable;
    return Fail(adErrInvalidArgument);
  }
  *p = p1 < p2 ? adCompareLessThan : p1 == p2 ? adCompareEqual : adCompareGreaterThan;
  return S_OK;
}

// ---- Edits --------------------------------------------------------------------------------------

void ClientView::StartAdd() {
  bool wasDeleted;
  Purge(wasDeleted);
  addReturnPos_ = pos_;
}

void ClientView::Written(size_t row, bool added) {
  if (added) {
    bool wasDeleted;
    Purge(wasDeleted);  // takes in the new row (the row set's last), after any a clone added
    pos_ = (long)view_.size() - 1;
  }
  affected_ = {(uint32_t)row};
}

std::vector<long> ClientView::DeleteTargets(AffectEnum affect) const {
  std::vector<long> targets;
  if (affect == adAffectCurrent) {
    if (!Current()) return targets;
    targets.push_back(CurrentRow());
  } else {
    for (uint32_t r : view_)
      if (!rows_->Deleted(r)) targets.push_back((long)r);
    for (size_t r = adopted_; r < rows_->RowCount(); ++r)  // added by a clone
      if (!rows_->Deleted(r)) targets.push_back((long)r);
  }
  return targets;
}

void ClientView::Deleted(size_t row) {
  rows_->MarkDeleted(row);
  affected_.push_back((uint32_t)row);
}

}  // namespace kp::ado
