// The host's map control "VantorObjects": a COM object answering IDispatch with the fixed
// DISPIDs of host/VantorDispids.h, and its window. Commands reach it through the CVantorObjects
// wrapper (a CWnd holding this object and its window) and through the sub-objects it hands out.
//
// What it keeps: the command state pair (stored at once, so nested events read it afresh); the
// current action; the command gate (open by default: CanLaunch true, IsBlocked false; the host
// can close it or block one code); the selection; the highlight set and a redraw count;
// Modified; the pick in progress (BeginPick keeps the given VOIntArray without touching its
// contents; the host ends the pick before it sends event 0); the undo groups opened by
// BeginOperation (each a saved kernel state, so a front end can undo the group); the entities
// announced by UpdateEntities / Register / Unregister / RefreshEntity. Map values (scales, items,
// the store and the kernel handles) come from the KernelMap. ShowText texts go to the text sink
// (the session hands them to its transcript); every call can be logged, one line with its
// arguments (--calls).
//
// Failures answer DISP_E_EXCEPTION with an EXCEPINFO whose scode names the cause:
// DISP_E_BADINDEX for an entity id or item index that does not exist, E_INVALIDARG / E_POINTER
// for a bad id list, E_UNEXPECTED when no map is loaded.
#pragma once
#include <kp/kpdispatch.h>
#include <windef.h>

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "KernelMap.h"

namespace sectionhost {

class MapControl : public kp::DispatchObject<MapControl> {
 public:
  static const kp::DispTable<MapControl>& Dispatch();

  enum class GateMode { Open, Closed, Blocked };
  struct UndoGroup {
    std::string name;  // GBK, as BeginOperation got it
    ZvHandle state;    // the kernel's saved state before the group
  };

  MapControl();

  // Wiring, done by the session. The map is not owned; the text sink gets each ShowText text
  // (GBK) as the plug-in gave it.
  void SetMap(KernelMap* map) { map_ = map; }
  KernelMap* Map() const { return map_; }
  void SetTextSink(std::function<void(const std::string&)> sink) { showText_ = std::move(sink); }
  void SetCallLog(std::ostream* log) { callLog_ = log; }
  // The control's window (class "VantorMapControl"); made on first use, destroyed by Close.
  HWND Window();
  // Releases what the control holds (the pick list, undo states) and destroys its window.
  void Close();

  // State the host reads and sets directly.
  LONG CommandCode() const { return commandCode_; }
  LONG CommandStep() const { return commandStep_; }
  void SetCommandState(LONG code, LONG step) { commandCode_ = code, commandStep_ = step; }
  LONG CurrentAction() const { return currentAction_; }
  void SetGate(GateMode mode, LONG blockedCode = 0) { gate_ = mode, blockedCode_ = blockedCode; }
  GateMode Gate() const { return gate_; }
  bool Modified() const { return modified_; }
  const std::set<LONG>& Selection() const { return selection_; }
  std::set<LONG>& MutableSelection() { return selection_; }
  const std::set<LONG>& Highlighted() const { return highlighted_; }
  int Redraws() const { return redraws_; }
  int ViewUpdates() const { return viewUpdates_; }
  int Refreshes() const { return refreshes_; }
  int CursorUpdates() const { return cursorUpdates_; }
  int LaunchPreparations() const { return launchPreparations_; }
  const std::vector<LONG>& UpdatedEntities() const { return updated_; }
  const std::vector<LONG>& RegisteredHandles() const { return registered_; }
  const std::vector<LONG>& UnregisteredHandles() const { return unregistered_; }
  const std::vector<LONG>& RefreshedHandles() const { return refreshedHandles_; }
  const std::vector<UndoGroup>& UndoGroups() const { return undo_; }
  // Puts the store back to the state before the last group and forgets the group.
  bool UndoLastGroup();
  // Appends a group (a redone one); the control owns group.state from then on.
  void PushUndoGroup(const UndoGroup& group) { undo_.push_back(group); }
  // Releases every group: a map loaded afresh replaces the states they would restore.
  void ForgetUndoGroups() {
    for (const UndoGroup& g : undo_) KernelMap::ReleaseState(g.state);
    undo_.clear();
  }

  // The pick: in progress from BeginPick until the host ends it (before event 0).
  bool PickInProgress() const { return pickList_ != nullptr && picking_; }
  IDispatch* PickList() const { return pickList_; }  // not AddRef'ed; kept after the pick ends
  void EndPick() { picking_ = false; }
  int Picks() const { return picks_; }

  // Writes one line to the call log (when there is one).
  void LogCall(const std::string& utf8Line);
  // Records the window's WM_SETCURSOR.
  void OnSetCursor(WPARAM wParam, LPARAM lParam);

  // Members of the dispatch table.
  HRESULT GetItemCollection(kp::DispCall& call);
  HRESULT GetSelection(kp::DispCall& call);
  HRESULT GetCurrentAction(kp::DispCall& call);
  HRESULT PutCurrentAction(kp::DispCall& call);
  HRESULT GetEntities(kp::DispCall& call);
  HRESULT GetCurrentItemIndex(kp::DispCall& call);
  HRESULT GetScaleUnit(kp::DispCall& call);
  HRESULT GetModified(kp::DispCall& call);
  HRESULT PutModified(kp::DispCall& call);
  HRESULT GetCommandGate(kp::DispCall& call);
  HRESULT GetHighlight(kp::DispCall& call);
  HRESULT GetMapScale(kp::DispCall& call);
  HRESULT GetStoreHandle(kp::DispCall& call);
  HRESULT GetCommandStateCall(kp::DispCall& call);
  HRESULT SetCommandStateCall(kp::DispCall& call);
  HRESULT BeginOperation(kp::DispCall& call);
  HRESULT UpdateEntities(kp::DispCall& call);
  HRESULT UpdateView(kp::DispCall& call);
  HRESULT BeginPick(kp::DispCall& call);
  HRESULT ShowText(kp::DispCall& call);
  HRESULT UnregisterEntity(kp::DispCall& call);
  HRESULT RegisterEntity(kp::DispCall& call);
  HRESULT RefreshEntity(kp::DispCall& call);
  HRESULT GetEntityHandle(kp::DispCall& call);
  HRESULT Refresh(kp::DispCall& call);

  // Used by the sub-objects.
  HRESULT CheckMap(kp::DispCall& call) const;
  bool GateCanLaunch() const { return gate_ != GateMode::Closed; }
  bool GateIsBlocked(LONG code) const { return gate_ == GateMode::Blocked && code == blockedCode_; }
  void PrepareLaunch();
  void SetHighlight(const std::vector<LONG>& ids, bool on, bool redraw);
  void DrawEntities(const std::vector<LONG>& ids);

 private:
  ~MapControl() override;
  HRESULT ReturnObject(kp::DispCall& call, IDispatch* object);
  HRESULT HandleArg(kp::DispCall& call, const char* member);

  KernelMap* map_ = nullptr;
  std::function<void(const std::string&)> showText_;
  std::ostream* callLog_ = nullptr;
  HWND window_ = nullptr;

  LONG commandCode_ = 0, commandStep_ = 0;
  LONG currentAction_ = 0;
  GateMode gate_ = GateMode::Open;
  LONG blockedCode_ = 0;
  bool modified_ = false;
  std::set<LONG> selection_;
  std::set<LONG> highlighted_;
  int redraws_ = 0, viewUpdates_ = 0, refreshes_ = 0, cursorUpdates_ = 0, launchPreparations_ = 0;
  std::vector<LONG> updated_, registered_, unregistered_, refreshedHandles_;
  std::vector<UndoGroup> undo_;
  IDispatch* pickList_ = nullptr;  // AddRef'ed
  bool picking_ = false;
  int picks_ = 0;
};

}  // namespace sectionhost
