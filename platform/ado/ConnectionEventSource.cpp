// The events of a Connection (see ConnectionEventSource.h).
#include "ConnectionEventSource.h"

#include <oleauto.h>

#include "AdoCommand.h"
#include "AdoError.h"
#include "AdoErrors.h"
#include "AdoText.h"
#include "EventError.h"
#include "Provider.h"

namespace kp::ado {
namespace {

// The events' places in ConnectionEventsVt (the unwanted-event bookkeeping counts by them).
enum ConnectionEvent {
  kInfoMessage,
  kBeginTransComplete,
  kCommitTransComplete,
  kRollbackTransComplete,
  kWillExecute,
  kExecuteComplete,
  kWillConnect,
  kConnectComplete,
  kDisconnect
};

using Sink = ConnectionEventsVt;

// Fires the Complete event `event` after the work answered hr: adStatusOK without an Error, or
// adStatusErrorsOccurred with the failure's Error (an Error 3712 when a Will event cancelled the
// work). The thread's error object is the work's again afterwards.
template <class Call>
void FireComplete(ConnectionPoint& point, int event, Errors* errors, HRESULT hr, bool cancelled,
                  Call&& call) {
  KeptErrorInfo kept;
  Error* error = cancelled    ? MakeAdoEventError(adErrOperationCancelled, kSrcConnection)
                 : FAILED(hr) ? MakeEventError(hr, errors)
                              : nullptr;
  point.Fire<Sink>(event, 0, error ? adStatusErrorsOccurred : adStatusOK,
                   [&](Sink* s, EventStatusEnum* st) { call(s, error, st); });
  if (error) error->Release();
}

// An in/out BSTR argument: the sink may free it and store another.
struct BstrArg {
  explicit BstrArg(std::u16string_view text) : b(AllocBstr(text)) {}
  ~BstrArg() { SysFreeString(b); }
  BstrArg(const BstrArg&) = delete;
  BstrArg& operator=(const BstrArg&) = delete;
  BSTR b;
};

}  // namespace

ConnectionEventSource::ConnectionEventSource(_Connection* owner, Errors* errors)
    : owner_(owner), errors_(errors), container_(owner) {
  point_ = &container_.Add(__uuidof(ConnectionEvents), __uuidof(ConnectionEventsVt));
}

HRESULT ConnectionEventSource::Open(BSTR cs, BSTR user, BSTR password, LONG options,
                                    const std::function<HRESULT(BSTR, BSTR, BSTR, LONG)>& open) {
  if (!Listening()) return open(cs, user, password, options);
  BstrArg c(BstrView(cs)), u(BstrView(user)), p(BstrView(password));
  bool cancel = point_->Fire<Sink>(kWillConnect, 0, adStatusOK, [&](Sink* s, EventStatusEnum* st) {
    s->raw_WillConnect(&c.b, &u.b, &p.b, &options, st, owner_);
  });
  HRESULT hr =
      cancel ? AdoFail(AdoErr(adErrOperationCancelled), kSrcConnection) : open(c.b, u.b, p.b, options);
  FireComplete(*point_, kConnectComplete, errors_, hr, cancel,
               [&](Sink* s, Error* e, EventStatusEnum* st) { s->raw_ConnectComplete(e, st, owner_); });
  return hr;
}

void ConnectionEventSource::Disconnect() {
  point_->Fire<Sink>(kDisconnect, 0, adStatusOK,
                     [&](Sink* s, EventStatusEnum* st) { s->raw_Disconnect(st, owner_); });
}

HRESULT ConnectionEventSource::Execute(PendingExecute& pending, _Command* command, _Recordset* recordset,
                                       const ExecuteWork& run) {
  LONG affected = -1;
  _Recordset* result = nullptr;
  if (!Listening()) return run(pending, affected, result);
  BstrArg source(pending.source);
  bool cancel = point_->Fire<Sink>(kWillExecute, 0, adStatusOK, [&](Sink* s, EventStatusEnum* st) {
    s->raw_WillExecute(&source.b, &pending.cursorType, &pending.lockType, &pending.options, st, command,
                       recordset, owner_);
  });
  pending.source = std::u16string(BstrView(source.b));
  HRESULT hr =
      cancel ? AdoFail(AdoErr(adErrOperationCancelled), kSrcConnection) : run(pending, affected, result);
  if (!point_->Wants(kExecuteComplete, 0)) return hr;
  // ExecuteComplete always names a Command: for Connection.Execute and Recordset.Open, one made
  // for the occasion, as ADO makes one internally.
  _Command* made = nullptr;
  if (!command) {
    auto* c = new AdoCommand();
    BSTR text = AllocBstr(pending.source);
    c->put_CommandText(text);
    SysFreeString(text);
    c->putref_ActiveConnection(owner_);
    command = made = c;
  }
  if (!result) result = recordset;
  FireComplete(*point_, kExecuteComplete, errors_, hr, cancel, [&](Sink* s, Error* e, EventStatusEnum* st) {
    s->raw_ExecuteComplete(affected, e, st, command, result, owner_);
  });
  if (made) made->Release();
  return hr;
}

void ConnectionEventSource::BeginTransComplete(LONG level, HRESULT hr) {
  FireComplete(*point_, kBeginTransComplete, errors_, hr, false, [&](Sink* s, Error* e, EventStatusEnum* st) {
    s->raw_BeginTransComplete(level, e, st, owner_);
  });
}

void ConnectionEventSource::CommitTransComplete(HRESULT hr) {
  FireComplete(*point_, kCommitTransComplete, errors_, hr, false,
               [&](Sink* s, Error* e, EventStatusEnum* st) { s->raw_CommitTransComplete(e, st, owner_); });
}

void ConnectionEventSource::RollbackTransComplete(HRESULT hr) {
  FireComplete(*point_, kRollbackTransComplete, errors_, hr, false,
               [&](Sink* s, Error* e, EventStatusEnum* st) { s->raw_RollbackTransComplete(e, st, owner_); });
}

void ConnectionEventSource::InfoMessage(const ErrorRecord& warning) {
  if (!point_->Wants(kInfoMessage, 0)) return;
  Error* error = new AdoErrorItem(warning);
  point_->Fire<Sink>(kInfoMessage, 0, adStatusOK,
                     [&](Sink* s, EventStatusEnum* st) { s->raw_InfoMessage(error, st, owner_); });
  error->Release();
}

}  // namespace kp::ado
