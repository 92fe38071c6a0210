// The map control; see MapControl.h. Its window is a plain window of the platform's window
// manager whose procedure records WM_SETCURSOR (the commands send it to have the cursor
// updated) and leaves everything else to DefWindowProc.
#include "MapControl.h"

#include <winnls.h>
#include <winuser.h>

#include "sectionhost/automation/CommandGateObject.h"
#include "sectionhost/automation/EntitiesObject.h"
#include "sectionhost/automation/HighlightObject.h"
#include "sectionhost/automation/IdList.h"
#include "sectionhost/automation/ItemCollectionObject.h"
#include "sectionhost/automation/SelectionObject.h"
#include "host/VantorDispids.h"

namespace sectionhost {

namespace {

const char kWindowClass[] = "VantorMapControl";

LRESULT CALLBACK MapWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETCURSOR) {
    auto* control = reinterpret_cast<MapControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (control) control->OnSetCursor(wParam, lParam);
    return TRUE;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::string Utf8(const std::string& gbk) {
  return kp::GbkToUtf8(gbk);
}

}  // namespace

using M = MapControl;

const kp::DispTable<MapControl>& MapControl::Dispatch() {
  static const kp::DispTable<MapControl> table(
      "VantorObjects.Map",
      {
          {VantorDispid::ItemCollection, "ItemCollection", kp::kGet, {}, VT_DISPATCH, &M::GetItemCollection},
          {VantorDispid::Selection, "Selection", kp::kGet, {}, VT_DISPATCH, &M::GetSelection},
          {VantorDispid::CurrentAction, "CurrentAction", kp::kGet, {}, VT_I4, &M::GetCurrentAction},
          {VantorDispid::CurrentAction, "CurrentAction", kp::kPut, {VT_I4}, VT_EMPTY, &M::PutCurrentAction},
          {VantorDispid::Entities, "Entities", kp::kGet, {}, VT_DISPATCH, &M::GetEntities},
          {VantorDispid::CurrentItemIndex, "CurrentItemIndex", kp::kGet, {}, VT_I4, &M::GetCurrentItemIndex},
          {VantorDispid::ScaleUnit, "ScaleUnit", kp::kGet, {}, VT_R8, &M::GetScaleUnit},
          {VantorDispid::Modified, "Modified", kp::kGet, {}, VT_BOOL, &M::GetModified},
          {VantorDispid::Modified, "Modified", kp::kPut, {VT_BOOL}, VT_EMPTY, &M::PutModified},
          {VantorDispid::CommandGate, "CommandGate", kp::kGet, {}, VT_DISPATCH, &M::GetCommandGate},
          {VantorDispid::Highlight, "Highlight", kp::kGet, {}, VT_DISPATCH, &M::GetHighlight},
          {VantorDispid::MapScale, "MapScale", kp::kGet, {}, VT_R8, &M::GetMapScale},
          {VantorDispid::StoreHandle, "StoreHandle", kp::kGet, {}, VT_I4, &M::GetStoreHandle},
          {VantorDispid::GetCommandState,
           "GetCommandState",
           kp::kMethod,
           {VT_BYREF | VT_I4, VT_BYREF | VT_I4},
           VT_EMPTY,
           &M::GetCommandStateCall},
          {VantorDispid::SetCommandState,
           "SetCommandState",
           kp::kMethod,
           {VT_I4, VT_I4},
           VT_EMPTY,
           &M::SetCommandStateCall},
          {VantorDispid::BeginOperation, "BeginOperation", kp::kMethod, {VT_BSTR}, VT_I4, &M::BeginOperation},
          {VantorDispid::UpdateEntities,
           "UpdateEntities",
           kp::kMethod,
           {VT_BYREF | VT_I4, VT_I4, VT_I4},
           VT_EMPTY,
           &M::UpdateEntities},
          {VantorDispid::UpdateView, "UpdateView", kp::kMethod, {}, VT_EMPTY, &M::UpdateView},
          {VantorDispid::BeginPick,
           "BeginPick",
           kp::kMethod,
           {VT_DISPATCH, VT_I4, VT_I4, VT_I4, VT_DISPATCH},
           VT_EMPTY,
           &M::BeginPick},
          {VantorDispid::ShowText, "ShowText", kp::kMethod, {VT_BSTR}, VT_EMPTY, &M::ShowText},
          {VantorDispid::UnregisterEntity,
           "UnregisterEntity",
           kp::kMethod,
           {VT_I4},
           VT_EMPTY,
           &M::UnregisterEntity},
          {VantorDispid::RegisterEntity,
           "RegisterEntity",
           kp::kMethod,
           {VT_I4},
           VT_EMPTY,
           &M::RegisterEntity},
          {VantorDispid::RefreshEntity, "RefreshEntity", kp::kMethod, {VT_I4}, VT_EMPTY, &M::RefreshEntity},
          {VantorDispid::EntityHandle, "EntityHandle", kp::kGet, {VT_I4}, VT_I4, &M::GetEntityHandle},
          {VantorDispid::Refresh, "Refresh", kp::kMethod, {}, VT_EMPTY, &M::Refresh},
      });
  return table;
}

MapControl::MapControl() = default;

MapControl::~MapControl() {
  Close();
}

HWND MapControl::Window() {
  if (window_) return window_;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MapWindowProc;
  wc.lpszClassName = kWindowClass;
  RegisterClassA(&wc);  // answers 0 when the class exists already: fine
  window_ = CreateWindowExA(0, kWindowClass, "Map", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                            nullptr, nullptr);
  if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return window_;
}

void MapControl::Close() {
  if (pickList_) pickList_->Release();
  pickList_ = nullptr;
  picking_ = false;
  for (const UndoGroup& g : undo_) KernelMap::ReleaseState(g.state);
  undo_.clear();
  if (window_) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  window_ = nullptr;
}

void MapControl::LogCall(const std::string& utf8Line) {
  if (callLog_) *callLog_ << utf8Line << '\n' << std::flush;
}

void MapControl::OnSetCursor(WPARAM wParam, LPARAM lParam) {
  ++cursorUpdates_;
  LogCall("WM_SETCURSOR " + std::to_string(wParam) + " " + std::to_string(lParam));
}

bool MapControl::UndoLastGroup() {
  if (undo_.empty() || !map_) return false;
  UndoGroup group = undo_.back();
  undo_.pop_back();
  bool ok = map_->RestoreState(group.state);
  KernelMap::ReleaseState(group.state);
  return ok;
}

HRESULT MapControl::CheckMap(kp::DispCall& call) const {
  if (!map_ || !map_->Store()) return call.Raise(E_UNEXPECTED, "no map is open");
  return S_OK;
}

void MapControl::PrepareLaunch() {
  ++launchPreparations_;
  picking_ = false;
}

void MapControl::SetHighlight(const std::vector<LONG>& ids, bool on, bool redraw) {
  for (LONG id : ids) {
    if (on) {
      highlighted_.insert(id);
    } else {
      highlighted_.erase(id);
    }
  }
  if (redraw) ++redraws_;
}

void MapControl::DrawEntities(const std::vector<LONG>&) {
  ++redraws_;
}

HRESULT MapControl::ReturnObject(kp::DispCall& call, IDispatch* object) {
  call.Return(object);
  object->Release();
  return S_OK;
}

HRESULT MapControl::GetItemCollection(kp::DispCall& call) {
  LogCall("ItemCollection");
  return ReturnObject(call, new ItemCollectionObject(this));
}

HRESULT MapControl::GetSelection(kp::DispCall& call) {
  LogCall("Selection");
  return ReturnObject(call, new SelectionObject(this));
}

HRESULT MapControl::GetCurrentAction(kp::DispCall& call) {
  call.Return(currentAction_);
  return S_OK;
}

HRESULT MapControl::PutCurrentAction(kp::DispCall& call) {
  currentAction_ = call.Long(0);
  LogCall("CurrentAction = " + std::to_string(currentAction_));
  return S_OK;
}

HRESULT MapControl::GetEntities(kp::DispCall& call) {
  LogCall("Entities");
  return ReturnObject(call, new EntitiesObject(this));
}

HRESULT MapControl::GetCurrentItemIndex(kp::DispCall& call) {
  if (HRESULT hr = CheckMap(call); FAILED(hr)) return hr;
  LogCall("CurrentItemIndex -> " + std::to_string(map_->Loaded().currentItem));
  call.Return(static_cast<LONG>(map_->Loaded().currentItem));
  return S_OK;
}

HRESULT MapControl::GetScaleUnit(kp::DispCall& call) {
  if (HRESULT hr = CheckMap(call); FAILED(hr)) return hr;
  LogCall("ScaleUnit -> " + std::to_string(map_->Loaded().scaleUnit));
  call.Return(map_->Loaded().scaleUnit);
  return S_OK;
}

HRESULT MapControl::GetModified(kp::DispCall& call) {
  call.Return(modified_);
  return S_OK;
}

HRESULT MapControl::PutModified(kp::DispCall& call) {
  modified_ = call.Bool(0);
  LogCall(std::string("Modified = ") + (modified_ ? "1" : "0"));
  return S_OK;
}

HRESULT MapControl::GetCommandGate(kp::DispCall& call) {
  LogCall("CommandGate");
  return ReturnObject(call, new CommandGateObject(this));
}

HRESULT MapControl::GetHighlight(kp::DispCall& call) {
  LogCall("Highlight");
  return ReturnObject(call, new HighlightObject(this));
}

HRESULT MapControl::GetMapScale(kp::DispCall& call) {
  if (HRESULT hr = CheckMap(call); FAILED(hr)) return hr;
  double scale = map_->Loaded().MapScale();
  LogCall("MapScale -> " + std::to_string(scale));
  call.Return(scale);
  return S_OK;
}

HRESULT MapControl::GetStoreHandle(kp::DispCall& call) {
  if (HRESULT hr = CheckMap(call); FAILED(hr)) return hr;
  LogCall("StoreHandle -> " + std::to_string(map_->Store()));
  call.Return(static_cast<LONG>(map_->Store()));
  return S_OK;
}

HRESULT MapControl::GetCommandStateCall(kp::DispCall& call) {
  LONG* code = call.Ref<LONG>(0);
  LONG* step = call.Ref<LONG>(1);
  if (!code || !step) return call.Raise(E_POINTER, "GetCommandState needs two addresses");
  *code = commandCode_;
  *step = commandStep_;
  LogCall("GetCommandState -> " + std::to_string(commandCode_) + " " + std::to_string(commandStep_));
  return S_OK;
}

HRESULT MapControl::SetCommandStateCall(kp::DispCall& call) {
  SetCommandState(call.Long(0), call.Long(1));
  LogCall("SetCommandState " + std::to_string(commandCode_) + " " + std::to_string(commandStep_));
  return S_OK;
}

HRESULT MapControl::BeginOperation(kp::DispCall& call) {
  if (HRESULT hr = CheckMap(call); FAILED(hr)) return hr;
  std::string name = call.Text(0);
  ZvHandle state = map_->SaveState();
  if (!state) return call.Raise(E_FAIL, "the kernel could not save the map's state");
  undo_.push_back({name, state});
  LogCall("BeginOperation " + Utf8(name) + " -> " + std::to_string(undo_.size()));
  call.Return(static_cast<LONG>(undo_.size()));
  return S_OK;
}

HRESULT MapControl::UpdateEntities(kp::DispCall& call) {
  std::vector<LONG> ids;
  if (HRESULT hr = ReadIdList(call, 0, 1, &ids); FAILED(hr)) return hr;
  updated_.insert(updated_.end(), ids.begin(), ids.end());
  LogCall("UpdateEntities " + FormatIds(ids) + " " + std::to_string(call.Long(2)));
  return S_OK;
}

HRESULT MapControl::UpdateView(kp::DispCall&) {
  ++viewUpdates_;
  LogCall("UpdateView");
  return S_OK;
}

HRESULT MapControl::BeginPick(kp::DispCall& call) {
  IDispatch* list = call.Dispatch(0);
  IDispatch* callback = call.Dispatch(4);
  LogCall("BeginPick " + std::string(list ? "VOIntArray" : "null") + " " + std::to_string(call.Long(1)) +
          " " + std::to_string(call.Long(2)) + " " + std::to_string(call.Long(3)) + " " +
          (callback ? "object" : "null"));
  if (!list) return call.Raise(E_POINTER, "BeginPick needs a pick list");
  list->AddRef();
  if (pickList_) pickList_->Release();
  pickList_ = list;
  picking_ = true;
  ++picks_;
  return S_OK;
}

HRESULT MapControl::ShowText(kp::DispCall& call) {
  std::string text = call.Text(0);
  LogCall("ShowText " + Utf8(text));
  if (showText_) showText_(text);
  return S_OK;
}

HRESULT MapControl::HandleArg(kp::DispCall& call, const char* member) {
  LogCall(std::string(member) + " " + std::to_string(call.Long(0)));
  return S_OK;
}

HRESULT MapControl::UnregisterEntity(kp::DispCall& call) {
  unregistered_.push_back(call.Long(0));
  return HandleArg(call, "UnregisterEntity");
}

HRESULT MapControl::RegisterEntity(kp::DispCall& call) {
  registered_.push_back(call.Long(0));
  return HandleArg(call, "RegisterEntity");
}

HRESULT MapControl::RefreshEntity(kp::DispCall& call) {
  refreshedHandles_.push_back(call.Long(0));
  return HandleArg(call, "RefreshEntity");
}

HRESULT MapControl::GetEntityHandle(kp::DispCall& call) {
  if (HRESULT hr = CheckMap(call); FAILED(hr)) return hr;
  LONG id = call.Long(0);
  ZvHandle handle = map_->Handle(id);
  LogCall("EntityHandle " + std::to_string(id) + " -> " + std::to_string(handle));
  if (!handle) return call.Raise(DISP_E_BADINDEX, "no entity with this id");
  call.Return(static_cast<LONG>(handle));
  return S_OK;
}

HRESULT MapControl::Refresh(kp::DispCall&) {
  ++refreshes_;
  LogCall("Refresh");
  return S_OK;
}

}  // namespace sectionhost
