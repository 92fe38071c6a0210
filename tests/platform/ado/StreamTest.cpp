// Conformance tests of ADODB.Stream: registration, the documented defaults and state rules,
// bytes and text at a byte Position, charsets and their byte-order marks, lines, CopyTo, the
// files it saves and loads, and a Recordset saved into a Stream and reopened from it. Failing
// calls are checked for their exact HRESULT and for leaving out-parameters (set to sentinels)
// as they were.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "AdoTestSupport.h"

namespace kp::ado::test {
namespace {

constexpr LONG kSentinel = 0x5EED;

_variant_t ByteArray(const std::string& bytes) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
  void* p = nullptr;
  SafeArrayAccessData(sa, &p);
  if (!bytes.empty()) memcpy(p, bytes.data(), bytes.size());
  SafeArrayUnaccessData(sa);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = sa;
  return _variant_t(v, false);
}

std::string BytesOf(const _variant_t& v) {
  if (v.vt != (VT_ARRAY | VT_UI1)) return "<not bytes>";
  LONG lo = 0, hi = -1;
  SafeArrayGetLBound(v.parray, 1, &lo);
  SafeArrayGetUBound(v.parray, 1, &hi);
  void* p = nullptr;
  SafeArrayAccessData(v.parray, &p);
  std::string out(static_cast<const char*>(p), (size_t)(hi - lo + 1));
  SafeArrayUnaccessData(v.parray);
  return out;
}

// The whole text of a BSTR, embedded NULs included.
std::u16string W(const _bstr_t& b) {
  const OLECHAR* p = (const OLECHAR*)b;
  return p ? std::u16string(reinterpret_cast<const char16_t*>(p), b.length()) : std::u16string();
}

std::string FileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    dir_ = TempDir();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    CoUninitialize();
  }
  static _StreamPtr NewStream() {
    _StreamPtr s;
    EXPECT_EQ(s.CreateInstance(__uuidof(Stream)), S_OK);
    return s;
  }
  static _StreamPtr OpenStream(StreamTypeEnum type = adTypeText, const char16_t* charset = nullptr) {
    _StreamPtr s = NewStream();
    s->PutType(type);
    if (charset) s->PutCharset(_bstr_t(charset));
    s->Open();
    return s;
  }
  // Every byte of s, read as binary; Type and Position are put back.
  static std::string AllBytes(const _StreamPtr& s) {
    const LONG pos = s->GetPosition();
    const StreamTypeEnum type = s->GetType();
    s->PutPosition(0);
    s->PutType(adTypeBinary);
    _variant_t v = s->Read(adReadAll);
    s->PutPosition(0);
    s->PutType(type);
    s->PutPosition(pos);
    return v.vt == VT_NULL ? std::string() : BytesOf(v);
  }
  std::string dir_;
};

// The class is registered under its CLSID {00000566-...} and the ProgIDs "ADODB.Stream" and
// "ADODB.Stream.6.0"; it answers _Stream ({00000565-...}), IDispatch and IUnknown, and goes away
// when the last reference is released.
TEST_F(StreamTest, IsARegisteredClass) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(u"ADODB.Stream", &clsid), S_OK);
  EXPECT_TRUE(clsid == __uuidof(Stream));
  clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(u"ADODB.Stream.6.0", &clsid), S_OK);
  EXPECT_TRUE(clsid == __uuidof(Stream));
  const GUID iid = {0x00000565, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
  EXPECT_TRUE(iid == __uuidof(_Stream));
  const GUID cls = {0x00000566, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
  EXPECT_TRUE(cls == __uuidof(Stream));

  _Stream* s = nullptr;
  ASSERT_EQ(CoCreateInstance(__uuidof(Stream), nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Stream),
                             reinterpret_cast<void**>(&s)),
            S_OK);
  IDispatch* d = nullptr;
  EXPECT_EQ(s->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
  IUnknown* u = reinterpret_cast<IUnknown*>(0x1);
  EXPECT_EQ(s->QueryInterface(__uuidof(_Recordset), reinterpret_cast<void**>(&u)), E_NOINTERFACE);
  EXPECT_EQ(u, nullptr);
  EXPECT_EQ(d->Release(), 1u);
  EXPECT_EQ(s->Release(), 0u);
}

// A new Stream is closed, of type adTypeText, Charset "Unicode", LineSeparator adCRLF and Mode
// adModeUnknown; these can be read while it is closed.
TEST_F(StreamTest, NewStreamHasTheDocumentedDefaults) {
  _StreamPtr s = NewStream();
  EXPECT_EQ(s->GetState(), adStateClosed);
  EXPECT_EQ(s->GetType(), adTypeText);
  EXPECT_EQ(Utf8(s->GetCharset()), "Unicode");
  EXPECT_EQ(s->GetLineSeparator(), adCRLF);
  EXPECT_EQ(s->GetMode(), adModeUnknown);
  s->Open();
  EXPECT_EQ(s->GetState(), adStateOpen);
  EXPECT_EQ(s->GetSize(), 0);
  EXPECT_EQ(s->GetPosition(), 0);
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
}

// Everything that touches the contents of a closed Stream fails with adErrObjectClosed (3704)
// and writes nothing into its out-parameters.
TEST_F(StreamTest, AClosedStreamRefusesWithObjectClosed) {
  _StreamPtr s = NewStream();
  _StreamPtr other = OpenStream();
  const HRESULT closed = Ado(adErrObjectClosed);
  LONG n = kSentinel;
  EXPECT_EQ(s->get_Size(&n), closed);
  EXPECT_EQ(s->get_Position(&n), closed);
  EXPECT_EQ(n, kSentinel);
  VARIANT_BOOL eos = 7;
  EXPECT_EQ(s->get_EOS(&eos), closed);
  EXPECT_EQ(eos, 7);
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = kSentinel;
  EXPECT_EQ(s->raw_Read(adReadAll, &v), closed);
  EXPECT_EQ(v.vt, VT_I4);
  BSTR text = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(s->raw_ReadText(adReadAll, &text), closed);
  EXPECT_EQ(text, reinterpret_cast<BSTR>(0x1));
  EXPECT_EQ(s->put_Position(0), closed);
  EXPECT_EQ(s->raw_Write(ByteArray("x")), closed);
  EXPECT_EQ(s->raw_WriteText(B(u"x"), adWriteChar), closed);
  EXPECT_EQ(s->raw_SkipLine(), closed);
  EXPECT_EQ(s->raw_SetEOS(), closed);
  EXPECT_EQ(s->raw_Flush(), closed);
  EXPECT_EQ(s->raw_CopyTo(other, -1), closed);
  EXPECT_EQ(other->raw_CopyTo(s, -1), closed);
  EXPECT_EQ(s->raw_SaveToFile(_bstr_t(U((dir_ + "/x").c_str()).c_str()), adSaveCreateNotExist), closed);
  EXPECT_EQ(s->raw_LoadFromFile(_bstr_t(U((dir_ + "/x").c_str()).c_str())), closed);
  EXPECT_EQ(s->raw_Close(), closed);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/x"));
  // The error carries ADO's text and the Stream as its source.
  try {
    s->GetSize();
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(Utf8(e.Description()), "Operation is not allowed when the object is closed.");
    EXPECT_EQ(Utf8(e.Source()), "ADODB.Stream");
  }
}

// Open on an open Stream is adErrObjectOpen (3705), and so is setting Mode while it is open.
// Close discards the contents: opened again, the Stream is empty.
TEST_F(StreamTest, OpenCloseAndMode) {
  _StreamPtr s = NewStream();
  s->PutMode(adModeReadWrite);
  s->Open();
  EXPECT_EQ(s->GetMode(), adModeReadWrite);
  EXPECT_EQ(s->raw_Open(_variant_t(), adModeUnknown, adOpenStreamUnspecified, nullptr, nullptr),
            Ado(adErrObjectOpen));
  EXPECT_EQ(s->put_Mode(adModeRead), Ado(adErrObjectOpen));
  s->WriteText(B(u"abc"), adWriteChar);
  s->Close();
  EXPECT_EQ(s->GetState(), adStateClosed);
  s->Open(vtMissing, adModeRead);
  EXPECT_EQ(s->GetMode(), adModeRead);
  EXPECT_EQ(s->GetSize(), 0);
  // Opening a URL or a Record's stream is not written: the marker answers E_NOTIMPL.
  _StreamPtr url = NewStream();
  EXPECT_EQ(url->raw_Open(_variant_t(B(u"URL=http://example.com/x")), adModeUnknown, adOpenStreamUnspecified,
                          nullptr, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(url->GetState(), adStateClosed);
  EXPECT_EQ(url->raw_Open(_variant_t(), adModeUnknown, (StreamOpenOptionsEnum)2, nullptr, nullptr),
            Ado(adErrInvalidArgument));
}

// A read-only Stream (adModeRead) takes no changes: Write, WriteText, SetEOS, LoadFromFile and
// CopyTo into it fail (adErrIllegalOperation), and its contents stay; Position set beyond Size
// moves only the Position (the Size stays, as documented for read-only streams).
TEST_F(StreamTest, AReadOnlyStreamTakesNoChanges) {
  const std::string file = dir_ + "/in.bin";
  WriteFile(file, "data");
  _StreamPtr s = NewStream();
  s->PutType(adTypeBinary);
  s->Open(vtMissing, adModeRead);
  const HRESULT refused = Ado(adErrIllegalOperation);
  EXPECT_EQ(s->raw_Write(ByteArray("x")), refused);
  EXPECT_EQ(s->raw_SetEOS(), refused);
  EXPECT_EQ(s->raw_LoadFromFile(_bstr_t(U(file.c_str()).c_str())), refused);
  _StreamPtr source = OpenStream(adTypeBinary);
  source->Write(ByteArray("abc"));
  source->PutPosition(0);
  EXPECT_EQ(source->raw_CopyTo(s, -1), refused);
  EXPECT_EQ(source->GetPosition(), 0);
  s->PutPosition(10);
  EXPECT_EQ(s->GetPosition(), 10);
  EXPECT_EQ(s->GetSize(), 0);
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
  _StreamPtr text = NewStream();
  text->Open(vtMissing, adModeRead);
  EXPECT_EQ(text->raw_WriteText(B(u"x"), adWriteChar), refused);
  EXPECT_EQ(text->GetSize(), 0);
}

// Text written with the default charset "Unicode" is UTF-16LE after a byte-order mark FF FE at
// position 0; Size counts bytes, the mark included, and Position is in bytes. Reading from
// position 0 skips the mark.
TEST_F(StreamTest, UnicodeTextStartsWithAByteOrderMark) {
  _StreamPtr s = OpenStream();
  s->WriteText(B(u"abc"), adWriteChar);
  EXPECT_EQ(s->GetSize(), 8);
  EXPECT_EQ(s->GetPosition(), 8);
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
  EXPECT_EQ(AllBytes(s), std::string("\xFF\xFE"
                                     "a\0b\0c\0",
                                     8));
  s->PutPosition(0);
  EXPECT_EQ(Utf8(s->ReadText(2)), "ab");
  EXPECT_EQ(s->GetPosition(), 6);
  EXPECT_EQ(Utf8(s->ReadText(adReadAll)), "c");
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
  BSTR rest = nullptr;
  EXPECT_EQ(s->raw_ReadText(adReadAll, &rest), S_OK);
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(SysStringLen(rest), 0u);
  SysFreeString(rest);
  // Text written further on gets no second mark.
  s->WriteText(B(u"d"), adWriteChar);
  EXPECT_EQ(s->GetSize(), 10);
  s->PutPosition(0);
  EXPECT_EQ(Utf8(s->ReadText(adReadAll)), "abcd");
}

struct CharsetCase {
  const char16_t* charset;
  const char* text;      // UTF-8
  std::string bytes;     // what the stream holds after WriteText at position 0
  const char* readBack;  // UTF-8; what ReadText answers ("?" for what the charset cannot hold)
};

class StreamCharsetTest : public StreamTest, public ::testing::WithParamInterface<CharsetCase> {};

// Each charset writes its own bytes (only the Unicode forms with a byte-order mark: utf-8 writes
// EF BB BF); gb2312 and GBK are code page 936; characters a charset cannot hold become '?'.
// ReadText from position 0 gives the text back.
TEST_P(StreamCharsetTest, WritesAndReadsItsBytes) {
  const CharsetCase& c = GetParam();
  _StreamPtr s = OpenStream(adTypeText, c.charset);
  s->WriteText(_bstr_t(U(c.text).c_str()), adWriteChar);
  EXPECT_EQ(AllBytes(s), c.bytes);
  EXPECT_EQ(s->GetSize(), (LONG)c.bytes.size());
  s->PutPosition(0);
  EXPECT_EQ(Utf8(s->ReadText(adReadAll)), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    Charsets, StreamCharsetTest,
    ::testing::Values(CharsetCase{u"unicode", "中a",
                                  std::string("\xFF\xFE\x2D\x4E"
                                              "a\0",
                                              6),
                                  "中a"},
                      CharsetCase{u"unicodeFFFE", "中a", std::string("\xFE\xFF\x4E\x2D\0a", 6), "中a"},
                      CharsetCase{u"utf-8", "中a",
                                  "\xEF\xBB\xBF\xE4\xB8\xAD"
                                  "a",
                                  "中a"},
                      CharsetCase{u"UTF-8", "😀", "\xEF\xBB\xBF\xF0\x9F\x98\x80", "😀"},
                      CharsetCase{u"gb2312", "中文a",
                                  "\xD6\xD0\xCE\xC4"
                                  "a",
                                  "中文a"},
                      CharsetCase{u"GBK", "中文a",
                                  "\xD6\xD0\xCE\xC4"
                                  "a",
                                  "中文a"},
                      CharsetCase{u"GBK", "é😀", "\xA8\xA6?", "é?"},
                      CharsetCase{u"us-ascii", "aé", "a?", "a?"},
                      CharsetCase{u"iso-8859-1", "aé中", "a\xE9?", "aé?"}),
    [](const ::testing::TestParamInfo<CharsetCase>& info) { return "Case" + std::to_string(info.index); });

// Charset and Type can be changed only at position 0 (else adErrIllegalOperation, 3219); an
// unknown charset name is adErrInvalidArgument (3001). Changing Type does not change the bytes.
TEST_F(StreamTest, CharsetAndTypeChangeOnlyAtPositionZero) {
  _StreamPtr s = OpenStream();
  s->WriteText(B(u"ab"), adWriteChar);
  EXPECT_EQ(s->put_Charset(B(u"utf-8")), Ado(adErrIllegalOperation));
  EXPECT_EQ(Utf8(s->GetCharset()), "Unicode");
  EXPECT_EQ(s->put_Type(adTypeBinary), Ado(adErrIllegalOperation));
  EXPECT_EQ(s->GetType(), adTypeText);
  s->PutPosition(0);
  EXPECT_EQ(s->put_Charset(B(u"no-such-charset")), Ado(adErrInvalidArgument));
  EXPECT_EQ(s->put_Type((StreamTypeEnum)3), Ado(adErrInvalidArgument));
  s->PutCharset(B(u"iso-8859-1"));
  EXPECT_EQ(Utf8(s->GetCharset()), "iso-8859-1");
  // The Unicode bytes FF FE 61 00 62 00 read as Latin-1.
  EXPECT_EQ(W(s->ReadText(adReadAll)), std::u16string(u"\u00FF\u00FEa\0b\0", 6));
  s->PutPosition(0);
  s->PutType(adTypeBinary);
  EXPECT_EQ(BytesOf(s->Read(2)), "\xFF\xFE");
}

// Read works on binary streams only, ReadText, WriteText and SkipLine on text streams only, and
// Write on binary streams only: the others fail with adErrOperationNotAllowedInContext (3219).
TEST_F(StreamTest, ReadAndWriteFollowTheType) {
  const HRESULT refused = Ado(adErrIllegalOperation);
  _StreamPtr text = OpenStream(adTypeText);
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = kSentinel;
  EXPECT_EQ(text->raw_Read(adReadAll, &v), refused);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(text->raw_Write(ByteArray("x")), refused);
  _StreamPtr bin = OpenStream(adTypeBinary);
  BSTR b = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(bin->raw_ReadText(adReadAll, &b), refused);
  EXPECT_EQ(b, reinterpret_cast<BSTR>(0x1));
  EXPECT_EQ(bin->raw_WriteText(B(u"x"), adWriteChar), refused);
  EXPECT_EQ(bin->raw_SkipLine(), refused);
  EXPECT_EQ(text->GetSize(), 0);
  EXPECT_EQ(bin->GetSize(), 0);
  // Arguments out of range: adErrInvalidArgument (3001).
  EXPECT_EQ(bin->raw_Read(-2, &v), Ado(adErrInvalidArgument));
  EXPECT_EQ(bin->raw_Write(_variant_t(B(u"text"))), Ado(adErrInvalidArgument));
  EXPECT_EQ(text->raw_ReadText(-3, &b), Ado(adErrInvalidArgument));
  EXPECT_EQ(text->raw_WriteText(B(u"x"), (StreamWriteEnum)2), Ado(adErrInvalidArgument));
  EXPECT_EQ(text->put_LineSeparator((LineSeparatorEnum)0), Ado(adErrInvalidArgument));
  EXPECT_EQ(text->put_Position(-1), Ado(adErrInvalidArgument));
}

// Write puts bytes at Position, replacing what is there without truncating the rest, and moves
// Position past them; Read(n) answers up to n bytes from Position, Read() the rest, and Null when
// nothing is left; SetEOS cuts the stream at Position.
TEST_F(StreamTest, BytesAtAPosition) {
  _StreamPtr s = OpenStream(adTypeBinary);
  s->Write(ByteArray("12345"));
  EXPECT_EQ(s->GetSize(), 5);
  EXPECT_EQ(s->GetPosition(), 5);
  EXPECT_EQ(s->Read(adReadAll).vt, VT_NULL);
  s->PutPosition(1);
  s->Write(ByteArray("ab"));
  EXPECT_EQ(s->GetPosition(), 3);
  EXPECT_EQ(s->GetSize(), 5);
  EXPECT_EQ(s->GetEOS(), VARIANT_FALSE);
  s->PutPosition(0);
  EXPECT_EQ(BytesOf(s->Read(2)), "1a");
  EXPECT_EQ(BytesOf(s->Read(100)), "b45");
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
  s->PutPosition(3);
  s->SetEOS();
  EXPECT_EQ(s->GetSize(), 3);
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
  // Position beyond Size on a writable stream extends it with zero bytes.
  s->PutPosition(5);
  EXPECT_EQ(s->GetSize(), 5);
  s->PutPosition(0);
  EXPECT_EQ(BytesOf(s->Read(adReadAll)), std::string("1ab\0\0", 5));
  // An empty array writes nothing.
  s->Write(ByteArray(""));
  EXPECT_EQ(s->GetSize(), 5);
}

struct SeparatorCase {
  LineSeparatorEnum separator;
  const char16_t* text;  // three lines as WriteText(adWriteLine) writes them, then "three"
};

class StreamLineTest : public StreamTest, public ::testing::WithParamInterface<SeparatorCase> {};

// WriteText(..., adWriteLine) appends the LineSeparator; ReadText(adReadLine) answers the text up
// to the next separator without it and moves past it; SkipLine moves past the next line. The
// last line needs no separator.
TEST_P(StreamLineTest, LinesEndAtTheLineSeparator) {
  const SeparatorCase& c = GetParam();
  _StreamPtr s = OpenStream(adTypeText, u"us-ascii");
  s->PutLineSeparator(c.separator);
  EXPECT_EQ(s->GetLineSeparator(), c.separator);
  s->WriteText(B(u"one"), adWriteLine);
  s->WriteText(B(u"two"), adWriteLine);
  s->WriteText(B(u"three"), adWriteChar);
  s->PutPosition(0);
  EXPECT_EQ(W(s->ReadText(adReadAll)), c.text);
  s->PutPosition(0);
  EXPECT_EQ(Utf8(s->ReadText(adReadLine)), "one");
  EXPECT_EQ(s->GetPosition(), c.separator == adCRLF ? 5 : 4);
  s->SkipLine();
  EXPECT_EQ(Utf8(s->ReadText(adReadLine)), "three");
  EXPECT_EQ(s->GetEOS(), VARIANT_TRUE);
  EXPECT_EQ(Utf8(s->ReadText(adReadLine)), "");
}

INSTANTIATE_TEST_SUITE_P(Separators, StreamLineTest,
                         ::testing::Values(SeparatorCase{adCRLF, u"one\r\ntwo\r\nthree"},
                                           SeparatorCase{adLF, u"one\ntwo\nthree"},
                                           SeparatorCase{adCR, u"one\rtwo\rthree"}),
                         [](const ::testing::TestParamInfo<SeparatorCase>& info) {
                           return info.param.separator == adCRLF ? std::string("CRLF")
                                  : info.param.separator == adLF ? std::string("LF")
                                                                 : std::string("CR");
                         });

// Only the stream's own separator ends a line: with adLF a CR stays in the line, with adCRLF a
// lone LF does; in Unicode the separator is found between characters, never inside one.
TEST_F(StreamTest, OnlyTheStreamsSeparatorEndsALine) {
  _StreamPtr s = OpenStream();
  s->PutLineSeparator(adLF);
  s->WriteText(B(u"a\r\nb\n\u0A0Dc"), adWriteChar);  // U+0A0D holds the bytes 0D 0A
  s->PutPosition(0);
  EXPECT_EQ(W(s->ReadText(adReadLine)), u"a\r");
  EXPECT_EQ(Utf8(s->ReadText(adReadLine)), "b");
  EXPECT_EQ(W(s->ReadText(adReadLine)), u"\u0A0Dc");
  _StreamPtr crlf = OpenStream(adTypeText, u"utf-8");
  crlf->WriteText(B(u"x\ny\r\nz"), adWriteChar);
  crlf->PutPosition(0);
  EXPECT_EQ(W(crlf->ReadText(adReadLine)), u"x\ny");
  EXPECT_EQ(Utf8(crlf->ReadText(adReadLine)), "z");
}

// CopyTo copies from the source's Position: CharNumber characters of a text stream (bytes of a
// binary one), -1 all to the end. The destination takes them at its Position, without
// truncating what follows; both Positions move past the copy. A text destination takes text
// in its own charset; a binary destination takes a text source's bytes; a binary source cannot
// go into a text destination (adErrIllegalOperation).
TEST_F(StreamTest, CopyToCopiesFromThePosition) {
  _StreamPtr src = OpenStream();
  src->WriteText(B(u"中文ab"), adWriteChar);
  src->PutPosition(2);
  _StreamPtr utf8 = OpenStream(adTypeText, u"utf-8");
  src->CopyTo(utf8, 2);
  EXPECT_EQ(src->GetPosition(), 6);
  EXPECT_EQ(AllBytes(utf8), "\xEF\xBB\xBF\xE4\xB8\xAD\xE6\x96\x87");
  src->CopyTo(utf8, -1);
  EXPECT_EQ(src->GetEOS(), VARIANT_TRUE);
  utf8->PutPosition(0);
  EXPECT_EQ(Utf8(utf8->ReadText(adReadAll)), "中文ab");

  _StreamPtr bin = OpenStream(adTypeBinary);
  bin->Write(ByteArray("--------"));
  bin->PutPosition(1);
  src->PutPosition(6);
  src->CopyTo(bin, 1);  // the character 'a', as the source's two bytes
  EXPECT_EQ(bin->GetPosition(), 3);
  EXPECT_EQ(AllBytes(bin), std::string("-a\0-----", 8));
  EXPECT_EQ(bin->raw_CopyTo(utf8, -1), Ado(adErrIllegalOperation));
  EXPECT_EQ(src->raw_CopyTo(nullptr, -1), Ado(adErrInvalidArgument));
  EXPECT_EQ(src->raw_CopyTo(bin, -2), Ado(adErrInvalidArgument));

  // Binary to binary, from the Position to the end.
  bin->PutPosition(6);
  _StreamPtr copy = OpenStream(adTypeBinary);
  bin->CopyTo(copy, -1);
  EXPECT_EQ(AllBytes(copy), "--");
  EXPECT_EQ(copy->GetPosition(), 2);
}

// SaveToFile writes every byte (whatever the Position) and sets Position to 0. With
// adSaveCreateNotExist (the default) an existing file is not replaced: adErrWriteFile (3004),
// the file unchanged; adSaveCreateOverWrite replaces it. A folder that does not exist is
// adErrWriteFile too; other options are adErrInvalidArgument.
TEST_F(StreamTest, SaveToFileCreatesOrOverwrites) {
  const std::string file = dir_ + "/out.txt";
  const _bstr_t name(U(file.c_str()).c_str());
  _StreamPtr s = OpenStream(adTypeText, u"utf-8");
  s->WriteText(B(u"first"), adWriteChar);
  s->SaveToFile(name, adSaveCreateNotExist);
  EXPECT_EQ(s->GetPosition(), 0);
  EXPECT_EQ(FileBytes(file),
            "\xEF\xBB\xBF"
            "first");
  s->PutPosition(3);
  s->WriteText(B(u"second"), adWriteChar);
  EXPECT_EQ(s->raw_SaveToFile(name, adSaveCreateNotExist), Ado(adErrWriteFile));
  EXPECT_EQ(s->GetPosition(), 9);
  EXPECT_EQ(FileBytes(file),
            "\xEF\xBB\xBF"
            "first");
  s->SaveToFile(name, adSaveCreateOverWrite);
  EXPECT_EQ(FileBytes(file),
            "\xEF\xBB\xBF"
            "second");
  EXPECT_EQ(
      s->raw_SaveToFile(_bstr_t(U((dir_ + "/no/such/folder.txt").c_str()).c_str()), adSaveCreateOverWrite),
      Ado(adErrWriteFile));
  EXPECT_EQ(s->raw_SaveToFile(name, (SaveOptionsEnum)0), Ado(adErrInvalidArgument));
  // Replacing leaves no temporary file beside the target.
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_)) entries += e.is_regular_file();
  EXPECT_EQ(entries, 1u);
}

// LoadFromFile replaces the contents with the file's bytes and sets Position to 0; the Type and
// Charset stay, so text is read in the stream's charset (its byte-order mark skipped). A file
// that does not exist (or a folder) cannot be opened: adErrOpeningFile (3002), the contents kept.
TEST_F(StreamTest, LoadFromFileReplacesTheContents) {
  const std::string file = dir_ + "/in.txt";
  WriteFile(file, "\xEF\xBB\xBF\xE4\xB8\xAD\r\nline 2");
  _StreamPtr s = OpenStream(adTypeText, u"utf-8");
  s->WriteText(B(u"old contents"), adWriteChar);
  s->LoadFromFile(_bstr_t(U(file.c_str()).c_str()));
  EXPECT_EQ(s->GetPosition(), 0);
  EXPECT_EQ(s->GetSize(), 14);
  EXPECT_EQ(Utf8(s->ReadText(adReadLine)), "中");
  EXPECT_EQ(Utf8(s->ReadText(adReadLine)), "line 2");
  EXPECT_EQ(s->raw_LoadFromFile(_bstr_t(U((dir_ + "/missing.txt").c_str()).c_str())), Ado(adErrOpeningFile));
  EXPECT_EQ(s->raw_LoadFromFile(_bstr_t(U(dir_.c_str()).c_str())), Ado(adErrOpeningFile));
  EXPECT_EQ(s->GetSize(), 14);
  EXPECT_EQ(s->GetPosition(), 14);
  try {
    s->LoadFromFile(_bstr_t(U((dir_ + "/missing.txt").c_str()).c_str()));
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(Utf8(e.Description()), "File could not be opened.");
  }
}

// Recordset.Save(stream, adPersistXML) writes the XML persistence format into an open Stream as
// UTF-8 text; Recordset.Open(stream) reads it back into a client-side recordset. A closed Stream
// is adErrObjectClosed; adPersistADTG is not available.
TEST_P(AdoTest, SaveIntoAStreamAndReopenFromIt) {
  Exec(
      u"CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(10), w REAL); "
      u"INSERT INTO t VALUES (1, 'bolt', 0.25); INSERT INTO t VALUES (2, NULL, 1.5)");
  _RecordsetPtr rs = OpenClient(u"SELECT * FROM t ORDER BY id", adLockReadOnly);
  _StreamPtr stream;
  ASSERT_EQ(stream.CreateInstance(__uuidof(Stream)), S_OK);
  EXPECT_EQ(Hr([&] { rs->Save(_variant_t((IDispatch*)stream.GetInterfacePtr()), adPersistXML); }),
            Ado(adErrObjectClosed));
  stream->Open();
  EXPECT_EQ(Hr([&] { rs->Save(_variant_t((IDispatch*)stream.GetInterfacePtr()), adPersistADTG); }),
            Ado(adErrFeatureNotAvailable));
  EXPECT_EQ(stream->GetSize(), 0);
  rs->Save(_variant_t((IDispatch*)stream.GetInterfacePtr()), adPersistXML);
  EXPECT_EQ(Utf8(stream->GetCharset()), "utf-8");
  EXPECT_EQ(stream->GetPosition(), 0);
  EXPECT_GT(stream->GetSize(), 0);
  const std::string xml = Utf8(stream->ReadText(adReadAll));
  EXPECT_EQ(xml.rfind("<xml", 0), 0u) << xml;
  EXPECT_NE(xml.find("bolt"), std::string::npos);

  stream->PutPosition(0);
  _RecordsetPtr back;
  back.CreateInstance(__uuidof(Recordset));
  back->Open(_variant_t((IDispatch*)stream.GetInterfacePtr()), vtMissing, adOpenUnspecified,
             adLockUnspecified, adCmdUnspecified);
  EXPECT_EQ(stream->GetEOS(), VARIANT_TRUE);
  EXPECT_EQ(back->GetRecordCount(), 2);
  EXPECT_EQ(back->GetCursorLocation(), adUseClient);
  EXPECT_EQ(Utf8(_bstr_t(Val(back, "name"))), "bolt");
  back->MoveNext();
  EXPECT_EQ(Val(back, "name").vt, VT_NULL);
  EXPECT_DOUBLE_EQ((double)Val(back, "w"), 1.5);
  back->Close();
  // Neither recordset keeps a reference to the Stream.
  back = nullptr;
  rs = nullptr;
  EXPECT_EQ(stream.Detach()->Release(), 0u);

  // A stream that holds no persisted recordset: the MSPersist failure, the recordset stays closed.
  _StreamPtr junk;
  junk.CreateInstance(__uuidof(Stream));
  junk->Open();
  junk->WriteText(B(u"not xml"), adWriteChar);
  junk->PutPosition(0);
  _RecordsetPtr none;
  none.CreateInstance(__uuidof(Recordset));
  EXPECT_EQ(Hr([&] {
              none->Open(_variant_t((IDispatch*)junk.GetInterfacePtr()), vtMissing, adOpenUnspecified,
                         adLockUnspecified, adCmdUnspecified);
            }),
            E_FAIL);
  EXPECT_EQ(none->GetState(), adStateClosed);
}

}  // namespace
}  // namespace kp::ado::test
