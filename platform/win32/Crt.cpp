// The C run-time conversions of kpcrt.h: _gcvt and the _itoa family, with the results the
// Microsoft run-time library gives. The choices made where its documentation is silent are
// listed in kpcrt.h; tests/platform/win32/CrtTest.cpp checks each of them.
#include "kp/kpcrt.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxGcvtDigits = _CVTBUFSIZE - 20;

// Writes the digits of `magnitude` in `radix` after an optional '-'; buffer is large enough
// (65 bytes for 64 bits in radix 2, plus sign and NUL).
char* WriteUnsigned(unsigned long long magnitude, bool negative, char* buffer, int radix) {
  if (buffer == nullptr || radix < 2 || radix > 36) {
    errno = EINVAL;
    if (buffer != nullptr) buffer[0] = '\0';
    return buffer;
  }
  char digits[72];
  int n = 0;
  do {
    int d = static_cast<int>(magnitude % static_cast<unsigned>(radix));
    digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude != 0);
  char* out = buffer;
  if (negative) *out++ = '-';
  while (n > 0) *out++ = digits[--n];
  *out = '\0';
  return buffer;
}

// Signed conversion: '-' and the magnitude in radix 10, the bits of the given width otherwise.
char* WriteSigned(long long value, unsigned long long widthMask, char* buffer, int radix) {
  if (radix == 10 && value < 0) {
    return WriteUnsigned(0ULL - static_cast<unsigned long long>(value), true, buffer, radix);
  }
  return WriteUnsigned(static_cast<unsigned long long>(value) & widthMask, false, buffer, radix);
}

// Removes the zeros that end the fraction in [begin, end) of text; the point itself stays.
// Answers the new end.
char* TrimFractionZeros(char* begin, char* end) {
  char* point = static_cast<char*>(std::memchr(begin, '.', static_cast<size_t>(end - begin)));
  if (point == nullptr) return end;
  while (end > point + 1 && end[-1] == '0') --end;
  return end;
}

}  // namespace

extern "C" {

char* _gcvt(double value, int digits, char* buffer) {
  if (buffer == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  if (std::isnan(value)) {
    std::strcpy(buffer, "nan");
    return buffer;
  }
  if (std::isinf(value)) {
    std::strcpy(buffer, value < 0 ? "-inf" : "inf");
    return buffer;
  }
  if (digits < 1) digits = 1;
  if (digits > kMaxGcvtDigits) digits = kMaxGcvtDigits;

  // The exponent after rounding to `digits` significant digits decides the format.
  char scratch[_CVTBUFSIZE + 16];
  std::snprintf(scratch, sizeof scratch, "%.*e", digits - 1, value);
  const char* e = std::strchr(scratch, 'e');
  int exponent = value == 0.0 ? 0 : std::atoi(e + 1);

  if (exponent >= -1 && exponent < digits) {
    int fraction = digits - exponent - 1;
    std::snprintf(scratch, sizeof scratch, "%.*f", fraction, value);
    char* end = scratch + std::strlen(scratch);
    if (fraction > 0) end = TrimFractionZeros(scratch, end);
    *end = '\0';
    std::strcpy(buffer, scratch);
    return buffer;
  }
  // E format: mantissa with digits-1 fractional digits (zeros trimmed, point kept), then the
  // exponent with a sign and at least three digits.
  std::snprintf(scratch, sizeof scratch, "%#.*e", digits - 1, value);
  char* mark = std::strchr(scratch, 'e');
  char* end = TrimFractionZeros(scratch, mark);
  int written = static_cast<int>(end - scratch);
  std::memcpy(buffer, scratch, static_cast<size_t>(written));
  std::snprintf(buffer + written, 16, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return buffer;
}

char* _itoa(int value, char* buffer, int radix) {
  return WriteSigned(value, 0xFFFFFFFFULL, buffer, radix);
}

char* _ltoa(long value, char* buffer, int radix) {
  return WriteSigned(static_cast<int32_t>(static_cast<uint32_t>(value)), 0xFFFFFFFFULL, buffer, radix);
}

char* _ultoa(unsigned long value, char* buffer, int radix) {
  return WriteUnsigned(value & 0xFFFFFFFFUL, false, buffer, radix);
}

char* _i64toa(long long value, char* buffer, int radix) {
  return WriteSigned(value, ~0ULL, buffer, radix);
}

char* _ui64toa(unsigned long long value, char* buffer, int radix) {
  return WriteUnsigned(value, false, buffer, radix);
}

}  // extern "C"
