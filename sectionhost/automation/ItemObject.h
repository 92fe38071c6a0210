// One item of the map's item collection: ItemScale (9, get) answers its scale as loaded from
// the map file's "items".
#pragma once
#include <kp/kpdispatch.h>

namespace sectionhost {

class ItemObject : public kp::DispatchObject<ItemObject> {
 public:
  static const kp::DispTable<ItemObject>& Dispatch();
  explicit ItemObject(double scale) : scale_(scale) {}

  HRESULT GetItemScale(kp::DispCall& call);

 private:
  double scale_;
};

}  // namespace sectionhost
