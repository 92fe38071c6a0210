// Conformance of the BSTR functions with the documented layout: a 4-byte byte length before
// the text, a 16-bit NUL after it, embedded NULs kept, a NULL BSTR meaning the empty string.
#include <gtest/gtest.h>

#include <cstring>

#include "oleauto.h"

namespace {

uint32_t Prefix(BSTR b) {
  uint32_t n;
  std::memcpy(&n, reinterpret_cast<char*>(b) - 4, 4);
  return n;
}

TEST(Bstr, LengthPrefixCountsBytesAndTextEndsInNul) {
  BSTR b = SysAllocString(u"第四系");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Prefix(b), 6u);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(SysStringByteLen(b), 6u);
  EXPECT_EQ(b[3], 0);
  SysFreeString(b);
}

TEST(Bstr, EmbeddedNulsAreKept) {
  const OLECHAR text[] = {u'a', 0, u'b', 0, u'c'};
  BSTR b = SysAllocStringLen(text, 5);
  EXPECT_EQ(SysStringLen(b), 5u);
  EXPECT_EQ(std::memcmp(b, text, sizeof text), 0);
  EXPECT_EQ(b[5], 0);
  SysFreeString(b);
}

TEST(Bstr, NullBstrIsEmpty) {
  // Documented: NULL is a valid empty BSTR for every function.
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(Bstr, AllocStringLenWithNullTextGivesZeroedCharacters) {
  BSTR b = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(b[i], 0);
  SysFreeString(b);
}

TEST(Bstr, ByteLenKeepsOddByteCounts) {
  BSTR b = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(b), 3u);
  EXPECT_EQ(SysStringLen(b), 1u);  // characters are bytes / 2
  EXPECT_EQ(std::memcmp(b, "abc\0\0", 5), 0);
  SysFreeString(b);
}

TEST(Bstr, ReAllocReplacesTheStringEvenFromItsOwnText) {
  BSTR b = SysAllocString(u"hello world");
  ASSERT_TRUE(SysReAllocString(&b, b + 6));
  EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"world");
  ASSERT_TRUE(SysReAllocStringLen(&b, u"abcdef", 2));
  EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"ab");
  SysFreeString(b);
}

}  // namespace
