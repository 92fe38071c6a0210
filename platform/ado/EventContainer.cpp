// IConnectionPointContainer of a connectable ADO object (see EventContainer.h).
#include "EventContainer.h"

#include <olectl.h>

#include "ComEnumerator.h"

namespace kp::ado {

ConnectionPoint& EventContainer::Add(const IID& iid, const IID& sinkIid) {
  points_.push_back(std::make_unique<ConnectionPoint>(owner_, this, iid, sinkIid));
  return *points_.back();
}

HRESULT EventContainer::EnumConnectionPoints(IEnumConnectionPoints** pp) {
  if (!pp) return E_POINTER;
  std::vector<IConnectionPoint*> items;
  for (auto& p : points_) items.push_back(p.get());
  *pp = new ComEnumerator<IEnumConnectionPoints, IConnectionPoint*>(std::move(items));
  return S_OK;
}

HRESULT EventContainer::FindConnectionPoint(REFIID riid, IConnectionPoint** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  for (auto& p : points_) {
    if (!p->Answers(riid)) continue;
    p->AddRef();
    *pp = p.get();
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace kp::ado
