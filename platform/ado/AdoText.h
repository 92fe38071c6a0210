// Text helpers of the ADO library: UTF-8 <-> UTF-16 without iconv (the hot paths convert every
// cell), BSTR allocation from UTF-16 views, and the library's trace output.
//
// BSTRs and ADO's strings are UTF-16; SQLite text is UTF-8; file names are converted to UTF-8 for
// the file system. Malformed UTF-8 decodes to U+FFFD per bad byte; an unpaired surrogate encodes
// as U+FFFD. Traces go to OutputDebugStringA (GBK text), so they reach the host's trace sink.
#pragma once
#include <string>
#include <string_view>

#include "oaidl.h"

namespace kp::ado {

std::u16string FromUtf8(std::string_view utf8);
void AppendUtf8(std::u16string_view text, std::string& out);
inline std::string ToUtf8(std::u16string_view text) {
  std::string s;
  AppendUtf8(text, s);
  return s;
}
// The text of a BSTR (a null BSTR is empty text).
std::u16string_view BstrView(BSTR b);
// A new BSTR holding text (never null for an empty text: ADO hands out "" as a real BSTR).
BSTR AllocBstr(std::u16string_view text);
// ASCII-only case-insensitive comparisons for keywords and identifiers.
bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b);
bool StartsWithAsciiNoCase(std::u16string_view text, std::u16string_view prefix);
std::u16string ToUpperAscii(std::u16string_view text);
std::u16string Ascii(const char* text);

// printf-style trace line, prefixed with "kpado: ".
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kp::ado
