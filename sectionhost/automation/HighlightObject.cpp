// The highlight set object; see HighlightObject.h.
#include "HighlightObject.h"

#include "IdList.h"
#include "sectionhost/map/MapControl.h"
#include "host/VantorDispids.h"

namespace sectionhost {

using namespace VantorDispid;

const kp::DispTable<HighlightObject>& HighlightObject::Dispatch() {
  static const kp::DispTable<HighlightObject> table("VantorObjects.Highlight",
                                                    {
                                                        {HighlightSetHighlight,
                                                         "SetHighlight",
                                                         kp::kMethod,
                                                         {VT_BYREF | VT_I4, VT_I4, VT_I4, VT_I4},
                                                         VT_EMPTY,
                                                         &HighlightObject::SetHighlight},
                                                        {HighlightDrawEntities,
                                                         "DrawEntities",
                                                         kp::kMethod,
                                                         {VT_BYREF | VT_I4, VT_I4},
                                                         VT_EMPTY,
                                                         &HighlightObject::DrawEntities},
                                                    });
  return table;
}

HighlightObject::HighlightObject(MapControl* control) : control_(control) {
  control_->AddRef();
}
HighlightObject::~HighlightObject() {
  control_->Release();
}

HRESULT HighlightObject::SetHighlight(kp::DispCall& call) {
  std::vector<LONG> ids;
  if (HRESULT hr = ReadIdList(call, 0, 1, &ids); FAILED(hr)) return hr;
  LONG on = call.Long(2), redraw = call.Long(3);
  control_->LogCall("Highlight.SetHighlight " + FormatIds(ids) + " " + std::to_string(on) + " " +
                    std::to_string(redraw));
  control_->SetHighlight(ids, on != 0, redraw != 0);
  return S_OK;
}

HRESULT HighlightObject::DrawEntities(kp::DispCall& call) {
  std::vector<LONG> ids;
  if (HRESULT hr = ReadIdList(call, 0, 1, &ids); FAILED(hr)) return hr;
  control_->LogCall("Highlight.DrawEntities " + FormatIds(ids));
  control_->DrawEntities(ids);
  return S_OK;
}

}  // namespace sectionhost
