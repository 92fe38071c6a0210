// One outgoing interface of a connectable ADO object (Connection, Recordset): the sinks advised
// to it, their cookies, and the call of an event on every sink.
//
// The point is part of its owner: AddRef and Release go to the owner, so a client holding the
// point keeps the object alive. Advise asks the sink for the interface the events are called
// through (ConnectionEventsVt, RecordsetEventsVt) and keeps that reference until Unadvise or the
// owner's end; a sink that does not answer it is refused with CONNECT_E_CANNOTCONNECT. Cookies
// count up from 1 and are never 0 or reused within one point. An unknown cookie is
// CONNECT_E_NOCONNECTION.
//
// Firing takes a snapshot of the sinks (each with a reference), so a sink may Advise or Unadvise
// while it is being called; a sink that sets adStatusUnwantedEvent is not called again for that
// event with that reason. Each sink gets the status the caller passes in, whatever an earlier
// sink set.
#pragma once
#include <msado15.tlh>
#include <ocidl.h>

#include <bitset>
#include <vector>

namespace kp::ado {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // Events are numbered from 0 by their place in the sink interface; reasons from 0 (none) to
  // the last EventReasonEnum value.
  static constexpr int kEvents = 12, kReasons = 16;

  // owner: whose reference count the point shares; container: what GetConnectionPointContainer
  // answers; iid: the outgoing interface the point reports; sinkIid: the interface a sink must
  // answer (the point is also found by it).
  ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, const IID& iid, const IID& sinkIid);
  ~ConnectionPoint();  // releases the sinks still advised
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  bool Answers(REFIID riid) const { return riid == iid_ || riid == sinkIid_; }
  bool Empty() const { return sinks_.empty(); }

  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override;
  ULONG __stdcall AddRef() override { return owner_->AddRef(); }
  ULONG __stdcall Release() override { return owner_->Release(); }
  HRESULT __stdcall GetConnectionInterface(IID* iid) override;
  HRESULT __stdcall GetConnectionPointContainer(IConnectionPointContainer** pp) override;
  HRESULT __stdcall Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT __stdcall Unadvise(DWORD cookie) override;
  HRESULT __stdcall EnumConnections(IEnumConnections** pp) override;

  // Calls call(sink, &status) on every sink that still wants (event, reason), sink being the
  // interface the point calls. Answers whether a sink set adStatusCancel while status came in
  // as adStatusOK (a Will event that may be cancelled).
  template <class Sink, class Call>
  bool Fire(int event, int reason, EventStatusEnum status, Call&& call) {
    bool cancel = false;
    for (const Target& t : Targets(event, reason)) {
      EventStatusEnum s = status;
      call(static_cast<Sink*>(t.sink), &s);
      if (s == adStatusCancel && status == adStatusOK) cancel = true;
      if (s == adStatusUnwantedEvent) Decline(t.cookie, event, reason);
      t.sink->Release();
    }
    return cancel;
  }
  // Whether some sink still wants (event, reason).
  bool Wants(int event, int reason) const;

 private:
  struct Target {
    DWORD cookie;
    IUnknown* sink;
  };
  struct Entry {
    DWORD cookie;
    IUnknown* sink;  // the sink interface, one reference held
    std::bitset<kEvents * kReasons> unwanted;
  };
  // The sinks that want (event, reason), each with a reference the caller releases.
  std::vector<Target> Targets(int event, int reason) const;
  void Decline(DWORD cookie, int event, int reason);

  IUnknown* owner_;
  IConnectionPointContainer* container_;
  IID iid_, sinkIid_;
  std::vector<Entry> sinks_;
  DWORD nextCookie_ = 1;
};

}  // namespace kp::ado
