// The map's entity table (the map control's Entities, DISPID 7): GetEntityType (3) answers an entity's type
// code (2, 3 and 14 are the curve kinds, 27 a section stratum), 0 for an id the map does not have (so a
// command drops it like any non-curve); Count (1).
#pragma once
#include <kp/kpdispatch.h>

namespace sectionhost {

class MapControl;

class EntitiesObject : public kp::DispatchObject<EntitiesObject> {
 public:
  static const kp::DispTable<EntitiesObject>& Dispatch();
  // Keeps a reference to the map control whose state it reads and changes.
  explicit EntitiesObject(MapControl* control);

  HRESULT GetEntityType(kp::DispCall& call);
  HRESULT Count(kp::DispCall& call);

 private:
  ~EntitiesObject() override;
  MapControl* control_;
};

}  // namespace sectionhost
