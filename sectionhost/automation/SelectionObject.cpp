// The selection object; see SelectionObject.h.
#include "SelectionObject.h"

#include "sectionhost/map/MapControl.h"
#include "host/VantorDispids.h"

namespace sectionhost {

const kp::DispTable<SelectionObject>& SelectionObject::Dispatch() {
  static const kp::DispTable<SelectionObject> table(
      "VantorObjects.Selection",
      {
          {1, "Count", kp::kGet, {}, VT_I4, &SelectionObject::Count},
          {VantorDispid::SelectionClear, "Clear", kp::kMethod, {}, VT_EMPTY, &SelectionObject::Clear},
      });
  return table;
}

SelectionObject::SelectionObject(MapControl* control) : control_(control) {
  control_->AddRef();
}
SelectionObject::~SelectionObject() {
  control_->Release();
}

HRESULT SelectionObject::Clear(kp::DispCall&) {
  control_->LogCall("Selection.Clear");
  control_->MutableSelection().clear();
  return S_OK;
}

HRESULT SelectionObject::Count(kp::DispCall& call) {
  call.Return(static_cast<LONG>(control_->Selection().size()));
  return S_OK;
}

}  // namespace sectionhost
