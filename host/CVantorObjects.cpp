// The map control wrapper's calls: one InvokeHelper each, with the DISPIDs of VantorDispids.h.
#include "CVantorObjects.h"

#include "VantorDispids.h"

using namespace VantorDispid;

LPDISPATCH CVantorObjects::GetObjectProperty(DISPID property) {
  LPDISPATCH result = nullptr;
  InvokeHelper(property, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, nullptr);
  return result;
}

void CVantorObjects::GetCommandState(LONG* code, LONG* step) {
  static const BYTE params[] = VTS_PI4 VTS_PI4;
  InvokeHelper(VantorDispid::GetCommandState, DISPATCH_METHOD, VT_EMPTY, nullptr, params, code, step);
}

void CVantorObjects::SetCommandState(LONG code, LONG step) {
  static const BYTE params[] = VTS_I4 VTS_I4;
  InvokeHelper(VantorDispid::SetCommandState, DISPATCH_METHOD, VT_EMPTY, nullptr, params, code, step);
}

void CVantorObjects::SetCurrentAction(LONG action) { SetProperty(CurrentAction, VT_I4, action); }

LPDISPATCH CVantorObjects::GetSelection() { return GetObjectProperty(Selection); }

LPDISPATCH CVantorObjects::GetEntities() { return GetObjectProperty(Entities); }

LPDISPATCH CVantorObjects::GetCommandGate() { return GetObjectProperty(CommandGate); }

LPDISPATCH CVantorObjects::GetHighlight() { return GetObjectProperty(Highlight); }

LPDISPATCH CVantorObjects::GetItemCollection() { return GetObjectProperty(ItemCollection); }

LONG CVantorObjects::GetCurrentItemIndex() {
  LONG result = 0;
  InvokeHelper(CurrentItemIndex, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
  return result;
}

double CVantorObjects::GetScaleUnit() {
  double result = 0;
  InvokeHelper(ScaleUnit, DISPATCH_PROPERTYGET, VT_R8, &result, nullptr);
  return result;
}

void CVantorObjects::SetModified(BOOL modified) { SetProperty(Modified, VT_BOOL, modified); }

double CVantorObjects::GetMapScale() {
  double result = 0;
  InvokeHelper(MapScale, DISPATCH_PROPERTYGET, VT_R8, &result, nullptr);
  return result;
}

LONG CVantorObjects::GetStoreHandle() {
  LONG result = 0;
  InvokeHelper(StoreHandle, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
  return result;
}

LONG CVantorObjects::BeginOperation(LPCTSTR name) {
  static const BYTE params[] = VTS_BSTR;
  LONG result = 0;
  InvokeHelper(VantorDispid::BeginOperation, DISPATCH_METHOD, VT_I4, &result, params, name);
  return result;
}

void CVantorObjects::UpdateEntities(LONG* ids, LONG count, LONG flag) {
  static const BYTE params[] = VTS_PI4 VTS_I4 VTS_I4;
  InvokeHelper(VantorDispid::UpdateEntities, DISPATCH_METHOD, VT_EMPTY, nullptr, params, ids, count, flag);
}

void CVantorObjects::UpdateView() {
  InvokeHelper(VantorDispid::UpdateView, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
}

void CVantorObjects::BeginPick(LPDISPATCH pickList, LONG mode, LONG count, LONG filter, LPDISPATCH callback) {
  static const BYTE params[] = VTS_DISPATCH VTS_I4 VTS_I4 VTS_I4 VTS_DISPATCH;
  InvokeHelper(VantorDispid::BeginPick, DISPATCH_METHOD, VT_EMPTY, nullptr, params, pickList, mode, count, filter,
               callback);
}

void CVantorObjects::ShowText(LPCTSTR text) {
  static const BYTE params[] = VTS_BSTR;
  InvokeHelper(VantorDispid::ShowText, DISPATCH_METHOD, VT_EMPTY, nullptr, params, text);
}

void CVantorObjects::UnregisterEntity(LONG handle) {
  static const BYTE params[] = VTS_I4;
  InvokeHelper(VantorDispid::UnregisterEntity, DISPATCH_METHOD, VT_EMPTY, nullptr, params, handle);
}

void CVantorObjects::RegisterEntity(LONG handle) {
  static const BYTE params[] = VTS_I4;
  InvokeHelper(VantorDispid::RegisterEntity, DISPATCH_METHOD, VT_EMPTY, nullptr, params, handle);
}

void CVantorObjects::RefreshEntity(LONG handle) {
  static const BYTE params[] = VTS_I4;
  InvokeHelper(VantorDispid::RefreshEntity, DISPATCH_METHOD, VT_EMPTY, nullptr, params, handle);
}

LONG CVantorObjects::GetEntityHandle(LONG id) {
  static const BYTE params[] = VTS_I4;
  LONG result = 0;
  InvokeHelper(EntityHandle, DISPATCH_PROPERTYGET, VT_I4, &result, params, id);
  return result;
}

void CVantorObjects::Refresh() { InvokeHelper(DISPID_REFRESH, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr); }
