// Exact DECIMAL conversions (see ADODecimal.h).
//
// The digits of the 96-bit magnitude come from two 64-bit halves split at 10^19, so printing
// takes two 128-bit divisions instead of one per digit. The double comes from one of two paths:
// when the magnitude and 10^scale are both exact doubles (magnitude <= 2^53, scale <= 22) one
// IEEE division gives the correctly rounded quotient; otherwise the digits with an exponent of
// -scale go through std::from_chars, which rounds correctly and ignores the C locale.
#include "ADODecimal.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace ado2 {
namespace {

using u128 = unsigned __int128;

constexpr uint64_t kTenTo19 = 10000000000000000000ULL;
constexpr int kExactPowers = 22;  // 10^22 is the largest power of ten a double holds exactly
constexpr double kPowersOfTen[kExactPowers + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

u128 Magnitude(const DECIMAL& dec) {
  return (static_cast<u128>(dec.Hi32) << 64) | dec.Lo64;
}

// The magnitude in decimal digits, without leading zeros ("0" for zero).
std::string Digits(u128 magnitude) {
  char text[48];
  char* end = text;
  const uint64_t high = static_cast<uint64_t>(magnitude / kTenTo19);  // below 2^96 / 10^19 < 2^33
  const uint64_t low = static_cast<uint64_t>(magnitude % kTenTo19);
  if (high != 0) {
    end = std::to_chars(end, text + sizeof text, high).ptr;
    char lowText[20];
    char* lowEnd = std::to_chars(lowText, lowText + sizeof lowText, low).ptr;
    const size_t lowLength = static_cast<size_t>(lowEnd - lowText);
    std::memset(end, '0', 19 - lowLength);  // the low half always fills 19 places
    end += 19 - lowLength;
    std::memcpy(end, lowText, lowLength);
    end += lowLength;
  } else {
    end = std::to_chars(end, text + sizeof text, low).ptr;
  }
  return std::string(text, end);
}

}  // namespace

double DecimalToDouble(const DECIMAL& dec) {
  const u128 magnitude = Magnitude(dec);
  double value;
  if (dec.scale == 0) {
    value = static_cast<double>(magnitude);  // one rounding, to nearest
  } else if (magnitude <= (static_cast<u128>(1) << 53) && dec.scale <= kExactPowers) {
    value = static_cast<double>(static_cast<uint64_t>(magnitude)) / kPowersOfTen[dec.scale];
  } else {
    std::string text = Digits(magnitude) + "e-" + std::to_string(dec.scale);
    value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);  // ERANGE cannot happen here
  }
  return (dec.sign & DECIMAL_NEG) != 0 ? -value : value;
}

CString DecimalIntegerText(const DECIMAL& dec) {
  std::string text = Digits(Magnitude(dec));
  if ((dec.sign & DECIMAL_NEG) != 0) text.insert(0, 1, '-');
  return CString(text.c_str());
}

CString DecimalText(const DECIMAL& dec) {
  const u128 magnitude = Magnitude(dec);
  std::string text = Digits(magnitude);
  const size_t scale = dec.scale;
  if (scale > 0) {
    if (text.size() <= scale) text.insert(0, scale + 1 - text.size(), '0');
    text.insert(text.size() - scale, 1, '.');
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if ((dec.sign & DECIMAL_NEG) != 0 && magnitude != 0) text.insert(0, 1, '-');
  return CString(text.c_str());
}

}  // namespace ado2
