// ADODB.Stream's text decoders (the charsets of StreamCharset) on fuzzed bytes, as LoadFromFile
// hands a file's bytes to them. The first input byte picks the charset, the line separator and a
// chunk size; the rest are the bytes, put into a stream (as Latin-1 text, which holds every byte)
// and read back as text in the charset.
// Properties: ReadText of everything gives what the charset decodes (its byte-order mark
// skipped); reading in chunks of characters and reading line by line give the same text;
// CopyTo into a Unicode stream carries it unchanged; and valid input (nothing replaced) written
// back with WriteText gives the same bytes, with the byte-order mark in front where the charset
// has one.
#include <comdef.h>
#include <msado15.tlh>
#include <objbase.h>
#include <oleauto.h>

#include <iterator>
#include <string>

#include "FuzzCheck.h"
#include "StreamCharset.h"

namespace {

const char16_t* const kCharsets[] = {u"Unicode", u"unicodeFFFE", u"utf-8",     u"gb2312",
                                     u"GBK",     u"us-ascii",    u"iso-8859-1"};
const LineSeparatorEnum kSeparators[] = {adCRLF, adLF, adCR};
constexpr size_t kMaxBytes = 1 << 16;

std::u16string Text(const _bstr_t& b) {
  const OLECHAR* p = static_cast<const OLECHAR*>(b);
  return p ? std::u16string(reinterpret_cast<const char16_t*>(p), b.length()) : std::u16string();
}

_StreamPtr NewStream(const char16_t* charset) {
  _StreamPtr s;
  FUZZ_CHECK(s.CreateInstance(__uuidof(Stream)) == S_OK);
  s->PutCharset(_bstr_t(charset));
  s->Open();
  return s;
}

// Latin-1 holds every byte as the character of the same number: bytes go into a stream and come
// out of it through a text stream of that charset.
std::u16string AsLatin1(std::string_view bytes) {
  std::u16string text;
  for (unsigned char b : bytes) text.push_back(b);
  return text;
}

_bstr_t Bstr(const std::u16string& text) {
  return _bstr_t(
      SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())),
      false);
}

std::string AllBytes(const _StreamPtr& s) {
  s->PutPosition(0);
  s->PutCharset(_bstr_t(u"iso-8859-1"));
  std::string bytes;
  for (char16_t c : Text(s->ReadText(adReadAll))) bytes.push_back(static_cast<char>(c));
  return bytes;
}

void Check(uint8_t pick, std::string_view bytes) {
  const char16_t* name = kCharsets[pick % std::size(kCharsets)];
  const LineSeparatorEnum separatorKind = kSeparators[(pick / 8) % 3];
  const std::u16string separator = separatorKind == adCRLF ? u"\r\n" : separatorKind == adLF ? u"\n" : u"\r";
  const LONG chunk = 1 + (pick >> 5);
  const kp::ado::StreamCharset* charset = kp::ado::StreamCharset::Find(name);
  FUZZ_CHECK(charset);

  _StreamPtr s = NewStream(u"iso-8859-1");
  s->WriteText(Bstr(AsLatin1(bytes)), adWriteChar);
  FUZZ_CHECK(s->GetSize() == static_cast<LONG>(bytes.size()));
  s->PutPosition(0);
  s->PutCharset(_bstr_t(name));
  s->PutLineSeparator(separatorKind);

  const std::u16string text = Text(s->ReadText(adReadAll));
  FUZZ_CHECK(s->GetEOS() == VARIANT_TRUE);
  const std::string_view bom = charset->Bom();
  const bool hasBom = !bom.empty() && bytes.substr(0, bom.size()) == bom;
  bool replaced = false;
  FUZZ_CHECK(text == charset->Decode(hasBom ? bytes.substr(bom.size()) : bytes, &replaced));

  std::u16string chunks;
  s->PutPosition(0);
  while (s->GetEOS() == VARIANT_FALSE) {
    const LONG before = s->GetPosition();
    chunks += Text(s->ReadText(chunk));
    FUZZ_CHECK(s->GetPosition() > before);
  }
  FUZZ_CHECK(chunks == text);

  std::u16string lines;
  s->PutPosition(0);
  for (bool first = true; s->GetEOS() == VARIANT_FALSE; first = false) {
    if (!first) lines += separator;
    lines += Text(s->ReadText(adReadLine));
  }
  FUZZ_CHECK(lines == text || lines + separator == text);

  _StreamPtr unicode = NewStream(u"Unicode");
  s->PutPosition(0);
  s->CopyTo(unicode, -1);
  unicode->PutPosition(0);
  FUZZ_CHECK(Text(unicode->ReadText(adReadAll)) == text);

  if (!replaced) {
    _StreamPtr back = NewStream(name);
    back->WriteText(Bstr(text), adWriteChar);
    const std::string written = AllBytes(back);
    FUZZ_CHECK(written == (hasBom ? std::string(bytes) : std::string(bom) + std::string(bytes)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  CoInitialize(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxBytes) return 0;
  try {
    Check(data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  } catch (const _com_error& e) {
    std::fprintf(stderr, "stream call failed: 0x%08X\n", static_cast<unsigned>(e.Error()));
    FUZZ_CHECK(false);
  }
  return 0;
}
