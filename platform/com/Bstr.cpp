// BSTR allocation with the documented layout: a 4-byte length in bytes (not counting the
// terminator) immediately before the first character, the characters (UTF-16 units, embedded
// NULs allowed), then a 16-bit NUL. A NULL BSTR is a valid empty string everywhere.
//
// Blocks come from the C heap; the block starts 4 bytes before the BSTR. Windows caches freed
// blocks (which hides use-after-free bugs); this implementation does not, on purpose.
// SysAllocStringByteLen with an odd byte count still ends in a full 16-bit NUL after the data.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleauto.h"

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
constexpr size_t kMaxBytes = std::numeric_limits<uint32_t>::max() - 16;

uint32_t& ByteLength(BSTR b) {
  return *reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(b) - kPrefix);
}

// Allocates a BSTR of `bytes` bytes, copying `data` when given, zeroing otherwise.
BSTR Allocate(const void* data, size_t bytes) {
  if (bytes > kMaxBytes) return nullptr;
  char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR) + 1));
  if (!block) return nullptr;
  const uint32_t length = static_cast<uint32_t>(bytes);
  std::memcpy(block, &length, kPrefix);
  char* text = block + kPrefix;
  if (data) {
    std::memcpy(text, data, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  std::memset(text + bytes, 0, sizeof(OLECHAR) + 1);
  return reinterpret_cast<BSTR>(text);
}

size_t WideLength(const OLECHAR* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace

extern "C" {

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  return Allocate(psz, WideLength(psz) * sizeof(OLECHAR));
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return Allocate(strIn, static_cast<size_t>(ui) * sizeof(OLECHAR));
}

BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) {
  return Allocate(psz, len);
}

INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocString(psz);  // before freeing: psz may point into *pbstr
  if (psz && !fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocStringLen(psz, len);
  if (!fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void WINAPI SysFreeString(BSTR bstr) {
  if (bstr) std::free(reinterpret_cast<char*>(bstr) - kPrefix);
}

UINT WINAPI SysStringLen(BSTR bstr) {
  return bstr ? ByteLength(bstr) / sizeof(OLECHAR) : 0;
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
  return bstr ? ByteLength(bstr) : 0;
}

}  // extern "C"
