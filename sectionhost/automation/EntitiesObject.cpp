// The entity table object; see EntitiesObject.h.
#include "EntitiesObject.h"

#include "sectionhost/map/MapControl.h"
#include "host/VantorDispids.h"

namespace sectionhost {

const kp::DispTable<EntitiesObject>& EntitiesObject::Dispatch() {
  static const kp::DispTable<EntitiesObject> table(
      "VantorObjects.Entities", {
                                    {1, "Count", kp::kGet, {}, VT_I4, &EntitiesObject::Count},
                                    {VantorDispid::EntitiesGetEntityType,
                                     "GetEntityType",
                                     kp::kMethod,
                                     {VT_I4},
                                     VT_I4,
                                     &EntitiesObject::GetEntityType},
                                });
  return table;
}

EntitiesObject::EntitiesObject(MapControl* control) : control_(control) {
  control_->AddRef();
}
EntitiesObject::~EntitiesObject() {
  control_->Release();
}

HRESULT EntitiesObject::GetEntityType(kp::DispCall& call) {
  if (HRESULT hr = control_->CheckMap(call); FAILED(hr)) return hr;
  LONG id = call.Long(0);
  LONG type = control_->Map()->EntityType(id);
  control_->LogCall("Entities.GetEntityType " + std::to_string(id) + " -> " + std::to_string(type));
  call.Return(type);
  return S_OK;
}

HRESULT EntitiesObject::Count(kp::DispCall& call) {
  if (HRESULT hr = control_->CheckMap(call); FAILED(hr)) return hr;
  call.Return(static_cast<LONG>(ZvStoreEntityCount(control_->Map()->Store())));
  return S_OK;
}

}  // namespace sectionhost
