// GBK and UTF-8 to and from UTF-16 (MultiByteToWideChar / WideCharToMultiByte). Properties: the
// size asked for with an output size of 0 is the size written; valid GBK (accepted with
// MB_ERR_INVALID_CHARS) comes back byte for byte from UTF-16; valid UTF-16 comes back unit for
// unit from UTF-8; invalid input never fails the lenient forms.
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "winerror.h"
#include "winnls.h"

namespace {

std::u16string ToWide(UINT codePage, DWORD flags, const std::string& narrow, bool* ok) {
  const int n = static_cast<int>(narrow.size());
  const int need = MultiByteToWideChar(codePage, flags, narrow.data(), n, nullptr, 0);
  *ok = need > 0;
  if (need <= 0) return {};
  std::u16string wide(static_cast<size_t>(need), u'\0');
  const int wrote = MultiByteToWideChar(codePage, flags, narrow.data(), n, reinterpret_cast<LPWSTR>(wide.data()), need);
  FUZZ_CHECK(wrote == need);
  // One unit short must fail with the documented error and write nothing past the buffer.
  if (need > 1) {
    std::vector<char16_t> small(static_cast<size_t>(need - 1));
    SetLastError(0);
    FUZZ_CHECK(MultiByteToWideChar(codePage, flags, narrow.data(), n, reinterpret_cast<LPWSTR>(small.data()),
                                   need - 1) == 0);
    FUZZ_CHECK(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
  }
  return wide;
}

std::string ToNarrow(UINT codePage, const std::u16string& wide, bool* usedDefault) {
  const int n = static_cast<int>(wide.size());
  BOOL used = FALSE;
  const int need = WideCharToMultiByte(codePage, 0, reinterpret_cast<LPCWSTR>(wide.data()), n, nullptr, 0, nullptr,
                                       nullptr);
  FUZZ_CHECK(need > 0);
  std::string narrow(static_cast<size_t>(need), '\0');
  const int wrote = WideCharToMultiByte(codePage, 0, reinterpret_cast<LPCWSTR>(wide.data()), n, narrow.data(), need,
                                        nullptr, codePage == CP_UTF8 ? nullptr : &used);
  FUZZ_CHECK(wrote == need);
  if (usedDefault) *usedDefault = used != FALSE;
  return narrow;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Narrow GBK: strict and lenient decoding agree on valid text, which round-trips exactly.
  bool strictOk = false, lenientOk = false;
  const std::u16string strict = ToWide(CP_GBK, MB_ERR_INVALID_CHARS, bytes, &strictOk);
  const std::u16string lenient = ToWide(CP_GBK, 0, bytes, &lenientOk);
  FUZZ_CHECK(lenientOk);
  if (strictOk) {
    FUZZ_CHECK(strict == lenient);
    bool usedDefault = true;
    FUZZ_CHECK(ToNarrow(CP_GBK, strict, &usedDefault) == bytes);
    FUZZ_CHECK(!usedDefault);
  }

  // The same bytes as UTF-16LE units: what UTF-8 can hold comes back unit for unit.
  std::u16string wide(size / 2, u'\0');
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  if (!wide.empty()) {
    bool loneSurrogate = false;
    for (size_t i = 0; i < wide.size(); ++i) {
      const char16_t u = wide[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
        ++i;
      } else if (u >= 0xD800 && u <= 0xDFFF) {
        loneSurrogate = true;
      }
    }
    const std::string utf8 = ToNarrow(CP_UTF8, wide, nullptr);
    bool ok = false;
    const std::u16string back = ToWide(CP_UTF8, 0, utf8, &ok);
    FUZZ_CHECK(ok);
    if (!loneSurrogate) FUZZ_CHECK(back == wide);
    ToNarrow(CP_GBK, wide, nullptr);  // anything goes to GBK, with '?' where it has no form
  }
  return 0;
}
