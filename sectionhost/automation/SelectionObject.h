// The map's selection (the map control's Selection, DISPID 3): Clear (10) empties it; Count (1) answers how
// many entities are selected.
#pragma once
#include <kp/kpdispatch.h>

namespace sectionhost {

class MapControl;

class SelectionObject : public kp::DispatchObject<SelectionObject> {
 public:
  static const kp::DispTable<SelectionObject>& Dispatch();
  // Keeps a reference to the map control whose state it reads and changes.
  explicit SelectionObject(MapControl* control);

  HRESULT Clear(kp::DispCall& call);
  HRESULT Count(kp::DispCall& call);

 private:
  ~SelectionObject() override;
  MapControl* control_;
};

}  // namespace sectionhost
