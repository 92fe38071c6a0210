// One outgoing interface of a connectable ADO object (see ConnectionPoint.h).
#include "ConnectionPoint.h"

#include <olectl.h>

#include "ComEnumerator.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {
namespace {
size_t Slot(int event, int reason) {
  return (size_t)event * ConnectionPoint::kReasons + (size_t)reason;
}
}  // namespace

ConnectionPoint::ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, const IID& iid,
                                 const IID& sinkIid)
    : owner_(owner), container_(container), iid_(iid), sinkIid_(sinkIid) {}

ConnectionPoint::~ConnectionPoint() {
  std::vector<Entry> sinks = std::move(sinks_);
  for (Entry& e : sinks) e.sink->Release();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** pp) {
  if (!pp) return E_POINTER;
  container_->AddRef();
  *pp = container_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  IUnknown* called = nullptr;
  if (FAILED(sink->QueryInterface(sinkIid_, reinterpret_cast<void**>(&called))) || !called) {
    IDispatch* late = nullptr;
    if (SUCCEEDED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&late))) && late) {
      late->Release();
      kp::LogNotImplemented("ConnectionPoint::Advise",
                            "a dispinterface (IDispatch) sink; advise a vtable sink");
    }
    return CONNECT_E_CANNOTCONNECT;
  }
  Entry e{nextCookie_++, called, {}};
  sinks_.push_back(e);
  *cookie = e.cookie;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie != cookie) continue;
    IUnknown* sink = it->sink;
    sinks_.erase(it);
    sink->Release();  // last: the sink's end may call back into this point
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** pp) {
  if (!pp) return E_POINTER;
  std::vector<CONNECTDATA> items;
  for (const Entry& e : sinks_) items.push_back(CONNECTDATA{e.sink, e.cookie});
  *pp = new ComEnumerator<IEnumConnections, CONNECTDATA>(std::move(items));
  return S_OK;
}

bool ConnectionPoint::Wants(int event, int reason) const {
  for (const Entry& e : sinks_)
    if (!e.unwanted.test(Slot(event, reason))) return true;
  return false;
}

std::vector<ConnectionPoint::Target> ConnectionPoint::Targets(int event, int reason) const {
  std::vector<Target> out;
  for (const Entry& e : sinks_) {
    if (e.unwanted.test(Slot(event, reason))) continue;
    e.sink->AddRef();
    out.push_back(Target{e.cookie, e.sink});
  }
  return out;
}

void ConnectionPoint::Decline(DWORD cookie, int event, int reason) {
  for (Entry& e : sinks_)
    if (e.cookie == cookie) e.unwanted.set(Slot(event, reason));
}

}  // namespace kp::ado
