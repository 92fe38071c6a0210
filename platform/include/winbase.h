// Base Win32 services that the COM layer needs: system message texts (FormatMessageA/W), the
// local and global heaps that FormatMessage and clipboard-style code hand memory out of, and the
// SYSTEMTIME record used by the OLE date conversions.
//
// The heaps are the C heap: an HLOCAL or HGLOBAL is the address of the block itself, so
// GlobalLock answers the handle and LMEM_MOVEABLE/GMEM_MOVEABLE blocks never move.
#pragma once
#include <cstdarg>

#include "windef.h"
#include "winerror.h"

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;
typedef SYSTEMTIME* PSYSTEMTIME;

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#ifndef MAKELANGID
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#endif

#ifndef ERROR_MR_MID_NOT_FOUND
#define ERROR_MR_MID_NOT_FOUND 317L
#endif

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

extern "C" {
// FORMAT_MESSAGE_FROM_SYSTEM looks the id up in the system message table (English texts, each
// ending in "\r\n" as on Windows); an id without a text fails with ERROR_MR_MID_NOT_FOUND.
// FORMAT_MESSAGE_FROM_STRING formats lpSource. Inserts %1..%99 take string arguments (from
// the va_list, or from a DWORD_PTR array with FORMAT_MESSAGE_ARGUMENT_ARRAY); "%n" is a line
// break, "%0" ends the text without one, "%%" is a percent sign. FORMAT_MESSAGE_ALLOCATE_BUFFER
// treats lpBuffer as LPSTR* (LPWSTR*) and stores a LocalAlloc'ed block there. Answers the number
// of characters stored, without the terminating NUL, or 0 with the last error set.
KPAPI DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                  LPSTR lpBuffer, DWORD nSize, va_list* Arguments);
KPAPI DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                  LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);

KPAPI HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
KPAPI HLOCAL WINAPI LocalFree(HLOCAL hMem);  // answers NULL on success
KPAPI SIZE_T WINAPI LocalSize(HLOCAL hMem);
KPAPI HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
KPAPI HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);  // answers NULL on success
KPAPI LPVOID WINAPI GlobalLock(HGLOBAL hMem);
KPAPI BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
KPAPI SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
}

#define FormatMessage FormatMessageA
