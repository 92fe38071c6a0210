// The stratum-selection command: the module-wide objects, the thirteen exports and the command's
// event handling.
//
// The command keeps its step in the host (the command state pair read and written through the
// map control), never in the module: every MouseStatus call reads the host's state first and
// ignores the event unless this command is current. Handlers move the command on by calling
// MouseStatus themselves (nested events 11, 19, 20 and 21), so the host must apply
// SetCommandState before it returns. A launch always starts at picking (step 0), whatever step
// the host's state held for another command.
//
// No exception leaves an export. Host automation errors (the COleException* of the wrappers)
// are contained where they happen (Contained.h): in the build they make the creation fail, in
// any other handler they end the command, and the map is left as it was. Curves are deleted
// only in a run that built a stratum.
//
// The module-wide objects are defined in this one file, in this order, so that they are
// constructed at load in this order and destroyed at unload in the reverse order: the created
// entity ids, the database connection, the stratum-name dialog (which keeps the connection's
// address) and the application object.
#include "kpStratumInteractive.h"

#include <cstring>

#include "ADODataBase.h"
#include "Contained.h"
#include "SetDlg.h"
#include "host/CVOCommandGate.h"
#include "host/CVOEntities.h"
#include "host/CVOHighlight.h"
#include "host/CVOIntArray.h"
#include "host/CVOSelection.h"
#include "host/VantorDispids.h"
#include "host/zvkernel.h"
#include "stratum.h"

CArray<LONG, LONG> CreatedEntityIds;
CADODataBase g_database;
CSetDlg g_setDlg(&g_database);
CKpStratumInteractiveApp theApp;

namespace {

// Texts of the command, GBK at run time.
const char kMenuText[] = "选择顶底板生成剖面地层(&I)";
const char kCommandLineName[] = "选择顶底板生成剖面地层/dsi";
const char kGroupName[] = "剖面图(&T)";
const char kLaunchBanner[] = "**选择顶底板生成剖面地层<选择顶底板生成剖面地层/dsi>**";
const char kPickPrompt[] = "请选择用于生成剖面地层的两条曲线: [ESC退出]";
const char kAskDeleteYes[] = "是否删除用于生成剖面地层的两条曲线？[是(Y)/否(N)] <Y>:";
const char kAskDeleteNo[] = "是否删除用于生成绘制剖面地层的两条曲线？[是(Y)/否(N)] <N>:";
const char kDeleted[] = "删除了用于生成剖面地层的两条曲线";
const char kKept[] = "不删除了用于生成剖面地层的两条曲线";
const char kUnrecognised[] = "不能识别的命令";
const char kBuilt[] = "**创建剖面地层成功**";
const char kBuildFailed[] = "**创建剖面地层失败**";
const char kCancelled[] = "**取消选择顶底板生成剖面地层命令**";

// Events of MouseStatus.
enum : int {
  EventPick = 0,
  EventKey = 7,
  EventEnd = 11,
  EventStart = 18,
  EventApplyDeletion = 19,
  EventBuild = 20,
  EventCommandText = 21
};

// Steps of the command in the host's command state.
constexpr LONG StepPicking = 0;
constexpr LONG StepAskDelete = 0x7FFFFFFF;

// Entity type codes that count as curves, and the pick's arguments as the host expects them.
bool IsCurveType(LONG type) { return type == 2 || type == 3 || type == 14; }
constexpr LONG kPickMode = 0, kPickCount = 1, kPickFilter = 63;
constexpr WPARAM kKeyEscape = 0x1B;

CVantorObjects* g_pMap = nullptr;
int g_nAction = 0;
int g_nStatus = 0;
int g_nUserCmdID = 0;
int g_bDeleteCurves = 1;
// Whether the current run (from its start to its end) has built a stratum: only then may the
// answer to the delete question delete the picked curves.
int g_bStratumBuilt = 0;

// The pick list: made on the first call that the command accepts, kept until unload; the host
// object behind it is created at the first start and only emptied afterwards.
CVOIntArray& PickList() {
  static CVOIntArray g_pickList;
  return g_pickList;
}

void CopyText(char* buffer, const char* text) { std::strcpy(buffer, text); }

// The address of the pick list's elements, as GetData hands it out.
LONG* ElementBuffer(const VARIANT& data) { return static_cast<LONG*>(data.byref); }

// Marks (on = 1) or unmarks (on = 0) the entities in the pick list.
void MarkPickList(CVOIntArray& pickList, LONG on) {
  CVOHighlight highlight(g_pMap->GetHighlight());
  VARIANT data = pickList.GetData();
  highlight.SetHighlight(ElementBuffer(data), pickList.GetSize(), on, 1);
  highlight.DrawEntities(ElementBuffer(data), pickList.GetSize());
  g_pMap->UpdateView();
  VariantClear(&data);
}

// Asks the command for its current prompt (event 21 with "?") and shows it.
void ShowPrompt() {
  CString reply;
  MouseStatus(EventCommandText, reinterpret_cast<LPARAM>("?"), reinterpret_cast<LPARAM>(&reply));
  g_pMap->ShowText(reply);
}

void UpdateCursor() { g_pMap->SendMessage(WM_SETCURSOR, 0, 0); }

void BeginPick(CVOIntArray& pickList) {
  g_pMap->BeginPick(pickList.m_lpDispatch, kPickMode, kPickCount, kPickFilter, nullptr);
}

void OnStart(CVOIntArray& pickList, LONG step) {
  if (step != StepPicking) return;
  CreatedEntityIds.RemoveAll();
  g_bStratumBuilt = 0;
  ShowPrompt();
  CVOSelection selection(g_pMap->GetSelection());
  selection.Clear();
  if (pickList.m_lpDispatch == nullptr && !pickList.CreateDispatch(VANTOR_INTARRAY_PROGID)) {
    // Without a pick list nothing can be picked: the command ends at once.
    TRACE("kpSect03StratumSel: the pick list %s could not be created\n", VANTOR_INTARRAY_PROGID);
    MouseStatus(EventEnd, 0, 0);
    return;
  }
  pickList.RemoveAll();
  BeginPick(pickList);
  UpdateCursor();
}

// Whether `id` stands in the pick list before index `end`.
bool PickedBefore(CVOIntArray& pickList, LONG id, LONG end) {
  for (LONG k = 0; k < end; ++k) {
    if (pickList.GetAt(k) == id) return true;
  }
  return false;
}

// Keeps the curves, each once, in pick order: an entity that is not a curve and a second
// occurrence of an id already in the list are removed alike.
void OnPick(CVOIntArray& pickList, LONG step) {
  if (step != StepPicking) return;
  CVOEntities entities(g_pMap->GetEntities());
  for (LONG i = 0; i < pickList.GetSize();) {
    const LONG id = pickList.GetAt(i);
    if (IsCurveType(entities.GetEntityType(id)) && !PickedBefore(pickList, id, i)) {
      ++i;
    } else {
      pickList.RemoveAt(i);
    }
  }
  MarkPickList(pickList, 1);
  if (pickList.GetSize() == 2) {
    MouseStatus(EventBuild, 0, 0);
    return;
  }
  ShowPrompt();
  BeginPick(pickList);
  UpdateCursor();
}

void OnBuild(CVOIntArray& pickList, LONG code) {
  if (pickList.GetSize() != 2) {
    MarkPickList(pickList, 0);
    MouseStatus(EventEnd, 0, 0);
    return;
  }
  int created = 0;
  RunContained("the build", [&] {
    g_setDlg.DoModal();
    CString stratumCode = g_setDlg.m_strResult;
    created = CreateSectionStratum(g_pMap, pickList.GetAt(0), pickList.GetAt(1), stratumCode);
  });
  if (created) {
    g_bStratumBuilt = 1;
    g_pMap->ShowText(kBuilt);
    g_pMap->SetCommandState(code, StepAskDelete);
    ShowPrompt();
  } else {
    g_pMap->ShowText(kBuildFailed);
    MarkPickList(pickList, 0);
    MouseStatus(EventEnd, 0, 0);
  }
}

// `text` may be null: that is no text the command knows, not an empty line.
void OnCommandText(const char* text, CString& reply, LONG step) {
  if (text == nullptr) {
    if (reply.IsEmpty()) reply = kUnrecognised;
    return;
  }
  CString answer(text);
  answer.MakeLower();
  if (answer == "?") {
    if (step == StepPicking) {
      reply = kPickPrompt;
    } else if (step == StepAskDelete) {
      reply = g_bDeleteCurves ? kAskDeleteYes : kAskDeleteNo;
    }
  } else if (step == StepAskDelete) {
    bool answered = true;
    if (answer == "y") {
      g_bDeleteCurves = 1;
    } else if (answer == "n") {
      g_bDeleteCurves = 0;
    } else if (!answer.IsEmpty()) {
      answered = false;
    }
    if (answered) {
      reply = g_bDeleteCurves ? kDeleted : kKept;
      MouseStatus(EventApplyDeletion, 0, 0);
    }
  }
  if (reply.IsEmpty()) reply = kUnrecognised;
}

void OnApplyDeletion(CVOIntArray& pickList) {
  MarkPickList(pickList, 0);
  if (g_bDeleteCurves && g_bStratumBuilt) {
    for (LONG i = 0; i < pickList.GetSize(); ++i) {
      LONG handle = g_pMap->GetEntityHandle(pickList.GetAt(i));
      g_pMap->UnregisterEntity(handle);
      int flags = GetObjectFlags(static_cast<ZvHandle>(handle));
      SetObjectFlags(static_cast<ZvHandle>(handle), flags | 1);
    }
    VARIANT data = pickList.GetData();
    g_pMap->UpdateEntities(ElementBuffer(data), pickList.GetSize(), 1);
    VariantClear(&data);
  }
  MouseStatus(EventEnd, 0, 0);
}

void OnEnd() {
  g_bStratumBuilt = 0;
  g_pMap->SetCommandState(0, 0);
  UpdateCursor();
  g_pMap->Refresh();
}

void OnKey(CVOIntArray& pickList, WPARAM key) {
  if (key != kKeyEscape) return;
  MarkPickList(pickList, 0);
  MouseStatus(EventEnd, 0, 0);
  g_pMap->ShowText(kCancelled);
}

// Ends the command after a handler failed: unmarks and ends as far as the host lets it, each
// step on its own, so that one more failing call does not keep the others from running.
void EndAfterFailure() {
  RunContained("unmarking", [] { MarkPickList(PickList(), 0); });
  RunContained("ending the command", [] { OnEnd(); });
}

void Dispatch(int event, LPARAM param1, LPARAM param2, LONG code, LONG step) {
  CVOIntArray& pickList = PickList();
  switch (event) {
    case EventStart:
      OnStart(pickList, step);
      break;
    case EventPick:
      OnPick(pickList, step);
      break;
    case EventBuild:
      OnBuild(pickList, code);
      break;
    case EventCommandText: {
      CString scratch;
      CString* reply = param2 ? reinterpret_cast<CString*>(param2) : &scratch;
      OnCommandText(reinterpret_cast<const char*>(param1), *reply, step);
      break;
    }
    case EventApplyDeletion:
      OnApplyDeletion(pickList);
      break;
    case EventEnd:
      OnEnd();
      break;
    case EventKey:
      OnKey(pickList, static_cast<WPARAM>(param1));
      break;
    default:
      break;
  }
}

}  // namespace

KPCMD_API void WINAPI GetCommandName(char* buffer) { CopyText(buffer, kMenuText); }
KPCMD_API void WINAPI GetCommandTranslateName(char* buffer) { CopyText(buffer, kCommandLineName); }
KPCMD_API void WINAPI GetGroupName(char* buffer) { CopyText(buffer, kGroupName); }
KPCMD_API void WINAPI GetToolBarName(char* buffer) { buffer[0] = '\0'; }
KPCMD_API CWinApp* WINAPI GetTheApp() { return &theApp; }
KPCMD_API int WINAPI GetBmp() { return 0; }
KPCMD_API int WINAPI GetCommandType() { return 2; }
KPCMD_API void WINAPI AttachVoMap(CVantorObjects* map) { g_pMap = map; }
KPCMD_API void WINAPI SetVoAction(int action) { g_nAction = action; }
KPCMD_API void WINAPI SetVoStatus(int status) { g_nStatus = status; }
KPCMD_API void WINAPI SetVoUserCmdID(int id) { g_nUserCmdID = id; }

// Makes the command current at picking (step 0) and starts it; 1 when it did, 0 when the gate
// refused, the command was current already, no map control is attached or a host call failed
// before the start (the command is ended then).
KPCMD_API int WINAPI LaunchCommand() {
  if (g_pMap == nullptr) return 0;
  int result = 0;
  bool current = false;
  const bool clean = RunContained("LaunchCommand", [&] {
    LONG code = 0, step = 0;
    g_pMap->GetCommandState(&code, &step);
    CVOCommandGate gate(g_pMap->GetCommandGate());
    if (gate.CanLaunch() && !gate.IsBlocked(g_nStatus) && code != g_nStatus) {
      gate.PrepareLaunch();
      g_pMap->SetCommandState(g_nStatus, StepPicking);
      current = true;
      g_pMap->ShowText(kLaunchBanner);
      g_pMap->SetCurrentAction(g_nAction);
      MouseStatus(EventStart, 0, 0);
      result = 1;
    }
  });
  if (!clean && current) {
    EndAfterFailure();
    result = 0;
  }
  return result;
}

// The command's event entry. param1 and param2 are the event's parameters: the key code for
// event 7; for event 21 the address of the NUL-terminated text and of the caller's reply CString.
// A handler that fails ends the command (a failed build ends it with the failure text, see
// OnBuild); a failure to read the command state leaves everything as it is.
KPCMD_API void WINAPI MouseStatus(int event, LPARAM param1, LPARAM param2) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (g_pMap == nullptr) return;
  LONG code = 0, step = 0;
  if (!RunContained("GetCommandState", [&] { g_pMap->GetCommandState(&code, &step); })) return;
  if (code != g_nStatus) return;
  if (!RunContained("MouseStatus", [&] { Dispatch(event, param1, param2, code, step); })) {
    EndAfterFailure();
  }
}
