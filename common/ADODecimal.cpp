// Exact DECIMAL conversions (see ADODecimal.h).
//
// The digits come from the platform's decimal text (kp/kpvariant.h). The double comes from one
// of two paths: when the magnitude and 10^scale are both exact doubles (magnitude <= 2^53,
// scale <= 22) one IEEE division gives the correctly rounded quotient; otherwise the digits
// with an exponent of -scale go through std::from_chars, which rounds correctly and ignores
// the C locale.
#include "ADODecimal.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "kp/kpvariant.h"

namespace ado2 {
namespace {

using u128 = unsigned __int128;

constexpr int kExactPowers = 22;  // 10^22 is the largest power of ten a double holds exactly
constexpr double kPowersOfTen[kExactPowers + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

u128 Magnitude(const DECIMAL& dec) {
  return (static_cast<u128>(dec.Hi32) << 64) | dec.Lo64;
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
    std::string text = kp::MagnitudeDigits(magnitude) + "e-" + std::to_string(dec.scale);
    value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);  // ERANGE cannot happen here
  }
  return (dec.sign & DECIMAL_NEG) != 0 ? -value : value;
}

CString DecimalIntegerText(const DECIMAL& dec) {
  std::string text = kp::MagnitudeDigits(Magnitude(dec));
  if ((dec.sign & DECIMAL_NEG) != 0) text.insert(0, 1, '-');
  return CString(text.c_str());
}

CString DecimalText(const DECIMAL& dec) {
  return CString(kp::DecimalText(dec, kp::DecimalDigits::Trimmed).c_str());
}

}  // namespace ado2
