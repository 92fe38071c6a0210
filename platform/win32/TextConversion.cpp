// Code-page conversions of the platform: GBK (code page 936, the ANSI code page) and UTF-8
// to and from UTF-16, through iconv.
//
// Windows behaviour followed: a length of -1 means NUL-terminated and counts the NUL in the
// result; an output size of 0 asks for the size needed; a too-small buffer fails with
// ERROR_INSUFFICIENT_BUFFER. Where the documentation leaves the replacement open we follow
// what Windows does in practice: a narrow sequence that does not decode becomes U+FFFD (one
// byte consumed), a UTF-16 unit with no GBK form becomes the default character '?' (a
// surrogate pair counts as one character). iconv descriptors are cached per thread, since
// opening one costs more than converting a short field.
#include <errno.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "winnls.h"
#include "winerror.h"

namespace {

thread_local DWORD t_lastError = 0;

const char* IconvName(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
    case CP_GBK:
      return "CP936";
    case CP_UTF8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

// One cached descriptor per direction and code page for the calling thread.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != (iconv_t)-1) iconv_close(cd_);
  }
  bool ok() const { return cd_ != (iconv_t)-1; }
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    return cd_;
  }

 private:
  iconv_t cd_;
};

Converter& ToWide(UINT cp) {
  thread_local Converter gbk("UTF-16LE", "CP936");
  thread_local Converter utf8("UTF-16LE", "UTF-8");
  return cp == CP_UTF8 ? utf8 : gbk;
}

Converter& FromWide(UINT cp) {
  thread_local Converter gbk("CP936", "UTF-16LE");
  thread_local Converter utf8("UTF-8", "UTF-16LE");
  return cp == CP_UTF8 ? utf8 : gbk;
}

// Decodes narrow text into UTF-16. Answers false for invalid input when strict.
bool DecodeNarrow(UINT cp, const char* src, size_t n, std::u16string& out, bool strict) {
  Converter& conv = ToWide(cp);
  iconv_t cd = conv.get();
  out.clear();
  out.reserve(n);
  char16_t buf[256];
  char* in = const_cast<char*>(src);
  size_t inLeft = n;
  while (inLeft > 0) {
    char* o = reinterpret_cast<char*>(buf);
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, (sizeof buf - oLeft) / sizeof(char16_t));
    if (r == (size_t)-1) {
      if (errno == E2BIG) continue;
      if (strict) return false;
      out.push_back(u'\uFFFD');  // EILSEQ or a truncated sequence at the end
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return true;
}

// Encodes UTF-16 into narrow text; unmappable characters become `def`.
void EncodeWide(UINT cp, const char16_t* src, size_t n, std::string& out, const char* def, bool* usedDefault) {
  Converter& conv = FromWide(cp);
  iconv_t cd = conv.get();
  out.clear();
  out.reserve(n * 2);
  char buf[512];
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(src));
  size_t inLeft = n * sizeof(char16_t);
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, sizeof buf - oLeft);
    if (r == (size_t)-1) {
      if (errno == E2BIG) continue;
      out.append(def);
      if (usedDefault) *usedDefault = true;
      const char16_t unit = *reinterpret_cast<const char16_t*>(in);
      size_t skip = 1;
      if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4) {
        const char16_t next = *reinterpret_cast<const char16_t*>(in + 2);
        if (next >= 0xDC00 && next <= 0xDFFF) skip = 2;
      }
      in += skip * sizeof(char16_t);
      inLeft -= skip * sizeof(char16_t);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

}  // namespace

extern "C" {

UINT WINAPI GetACP(void) { return CP_GBK; }
DWORD WINAPI GetLastError(void) { return t_lastError; }
void WINAPI SetLastError(DWORD code) { t_lastError = code; }

BOOL WINAPI IsDBCSLeadByte(BYTE c) { return c >= 0x81 && c <= 0xFE; }

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen) {
  if (!IconvName(codePage) || !src || srcLen == 0 || dstLen < 0 || (dstLen > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = srcLen < 0 ? std::strlen(src) + 1 : (size_t)srcLen;
  std::u16string wide;
  if (!DecodeNarrow(codePage, src, n, wide, (flags & MB_ERR_INVALID_CHARS) != 0)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (dstLen == 0) return (int)wide.size();
  if (wide.size() > (size_t)dstLen) {
    std::memcpy(dst, wide.data(), dstLen * sizeof(char16_t));
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(dst, wide.data(), wide.size() * sizeof(char16_t));
  return (int)wide.size();
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                               LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!IconvName(codePage) || !src || srcLen == 0 || dstLen < 0 || (dstLen > 0 && !dst) ||
      (codePage == CP_UTF8 && (defaultChar || usedDefaultChar))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = 0;
  if (srcLen < 0) {
    while (src[n]) ++n;
    ++n;
  } else {
    n = (size_t)srcLen;
  }
  bool used = false;
  std::string narrow;
  EncodeWide(codePage, src, n, narrow, codePage == CP_UTF8 ? "\xEF\xBF\xBD" : (defaultChar ? defaultChar : "?"),
             &used);
  if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  if (dstLen == 0) return (int)narrow.size();
  if (narrow.size() > (size_t)dstLen) {
    std::memcpy(dst, narrow.data(), dstLen);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(dst, narrow.data(), narrow.size());
  return (int)narrow.size();
}

}  // extern "C"

namespace kp {

std::u16string Widen(const char* text, size_t length, UINT codePage) {
  std::u16string out;
  if (text && length) DecodeNarrow(codePage, text, length, out, false);
  return out;
}

std::string Narrow(const char16_t* text, size_t length, UINT codePage) {
  std::string out;
  if (text && length) EncodeWide(codePage, text, length, out, codePage == CP_UTF8 ? "\xEF\xBF\xBD" : "?", nullptr);
  return out;
}

std::string GbkToUtf8(const std::string& gbk) { return Narrow(Widen(gbk, CP_GBK), CP_UTF8); }
std::string Utf8ToGbk(const std::string& utf8) { return Narrow(Widen(utf8, CP_UTF8), CP_GBK); }

}  // namespace kp
