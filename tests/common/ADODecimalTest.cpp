// The decimal rules of the field conversions, checked over many values of every scale: the
// double of a DECIMAL (CADORecordset::DecimalToDouble, and through it the typed double read and
// the converters) must be the double nearest to the decimal's value, sign included, for the
// whole 96-bit range; GetFieldValue's text of a scaled decimal must be the decimal's own digits
// (what VarBstrFromDec writes); the display text keeps "%.4f" of that double.
//
// The reference double is strtod of the decimal's digits, printed here digit by digit and
// independently of the code under test; glibc's strtod rounds correctly. VarR8FromDec and
// VarBstrFromDec of the platform are checked against the same references on the way.
#include <gtest/gtest.h>

#include <oleauto.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ADORecordset.h"

namespace {

using u128 = unsigned __int128;

const u128 kMax96 = (static_cast<u128>(1) << 96) - 1;

DECIMAL MakeDecimal(u128 magnitude, int scale, bool negative) {
  DECIMAL dec;
  std::memset(&dec, 0, sizeof dec);
  dec.Hi32 = static_cast<ULONG>(magnitude >> 64);
  dec.Lo64 = static_cast<ULONGLONG>(magnitude);
  dec.scale = static_cast<BYTE>(scale);
  dec.sign = negative ? DECIMAL_NEG : 0;
  return dec;
}

_variant_t DecimalVariant(const DECIMAL& dec) {
  _variant_t v;
  v.decVal = dec;
  v.vt = VT_DECIMAL;  // after the value: wReserved overlays vt
  return v;
}

// The magnitude's digits, one division at a time.
std::string SlowDigits(u128 m) {
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  return s;
}

double Reference(u128 magnitude, int scale, bool negative) {
  std::string text = (negative ? "-" : "") + SlowDigits(magnitude) + "e-" + std::to_string(scale);
  return std::strtod(text.c_str(), nullptr);
}

// The exact text: the digits with the point put in, trailing fraction zeros dropped.
std::string ReferenceText(u128 magnitude, int scale, bool negative) {
  std::string s = SlowDigits(magnitude);
  if (scale > 0) {
    if (s.size() <= static_cast<size_t>(scale)) s.insert(0, scale + 1 - s.size(), '0');
    s.insert(s.size() - scale, 1, '.');
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (negative && magnitude != 0) s.insert(0, 1, '-');
  return s;
}

bool SameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;  // also tells -0.0 from 0.0
}

// The magnitudes tried at every scale: the small ones whole, the edges of the exact fast range
// and of the 64- and 96-bit words, powers of ten and their neighbours, and random values of
// every bit length (a fixed seed, so a failure repeats).
std::vector<u128> Magnitudes() {
  std::vector<u128> out;
  for (u128 m = 0; m <= 3000; ++m) out.push_back(m);
  const u128 edges[] = {(static_cast<u128>(1) << 53) - 1,
                        static_cast<u128>(1) << 53,
                        (static_cast<u128>(1) << 53) + 1,
                        (static_cast<u128>(1) << 64) - 1,
                        static_cast<u128>(1) << 64,
                        (static_cast<u128>(1) << 64) + 1,
                        kMax96 - 1,
                        kMax96};
  out.insert(out.end(), std::begin(edges), std::end(edges));
  for (u128 p = 10; p <= kMax96; p *= 10) {
    out.push_back(p - 1);
    out.push_back(p);
    out.push_back(p + 1);
  }
  std::mt19937_64 random(20260319);
  for (int i = 0; i < 6000; ++i) {
    u128 m = (static_cast<u128>(random()) << 64) | random();
    int bits = 1 + static_cast<int>(random() % 96);
    out.push_back(m & ((static_cast<u128>(1) << bits) - 1));
  }
  return out;
}

TEST(DecimalRules, TheIssueExampleIsExact) {
  DECIMAL dec = MakeDecimal(778, 2, false);
  EXPECT_TRUE(SameDouble(CADORecordset::DecimalToDouble(dec), 7.78));
  CString text;
  ASSERT_TRUE(CADORecordset::VariantToText(DecimalVariant(dec), text, ""));
  EXPECT_STREQ((LPCTSTR)text, "7.78");
  EXPECT_STREQ((LPCTSTR)CADORecordset::VariantToDisplayText(DecimalVariant(dec)), "7.7800");
  // Trailing zeros of the scale are not digits of the value.
  ASSERT_TRUE(CADORecordset::VariantToText(DecimalVariant(MakeDecimal(77800, 4, true)), text, ""));
  EXPECT_STREQ((LPCTSTR)text, "-7.78");
  // A scaled zero is "0" whatever its sign; scale 0 keeps "-" whenever the sign is set.
  ASSERT_TRUE(CADORecordset::VariantToText(DecimalVariant(MakeDecimal(0, 2, true)), text, ""));
  EXPECT_STREQ((LPCTSTR)text, "0");
  ASSERT_TRUE(CADORecordset::VariantToText(DecimalVariant(MakeDecimal(0, 0, true)), text, ""));
  EXPECT_STREQ((LPCTSTR)text, "-0");
}

TEST(DecimalRules, DoubleIsTheNearestToTheValueForEveryScaleAndSign) {
  const std::vector<u128> magnitudes = Magnitudes();
  long checked = 0, wrong = 0;
  std::string firstWrong;
  for (int scale = 0; scale <= 28; ++scale) {
    for (u128 m : magnitudes) {
      for (bool negative : {false, true}) {
        const DECIMAL dec = MakeDecimal(m, scale, negative);
        const double expected = Reference(m, scale, negative);
        const double got = CADORecordset::DecimalToDouble(dec);
        ++checked;
        if (!SameDouble(got, expected)) {
          if (wrong++ == 0) {
            char line[160];
            std::snprintf(line, sizeof line, "%s%se-%d: %.17g, nearest %.17g", negative ? "-" : "",
                          SlowDigits(m).c_str(), scale, got, expected);
            firstWrong = line;
          }
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "of " << checked << "; first: " << firstWrong;
}

TEST(DecimalRules, ScaledTextIsTheDecimalsOwnDigits) {
  const std::vector<u128> magnitudes = Magnitudes();
  long wrong = 0;
  std::string firstWrong;
  for (int scale = 1; scale <= 28; ++scale) {
    for (size_t i = 0; i < magnitudes.size(); i += 3) {  // every third value keeps this quick
      const u128 m = magnitudes[i];
      const bool negative = (i / 3) % 2 == 1;
      CString text;
      ASSERT_TRUE(CADORecordset::VariantToText(DecimalVariant(MakeDecimal(m, scale, negative)), text, ""));
      const std::string expected = ReferenceText(m, scale, negative);
      if (expected != (LPCTSTR)text && wrong++ == 0) firstWrong = expected + " read as " + (LPCTSTR)text;
    }
  }
  EXPECT_EQ(wrong, 0) << "first: " << firstWrong;
}

// The typed double read and both converters take the decimal's double from the same rule.
TEST(DecimalRules, TypedReadAndConvertersUseTheExactDouble) {
  const _variant_t value = DecimalVariant(MakeDecimal(778, 2, true));
  double read = 0;
  ASSERT_TRUE(CADORecordset::VariantToDouble(value, read));
  EXPECT_TRUE(SameDouble(read, -7.78));
  EXPECT_TRUE(SameDouble(CADORecordset::vartof(value), -7.78));
  // 2147483647.5 rounded to the nearest double and truncated: the largest 32-bit long.
  EXPECT_EQ(CADORecordset::vartol(DecimalVariant(MakeDecimal(21474836475, 1, false))), 2147483647L);
  EXPECT_EQ(CADORecordset::vartol(DecimalVariant(MakeDecimal(29999, 4, true))), -2L);
}

// The display text is "%.4f" of the exact double: 0.00175 is 1.75000000000000004e-03 as the
// nearest double, so it shows "0.0018" (dividing 175 by ten five times gives a double below the
// half, and "0.0017").
TEST(DecimalRules, DisplayTextFormatsTheExactDouble) {
  EXPECT_STREQ((LPCTSTR)CADORecordset::VariantToDisplayText(DecimalVariant(MakeDecimal(175, 5, false))),
               "0.0018");
  EXPECT_STREQ((LPCTSTR)CADORecordset::VariantToDisplayText(DecimalVariant(MakeDecimal(kMax96, 28, true))),
               "-7.9228");
}

// Conformance of the platform's conversions with the documented Windows behaviour that the
// layer's rule follows: VarR8FromDec gives the nearest double, VarBstrFromDec the decimal's own
// digits (no exponent, no trailing zeros) and E_INVALIDARG for a scale above 28.
TEST(DecimalRules, PlatformConversionsAgreeWithTheReferences) {
  const std::vector<u128> magnitudes = Magnitudes();
  long wrong = 0;
  std::string firstWrong;
  for (int scale = 0; scale <= 28; scale += 3) {
    for (size_t i = 0; i < magnitudes.size(); i += 7) {
      const u128 m = magnitudes[i];
      const bool negative = i % 2 == 1;
      const DECIMAL dec = MakeDecimal(m, scale, negative);
      double r8 = 0;
      ASSERT_EQ(VarR8FromDec(&dec, &r8), S_OK);
      BSTR text = nullptr;
      ASSERT_EQ(VarBstrFromDec(&dec, 0, 0, &text), S_OK);
      std::string narrow;
      for (UINT k = 0; k < SysStringLen(text); ++k) narrow.push_back(static_cast<char>(text[k]));
      SysFreeString(text);
      if ((!SameDouble(r8, Reference(m, scale, negative)) || narrow != ReferenceText(m, scale, negative)) &&
          wrong++ == 0) {
        firstWrong = ReferenceText(m, scale, negative) + " gave " + narrow;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << "first: " << firstWrong;
  DECIMAL bad = MakeDecimal(1, 29, false);
  double r8 = -1;
  EXPECT_EQ(VarR8FromDec(&bad, &r8), E_INVALIDARG);
}

}  // namespace
