// Resources of a module (what a Windows .rc file compiles to), as plain tables.
//
// Each module (the host, each plug-in) defines one KpResourceTable with KP_MODULE_RESOURCES in
// one of its source files; the module entry registers it in the module's state before the
// module's static objects are constructed, and FindResource-style lookups (CDialog's template,
// LoadString) search the resource table of the current module state. Texts are GBK, as the
// resource compiler would store them for an ANSI program with code page 936.
#pragma once
#include "windef.h"

struct KpDialogItemTemplate {
  WORD id;
  const char* className;  // "BUTTON", "LISTBOX", "STATIC", "EDIT"
  const char* text;       // caption, or nullptr for none
  short x, y, cx, cy;     // dialog units
  DWORD style;            // WS_* | class styles (BS_*, LBS_*)
  DWORD exStyle;
};

struct KpDialogTemplate {
  WORD id;                // resource id (MAKEINTRESOURCE)
  LANGID language;        // e.g. MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED) = 0x0804
  DWORD style;            // WS_* | DS_*
  DWORD exStyle;
  short x, y, cx, cy;     // dialog units
  const char* caption;
  WORD pointSize;         // font, with DS_SETFONT
  const char* faceName;
  const KpDialogItemTemplate* items;  // in tab order
  int itemCount;
};

struct KpStringResource {
  UINT id;
  const char* text;
};

struct KpResourceTable {
  const char* moduleName;  // for diagnostics, e.g. "kpSect03StratumSel"
  const KpDialogTemplate* dialogs;
  int dialogCount;
  const KpStringResource* strings;
  int stringCount;
};

// Defines the module's table under the one hidden name the module entry looks for.
#define KP_MODULE_RESOURCES(table) \
  extern "C" KPHIDDEN const KpResourceTable* kpModuleResourceTable() { return &(table); }

#define MAKEINTRESOURCE(i) ((const char*)(uintptr_t)(WORD)(i))
#define IS_INTRESOURCE(p) ((((uintptr_t)(p)) >> 16) == 0)
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define LANG_CHINESE 0x04
#define SUBLANG_CHINESE_SIMPLIFIED 0x02
