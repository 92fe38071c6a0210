// Conformance of MultiByteToWideChar / WideCharToMultiByte for code page 936 (GBK, the ANSI
// code page here) and UTF-8, as documented for Windows.
#include <gtest/gtest.h>

#include <cstring>

#include "winnls.h"
#include "winerror.h"

namespace {

// "第四系" in GBK and in UTF-16.
const char kGbk[] = "\xB5\xDA\xCB\xC4\xCF\xB5";
const char16_t kWide[] = u"第四系";

TEST(TextConversion, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }

TEST(TextConversion, SizeQueryWithMinusOneCountsTheTerminator) {
  // Documented: cbMultiByte -1 processes the NUL too, and cchWideChar 0 returns the size needed.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kGbk, -1, nullptr, 0), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kWide, -1, nullptr, 0, nullptr, nullptr), 7);
}

TEST(TextConversion, GbkRoundTrip) {
  char16_t wide[8];
  ASSERT_EQ(MultiByteToWideChar(936, 0, kGbk, 6, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide, 3), kWide);
  EXPECT_EQ(wide[0], 0x7B2C);
  char narrow[8] = {};
  ASSERT_EQ(WideCharToMultiByte(936, 0, wide, 3, narrow, 8, nullptr, nullptr), 6);
  EXPECT_EQ(std::memcmp(narrow, kGbk, 6), 0);
}

TEST(TextConversion, EuroSignIsSingleByte0x80) {
  char16_t wide[2] = {0xBAD, 0xBAD};
  ASSERT_EQ(MultiByteToWideChar(936, 0, "\x80", 1, wide, 2), 1);
  EXPECT_EQ(wide[0], 0x20AC);
}

TEST(TextConversion, SmallBufferFailsWithInsufficientBuffer) {
  char16_t wide[2];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(936, 0, kGbk, -1, wide, 2), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(TextConversion, UnmappableCharacterBecomesDefaultCharacter) {
  // U+20000 (a surrogate pair) has no GBK form: one '?' for the whole character.
  const char16_t text[] = {u'a', 0xD840, 0xDC00, u'b'};
  char out[8] = {};
  BOOL used = FALSE;
  ASSERT_EQ(WideCharToMultiByte(936, 0, text, 4, out, 8, nullptr, &used), 3);
  EXPECT_STREQ(out, "a?b");
  EXPECT_TRUE(used);
}

TEST(TextConversion, InvalidNarrowInputWithStrictFlagFails) {
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
}

// This file is compiled with GBK narrow literals; u8 literals stay UTF-8.
std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

TEST(TextConversion, Utf8AndGbkHelpers) {
  EXPECT_EQ(kp::GbkToUtf8(kGbk), U8(u8"第四系"));
  EXPECT_EQ(kp::Utf8ToGbk(U8(u8"第四系")), std::string(kGbk));
  EXPECT_EQ(std::string("第四系"), std::string(kGbk));
  // "选择顶底板生成剖面地层(&I)" is 26 bytes of GBK.
  EXPECT_EQ(kp::Utf8ToGbk(U8(u8"选择顶底板生成剖面地层(&I)")).size(), 26u);
}

}  // namespace
