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

Error* ConnectionEventSource::ErrorFor(HRESULT hr, EventStatusEnum& status) const {
  status = SUCCEEDED(hr) ? adStatusOK : adStatusErrorsOccurred;
  return SUCCEEDED(hr) ? nullptr : MakeEventError(hr, errors_);
}

HRESULT ConnectionEventSource::Open(BSTR cs, BSTR user, BSTR password, LONG options,
                                    const std::function<HRESULT(BSTR, BSTR, BSTR, LONG)>& open) {
  if (!Listening()) return open(cs, user, password, options);
  BstrArg c(BstrView(cs)), u(BstrView(user)), p(BstrView(password));
  bool cancel = point_->Fire<Sink>(kWillConnect, 0, adStatusOK, [&](Sink* s, EventStatusEnum* st) {
    s->raw_WillConnect(&c.b, &u.b, &p.b, &options, st, owner_);
  });
  HRESULT hr = cancel ? AdoFail(AdoErr(adErrOperationCancelled), kSrcConnection) : open(c.b, u.b, p.b, options);
  KeptErrorInfo kept;
  EventStatusEnum status;
  Error* error = cancel ? MakeAdoEventError(adErrOperationCancelled, kSrcConnection) : ErrorFor(hr, status);
  if (cancel) status = adStatusErrorsOccurred;
  point_->Fire<Sink>(kConnectComplete, 0, status,
                     [&](Sink* s, EventStatusEnum* st) { s->raw_ConnectComplete(error, st, owner_); });
  if (error) error->Release();
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
  HRESULT hr = cancel ? AdoFail(AdoErr(adErrOperationCancelled), kSrcConnection) : run(pending, affected, result);
  if (!point_->Wants(kExecuteComplete, 0)) return hr;
  KeptErrorInfo kept;
  EventStatusEnum status;
  Error* error = cancel ? MakeAdoEventError(adErrOperationCancelled, kSrcConnection) : ErrorFor(hr, status);
  if (cancel) status = adStatusErrorsOccurred;
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
  point_->Fire<Sink>(kExecuteComplete, 0, status, [&](Sink* s, EventStatusEnum* st) {
    s->raw_ExecuteComplete(affected, error, st, command, result, owner_);
  });
  if (made) made->Release();
  if (error) error->Release();
  return hr;
}

void ConnectionEventSource::BeginTransComplete(LONG level, HRESULT hr) {
  KeptErrorInfo kept;
  EventStatusEnum status;
  Error* error = ErrorFor(hr, status);
  point_->Fire<Sink>(kBeginTransComplete, 0, status, [&](Sink* s, EventStatusEnum* st) {
    s->raw_BeginTransComplete(level, error, st, owner_);
  });
  if (error) error->Release();
}

void ConnectionEventSource::CommitTransComplete(HRESULT hr) {
  KeptErrorInfo kept;
  EventStatusEnum status;
  Error* error = ErrorFor(hr, status);
  point_->Fire<Sink>(kCommitTransComplete, 0, status,
                     [&](Sink* s, EventStatusEnum* st) { s->raw_CommitTransComplete(error, st, owner_); });
  if (error) error->Release();
}

void ConnectionEventSource::RollbackTransComplete(HRESULT hr) {
  KeptErrorInfo kept;
  EventStatusEnum status;
  Error* error = ErrorFor(hr, status);
  point_->Fire<Sink>(kRollbackTransComplete, 0, status,
                     [&](Sink* s, EventStatusEnum* st) { s->raw_RollbackTransComplete(error, st, owner_); });
  if (error) error->Release();
}

void ConnectionEventSource::InfoMessage(const ProviderError& warning) {
  if (!point_->Wants(kInfoMessage, 0)) return;
  ErrorRecord r;
  r.number = warning.hr;
  r.source = warning.source;
  r.description = warning.description;
  r.sqlState = warning.sqlState;
  r.native = warning.native;
  Error* error = new AdoErrorItem(std::move(r));
  point_->Fire<Sink>(kInfoMessage, 0, adStatusOK,
                     [&](Sink* s, EventStatusEnum* st) { s->raw_InfoMessage(error, st, owner_); });
  error->Release();
}

}  // namespace kp::ado
