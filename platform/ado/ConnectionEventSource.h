// The events of a Connection (ConnectionEvents, called through ConnectionEventsVt): the
// connection point, and one method per operation that fires its events around the work.
//
// The connection makes this object when a client first asks it for IConnectionPointContainer;
// until then each firing site costs one null check. Every method below fires only while a sink
// is advised; without one it runs the work and nothing else.
//
// The order, as ADO documents it (docs/ado.md lists it with the arguments):
//   Open:        WillConnect -> (the provider opens) -> ConnectComplete
//   Close:       (the connection closes) -> Disconnect
//   Execute:     WillExecute -> (the statement runs) -> ExecuteComplete
//   BeginTrans, CommitTrans, RollbackTrans: (the work) -> BeginTransComplete /
//                CommitTransComplete / RollbackTransComplete
//   a provider warning: InfoMessage
// A Will event that a sink cancels (adStatusCancel) stops the work: the method fails with
// adErrOperationCancelled (3712) and the Complete event gets adStatusErrorsOccurred with an
// Error of that number. A failed operation passes adStatusErrorsOccurred and its Error to the
// Complete event and keeps its own error for its caller.
#pragma once
#include <msado15.tlh>

#include <functional>
#include <string>

#include "EventContainer.h"

namespace kp::ado {

struct ErrorRecord;

// What WillExecute shows a sink and lets it change.
struct PendingExecute {
  std::u16string source;
  CursorTypeEnum cursorType = adOpenForwardOnly;
  LockTypeEnum lockType = adLockReadOnly;
  LONG options = adOptionUnspecified;
};

class ConnectionEventSource {
 public:
  // owner: the connection (its reference count is the container's); errors: its Errors.
  ConnectionEventSource(_Connection* owner, Errors* errors);

  IConnectionPointContainer* Container() { return &container_; }
  bool Listening() const { return !point_->Empty(); }

  // Connection.Open: WillConnect may change the four arguments; open runs with them.
  HRESULT Open(BSTR cs, BSTR user, BSTR password, LONG options,
               const std::function<HRESULT(BSTR, BSTR, BSTR, LONG)>& open);
  // After the connection closed.
  void Disconnect();
  // An Execute on this connection: command is the Command object (the caller's, or for
  // Connection.Execute and Recordset.Open one made for ExecuteComplete), recordset the
  // Recordset being opened (Recordset.Open). run does the work with the pending arguments and
  // answers the number of records affected and the resulting recordset (borrowed).
  using ExecuteWork = std::function<HRESULT(const PendingExecute&, LONG& affected, _Recordset*& result)>;
  HRESULT Execute(PendingExecute& pending, _Command* command, _Recordset* recordset, const ExecuteWork& run);
  // After BeginTrans (level: the new level), CommitTrans, RollbackTrans; hr is their result.
  void BeginTransComplete(LONG level, HRESULT hr);
  void CommitTransComplete(HRESULT hr);
  void RollbackTransComplete(HRESULT hr);
  // A warning the provider reported during an operation of this connection.
  void InfoMessage(const ErrorRecord& warning);

 private:
  _Connection* owner_;
  Errors* errors_;
  EventContainer container_;
  ConnectionPoint* point_;
};

}  // namespace kp::ado
