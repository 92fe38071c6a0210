// The events of a Recordset (see RecordsetEventSource.h).
#include "RecordsetEventSource.h"

#include <oleauto.h>

#include "AdoError.h"
#include "EventError.h"

namespace kp::ado {
namespace {

// The events' places in RecordsetEventsVt (the unwanted-event bookkeeping counts by them).
enum RecordsetEvent {
  kWillChangeField,
  kFieldChangeComplete,
  kWillChangeRecord,
  kRecordChangeComplete,
  kWillChangeRecordset,
  kRecordsetChangeComplete,
  kWillMove,
  kMoveComplete,
  kEndOfRecordset
};

using Sink = RecordsetEventsVt;

size_t Index(const RecordsetEventSource::Hearers& all, const RecordsetEventSource* r) {
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i] == r) return i;
  return 0;
}

}  // namespace

RecordsetEventSource::RecordsetEventSource(_Recordset* owner) : owner_(owner), container_(owner) {
  point_ = &container_.Add(__uuidof(RecordsetEvents), __uuidof(RecordsetEventsVt));
}

bool RecordsetEventSource::Listening() const {
  LONG state = adStateClosed;
  return !point_->Empty() && SUCCEEDED(owner_->get_State(&state)) && state == adStateOpen;
}

Errors* RecordsetEventSource::ConnectionErrors() const {
  VARIANT v;
  VariantInit(&v);
  Errors* errors = nullptr;
  if (SUCCEEDED(owner_->get_ActiveConnection(&v)) && v.vt == VT_DISPATCH && v.pdispVal) {
    _Connection* c = nullptr;
    if (SUCCEEDED(v.pdispVal->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(&c))) && c) {
      c->get_Errors(&errors);
      c->Release();
    }
  }
  VariantClear(&v);
  return errors;
}

bool RecordsetEventSource::AtEnd() const {
  VARIANT_BOOL eof = VARIANT_FALSE;
  return SUCCEEDED(owner_->get_adoEOF(&eof)) && eof == VARIANT_TRUE;
}

RecordsetEventSource::Hearers RecordsetEventSource::Hear(const std::unique_ptr<RecordsetEventSource>& self,
                                                         const CloneEvents* clones) {
  Hearers all;
  if (self && self->Listening()) all.push_back(self.get());
  if (clones)
    for (RecordsetEventSource* other : clones->Others(&self))
      if (other->Listening()) all.push_back(other);
  return all;
}

HRESULT RecordsetEventSource::Around(const Hearers& all, EventStatusEnum willStatus, const Will& will,
                                     const Work& work, const Complete& complete) {
  if (all.empty()) return work();
  bool cancel = false;
  for (RecordsetEventSource* source : all) cancel = will(*source, willStatus) || cancel;
  HRESULT hr = cancel ? AdoFail(AdoErr(adErrOperationCancelled), kSrcRecordset) : work();
  KeptErrorInfo kept;
  Error* error = nullptr;
  if (cancel) {
    error = MakeAdoEventError(adErrOperationCancelled, kSrcRecordset);
  } else if (FAILED(hr)) {
    Errors* errors = all.front()->ConnectionErrors();
    error = MakeEventError(hr, errors);
    if (errors) errors->Release();
  }
  for (RecordsetEventSource* source : all)
    complete(*source, error, error ? adStatusErrorsOccurred : adStatusOK);
  if (error) error->Release();
  return hr;
}

HRESULT RecordsetEventSource::Move(EventReasonEnum reason, const Work& move) {
  // EndOfRecordset belongs to moves forward off the last row.
  const bool wasAtEnd = (reason != adRsnMoveNext && reason != adRsnMove) || AtEnd();
  auto will = [&](RecordsetEventSource& r, EventStatusEnum status) {
    return r.point_->Fire<Sink>(kWillMove, reason, status,
                                [&](Sink* s, EventStatusEnum* st) { s->raw_WillMove(reason, st, r.owner_); });
  };
  auto moveThenEnd = [&]() {
    HRESULT hr = move();
    if (SUCCEEDED(hr) && !wasAtEnd && AtEnd()) {
      // fMoreData: a sink that appended rows would set it; this static cursor fetches nothing
      // more either way, so the value is read by nobody.
      VARIANT_BOOL more = VARIANT_FALSE;
      point_->Fire<Sink>(kEndOfRecordset, 0, adStatusOK,
                         [&](Sink* s, EventStatusEnum* st) { s->raw_EndOfRecordset(&more, st, owner_); });
    }
    return hr;
  };
  auto complete = [&](RecordsetEventSource& r, Error* error, EventStatusEnum status) {
    r.point_->Fire<Sink>(kMoveComplete, reason, status, [&](Sink* s, EventStatusEnum* st) {
      s->raw_MoveComplete(reason, error, st, r.owner_);
    });
  };
  return Around({this}, adStatusOK, will, moveThenEnd, complete);
}

VARIANT RecordsetEventSource::FieldList(int f) const {
  Fields* fields = nullptr;
  Field* field = nullptr;
  VARIANT index;
  index.vt = VT_I4;
  index.lVal = f;
  if (SUCCEEDED(owner_->get_Fields(&fields)) && fields) {
    fields->get_Item(index, &field);
    fields->Release();
  }
  SAFEARRAYBOUND bound{1, 0};
  VARIANT list;
  VariantInit(&list);
  list.vt = VT_ARRAY | VT_VARIANT;
  list.parray = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (list.parray && field) {
    VARIANT item;
    item.vt = VT_DISPATCH;
    item.pdispVal = field;
    LONG at = 0;
    SafeArrayPutElement(list.parray, &at, &item);
  }
  if (field) field->Release();
  return list;
}

HRESULT RecordsetEventSource::ChangeField(const Hearers& all, int f, bool firstChange, const Work& change) {
  std::vector<VARIANT> lists;  // each recordset names its own Field
  for (RecordsetEventSource* source : all) lists.push_back(source->FieldList(f));
  auto listOf = [&](RecordsetEventSource& r) -> VARIANT& { return lists[Index(all, &r)]; };
  auto will = [&](RecordsetEventSource& r, EventStatusEnum status) {
    return r.point_->Fire<Sink>(kWillChangeField, 0, status, [&](Sink* s, EventStatusEnum* st) {
      s->raw_WillChangeField(1, listOf(r), st, r.owner_);
    });
  };
  auto write = [&]() { return firstChange ? ChangeRecord(all, adRsnFirstChange, 1, change) : change(); };
  auto complete = [&](RecordsetEventSource& r, Error* error, EventStatusEnum status) {
    r.point_->Fire<Sink>(kFieldChangeComplete, 0, status, [&](Sink* s, EventStatusEnum* st) {
      s->raw_FieldChangeComplete(1, listOf(r), error, st, r.owner_);
    });
  };
  HRESULT hr = Around(all, adStatusOK, will, write, complete);
  for (VARIANT& list : lists) VariantClear(&list);
  return hr;
}

HRESULT RecordsetEventSource::ChangeRecord(const Hearers& all, EventReasonEnum reason, LONG count,
                                           const Work& change) {
  auto will = [&](RecordsetEventSource& r, EventStatusEnum status) {
    return r.point_->Fire<Sink>(kWillChangeRecord, reason, status, [&](Sink* s, EventStatusEnum* st) {
      s->raw_WillChangeRecord(reason, count, st, r.owner_);
    });
  };
  auto complete = [&](RecordsetEventSource& r, Error* error, EventStatusEnum status) {
    r.point_->Fire<Sink>(kRecordChangeComplete, reason, status, [&](Sink* s, EventStatusEnum* st) {
      s->raw_RecordChangeComplete(reason, count, error, st, r.owner_);
    });
  };
  return Around(all, adStatusOK, will, change, complete);
}

HRESULT RecordsetEventSource::ChangeRecordset(EventReasonEnum reason, EventStatusEnum status,
                                              const Work& change) {
  auto will = [&](RecordsetEventSource& r, EventStatusEnum in) {
    return r.point_->Fire<Sink>(kWillChangeRecordset, reason, in, [&](Sink* s, EventStatusEnum* st) {
      s->raw_WillChangeRecordset(reason, st, r.owner_);
    });
  };
  auto complete = [&](RecordsetEventSource& r, Error* error, EventStatusEnum out) {
    r.point_->Fire<Sink>(kRecordsetChangeComplete, reason, out, [&](Sink* s, EventStatusEnum* st) {
      s->raw_RecordsetChangeComplete(reason, error, st, r.owner_);
    });
  };
  return Around({this}, status, will, change, complete);
}

}  // namespace kp::ado
