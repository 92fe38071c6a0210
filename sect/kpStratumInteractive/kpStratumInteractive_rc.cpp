// The module's resources: the stratum-name dialog, template 12000 (language Chinese, PRC). The
// texts are stored as GBK, as the resource compiler stores them for code page 936.
#include <windows.h>
#include <kp/kpresource.h>
#include <winuser.h>

#include "resource.h"

namespace {

const KpDialogItemTemplate kStratumNameItems[] = {
    {IDOK, "BUTTON", "确定", 23, 235, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {IDCANCEL, "BUTTON", "取消", 107, 235, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    {IDC_BUTTON_CONNECT, "BUTTON", "连接数据库", 14, 13, 78, 16, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0},
    // 0x50210001: child, visible, tab stop, vertical scroll bar, notify; single selection,
    // unsorted, no border, integral height.
    {IDC_LIST_NAMES, "LISTBOX", nullptr, 14, 34, 159, 197,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY, 0},
};

const KpDialogTemplate kDialogs[] = {
    {IDD_STRATUM_NAME, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
     WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0, 0, 0, 187, 263,
     "请选择地层名称", 9, "宋体", kStratumNameItems, sizeof kStratumNameItems / sizeof kStratumNameItems[0]},
};

const KpResourceTable kResources = {"kpSect03StratumSel", kDialogs, 1, nullptr, 0};

}  // namespace

KP_MODULE_RESOURCES(kResources)
