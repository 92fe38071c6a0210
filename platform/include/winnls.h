// Code-page conversion between narrow text and UTF-16. The platform's ANSI code page (CP_ACP,
// GetACP) is 936: narrow text is GBK. CP_UTF8 is 65001.
#pragma once
#include <string>

#include "windef.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define CP_GBK 936

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

extern "C" {
KPAPI UINT WINAPI GetACP(void);
// Windows semantics: cbMultiByte / cchWideChar of -1 means "NUL-terminated, count the NUL";
// an output size of 0 asks for the needed size. Unmappable input becomes U+FFFD (to wide) or
// the default character '?' (to narrow), unless MB_ERR_INVALID_CHARS asks for failure.
// Failure answers 0 and sets the last error (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER,
// ERROR_NO_UNICODE_TRANSLATION).
KPAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                     LPWSTR lpWideCharStr, int cchWideChar);
KPAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                     LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                     LPBOOL lpUsedDefaultChar);
KPAPI BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
KPAPI DWORD WINAPI GetLastError(void);
KPAPI void WINAPI SetLastError(DWORD dwErrCode);
}

namespace kp {
// Convenience forms used across the platform. Narrow text is GBK unless a code page is named.
KPAPI std::u16string Widen(const char* text, size_t length, UINT codePage = CP_ACP);
KPAPI std::string Narrow(const char16_t* text, size_t length, UINT codePage = CP_ACP);
inline std::u16string Widen(const std::string& s, UINT cp = CP_ACP) { return Widen(s.data(), s.size(), cp); }
inline std::string Narrow(const std::u16string& s, UINT cp = CP_ACP) { return Narrow(s.data(), s.size(), cp); }
// GBK <-> UTF-8, for the edges of the host (terminal, files).
KPAPI std::string GbkToUtf8(const std::string& gbk);
KPAPI std::string Utf8ToGbk(const std::string& utf8);
}  // namespace kp
