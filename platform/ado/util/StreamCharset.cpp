// Stream charsets (see StreamCharset.h). UTF-16, ASCII and Latin-1 are written out here, and the
// decoding of UTF-8; code page 936 goes through the platform's conversions (MultiByteToWideChar
// with MB_ERR_INVALID_CHARS, one character at a time, so that a stream can count characters and
// stop at a line separator), and so does the encoding of a whole text into code page 936 or
// UTF-8 (WideCharToMultiByte).
#include "StreamCharset.h"

#include "TextUtil.h"
#include "winnls.h"

namespace kp::ado {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHigh(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// One UTF-8 sequence, strictly: no overlong forms, no surrogates, nothing beyond U+10FFFF.
size_t DecodeUtf8(const uint8_t* p, size_t n, std::u16string& out, bool& bad) {
  const uint8_t b = p[0];
  if (b < 0x80) {
    out.push_back(b);
    return 1;
  }
  size_t len = 0;
  char32_t c = 0, min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2, c = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, c = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, c = b & 0x07, min = 0x10000;
  }
  bool ok = len != 0 && n >= len;
  for (size_t i = 1; ok && i < len; ++i) {
    ok = (p[i] & 0xC0) == 0x80;
    c = (c << 6) | (p[i] & 0x3F);
  }
  if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    bad = true;
    out.push_back(kReplacement);
    return 1;
  }
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back((char16_t)(0xD800 + (c >> 10)));
    out.push_back((char16_t)(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back((char16_t)c);
  }
  return len;
}

// One character of code page 936: a lead byte 0x81-0xFE with a trail byte 0x40-0x7E or
// 0x80-0xFE, else one byte.
size_t DecodeGbk(const uint8_t* p, size_t n, std::u16string& out, bool& bad) {
  if (p[0] < 0x80) {
    out.push_back(p[0]);
    return 1;
  }
  const bool pair = p[0] >= 0x81 && p[0] <= 0xFE && n >= 2 &&
                    ((p[1] >= 0x40 && p[1] <= 0x7E) || (p[1] >= 0x80 && p[1] <= 0xFE));
  const int len = pair ? 2 : 1;
  WCHAR wide[2];
  const int units =
      MultiByteToWideChar(CP_GBK, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p), len, wide, 2);
  if (units <= 0) {
    bad = true;
    out.push_back(kReplacement);
    return 1;
  }
  out.append(reinterpret_cast<const char16_t*>(wide), (size_t)units);
  return (size_t)len;
}

// Characters up to limit (0x7F or 0xFF) as one byte each, the rest as '?'.
void EncodeSingleByte(std::u16string_view text, char16_t limit, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] <= limit) {
      out.push_back((char)text[i]);
      continue;
    }
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) ++i;
    out.push_back('?');
  }
}

}  // namespace

// The charsets are constants; StreamCharset's constructor is private, so they are made here.
struct StreamCharsetTable {
  static constexpr StreamCharset kUtf16Le{StreamCharset::Kind::Utf16Le, "\xFF\xFE"};
  static constexpr StreamCharset kUtf16Be{StreamCharset::Kind::Utf16Be, "\xFE\xFF"};
  static constexpr StreamCharset kUtf8{StreamCharset::Kind::Utf8, "\xEF\xBB\xBF"};
  static constexpr StreamCharset kGbk{StreamCharset::Kind::Gbk, ""};
  static constexpr StreamCharset kAscii{StreamCharset::Kind::Ascii, ""};
  static constexpr StreamCharset kLatin1{StreamCharset::Kind::Latin1, ""};
};

namespace {

struct NameEntry {
  std::u16string_view name;
  const StreamCharset* charset;
};

const NameEntry kNames[] = {
    {u"unicode", &StreamCharsetTable::kUtf16Le},   {u"utf-16", &StreamCharsetTable::kUtf16Le},
    {u"utf-16le", &StreamCharsetTable::kUtf16Le},  {u"unicodeFFFE", &StreamCharsetTable::kUtf16Be},
    {u"utf-16be", &StreamCharsetTable::kUtf16Be},  {u"utf-8", &StreamCharsetTable::kUtf8},
    {u"gb2312", &StreamCharsetTable::kGbk},        {u"gbk", &StreamCharsetTable::kGbk},
    {u"cp936", &StreamCharsetTable::kGbk},         {u"windows-936", &StreamCharsetTable::kGbk},
    {u"us-ascii", &StreamCharsetTable::kAscii},    {u"ascii", &StreamCharsetTable::kAscii},
    {u"iso-8859-1", &StreamCharsetTable::kLatin1}, {u"latin1", &StreamCharsetTable::kLatin1},
};

}  // namespace

const StreamCharset* StreamCharset::Find(std::u16string_view name) {
  for (const NameEntry& e : kNames)
    if (EqualsNoCase(e.name, name)) return e.charset;
  return nullptr;
}

const StreamCharset& StreamCharset::Unicode() {
  return StreamCharsetTable::kUtf16Le;
}

size_t StreamCharset::DecodeOne(const uint8_t* p, size_t n, std::u16string& out, bool* replaced) const {
  bool bad = false;
  size_t used = 1;
  switch (kind_) {
    case Kind::Utf16Le:
    case Kind::Utf16Be:
      if (n < 2) {
        bad = true;
        out.push_back(kReplacement);
      } else {
        out.push_back(kind_ == Kind::Utf16Le ? (char16_t)(p[0] | (p[1] << 8))
                                             : (char16_t)((p[0] << 8) | p[1]));
        used = 2;
      }
      break;
    case Kind::Utf8:
      used = DecodeUtf8(p, n, out, bad);
      break;
    case Kind::Gbk:
      used = DecodeGbk(p, n, out, bad);
      break;
    case Kind::Ascii:
      bad = p[0] > 0x7F;
      out.push_back(bad ? kReplacement : p[0]);
      break;
    case Kind::Latin1:
      out.push_back(p[0]);
      break;
  }
  if (replaced && bad) *replaced = true;
  return used;
}

std::u16string StreamCharset::Decode(std::string_view bytes, bool* replaced) const {
  std::u16string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t i = 0; i < bytes.size();) i += DecodeOne(p + i, bytes.size() - i, out, replaced);
  return out;
}

void StreamCharset::Encode(std::u16string_view text, std::string& out) const {
  switch (kind_) {
    case Kind::Utf16Le:
    case Kind::Utf16Be:
      for (char16_t c : text) {
        const char lo = (char)(c & 0xFF), hi = (char)(c >> 8);
        out.push_back(kind_ == Kind::Utf16Le ? lo : hi);
        out.push_back(kind_ == Kind::Utf16Le ? hi : lo);
      }
      break;
    case Kind::Utf8:
      out += kp::Narrow(text.data(), text.size(), CP_UTF8);
      break;
    case Kind::Gbk:
      out += kp::Narrow(text.data(), text.size(), CP_GBK);
      break;
    case Kind::Ascii:
      EncodeSingleByte(text, 0x7F, out);
      break;
    case Kind::Latin1:
      EncodeSingleByte(text, 0xFF, out);
      break;
  }
}

}  // namespace kp::ado
