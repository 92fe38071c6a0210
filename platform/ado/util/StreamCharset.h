// The character sets of ADODB.Stream (its Charset property): how a text stream's bytes become
// UTF-16 text and back. Windows names the charsets by their MIME names (the list under
// HKEY_CLASSES_ROOT\MIME\Database\Charset); the ones known here are
//
//   "Unicode" (also "utf-16", "utf-16le")       UTF-16 little endian, byte-order mark FF FE
//   "unicodeFFFE" (also "utf-16be")             UTF-16 big endian, byte-order mark FE FF
//   "utf-8"                                     UTF-8, byte-order mark EF BB BF
//   "gb2312", "GBK", "cp936", "windows-936"     code page 936 through the platform's conversions
//   "us-ascii", "ascii"                         7-bit ASCII
//   "iso-8859-1", "latin1"                      Latin-1
//
// matched without case. Only the three Unicode forms have a byte-order mark: a stream writes it
// when text is written at position 0 and skips it when text is read from position 0.
//
// Decoding never fails: a byte sequence that does not decode becomes U+FFFD and uses one byte
// (the platform's rule for narrow text), as does a lone last byte of UTF-16; DecodeOne reports
// the replacement so that a caller can tell valid input from repaired input. Encoding never
// fails either: a character the charset cannot hold becomes '?' (a surrogate pair is one
// character), a lone surrogate becomes U+FFFD in UTF-8. UTF-16 carries every unit as it is.
// Valid input (no replacement) decodes and encodes back to the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kp::ado {

class StreamCharset {
 public:
  enum class Kind { Utf16Le, Utf16Be, Utf8, Gbk, Ascii, Latin1 };

  // The charset that name names, or nullptr for a name not known here.
  static const StreamCharset* Find(std::u16string_view name);
  // The default charset of a new stream ("Unicode").
  static const StreamCharset& Unicode();

  Kind kind() const { return kind_; }
  // The byte-order mark written before text at position 0 ("" when the charset has none).
  std::string_view Bom() const { return bom_; }

  // Decodes the one character that starts at p (n > 0 bytes available): appends its UTF-16
  // units (one or two) to out and answers the number of bytes it used (at least 1). *replaced
  // (when not null) tells whether the bytes did not decode and U+FFFD was appended instead.
  size_t DecodeOne(const uint8_t* p, size_t n, std::u16string& out, bool* replaced = nullptr) const;
  // Decodes every byte of bytes; *replaced as above, for any character.
  std::u16string Decode(std::string_view bytes, bool* replaced = nullptr) const;
  // Appends the charset's bytes of text to out (no byte-order mark).
  void Encode(std::u16string_view text, std::string& out) const;

 private:
  friend struct StreamCharsetTable;
  constexpr StreamCharset(Kind kind, std::string_view bom) : kind_(kind), bom_(bom) {}
  Kind kind_;
  std::string_view bom_;
};

}  // namespace kp::ado
