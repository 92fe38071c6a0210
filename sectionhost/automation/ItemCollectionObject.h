// The map's item collection (the map control's ItemCollection, DISPID 2): Item (3) takes a VARIANT index
// (anything that converts to a 32-bit integer) counting from 0 and answers a new item object; an index out of
// range is DISP_E_BADINDEX. Count (1).
#pragma once
#include <kp/kpdispatch.h>

namespace sectionhost {

class MapControl;

class ItemCollectionObject : public kp::DispatchObject<ItemCollectionObject> {
 public:
  static const kp::DispTable<ItemCollectionObject>& Dispatch();
  // Keeps a reference to the map control whose state it reads and changes.
  explicit ItemCollectionObject(MapControl* control);

  HRESULT Item(kp::DispCall& call);
  HRESULT Count(kp::DispCall& call);

 private:
  ~ItemCollectionObject() override;
  MapControl* control_;
};

}  // namespace sectionhost
