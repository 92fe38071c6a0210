// The Windows umbrella header: every Win32 and OLE declaration the platform provides.
#pragma once
#include "windef.h"
#include "winerror.h"
#include "winnls.h"
#if __has_include("winbase.h")
#include "winbase.h"
#endif
#if __has_include("debugapi.h")
#include "debugapi.h"
#endif
#if __has_include("winuser.h")
#include "winuser.h"
#endif
#if __has_include("wingdi.h")
#include "wingdi.h"
#endif
#if __has_include("ole2.h")
#include "ole2.h"
#endif
