// Wrapper of the host's map control "VantorObjects", as generated for an ActiveX control: a CWnd
// holding the control's IDispatch and window. Each method is one IDispatch call with a fixed
// DISPID; a failing call throws the COleException* / COleDispatchException* of InvokeHelper.
// An id list is a by-reference long addressing `count` contiguous 32-bit ids, then the count;
// count 0 with a null address is valid.
#pragma once
#include <afxwin.h>
#include <afxdisp.h>

class CVOSelection;
class CVOEntities;
class CVOCommandGate;
class CVOHighlight;
class CVOItemCollection;

class CVantorObjects : public CWnd {
 public:
  CVantorObjects() = default;

  void GetCommandState(LONG* code, LONG* step);
  void SetCommandState(LONG code, LONG step);
  void SetCurrentAction(LONG action);
  LPDISPATCH GetSelection();
  LPDISPATCH GetEntities();
  LPDISPATCH GetCommandGate();
  LPDISPATCH GetHighlight();
  LPDISPATCH GetItemCollection();
  LONG GetCurrentItemIndex();
  double GetScaleUnit();
  void SetModified(BOOL modified);
  double GetMapScale();
  LONG GetStoreHandle();
  LONG BeginOperation(LPCTSTR name);
  void UpdateEntities(LONG* ids, LONG count, LONG flag);
  void UpdateView();
  void BeginPick(LPDISPATCH pickList, LONG mode, LONG count, LONG filter, LPDISPATCH callback);
  void ShowText(LPCTSTR text);
  void UnregisterEntity(LONG handle);
  void RegisterEntity(LONG handle);
  void RefreshEntity(LONG handle);
  LONG GetEntityHandle(LONG id);
  void Refresh();

 private:
  // A sub-object of the map control (Selection, Entities, ...), with one reference for the caller.
  LPDISPATCH GetObjectProperty(DISPID property);
};
