// The base library's configuration service: the directory that holds the data-link file.
#pragma once
#include <afx.h>

#if defined(KPBASE_BUILD)
#define KPBASE_API __attribute__((visibility("default")))
#else
#define KPBASE_API
#endif

// Fills `directory` with the configuration directory, always ending in '/'.
KPBASE_API void GetConfigDirectory(CString& directory);

// The host's side: sets the directory that GetConfigDirectory answers (taken as given, not
// resolved; '/' is added when it does not already end in '/').
extern "C" KPBASE_API void KpBaseSetConfigDirectory(const char* directory);
