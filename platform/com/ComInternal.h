// Helpers shared by the kpcom sources (not exported): ASCII case folding for ProgIDs and
// member names, and BSTR construction from standard strings.
#pragma once
#include <string>

#include "oleauto.h"

namespace kp::com {

inline char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

// Lower-cases the ASCII letters of a NUL-terminated wide text.
inline std::u16string FoldedKey(const OLECHAR* text) {
  std::u16string key;
  if (text) {
    for (; *text; ++text) key.push_back(FoldAscii(*text));
  }
  return key;
}

// True when the wide text equals the ASCII name, ignoring the case of ASCII letters.
inline bool EqualsAsciiNoCase(const OLECHAR* text, const char* name) {
  if (!text || !name) return false;
  for (; *text && *name; ++text, ++name) {
    if (FoldAscii(*text) != FoldAscii(static_cast<unsigned char>(*name))) return false;
  }
  return *text == 0 && *name == 0;
}

inline BSTR AllocBstr(const std::u16string& s) {
  return SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

inline std::u16string AsciiToWide(const char* s) {
  std::u16string w;
  for (; s && *s; ++s) w.push_back(static_cast<unsigned char>(*s));
  return w;
}

// The thread's apartment count (0: COM not initialised on this thread).
int ApartmentDepth();
// Releases the calling thread's error object (the last CoUninitialize of the thread does it).
void ReleaseThreadErrorInfo();

}  // namespace kp::com
