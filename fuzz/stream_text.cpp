// ADODB.Stream's text decoders (the charsets of StreamCharset) on fuzzed bytes, as LoadFromFile
// hands a file's bytes to them. The first input byte picks the charset, the line separator and a
// chunk size; the rest are the bytes, written to a binary stream and read back as text.
// Properties: ReadText of everything gives what the charset decodes (its byte-order mark
// skipped); reading in chunks of characters and reading line by line give the same text;
// CopyTo into a Unicode stream carries it unchanged; and valid input (nothing replaced) written
// back with WriteText gives the same bytes, with the byte-order mark in front where the charset
// has one.
#include <comdef.h>
#include <msado15.tlh>
#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <iterator>
#include <string>

#include "FuzzCheck.h"
#include "StreamCharset.h"

namespace {

const char16_t* const kCharsets[] = {u"Unicode", u"unicodeFFFE", u"utf-8", u"gb2312", u"GBK", u"us-ascii",
                                     u"iso-8859-1"};
const LineSeparatorEnum kSeparators[] = {adCRLF, adLF, adCR};
constexpr size_t kMaxBytes = 1 << 16;

_variant_t ByteArray(std::string_view bytes) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  void* p = nullptr;
  SafeArrayAccessData(sa, &p);
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  SafeArrayUnaccessData(sa);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = sa;
  return _variant_t(v, false);
}

std::string BytesOf(const _variant_t& v) {
  if (v.vt == VT_NULL) return {};
  FUZZ_CHECK(v.vt == (VT_ARRAY | VT_UI1));
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(v.parray, 1, &lo);
  SafeArrayGetUBound(v.parray, 1, &hi);
  void* p = nullptr;
  SafeArrayAccessData(v.parray, &p);
  std::string out(static_cast<const char*>(p), static_cast<size_t>(hi - lo + 1));
  SafeArrayUnaccessData(v.parray);
  return out;
}

std::u16string Text(const _bstr_t& b) {
  const OLECHAR* p = static_cast<const OLECHAR*>(b);
  return p ? std::u16string(reinterpret_cast<const char16_t*>(p), b.length()) : std::u16string();
}

_StreamPtr NewStream(StreamTypeEnum type, const char16_t* charset) {
  _StreamPtr s;
  FUZZ_CHECK(s.CreateInstance(__uuidof(Stream)) == S_OK);
  s->PutType(type);
  if (charset) s->PutCharset(_bstr_t(charset));
  s->Open();
  return s;
}

std::string AllBytes(const _StreamPtr& s) {
  s->PutPosition(0);
  s->PutType(adTypeBinary);
  return BytesOf(s->Read(adReadAll));
}

void Check(uint8_t pick, std::string_view bytes) {
  const char16_t* name = kCharsets[pick % std::size(kCharsets)];
  const LineSeparatorEnum separatorKind = kSeparators[(pick / 8) % 3];
  const std::u16string separator = separatorKind == adCRLF ? u"\r\n" : separatorKind == adLF ? u"\n" : u"\r";
  const LONG chunk = 1 + (pick >> 5);
  const kp::ado::StreamCharset* charset = kp::ado::StreamCharset::Find(name);
  FUZZ_CHECK(charset);

  _StreamPtr s = NewStream(adTypeBinary, nullptr);
  s->Write(ByteArray(bytes));
  FUZZ_CHECK(s->GetSize() == static_cast<LONG>(bytes.size()));
  s->PutPosition(0);
  s->PutType(adTypeText);
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

  _StreamPtr unicode = NewStream(adTypeText, u"Unicode");
  s->PutPosition(0);
  s->CopyTo(unicode, -1);
  unicode->PutPosition(0);
  FUZZ_CHECK(Text(unicode->ReadText(adReadAll)) == text);

  if (!replaced) {
    _StreamPtr back = NewStream(adTypeText, name);
    BSTR data = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    back->WriteText(_bstr_t(data, false), adWriteChar);
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
