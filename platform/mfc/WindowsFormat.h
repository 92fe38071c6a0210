// printf-style formatting with the rules of Microsoft's C run-time library, as Windows code
// written for it expects them on this LP64 platform. Used by CString::Format and TRACE.
#pragma once
#include <cstdarg>
#include <string>

namespace kp {

// Formats like Microsoft's vsprintf in an ANSI (GBK) build:
// - the length modifier l on an integer conversion means 32 bits (Windows' long is 32-bit),
//   so "%ld" and "%08lx" read an int; ll, I64 mean 64 bits, I32 32 bits, I, z, t pointer size;
//   h and hh narrow the value to short and char;
// - %s and %hs take a char* (GBK text); %ls, %ws and %S take a UTF-16 string (const OLECHAR*),
//   converted to GBK; %c takes a char, %lc/%C a UTF-16 unit;
// - %p prints the address as 16 upper-case hexadecimal digits, as 64-bit Windows does;
// - L on a floating-point conversion is ignored (Windows' long double is a double);
// - %n writes nothing (Windows rejects it by default) and is dropped from the output;
// - a null string prints "(null)".
// An unknown conversion is copied to the output as it stands.
std::string FormatWindows(const char* format, va_list args);

}  // namespace kp
