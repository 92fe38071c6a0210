// The item collection object; see ItemCollectionObject.h.
#include "ItemCollectionObject.h"

#include "ItemObject.h"
#include "sectionhost/map/MapControl.h"
#include "host/VantorDispids.h"

namespace sectionhost {

const kp::DispTable<ItemCollectionObject>& ItemCollectionObject::Dispatch() {
  static const kp::DispTable<ItemCollectionObject> table(
      "VantorObjects.ItemCollection", {
                                          {1, "Count", kp::kGet, {}, VT_I4, &ItemCollectionObject::Count},
                                          {VantorDispid::CollectionItem,
                                           "Item",
                                           kp::kMethod,
                                           {VT_VARIANT},
                                           VT_DISPATCH,
                                           &ItemCollectionObject::Item},
                                      });
  return table;
}

ItemCollectionObject::ItemCollectionObject(MapControl* control) : control_(control) {
  control_->AddRef();
}
ItemCollectionObject::~ItemCollectionObject() {
  control_->Release();
}

HRESULT ItemCollectionObject::Item(kp::DispCall& call) {
  if (HRESULT hr = control_->CheckMap(call); FAILED(hr)) return hr;
  VARIANT index;
  VariantInit(&index);
  HRESULT hr = VariantChangeType(&index, &call.Arg(0), 0, VT_I4);
  if (FAILED(hr)) return call.Raise(hr, "the item index is not a 32-bit integer");
  const auto& scales = control_->Map()->Loaded().itemScales;
  control_->LogCall("ItemCollection.Item " + std::to_string(index.lVal));
  if (index.lVal < 0 || static_cast<size_t>(index.lVal) >= scales.size()) {
    return call.Raise(DISP_E_BADINDEX, "no item at this index");
  }
  ItemObject* item = new ItemObject(scales[index.lVal]);
  call.Return(static_cast<IDispatch*>(item));
  item->Release();
  return S_OK;
}

HRESULT ItemCollectionObject::Count(kp::DispCall& call) {
  if (HRESULT hr = control_->CheckMap(call); FAILED(hr)) return hr;
  call.Return(static_cast<LONG>(control_->Map()->Loaded().itemScales.size()));
  return S_OK;
}

}  // namespace sectionhost
