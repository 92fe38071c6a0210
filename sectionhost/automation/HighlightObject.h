// The map's highlight set (the map control's Highlight, DISPID 27): SetHighlight (3) adds (on = 1) or removes
// (on = 0) the ids of an id list and redraws them when its last argument is nonzero; DrawEntities (4) redraws
// the listed entities. An id list is a VT_BYREF|VT_I4 address and a count (count 0 with a null address reads
// nothing).
#pragma once
#include <kp/kpdispatch.h>

namespace sectionhost {

class MapControl;

class HighlightObject : public kp::DispatchObject<HighlightObject> {
 public:
  static const kp::DispTable<HighlightObject>& Dispatch();
  // Keeps a reference to the map control whose state it reads and changes.
  explicit HighlightObject(MapControl* control);

  HRESULT SetHighlight(kp::DispCall& call);
  HRESULT DrawEntities(kp::DispCall& call);

 private:
  ~HighlightObject() override;
  MapControl* control_;
};

}  // namespace sectionhost
