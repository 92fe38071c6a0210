// Tests of the GetChunk/AppendChunk bookkeeping without a recordset: text read in pieces of
// characters and bytes in pieces of bytes, VT_NULL once nothing is left (and for an empty value
// only after its one empty piece), a sequence that starts over on another field or after an
// AppendChunk, and how appended pieces join.
#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "ChunkSequence.h"

namespace kp::ado {
namespace {

VARIANT Text(const char16_t* s) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

VARIANT Bytes(const std::vector<BYTE>& bytes) {
  VARIANT v;
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
  BYTE* p = nullptr;
  SafeArrayAccessData(v.parray, (void**)&p);
  for (size_t i = 0; i < bytes.size(); ++i) p[i] = bytes[i];
  SafeArrayUnaccessData(v.parray);
  return v;
}

// The piece as text ("<null>" for VT_NULL), cleared.
std::u16string TextOf(VARIANT& v) {
  std::u16string out = v.vt == VT_NULL ? u"<null>" : v.vt == VT_BSTR ? std::u16string(v.bstrVal) : u"<other>";
  VariantClear(&v);
  return out;
}

std::vector<BYTE> BytesOf(VARIANT& v) {
  std::vector<BYTE> out;
  if (v.vt == (VT_ARRAY | VT_UI1)) {
    BYTE* p = nullptr;
    SafeArrayAccessData(v.parray, (void**)&p);
    out.assign(p, p + v.parray->rgsabound[0].cElements);
    SafeArrayUnaccessData(v.parray);
  }
  VariantClear(&v);
  return out;
}

std::u16string Piece(ChunkSequence& chunks, int f, const VARIANT& whole, LONG length) {
  chunks.ReadFrom(f);
  VARIANT out;
  VariantInit(&out);
  chunks.Next(whole, length, &out);
  return TextOf(out);
}

TEST(ChunkSequenceTest, TextComesInPiecesThenNull) {
  ChunkSequence chunks;
  VARIANT whole = Text(u"abcdefg");
  EXPECT_EQ(Piece(chunks, 2, whole, 3), u"abc");
  EXPECT_EQ(chunks.Field(), 2);
  EXPECT_EQ(Piece(chunks, 2, whole, 3), u"def");
  EXPECT_EQ(Piece(chunks, 2, whole, 3), u"g");
  EXPECT_EQ(Piece(chunks, 2, whole, 3), u"<null>");
  VariantClear(&whole);
}

TEST(ChunkSequenceTest, AnEmptyValueIsOneEmptyPiece) {
  ChunkSequence chunks;
  VARIANT whole = Text(u"");
  EXPECT_EQ(Piece(chunks, 0, whole, 5), u"");
  EXPECT_EQ(Piece(chunks, 0, whole, 5), u"<null>");
  VariantClear(&whole);
  VARIANT null;
  null.vt = VT_NULL;
  EXPECT_EQ(Piece(chunks, 1, null, 5), u"<null>");
}

TEST(ChunkSequenceTest, AnotherFieldOrAnEndStartsOver) {
  ChunkSequence chunks;
  VARIANT a = Text(u"abcdef"), b = Text(u"uvwxyz");
  EXPECT_EQ(Piece(chunks, 0, a, 2), u"ab");
  EXPECT_EQ(Piece(chunks, 1, b, 2), u"uv");
  EXPECT_EQ(Piece(chunks, 0, a, 2), u"ab");
  chunks.End();
  EXPECT_EQ(chunks.Field(), -1);
  EXPECT_EQ(Piece(chunks, 0, a, 4), u"abcd");
  chunks.Appended(0);  // an AppendChunk on the same field ends the reading
  EXPECT_TRUE(chunks.Appending(0));
  EXPECT_FALSE(chunks.Appending(1));
  EXPECT_EQ(Piece(chunks, 0, a, 2), u"ab");
  EXPECT_FALSE(chunks.Appending(0));
  VariantClear(&a);
  VariantClear(&b);
}

TEST(ChunkSequenceTest, BytesComeInPiecesOfBytes) {
  ChunkSequence chunks;
  VARIANT whole = Bytes({1, 2, 3, 4, 5});
  VARIANT out;
  chunks.ReadFrom(0);
  VariantInit(&out);
  chunks.Next(whole, 4, &out);
  EXPECT_EQ(BytesOf(out), (std::vector<BYTE>{1, 2, 3, 4}));
  chunks.Next(whole, 4, &out);
  EXPECT_EQ(BytesOf(out), (std::vector<BYTE>{5}));
  chunks.Next(whole, 4, &out);
  EXPECT_EQ(out.vt, VT_NULL);
  VariantClear(&whole);
}

TEST(ChunkSequenceTest, AppendedPiecesJoinByKind) {
  VARIANT head = Text(u"top "), tail = Text(u"sand"), joined;
  ChunkSequence::Join(head, tail, &joined);
  EXPECT_EQ(TextOf(joined), u"top sand");
  VARIANT bytes = Bytes({1, 2}), more = Bytes({3});
  ChunkSequence::Join(bytes, more, &joined);
  EXPECT_EQ(BytesOf(joined), (std::vector<BYTE>{1, 2, 3}));
  // Text after bytes (or any other mix): the piece alone; a piece passed by reference counts.
  VARIANT ref;
  ref.vt = VT_BYREF | VT_VARIANT;
  ref.pvarVal = &tail;
  ChunkSequence::Join(bytes, ref, &joined);
  EXPECT_EQ(TextOf(joined), u"sand");
  for (VARIANT* v : {&head, &tail, &bytes, &more}) VariantClear(v);
}

}  // namespace
}  // namespace kp::ado
