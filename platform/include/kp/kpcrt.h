// The Microsoft C run-time number-to-text conversions that ported code calls by their Windows
// names: _gcvt, _itoa, _ltoa, _ultoa, _i64toa and _ui64toa (library kpwin32, Crt.cpp).
//
// Assumptions and choices where the documentation is silent (each one is tested):
// - _ltoa and _ultoa take a Windows long, which is 32 bits. They are declared with C++ long and
//   unsigned long (64-bit here) so that Windows code calls them unchanged, but only the low 32
//   bits of the value are converted: _ltoa(0x100000000L + 5, ...) writes "5".
// - Digits above 9 are lower case ("ff"); only radix 10 writes a '-' for a negative signed
//   value; other radices write the two's complement bits of the value's own width (32 or 64).
// - A radix outside 2..36 or a null buffer: the invalid-parameter path of the CRT, continued as
//   a release build does: errno = EINVAL, the buffer (when there is one) gets "" and the
//   buffer pointer is answered.
// - _gcvt follows the classic CRT: F format when the decimal exponent e of the value rounded to
//   `digits` significant digits lies in -1 <= e < digits, else E format with a sign and three
//   exponent digits ("1.e+021"); trailing zeros after the point are removed, the point stays,
//   and no point is written when no fractional digit was asked for. Digits beyond a double's
//   precision are the exact binary expansion (0.1 at 20 digits gives "0.10000000000000000555",
//   the Universal CRT's answer). digits below 1 count as 1; digits above _CVTBUFSIZE - 20 are
//   cut to that. 0.0 gives "0.", -0.0 gives "-0.", infinities "inf"/"-inf" and NaN "nan" (the
//   Universal CRT's spellings).
#pragma once
#include "kp/kpplatform.h"

#define _CVTBUFSIZE (309 + 40)

extern "C" {
KPAPI char* _gcvt(double value, int digits, char* buffer);
KPAPI char* _itoa(int value, char* buffer, int radix);
KPAPI char* _ltoa(long value, char* buffer, int radix);            // value carries 32 bits (see above)
KPAPI char* _ultoa(unsigned long value, char* buffer, int radix);  // value carries 32 bits
KPAPI char* _i64toa(long long value, char* buffer, int radix);
KPAPI char* _ui64toa(unsigned long long value, char* buffer, int radix);
}
