// IConnectionPointContainer of a connectable ADO object: its connection points (one per
// outgoing interface), found by FindConnectionPoint and listed by EnumConnectionPoints.
//
// The container is an interface of its owner: QueryInterface, AddRef and Release go to the
// owner. FindConnectionPoint answers CONNECT_E_NOCONNECTION for an interface the object does not
// fire and E_POINTER for a null out-pointer. The owner makes the container when a client first
// asks for IConnectionPointContainer, so an object nobody listens to carries none.
#pragma once
#include <memory>
#include <vector>

#include "ConnectionPoint.h"

namespace kp::ado {

class EventContainer final : public IConnectionPointContainer {
 public:
  explicit EventContainer(IUnknown* owner) : owner_(owner) {}
  EventContainer(const EventContainer&) = delete;
  EventContainer& operator=(const EventContainer&) = delete;

  // Adds the point of outgoing interface iid whose sinks answer sinkIid.
  ConnectionPoint& Add(const IID& iid, const IID& sinkIid);

  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
    return owner_->QueryInterface(riid, ppv);
  }
  ULONG __stdcall AddRef() override { return owner_->AddRef(); }
  ULONG __stdcall Release() override { return owner_->Release(); }
  HRESULT __stdcall EnumConnectionPoints(IEnumConnectionPoints** pp) override;
  HRESULT __stdcall FindConnectionPoint(REFIID riid, IConnectionPoint** pp) override;

 private:
  IUnknown* owner_;
  std::vector<std::unique_ptr<ConnectionPoint>> points_;
};

}  // namespace kp::ado
