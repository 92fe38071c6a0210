// Conformance of the C run-time conversions _gcvt, _itoa, _ltoa, _ultoa, _i64toa and _ui64toa
// with Microsoft's documented results (the _gcvt rows are the reference's example with 12
// digits and its derived rows for 10 and 20 digits), plus the choices kpcrt.h documents where
// the documentation is silent.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "kp/kpcrt.h"

namespace {

struct GcvtCase {
  double value;
  int digits;
  const char* text;
};

void PrintTo(const GcvtCase& c, std::ostream* os) { *os << c.text; }

class Gcvt : public ::testing::TestWithParam<GcvtCase> {};

TEST_P(Gcvt, WritesTheDocumentedText) {
  char buffer[_CVTBUFSIZE];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(_gcvt(GetParam().value, GetParam().digits, buffer), buffer);
  EXPECT_STREQ(buffer, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(DocumentedExample12Digits, Gcvt,
                         ::testing::Values(GcvtCase{-1234567890.123, 12, "-1234567890.12"},
                                           GcvtCase{-12345678901.23, 12, "-12345678901.2"},
                                           GcvtCase{-123456789012.3, 12, "-123456789012"},
                                           GcvtCase{-1234567890123, 12, "-1.23456789012e+012"},
                                           GcvtCase{-12.34567890123, 12, "-12.3456789012"},
                                           GcvtCase{-1.234567890123, 12, "-1.23456789012"},
                                           GcvtCase{-0.1234567890123, 12, "-0.123456789012"},
                                           GcvtCase{-0.01234567890123, 12, "-1.23456789012e-002"}));

INSTANTIATE_TEST_SUITE_P(
    FieldTextDigits, Gcvt,
    ::testing::Values(GcvtCase{1.0, 10, "1."}, GcvtCase{1.0, 20, "1."}, GcvtCase{0.5, 10, "0.5"},
                      GcvtCase{2.25, 20, "2.25"}, GcvtCase{1e21, 10, "1.e+021"},
                      GcvtCase{1e21, 20, "1.e+021"}, GcvtCase{123456789012.0, 10, "1.23456789e+011"},
                      GcvtCase{123456789012.0, 20, "123456789012."}, GcvtCase{1234567890.0, 10, "1234567890"},
                      GcvtCase{1234567890.0, 20, "1234567890."}, GcvtCase{0.05, 10, "5.e-002"},
                      GcvtCase{-3.0, 10, "-3."}, GcvtCase{0.1, 20, "0.10000000000000000555"}));

// Choices of ours where the documentation is silent (kpcrt.h).
INSTANTIATE_TEST_SUITE_P(UndocumentedChoices, Gcvt,
                         ::testing::Values(GcvtCase{0.0, 10, "0."}, GcvtCase{-0.0, 10, "-0."},
                                           GcvtCase{INFINITY, 10, "inf"}, GcvtCase{-INFINITY, 10, "-inf"},
                                           GcvtCase{NAN, 10, "nan"}, GcvtCase{2.6, 0, "3"},
                                           GcvtCase{99.99, 2, "1.e+002"}, GcvtCase{9.96, 2, "10"}));

struct IntCase {
  long long value;
  int radix;
  const char* itoa;   // _itoa of (int)value
  const char* ltoa;   // _ltoa of (long)value
  const char* ultoa;  // _ultoa of (unsigned long)value
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << c.value << " radix " << c.radix; }

class IntToText : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntToText, WritesTheWindowsText) {
  const IntCase& c = GetParam();
  char buffer[80] = "sentinel";
  EXPECT_EQ(_itoa(static_cast<int>(c.value), buffer, c.radix), buffer);
  EXPECT_STREQ(buffer, c.itoa);
  EXPECT_EQ(_ltoa(static_cast<long>(c.value), buffer, c.radix), buffer);
  EXPECT_STREQ(buffer, c.ltoa);
  EXPECT_EQ(_ultoa(static_cast<unsigned long>(c.value), buffer, c.radix), buffer);
  EXPECT_STREQ(buffer, c.ultoa);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntToText,
    ::testing::Values(IntCase{0, 10, "0", "0", "0"}, IntCase{-1, 10, "-1", "-1", "4294967295"},
                      IntCase{-2147483647 - 1, 10, "-2147483648", "-2147483648", "2147483648"},
                      IntCase{255, 16, "ff", "ff", "ff"},
                      // Only radix 10 writes a sign; others show the 32-bit two's complement.
                      IntCase{-1, 16, "ffffffff", "ffffffff", "ffffffff"}, IntCase{5, 2, "101", "101", "101"},
                      IntCase{35, 36, "z", "z", "z"},
                      // A Windows long is 32 bits: _ltoa and _ultoa convert the low 32 bits only.
                      IntCase{0x100000005LL, 10, "5", "5", "5"},
                      IntCase{0x180000000LL, 10, "-2147483648", "-2147483648", "2147483648"}));

TEST(IntToText, SixtyFourBitFormsUseTheFullWidth) {
  char buffer[80];
  EXPECT_STREQ(_i64toa(-9223372036854775807LL - 1, buffer, 10), "-9223372036854775808");
  EXPECT_STREQ(_i64toa(-1, buffer, 16), "ffffffffffffffff");
  EXPECT_STREQ(_ui64toa(18446744073709551615ULL, buffer, 10), "18446744073709551615");
  EXPECT_STREQ(_ui64toa(0x8000000000000000ULL, buffer, 2),
               "1000000000000000000000000000000000000000000000000000000000000000");
}

TEST(IntToText, RadixOutOfRangeWritesEmptyTextAndSetsEinval) {
  char buffer[16] = "sentinel";
  errno = 0;
  EXPECT_EQ(_itoa(10, buffer, 37), buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(errno, EINVAL);
  std::strcpy(buffer, "x");
  errno = 0;
  EXPECT_EQ(_ultoa(10, buffer, 1), buffer);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(errno, EINVAL);
}

}  // namespace
