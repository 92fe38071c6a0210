// The stratum-selection command module "kpSect03StratumSel": its application object and the
// thirteen functions through which the host finds and drives the command "选择顶底板生成剖面地层".
//
// The host calls every export on its user-interface thread. Text goes into buffers the host
// supplies as NUL-terminated GBK; 27 bytes hold the longest text. The two parameters of
// MouseStatus carry addresses for the command-line text event, so they are pointer-sized.
#pragma once
#include <afxwin.h>

#include "host/CVantorObjects.h"

#define KPCMD_API extern "C" KPAPI

KPCMD_API void WINAPI GetCommandName(char* buffer);
KPCMD_API int WINAPI LaunchCommand();
KPCMD_API void WINAPI AttachVoMap(CVantorObjects* map);
KPCMD_API void WINAPI SetVoAction(int action);
KPCMD_API void WINAPI SetVoStatus(int status);
KPCMD_API void WINAPI MouseStatus(int event, LPARAM param1, LPARAM param2);
KPCMD_API void WINAPI GetCommandTranslateName(char* buffer);
KPCMD_API void WINAPI GetGroupName(char* buffer);
KPCMD_API CWinApp* WINAPI GetTheApp();
KPCMD_API void WINAPI SetVoUserCmdID(int id);
KPCMD_API int WINAPI GetBmp();
KPCMD_API void WINAPI GetToolBarName(char* buffer);
KPCMD_API int WINAPI GetCommandType();

// The module's application object: an MFC application with no name of its own.
class CKpStratumInteractiveApp : public CWinApp {
 public:
  CKpStratumInteractiveApp();

  DECLARE_MESSAGE_MAP()
};
