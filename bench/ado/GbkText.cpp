// GBK conversion of field text for the benchmarks (see GbkText.h).
#include "GbkText.h"

#include <winnls.h>

namespace kpbench {

size_t Utf16ToGbk(const char16_t* text, size_t units, std::string& out) {
  if (units == 0) return 0;
  out.resize(units * 2 + 1);  // a GBK character takes at most two bytes per UTF-16 unit
  int n = WideCharToMultiByte(CP_GBK, 0, text, (int)units, out.data(), (int)out.size(), nullptr, nullptr);
  return n > 0 ? (size_t)n : 0;
}

size_t Utf8ToGbk(const char* text, size_t bytes, std::u16string& wide, std::string& out) {
  if (bytes == 0) return 0;
  wide.resize(bytes + 1);  // never more UTF-16 units than UTF-8 bytes
  int units = MultiByteToWideChar(CP_UTF8, 0, text, (int)bytes, wide.data(), (int)wide.size());
  return units > 0 ? Utf16ToGbk(wide.data(), (size_t)units, out) : 0;
}

}  // namespace kpbench
