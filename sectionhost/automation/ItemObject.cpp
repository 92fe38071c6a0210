// One item of the collection; see ItemObject.h.
#include "ItemObject.h"

#include "host/VantorDispids.h"

namespace sectionhost {

const kp::DispTable<ItemObject>& ItemObject::Dispatch() {
  static const kp::DispTable<ItemObject> table(
      "VantorObjects.Item",
      {
          {VantorDispid::ItemScale, "ItemScale", kp::kGet, {}, VT_R8, &ItemObject::GetItemScale},
      });
  return table;
}

HRESULT ItemObject::GetItemScale(kp::DispCall& call) {
  call.Return(scale_);
  return S_OK;
}

}  // namespace sectionhost
