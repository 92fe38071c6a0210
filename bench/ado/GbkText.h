// The text conversion every walk of the ADO benchmarks ends with: a field's text turned into
// narrow GBK bytes (code page 936), the way the plug-in's ado2 layer hands text to its callers.
// Both entry points go through the platform's WideCharToMultiByte (iconv underneath), so the
// plain loops and the ADO walks pay for the same conversion. The functions take plain C++ types
// so that translation units holding ODBC or SOCI headers need no Windows headers.
#pragma once
#include <cstddef>
#include <string>

namespace kpbench {

// UTF-16 text of units code units -> GBK in out (reused, resized as needed); answers the byte
// count (0 for empty text or text that does not convert).
size_t Utf16ToGbk(const char16_t* text, size_t units, std::string& out);

// UTF-8 bytes -> UTF-16 (in wide, reused) -> GBK in out; answers the GBK byte count.
size_t Utf8ToGbk(const char* text, size_t bytes, std::u16string& wide, std::string& out);

}  // namespace kpbench
