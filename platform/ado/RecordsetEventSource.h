// The events of a Recordset (RecordsetEvents, called through RecordsetEventsVt): the
// connection point, and one method per kind of operation that fires its Will event, runs the
// work unless a sink cancelled, and fires its Complete event.
//
// The recordset makes this object when a client first asks it for IConnectionPointContainer;
// until then each firing site costs one null check (the Moving/ChangingRecord/... templates
// below). Without a listening sink, or on a closed recordset, the work runs alone. The field and
// record change events of a change fire in the recordset and in each of its clones (CloneEvents)
// that listens: a Will event cancelled in any of them cancels the change.
//
// The order (docs/ado.md lists it with the arguments):
//   a move:          WillMove(reason) -> (the move; a pending edit is saved first, with its
//                    record events) -> EndOfRecordset when the move went past the last row
//                    -> MoveComplete(reason)
//   a field write:   WillChangeField -> [on the first write to an unedited row:
//                    WillChangeRecord(adRsnFirstChange) -> (the write) ->
//                    RecordChangeComplete(adRsnFirstChange)] -> FieldChangeComplete
//   a record change: WillChangeRecord(reason, count) -> (the change) -> RecordChangeComplete
//   Requery, Close:  WillChangeRecordset(reason) -> (the work) -> RecordsetChangeComplete
// A Will event cancelled by a sink (adStatusCancel) stops the work: the method fails with
// adErrOperationCancelled (3712) and the Complete event gets adStatusErrorsOccurred with an
// Error of that number. A Will event passed adStatusCantDeny cannot be cancelled.
// FetchProgress and FetchComplete belong to asynchronous fetching, which this library does not
// do: they never fire.
#pragma once
#include <msado15.tlh>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "CloneEvents.h"
#include "EventContainer.h"

namespace kp::ado {

class RecordsetEventSource {
 public:
  explicit RecordsetEventSource(_Recordset* owner);

  IConnectionPointContainer* Container() { return &container_; }
  // Whether a sink is advised and the recordset is open (a closed one fires nothing).
  bool Listening() const;

  using Work = std::function<HRESULT()>;
  using Hearers = std::vector<RecordsetEventSource*>;
  HRESULT Move(EventReasonEnum reason, const Work& move);
  // status: adStatusOK, or adStatusCantDeny where the change cannot be refused.
  HRESULT ChangeRecordset(EventReasonEnum reason, EventStatusEnum status, const Work& change);
  // The sources that hear a field or record change made through self: self, then the clones', each
  // only while listening.
  static Hearers Hear(const std::unique_ptr<RecordsetEventSource>& self, const CloneEvents* clones);
  // f: the ordinal of the field written; firstChange: the row has no pending edit yet.
  static HRESULT ChangeField(const Hearers& all, int f, bool firstChange, const Work& change);
  static HRESULT ChangeRecord(const Hearers& all, EventReasonEnum reason, LONG count, const Work& change);

 private:
  using Will = std::function<bool(RecordsetEventSource&, EventStatusEnum)>;
  using Complete = std::function<void(RecordsetEventSource&, Error*, EventStatusEnum)>;
  // Fires will on each source (answers whether one cancelled), runs work unless cancelled, then
  // fires complete on each with the Error and status of the result.
  static HRESULT Around(const Hearers& all, EventStatusEnum willStatus, const Will& will, const Work& work,
                        const Complete& complete);
  // The Errors of the recordset's connection (null without one); a reference the caller releases.
  Errors* ConnectionErrors() const;
  bool AtEnd() const;
  // Fields argument of the field events: an array holding the Field f of this recordset.
  VARIANT FieldList(int f) const;
  _Recordset* owner_;
  EventContainer container_;
  ConnectionPoint* point_;
};

// The firing sites' one check each: with no event source (and no clones) the work runs alone.
template <class F>
HRESULT Moving(const std::unique_ptr<RecordsetEventSource>& events, EventReasonEnum reason, F&& work) {
  if (!events || !events->Listening()) return work();
  return events->Move(reason, std::forward<F>(work));
}
template <class F>
HRESULT ChangingRecordset(const std::unique_ptr<RecordsetEventSource>& events, EventReasonEnum reason,
                          EventStatusEnum status, F&& work) {
  if (!events || !events->Listening()) return work();
  return events->ChangeRecordset(reason, status, std::forward<F>(work));
}
template <class F>
HRESULT ChangingField(const std::unique_ptr<RecordsetEventSource>& events, const CloneEvents* clones, int f,
                      bool firstChange, F&& work) {
  if (!events && !clones) return work();
  return RecordsetEventSource::ChangeField(RecordsetEventSource::Hear(events, clones), f, firstChange,
                                           std::forward<F>(work));
}
template <class F>
HRESULT ChangingRecord(const std::unique_ptr<RecordsetEventSource>& events, const CloneEvents* clones,
                       EventReasonEnum reason, LONG count, F&& work) {
  if (!events && !clones) return work();
  return RecordsetEventSource::ChangeRecord(RecordsetEventSource::Hear(events, clones), reason, count,
                                            std::forward<F>(work));
}

}  // namespace kp::ado
