// Chunked reads of long binary fields over every provider of Ado2TestSupport, and the bitmap
// form of GetChunk against hostile images.
//
// A raw chunk read copies what ADO gave for the field's ActualSize, never more: after part of
// the value was taken through ADO's own GetChunk, only the rest arrives. The bitmap form takes
// a BMP file image from the field; every part the headers point at (information header, colour
// table with its real entry count for the bit depth, bit-field masks, the pixel rows) must lie
// inside the data and before the pixel offset where it belongs, or the image is refused: FALSE,
// and the CBitmap keeps what it held. The images that an earlier reader accepted (the colour
// tables behind the pixel offset, read past the copied information block) are also in
// fuzz/corpus/bitmap/.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ADOChunk.h"
#include "ADODataBase.h"
#include "ADORecordset.h"
#include "Ado2TestSupport.h"
#include "wingdi.h"

namespace {

using ado2test::StartsWith;
using ado2test::TraceCapture;

// What a test image looks like; -1 fields take the value a well-formed file has.
struct BmpLayout {
  int bits = 24;
  int64_t width = 2;
  int64_t height = 2;
  uint32_t headerSize = 40;
  uint32_t compression = BI_RGB;
  uint32_t clrUsed = 0;
  int64_t tableEntries = -1;  // colour entries written after the header (-1: the real count)
  int64_t offset = -1;        // bfOffBits (-1: right after header, masks and table)
  int64_t pixelBytes = -1;    // bytes written at the offset (-1: stride × |height|)
};

void Put32(std::vector<BYTE>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<BYTE>(v >> (8 * k));
}

// A BMP file image of the given layout. Colour entry i is (B, G, R) = (i, 2i, 3i); pixel byte k
// is k * 7 + 1.
std::vector<BYTE> Bmp(const BmpLayout& s) {
  int64_t entries = s.tableEntries;
  if (entries < 0) entries = s.bits <= 8 ? (s.clrUsed != 0 ? s.clrUsed : (1 << s.bits)) : s.clrUsed;
  const int64_t masks = (s.compression == BI_BITFIELDS && s.headerSize == 40) ? 3 : 0;
  const int64_t tableEnd = 14 + s.headerSize + 4 * (masks + entries);
  const int64_t offset = s.offset >= 0 ? s.offset : tableEnd;
  const int64_t stride = ((s.width * s.bits + 31) / 32) * 4;
  const int64_t rows = s.height < 0 ? -s.height : s.height;
  const int64_t pixels = s.pixelBytes >= 0 ? s.pixelBytes : stride * rows;
  std::vector<BYTE> b(static_cast<size_t>(std::max<int64_t>({14 + 40, tableEnd, offset + pixels})), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, static_cast<uint32_t>(offset));
  Put32(b, 14, s.headerSize);
  Put32(b, 18, static_cast<uint32_t>(s.width));
  Put32(b, 22, static_cast<uint32_t>(s.height));
  b[26] = 1;  // planes
  b[28] = static_cast<BYTE>(s.bits);
  Put32(b, 30, s.compression);
  Put32(b, 46, s.clrUsed);
  size_t at = 14 + s.headerSize + 4 * masks;
  for (int64_t i = 0; i < entries && at + 4 <= b.size(); ++i, at += 4) {
    b[at] = static_cast<BYTE>(i);
    b[at + 1] = static_cast<BYTE>(2 * i);
    b[at + 2] = static_cast<BYTE>(3 * i);
  }
  for (int64_t k = 0; k < pixels && offset + k < static_cast<int64_t>(b.size()); ++k)
    b[offset + k] = static_cast<BYTE>(k * 7 + 1);
  return b;
}

struct HostileImage {
  const char* name;  // also its file name in fuzz/corpus/bitmap/
  std::vector<BYTE> bytes;
};

std::vector<HostileImage> HostileImages() {
  std::vector<HostileImage> out;
  auto add = [&](const char* name, BmpLayout s) { out.push_back({name, Bmp(s)}); };
  BmpLayout s;
  // The colour table lies inside the data but behind the pixel offset: a reader that takes
  // the information block up to the offset reads the table past its end (1 KB for 8 bits).
  s = {};
  s.bits = 8, s.width = 4, s.height = 1, s.offset = 54;
  add("palette-behind-pixel-offset-8bit.bmp", s);
  s = {};
  s.bits = 4, s.width = 3, s.height = 2, s.offset = 54 + 32;  // 8 of 16 entries before it
  add("palette-cut-by-pixel-offset-4bit.bmp", s);
  s = {};
  s.bits = 1, s.width = 9, s.height = 1, s.clrUsed = 2, s.offset = 54 + 4;
  add("palette-cut-by-pixel-offset-1bit.bmp", s);
  s = {};
  s.bits = 8, s.width = 1, s.height = 1, s.clrUsed = 300;  // more entries than 8 bits index
  add("palette-larger-than-depth.bmp", s);
  s = {};
  s.bits = 24, s.width = 1, s.height = 1, s.clrUsed = 0x40000000, s.tableEntries = 1;
  add("palette-count-huge-24bit.bmp", s);
  s = {};
  s.bits = 16, s.width = 2, s.height = 1, s.compression = BI_BITFIELDS, s.offset = 54;
  add("bitfield-masks-behind-pixel-offset.bmp", s);
  s = {};
  s.bits = 8, s.width = 4, s.height = 2, s.compression = BI_RLE8;
  add("compressed-rle8.bmp", s);
  s = {};
  s.bits = 24, s.width = 3, s.height = 3, s.pixelBytes = 3 * 12 - 1;
  add("rows-one-byte-short.bmp", s);
  s = {};
  s.bits = 24, s.width = 1, s.height = INT32_MIN, s.pixelBytes = 16;
  add("height-int-min.bmp", s);
  s = {};
  s.bits = 32, s.width = INT32_MAX, s.height = -INT32_MAX, s.pixelBytes = 16;
  add("rows-huge-32bit.bmp", s);
  s = {};
  s.bits = 1, s.width = INT32_MAX, s.height = 1, s.clrUsed = 2, s.pixelBytes = 64;
  add("width-int-max-1bit.bmp", s);
  s = {};
  s.width = -2;
  add("width-negative.bmp", s);
  s = {};
  s.bits = 2;
  add("depth-2-bits.bmp", s);
  s = {};
  s.headerSize = 12;  // the OS/2 core header is not read
  add("core-header.bmp", s);
  std::vector<BYTE> b = Bmp(BmpLayout{});
  Put32(b, 14, 0xFFFFFFF0u);
  out.push_back({"header-size-huge.bmp", b});
  b = Bmp(BmpLayout{});
  Put32(b, 10, static_cast<uint32_t>(b.size() + 1));
  out.push_back({"pixel-offset-past-end.bmp", b});
  b = Bmp(BmpLayout{});
  Put32(b, 10, 0xFFFFFFFFu);
  out.push_back({"pixel-offset-huge.bmp", b});
  b = Bmp(BmpLayout{});
  Put32(b, 10, 20);  // inside the information header
  out.push_back({"pixel-offset-inside-header.bmp", b});
  b.assign({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0});
  out.push_back({"header-cut-short.bmp", b});
  return out;
}

class Chunk : public ado2test::ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    if (IsSkipped()) return;
    std::string cs =
        Create("create table blobs(id integer primary key, data blob);insert into blobs values(1, null)");
    ASSERT_TRUE(db_.Open(cs.c_str(), "", ""));
  }

  // Stores image in blobs.data of the one row, through a recordset of its own.
  void Store(const std::vector<BYTE>& image) {
    CADORecordset writer(&db_);
    ASSERT_TRUE(writer.Open("select * from blobs", 1));
    ASSERT_TRUE(writer.SetFieldNull("data"));
    ASSERT_TRUE(writer.AppendChunk("data", const_cast<BYTE*>(image.data()), static_cast<UINT>(image.size())));
    ASSERT_TRUE(writer.Update());
  }

  // blobs.data of the one row as text, read through a recordset of its own.
  std::string Stored() {
    CADORecordset reader(&db_);
    CString text;
    EXPECT_TRUE(reader.Open("select * from blobs", 1));
    EXPECT_TRUE(reader.GetChunk("data", text));
    return std::string((LPCTSTR)text, text.GetLength());
  }

  CADODataBase db_;
};

TEST_P(Chunk, ReadCopiesWhatAdoGaveForTheActualSizeAndNoMore) {
  const BYTE bytes[6] = {1, 2, 0, 4, 5, 6};
  Store(std::vector<BYTE>(bytes, bytes + 6));
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from blobs", 1));
  ASSERT_EQ(records.GetFieldActualSize("data"), 6);
  BYTE whole[10];
  std::memset(whole, 0xEE, sizeof whole);
  ASSERT_TRUE(records.GetChunk("data", whole));
  EXPECT_EQ(std::memcmp(whole, bytes, 6), 0);
  EXPECT_EQ(whole[6], 0xEE);

  // ADO's GetChunk goes on where the last call ended: once two bytes were taken, a read of
  // ActualSize bytes gives four, and the layer copies those four only.
  long id = 0;
  ASSERT_TRUE(records.GetFieldValue("id", id));  // another field: the next chunk starts over
  _variant_t head = records.GetRecordset()->GetFields()->GetItem("data")->GetChunk(2);
  ASSERT_EQ(head.vt, VT_ARRAY | VT_UI1);
  BYTE rest[10];
  std::memset(rest, 0xEE, sizeof rest);
  ASSERT_TRUE(records.GetChunk("data", rest));
  EXPECT_EQ(std::memcmp(rest, bytes + 2, 4), 0);
  EXPECT_EQ(rest[4], 0xEE);
  CString text = "kept";
  ASSERT_TRUE(records.GetChunk("data", text));  // nothing left: no bytes
  EXPECT_STREQ((LPCTSTR)text, "kept");
}

TEST_P(Chunk, NullReadsAsNoBytes) {
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from blobs", 1));
  CString text = "kept";
  EXPECT_TRUE(records.GetChunk("data", text));
  EXPECT_STREQ((LPCTSTR)text, "kept");
  BYTE buffer[2] = {0xEE, 0xEE};
  EXPECT_TRUE(records.GetChunk("data", buffer));
  EXPECT_EQ(buffer[0], 0xEE);
  CBitmap bitmap;
  EXPECT_FALSE(records.GetChunk("data", bitmap));  // no bytes: no bitmap
}

// A file is appended whole or not at all: a missing file, a folder and a field that is not a
// long one append nothing and leave no edit behind, so the value stays what it was.
TEST_P(Chunk, AppendFromAFileAppendsAllOrNothing) {
  const std::string dir = ado2test::TempDir();
  const std::string file = dir + "/" + GetParam().name + "-chunk.bin";
  std::ofstream(file, std::ios::binary) << "file-bytes";
  Store(std::vector<BYTE>{'o', 'l', 'd'});
  CADORecordset records(&db_);
  ASSERT_TRUE(records.Open("select * from blobs", 1));
  EXPECT_FALSE(records.AppendChunk("data", (file + ".missing").c_str()));
  EXPECT_FALSE(records.AppendChunk("data", dir.c_str()));
  EXPECT_FALSE(records.AppendChunk("id", file.c_str()));
  EXPECT_EQ(records.GetEditMode(), (long)adEditNone);
  ASSERT_TRUE(records.Update());
  EXPECT_EQ(Stored(), "old");

  ASSERT_TRUE(records.AppendChunk("data", file.c_str()));
  ASSERT_TRUE(records.Update());
  EXPECT_EQ(Stored(), "file-bytes");
}

TEST_P(Chunk, WellFormedBitmapsOfEveryDepthAreDecoded) {
  struct Good {
    const char* name;
    BmpLayout layout;
    LONG width, height;
    int probe;       // a pixel of the top row
    BYTE probeBlue;  // its blue
  };
  std::vector<Good> goods;
  BmpLayout s;
  // Bottom-up rows of 4 bytes: the top row starts at pixel byte 4 (4 * 7 + 1 = 29 = index 29).
  s.bits = 8, s.width = 3, s.height = 2;
  goods.push_back({"8 bits, full table", s, 3, 2, 0, 29});
  // Top-down; byte 0 is 0x01: pixel 1 is index 1, of a table of three.
  s = {};
  s.bits = 4, s.width = 3, s.height = -1, s.clrUsed = 3;
  goods.push_back({"4 bits, short table", s, 3, 1, 1, 1});
  // Byte 0 is 0x01: the eighth pixel is index 1.
  s = {};
  s.bits = 1, s.width = 9, s.height = -1, s.clrUsed = 2;
  goods.push_back({"1 bit", s, 9, 1, 7, 1});
  s = {};
  s.bits = 24, s.width = 1, s.height = 1, s.headerSize = 124;  // a version 5 header
  goods.push_back({"24 bits, version 5 header", s, 1, 1, 0, 1});
  // An optional table before the bits; the top row starts at pixel byte 8 (57).
  s = {};
  s.bits = 32, s.width = 2, s.height = 2, s.clrUsed = 2;
  goods.push_back({"32 bits with a table", s, 2, 2, 0, 57});
  for (const Good& good : goods) {
    Store(Bmp(good.layout));
    CADORecordset records(&db_);
    ASSERT_TRUE(records.Open("select * from blobs", 1));
    CBitmap bitmap;
    ASSERT_TRUE(records.GetChunk("data", bitmap)) << good.name;
    LONG width = 0, height = 0;
    std::vector<BYTE> bgra;
    ASSERT_TRUE(kp::GetBitmapPixels(static_cast<HBITMAP>(bitmap.GetSafeHandle()), &width, &height, &bgra));
    EXPECT_EQ(width, good.width) << good.name;
    EXPECT_EQ(height, good.height) << good.name;
    EXPECT_EQ(bgra[4 * good.probe], good.probeBlue) << good.name;
  }
}

TEST_P(Chunk, HostileBitmapsAreRefusedAndTheBitmapIsKept) {
  // A bitmap held before a refused read stays held.
  Store(Bmp(BmpLayout{}));
  CBitmap bitmap;
  {
    CADORecordset records(&db_);
    ASSERT_TRUE(records.Open("select * from blobs", 1));
    ASSERT_TRUE(records.GetChunk("data", bitmap));
  }
  HGDIOBJ held = bitmap.GetSafeHandle();
  ASSERT_NE(held, nullptr);
  for (const HostileImage& image : HostileImages()) {
    Store(image.bytes);
    CADORecordset records(&db_);
    ASSERT_TRUE(records.Open("select * from blobs", 1));
    TraceCapture traces;
    EXPECT_FALSE(records.GetChunk("data", bitmap)) << image.name;
    EXPECT_EQ(bitmap.GetSafeHandle(), held) << image.name;
    EXPECT_TRUE(StartsWith(traces.text(),
                           "Warning: GetChunk 方法发生异常. 错误信息: The parameter is incorrect.; 文件: "))
        << image.name << ": " << traces.text();
  }
}

// The checks themselves, without a database.

SAFEARRAY* ByteArray(LONG low, const std::vector<BYTE>& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, low, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  if (!bytes.empty() && SUCCEEDED(SafeArrayAccessData(array, &data))) {
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  return array;
}

TEST(ChunkBytes, CopiesNoMoreThanTheLimitAndTheArray) {
  _variant_t chunk;
  chunk.parray = ByteArray(-3, {1, 2, 3, 4, 5, 6, 7, 8});  // any lower bound
  chunk.vt = VT_ARRAY | VT_UI1;
  std::vector<BYTE> bytes{9};
  ASSERT_TRUE(ado2::ChunkBytes(chunk, 5, &bytes));
  EXPECT_EQ(bytes, (std::vector<BYTE>{1, 2, 3, 4, 5}));
  ASSERT_TRUE(ado2::ChunkBytes(chunk, 100, &bytes));
  EXPECT_EQ(bytes.size(), 8u);
  ASSERT_TRUE(ado2::ChunkBytes(chunk, 0, &bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST(ChunkBytes, RefusesWhatIsNotAOneDimensionalByteArray) {
  std::vector<BYTE> bytes{9};
  EXPECT_FALSE(ado2::ChunkBytes(_variant_t("text"), 10, &bytes));
  EXPECT_TRUE(bytes.empty());
  _variant_t words;
  words.parray = SafeArrayCreateVector(VT_I4, 0, 4);  // 16 bytes of data, labelled as bytes
  words.vt = VT_ARRAY | VT_UI1;
  EXPECT_FALSE(ado2::ChunkBytes(words, 100, &bytes));
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  _variant_t square;
  square.parray = SafeArrayCreate(VT_UI1, 2, bounds);
  square.vt = VT_ARRAY | VT_UI1;
  EXPECT_FALSE(ado2::ChunkBytes(square, 100, &bytes));
  _variant_t none;
  none.vt = VT_ARRAY | VT_UI1;
  none.parray = nullptr;
  EXPECT_FALSE(ado2::ChunkBytes(none, 100, &bytes));
  none.vt = VT_EMPTY;
}

TEST(BitmapCheck, FindsThePartsOfAWellFormedImage) {
  BmpLayout s;
  s.bits = 8, s.width = 5, s.height = -3, s.clrUsed = 7;
  std::vector<BYTE> bmp = Bmp(s);
  ado2::BitmapImage image;
  ASSERT_TRUE(ado2::CheckBitmapImage(bmp.data(), bmp.size(), &image));
  EXPECT_EQ(image.pixelOffset, 14u + 40 + 7 * 4);
  EXPECT_EQ(image.pixelBytes, 8u * 3);  // rows of 5 bytes padded to 8
  EXPECT_FALSE(ado2::CheckBitmapImage(bmp.data(), bmp.size() - 1, &image));
  EXPECT_FALSE(ado2::CheckBitmapImage(nullptr, 0, &image));
  // Masks behind a 40-byte header belong to BI_BITFIELDS; a version 4 header holds them.
  s = {};
  s.bits = 32, s.compression = BI_BITFIELDS;
  bmp = Bmp(s);
  ASSERT_TRUE(ado2::CheckBitmapImage(bmp.data(), bmp.size(), &image));
  EXPECT_EQ(image.pixelOffset, 14u + 40 + 12);
  s.headerSize = 108;
  bmp = Bmp(s);
  ASSERT_TRUE(ado2::CheckBitmapImage(bmp.data(), bmp.size(), &image));
  EXPECT_EQ(image.pixelOffset, 14u + 108);
}

TEST(BitmapCheck, RefusesEveryHostileImage) {
  for (const HostileImage& hostile : HostileImages()) {
    ado2::BitmapImage image;
    EXPECT_FALSE(ado2::CheckBitmapImage(hostile.bytes.data(), hostile.bytes.size(), &image)) << hostile.name;
  }
}

// A 1-bit image packs 32 pixels in 4 bytes: rows that lie inside 8 MB of data would decode to
// 256 MB. The decoded size is bounded (kMaxBitmapPixels) before anything is allocated.
TEST(BitmapCheck, BoundsTheDecodedSize) {
  BmpLayout s;
  s.bits = 1, s.width = 8192, s.height = 8192, s.clrUsed = 2;
  std::vector<BYTE> bmp = Bmp(s);
  ado2::BitmapImage image;
  EXPECT_TRUE(ado2::CheckBitmapImage(bmp.data(), bmp.size(), &image));
  s.height = 8193;
  bmp = Bmp(s);
  EXPECT_FALSE(ado2::CheckBitmapImage(bmp.data(), bmp.size(), &image));
}

INSTANTIATE_TEST_SUITE_P(Providers, Chunk, ::testing::ValuesIn(ado2test::Providers()),
                         ado2test::ProviderName);

}  // namespace
