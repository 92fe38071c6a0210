// Text helpers of the ADO library (see AdoText.h).
#include "AdoText.h"

#include <oleauto.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "debugapi.h"

namespace kp::ado {

std::u16string FromUtf8(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (len == 0 || i + len > n || c > 0xF4) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    uint32_t cp = c & (0x7F >> len);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char t = (unsigned char)s[i + k];
      if ((t & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (t & 0x3F);
    }
    if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back((char16_t)(0xD800 + (cp >> 10)));
      out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back((char16_t)cp);
    }
    i += len;
  }
  return out;
}

void AppendUtf8(std::u16string_view t, std::string& out) {
  out.reserve(out.size() + t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    uint32_t cp = t[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back((char)cp);
    } else if (cp < 0x800) {
      out.push_back((char)(0xC0 | (cp >> 6)));
      out.push_back((char)(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back((char)(0xE0 | (cp >> 12)));
      out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (cp & 0x3F)));
    } else {
      out.push_back((char)(0xF0 | (cp >> 18)));
      out.push_back((char)(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back((char)(0x80 | (cp & 0x3F)));
    }
  }
}

std::u16string_view BstrView(BSTR b) {
  return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view();
}

BSTR AllocBstr(std::u16string_view text) {
  return SysAllocStringLen(text.data(), (UINT)text.size());
}

static char16_t UpperAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? (char16_t)(c - 32) : c;
}

bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

bool StartsWithAsciiNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

std::u16string ToUpperAscii(std::u16string_view text) {
  std::u16string s(text);
  for (auto& c : s) c = UpperAscii(c);
  return s;
}

std::u16string Ascii(const char* text) {
  std::u16string s;
  while (*text) s.push_back((unsigned char)*text++);
  return s;
}

void Trace(const char* format, ...) {
  char buf[1024] = "kpado: ";
  va_list ap;
  va_start(ap, format);
  vsnprintf(buf + 7, sizeof buf - 8, format, ap);
  va_end(ap);
  size_t n = strlen(buf);
  if (n == 0 || buf[n - 1] != '\n') {
    buf[n] = '\n';
    buf[n + 1] = 0;
  }
  OutputDebugStringA(buf);
}

}  // namespace kp::ado
