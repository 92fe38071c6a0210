// Tests of the Stream's charsets: the names Windows knows them by, the replacement of bytes that
// do not decode (U+FFFD, one byte at a time, reported), '?' for characters a charset cannot
// hold, and exact round trips of valid input (every one- and two-byte sequence of code page
// 936 that decodes comes back as the same bytes).
#include "StreamCharset.h"

#include <gtest/gtest.h>

namespace kp::ado {
namespace {

std::u16string Decode(const char16_t* charset, std::string_view bytes, bool* replaced = nullptr) {
  return StreamCharset::Find(charset)->Decode(bytes, replaced);
}

std::string Encode(const char16_t* charset, std::u16string_view text) {
  std::string out;
  StreamCharset::Find(charset)->Encode(text, out);
  return out;
}

// The MIME names of the registry's charset list, without case; gb2312 and GBK are one code page.
TEST(StreamCharsetTest, NamesAreMatchedWithoutCase) {
  EXPECT_EQ(StreamCharset::Find(u"Unicode"), &StreamCharset::Unicode());
  EXPECT_EQ(StreamCharset::Find(u"UTF-16"), &StreamCharset::Unicode());
  EXPECT_EQ(StreamCharset::Find(u"gb2312"), StreamCharset::Find(u"GBK"));
  EXPECT_EQ(StreamCharset::Find(u"GB2312")->kind(), StreamCharset::Kind::Gbk);
  EXPECT_EQ(StreamCharset::Find(u"UNICODEfffe")->kind(), StreamCharset::Kind::Utf16Be);
  EXPECT_EQ(StreamCharset::Find(u"Latin1")->kind(), StreamCharset::Kind::Latin1);
  EXPECT_EQ(StreamCharset::Find(u"US-ASCII")->kind(), StreamCharset::Kind::Ascii);
  EXPECT_EQ(StreamCharset::Find(u"utf8x"), nullptr);
  EXPECT_EQ(StreamCharset::Find(u""), nullptr);
  EXPECT_EQ(StreamCharset::Find(u"Unicode")->Bom(), "\xFF\xFE");
  EXPECT_EQ(StreamCharset::Find(u"utf-8")->Bom(), "\xEF\xBB\xBF");
  EXPECT_EQ(StreamCharset::Find(u"gbk")->Bom(), "");
}

struct BadBytes {
  const char16_t* charset;
  std::string bytes;
  std::u16string text;
};

// Each byte that does not start a valid character becomes one U+FFFD, and the rest decodes.
TEST(StreamCharsetTest, BytesThatDoNotDecodeBecomeReplacementCharacters) {
  const BadBytes cases[] = {
      {u"utf-8", "\xC0\x80x", u"\uFFFD\uFFFDx"},                    // overlong
      {u"utf-8", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
      {u"utf-8", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {u"utf-8", "a\xE4\xB8", u"a\uFFFD\uFFFD"},                    // cut short
      {u"unicode", std::string("a\0b", 3), u"a\uFFFD"},             // an odd last byte
      {u"gbk",
       "\xFF"
       "a",
       u"\uFFFDa"},                   // not a lead byte
      {u"gbk", "\x81 ", u"\uFFFD "},  // a lead byte without trail
      {u"gbk", "\xD6", u"\uFFFD"},    // cut short
      {u"us-ascii", "a\x80", u"a\uFFFD"},
  };
  for (const BadBytes& c : cases) {
    bool replaced = false;
    EXPECT_EQ(Decode(c.charset, c.bytes, &replaced), c.text) << c.bytes;
    EXPECT_TRUE(replaced) << c.bytes;
  }
  bool replaced = false;
  EXPECT_EQ(Decode(u"iso-8859-1", "\x80\xFF", &replaced), u"\u0080\u00FF");
  EXPECT_EQ(Decode(u"unicodeFFFE", std::string("\xD8\x3D\xDE\x00", 4), &replaced), u"\U0001F600");
  EXPECT_FALSE(replaced);
}

// What a charset cannot hold becomes '?' (a surrogate pair is one character); UTF-8 writes a lone
// surrogate as U+FFFD, as the platform's WideCharToMultiByte does; UTF-16 carries every unit.
TEST(StreamCharsetTest, CharactersACharsetCannotHoldBecomeQuestionMarks) {
  EXPECT_EQ(Encode(u"us-ascii", u"a\u00E9\U0001F600"), "a??");
  EXPECT_EQ(Encode(u"iso-8859-1", u"\u00E9\U0001F600\u0100"), "\xE9??");
  EXPECT_EQ(Encode(u"gbk", u"\u4E2D\U0001F600"), "\xD6\xD0?");
  EXPECT_EQ(Encode(u"utf-8", u"\xD800x\U0001F600"), "\xEF\xBF\xBDx\xF0\x9F\x98\x80");
  EXPECT_EQ(Encode(u"unicode", u"\xD800"), std::string("\x00\xD8", 2));
}

// Every sequence of code page 936 that decodes without a replacement encodes back to the same
// bytes, and a character uses exactly the bytes it came from.
TEST(StreamCharsetTest, ValidGbkRoundTrips) {
  const StreamCharset* gbk = StreamCharset::Find(u"GBK");
  int valid = 0;
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      const std::string bytes =
          lead < 0x81 ? std::string(1, (char)lead) : std::string{(char)lead, (char)trail};
      if (lead < 0x81 && trail > 0) break;
      std::u16string text;
      bool replaced = false;
      const size_t used =
          gbk->DecodeOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), text, &replaced);
      if (replaced) continue;
      ++valid;
      EXPECT_EQ(used, bytes.size());
      std::string back;
      gbk->Encode(text, back);
      EXPECT_EQ(back, bytes) << std::hex << lead << " " << trail;
    }
  }
  EXPECT_GT(valid, 21000);  // GBK has 21886 two-byte characters
}

}  // namespace
}  // namespace kp::ado
