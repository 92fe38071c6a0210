// System message texts (FormatMessageA/W) and the local and global heaps they hand memory out
// of (LocalAlloc/LocalFree, GlobalAlloc/GlobalFree/GlobalLock/GlobalUnlock/GlobalSize).
//
// The system message table holds the English (US) texts of the Win32 codes this platform
// raises (winerror.h) and of the COM and OLE Automation HRESULTs, each ending in "\r\n" as
// Windows' table does; the language argument is not consulted, since there is one table. An
// HRESULT of FACILITY_WIN32 has the text of its Win32 code. There is no text for codes a
// component defines for itself: FACILITY_ITF codes 0x80040200..0x8004FFFF (every OLE DB
// DB_E_* code) and facility 10 (FACILITY_CONTROL: ADO and VB run-time errors); for those, and
// for any code not in the table, FormatMessage answers 0 with ERROR_MR_MID_NOT_FOUND.
// FORMAT_MESSAGE_FROM_HMODULE with a module is not supported (logged, ERROR_INVALID_PARAMETER).
//
// The heaps are the C heap with a 16-byte header holding the block size; a handle is the
// address of the block's data, so GlobalLock answers the handle itself.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "kp/kpnotimpl.h"
#include "winbase.h"
#include "winnls.h"

namespace {

const std::map<uint32_t, const char*>& Win32Texts() {
  static const std::map<uint32_t, const char*> texts = {
      {0, "The operation completed successfully."},
      {1, "Incorrect function."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {14, "Not enough memory resources are available to complete this operation."},
      {87, "The parameter is incorrect."},
      {122, "The data area passed to a system call is too small."},
      {126, "The specified module could not be found."},
      {127, "The specified procedure could not be found."},
      {317, "The system cannot find message text for message number 0x%1 in the message file for %2."},
      {1004, "Invalid flags."},
      {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
      {1400, "Invalid window handle."},
      {1813, "The specified resource type cannot be found in the image file."},
      {1814, "The specified resource name cannot be found in the image file."},
  };
  return texts;
}

const std::map<uint32_t, const char*>& HresultTexts() {
  static const std::map<uint32_t, const char*> texts = {
      {0x8000FFFF, "Catastrophic failure"},
      {0x80004001, "Not implemented"},
      {0x80004002, "No such interface supported"},
      {0x80004003, "Invalid pointer"},
      {0x80004004, "Operation aborted"},
      {0x80004005, "Unspecified error"},
      {0x80020001, "Unknown interface."},
      {0x80020003, "Member not found."},
      {0x80020004, "Parameter not found."},
      {0x80020005, "Type mismatch."},
      {0x80020006, "Unknown name."},
      {0x80020007, "No named arguments."},
      {0x80020008, "Bad variable type."},
      {0x80020009, "Exception occurred."},
      {0x8002000A, "Out of present range."},
      {0x8002000B, "Invalid index."},
      {0x8002000C, "Unknown language."},
      {0x8002000D, "Memory is locked."},
      {0x8002000E, "Invalid number of parameters."},
      {0x8002000F, "Parameter not optional."},
      {0x80020010, "Invalid callee."},
      {0x80020011, "Does not support a collection."},
      {0x80020012, "Division by zero."},
      {0x80020013, "Buffer too small"},
      {0x80028CA0, "Type mismatch."},
      {0x80010106, "Cannot change thread mode after it is set."},
      {0x80040110, "Class does not support aggregation (or class object is remote)"},
      {0x80040111, "ClassFactory cannot supply requested class"},
      {0x80040152, "Could not read key from registry"},
      {0x80040153, "Invalid value for registry"},
      {0x80040154, "Class not registered"},
      {0x80040155, "Interface not registered"},
      {0x800401F0, "CoInitialize has not been called."},
      {0x800401F3, "Invalid class string"},
  };
  return texts;
}

// The system text for an id, or null.
const char* SystemText(DWORD id) {
  const uint32_t facility = (id >> 16) & 0x1FFF;
  if ((id & 0xFFFF0000u) == 0x80070000u || id <= 0xFFFF) {
    auto it = Win32Texts().find(id & 0xFFFF);
    return it == Win32Texts().end() ? nullptr : it->second;
  }
  if (facility == FACILITY_CONTROL) return nullptr;
  if (id >= 0x80040200u && id <= 0x8004FFFFu) return nullptr;
  auto it = HresultTexts().find(id);
  return it == HresultTexts().end() ? nullptr : it->second;
}

constexpr size_t kHeader = 16;

void* HeapAlloc(UINT flags, SIZE_T bytes, UINT zeroFlag) {
  char* block =
      static_cast<char*>((flags & zeroFlag) ? std::calloc(1, kHeader + bytes) : std::malloc(kHeader + bytes));
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memcpy(block, &bytes, sizeof bytes);
  return block + kHeader;
}

void HeapFree(void* p) {
  if (p) std::free(static_cast<char*>(p) - kHeader);
}

SIZE_T HeapSize(void* p) {
  if (!p) return 0;
  SIZE_T bytes;
  std::memcpy(&bytes, static_cast<char*>(p) - kHeader, sizeof bytes);
  return bytes;
}

template <class Char>
size_t Length(const Char* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// Formats a message template into out. Char is char (GBK) or WCHAR.
template <class Char>
bool Expand(const std::basic_string<Char>& tmpl, DWORD flags, va_list* args, std::basic_string<Char>* out) {
  const bool ignoreInserts = flags & FORMAT_MESSAGE_IGNORE_INSERTS;
  const bool argArray = flags & FORMAT_MESSAGE_ARGUMENT_ARRAY;
  std::map<int, DWORD_PTR> fetched;  // va_list arguments are read in order, as far as needed
  int nextToFetch = 1;
  auto argument = [&](int number, DWORD_PTR* value) {
    if (!args) return false;
    if (argArray) {
      *value = reinterpret_cast<const DWORD_PTR*>(args)[number - 1];
      return true;
    }
    while (nextToFetch <= number) fetched[nextToFetch++] = va_arg(*args, DWORD_PTR);
    *value = fetched[number];
    return true;
  };
  out->clear();
  for (size_t i = 0; i < tmpl.size(); ++i) {
    const Char c = tmpl[i];
    if (c != Char('%') || i + 1 >= tmpl.size()) {
      out->push_back(c);
      continue;
    }
    const Char e = tmpl[++i];
    if (e == Char('0')) return true;
    if (e == Char('n')) {
      out->push_back(Char('\r'));
      out->push_back(Char('\n'));
    } else if (e == Char('r')) {
      out->push_back(Char('\r'));
    } else if (e == Char('t')) {
      out->push_back(Char('\t'));
    } else if (e >= Char('1') && e <= Char('9')) {
      const size_t start = i - 1;
      int number = int(e - Char('0'));
      if (i + 1 < tmpl.size() && tmpl[i + 1] >= Char('0') && tmpl[i + 1] <= Char('9')) {
        number = number * 10 + int(tmpl[++i] - Char('0'));
      }
      std::string conversion = "s";
      if (i + 1 < tmpl.size() && tmpl[i + 1] == Char('!')) {
        size_t j = i + 2;
        std::string s;
        while (j < tmpl.size() && tmpl[j] != Char('!')) s.push_back(char(tmpl[j++]));
        if (j >= tmpl.size()) return false;
        conversion = s;
        i = j;
      }
      if (ignoreInserts) {
        out->append(tmpl, start, i + 1 - start);
        continue;
      }
      DWORD_PTR value;
      if (!argument(number, &value)) return false;
      if (conversion.back() == 's' || conversion.back() == 'S') {
        const Char* text = reinterpret_cast<const Char*>(value);
        if (text) out->append(text, Length(text));
      } else {
        // Numeric inserts: printf conversions; "ll"/"I64" sizes read 64 bits, others 32.
        char buf[64];
        const bool wide = conversion.find("ll") != std::string::npos || conversion.find("I64") != std::string::npos;
        if (wide) {
          std::snprintf(buf, sizeof buf, (std::string("%ll") + conversion.back()).c_str(),
                        static_cast<unsigned long long>(value));
        } else {
          std::snprintf(buf, sizeof buf, ("%" + conversion).c_str(), static_cast<unsigned int>(value));
        }
        for (const char* p = buf; *p; ++p) out->push_back(Char(static_cast<unsigned char>(*p)));
      }
    } else {
      out->push_back(e);  // "%%", "%.", "%!" and "% " stand for the character itself
    }
  }
  return true;
}

template <class Char>
DWORD Format(DWORD flags, LPCVOID source, DWORD id, Char* buffer, DWORD size, va_list* args) {
  std::basic_string<Char> tmpl;
  if (flags & FORMAT_MESSAGE_FROM_STRING) {
    if (!source) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const Char* s = static_cast<const Char*>(source);
    tmpl.assign(s, Length(s));
  } else if ((flags & FORMAT_MESSAGE_FROM_HMODULE) && source) {
    kp::LogNotImplemented("FormatMessage", "from module %p, id %u", source, (unsigned)id);
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  } else if (flags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)) {
    const char* text = SystemText(id);
    if (!text) {
      SetLastError(ERROR_MR_MID_NOT_FOUND);
      return 0;
    }
    for (const char* p = text; *p; ++p) tmpl.push_back(Char(static_cast<unsigned char>(*p)));
    tmpl.push_back(Char('\r'));
    tmpl.push_back(Char('\n'));
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::basic_string<Char> text;
  if (!Expand(tmpl, flags, args, &text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t needed = text.size() + 1;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    if (!buffer) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const size_t count = needed > size ? needed : size;
    auto* block = static_cast<Char*>(LocalAlloc(LMEM_FIXED, count * sizeof(Char)));
    if (!block) return 0;
    std::memcpy(block, text.c_str(), needed * sizeof(Char));
    *reinterpret_cast<Char**>(buffer) = block;
  } else {
    if (!buffer || needed > size) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, text.c_str(), needed * sizeof(Char));
  }
  return static_cast<DWORD>(text.size());
}

}  // namespace

extern "C" {

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD, LPSTR buffer, DWORD size,
                            va_list* args) {
  return Format<char>(flags, source, id, buffer, size, args);
}

DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD, LPWSTR buffer, DWORD size,
                            va_list* args) {
  return Format<WCHAR>(flags, source, id, buffer, size, args);
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  return HeapAlloc(flags, bytes, LMEM_ZEROINIT);
}

HLOCAL WINAPI LocalFree(HLOCAL mem) {
  HeapFree(mem);
  return nullptr;
}

SIZE_T WINAPI LocalSize(HLOCAL mem) {
  return HeapSize(mem);
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  return HeapAlloc(flags, bytes, GMEM_ZEROINIT);
}

HGLOBAL WINAPI GlobalFree(HGLOBAL mem) {
  HeapFree(mem);
  return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL mem) {
  return mem;
}

// Blocks never move, so no lock count is kept: FALSE means "now unlocked", with no error.
BOOL WINAPI GlobalUnlock(HGLOBAL) {
  SetLastError(NO_ERROR);
  return FALSE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
  return HeapSize(mem);
}

}  // extern "C"
