// GDI bitmaps: CreateDIBitmap with CBM_INIT and DIB_RGB_COLORS on a screen DC, as documented:
// a positive height means bottom-up rows, a negative one top-down; rows are padded to 4 bytes;
// palette DIBs index their colour table. The bitmaps are built here as a .bmp file would hold
// them (file header, info header, colour table, bits) and compared pixel by pixel.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "wingdi.h"
#include "winerror.h"
#include "winnls.h"

namespace {

// Top-down expected picture: 3 × 2 pixels, as B, G, R.
const BYTE kExpected[2][3][3] = {
    {{0x00, 0x00, 0xFF}, {0x00, 0xFF, 0x00}, {0xFF, 0x00, 0x00}},  // red, green, blue
    {{0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00}, {0x80, 0x40, 0x20}},  // white, black, (0x20,0x40,0x80) rgb
};

// A .bmp image of kExpected with the given bit count (24 or 8) and row order.
std::vector<BYTE> MakeBmp(int bitCount, bool topDown) {
  const int width = 3, height = 2;
  int stride = ((width * bitCount + 31) / 32) * 4;
  int nColors = bitCount == 8 ? 6 : 0;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = topDown ? -height : height;
  info.biPlanes = 1;
  info.biBitCount = (WORD)bitCount;
  info.biCompression = BI_RGB;
  info.biClrUsed = (DWORD)nColors;
  file.bfType = 0x4D42;
  file.bfOffBits = (DWORD)(sizeof file + sizeof info + nColors * sizeof(RGBQUAD));
  file.bfSize = file.bfOffBits + (DWORD)(stride * height);
  std::vector<BYTE> bmp(file.bfSize, 0xCD);  // padding bytes are garbage on purpose
  memcpy(bmp.data(), &file, sizeof file);
  memcpy(bmp.data() + sizeof file, &info, sizeof info);
  RGBQUAD* colors = reinterpret_cast<RGBQUAD*>(bmp.data() + sizeof file + sizeof info);
  for (int y = 0; y < height; y++) {
    BYTE* row = bmp.data() + file.bfOffBits + stride * (topDown ? y : height - 1 - y);
    for (int x = 0; x < width; x++) {
      const BYTE* px = kExpected[y][x];
      if (bitCount == 8) {
        int index = 5 - (y * width + x);  // a table in another order than the pixels
        colors[index] = RGBQUAD{px[0], px[1], px[2], 0};
        row[x] = (BYTE)index;
      } else {
        memcpy(row + x * 3, px, 3);
      }
    }
  }
  return bmp;
}

// What GetChunk's bitmap form does with a .bmp image read from a field.
HBITMAP BitmapFromFile(const std::vector<BYTE>& bmp) {
  // The info header sits at offset 14, not aligned for its structure, as in any .bmp buffer.
  BITMAPFILEHEADER file;
  memcpy(&file, bmp.data(), sizeof file);
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(bmp.data() + sizeof(BITMAPFILEHEADER));
  HDC dc = GetDC(nullptr);
  HBITMAP h = CreateDIBitmap(dc, reinterpret_cast<const BITMAPINFOHEADER*>(info), CBM_INIT,
                             bmp.data() + file.bfOffBits, info, DIB_RGB_COLORS);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  return h;
}

struct DibCase {
  int bitCount;
  bool topDown;
};
class CreateDIBitmapTest : public ::testing::TestWithParam<DibCase> {};

TEST_P(CreateDIBitmapTest, PixelsMatchTheImage) {
  HBITMAP h = BitmapFromFile(MakeBmp(GetParam().bitCount, GetParam().topDown));
  ASSERT_NE(h, nullptr);
  LONG width = -1, height = -1;
  std::vector<BYTE> px;
  ASSERT_TRUE(kp::GetBitmapPixels(h, &width, &height, &px));
  ASSERT_EQ(width, 3);
  ASSERT_EQ(height, 2);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++)
      for (int c = 0; c < 3; c++)
        EXPECT_EQ(px[(y * 3 + x) * 4 + c], kExpected[y][x][c]) << y << "," << x << "," << c;
  EXPECT_EQ(kp::GetBitmapSourceBitCount(h), GetParam().bitCount);
  EXPECT_TRUE(DeleteObject(h));
}
INSTANTIATE_TEST_SUITE_P(Gdi, CreateDIBitmapTest,
                         ::testing::Values(DibCase{24, false}, DibCase{24, true}, DibCase{8, false},
                                           DibCase{8, true}));

// GetObject on a device-dependent bitmap of a true-colour screen: the screen's format.
TEST(Gdi, GetObjectDescribesTheDeviceBitmap) {
  HBITMAP h = BitmapFromFile(MakeBmp(8, false));
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetObject(h, 0, nullptr), (int)sizeof(BITMAP));
  BITMAP bm;
  memset(&bm, 0xEE, sizeof bm);
  ASSERT_EQ(GetObject(h, sizeof bm, &bm), (int)sizeof(BITMAP));
  EXPECT_EQ(bm.bmType, 0);
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_EQ(bm.bmHeight, 2);
  EXPECT_EQ(bm.bmWidthBytes, 12);
  EXPECT_EQ(bm.bmPlanes, 1);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmBits, nullptr);
  EXPECT_EQ(GetObject(h, sizeof bm - 1, &bm), 0);
  EXPECT_TRUE(DeleteObject(h));
  EXPECT_FALSE(DeleteObject(h));  // already deleted
  EXPECT_EQ(GetObject(h, sizeof bm, &bm), 0);
}

TEST(Gdi, OneAndFourBitPalettesUseTheHighBitsFirst) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[16];
  } info{};
  info.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 3, -1, 1, 4, BI_RGB, 0, 0, 0, 0, 0};
  for (int i = 0; i < 16; i++) info.colors[i] = RGBQUAD{(BYTE)i, (BYTE)(i * 2), (BYTE)(i * 3), 0};
  const BYTE bits4[4] = {0x1F, 0x20, 0, 0};  // pixels 1, 15, 2
  HDC dc = GetDC(nullptr);
  HBITMAP h =
      CreateDIBitmap(dc, &info.h, CBM_INIT, bits4, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ASSERT_NE(h, nullptr);
  std::vector<BYTE> px;
  ASSERT_TRUE(kp::GetBitmapPixels(h, nullptr, nullptr, &px));
  EXPECT_EQ(px, (std::vector<BYTE>{1, 2, 3, 0xFF, 15, 30, 45, 0xFF, 2, 4, 6, 0xFF}));
  DeleteObject(h);
  info.h.biBitCount = 1;
  info.h.biClrUsed = 2;
  const BYTE bits1[4] = {0xA0, 0, 0, 0};  // pixels 1, 0, 1
  h = CreateDIBitmap(dc, &info.h, CBM_INIT, bits1, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(kp::GetBitmapPixels(h, nullptr, nullptr, &px));
  EXPECT_EQ(px, (std::vector<BYTE>{1, 2, 3, 0xFF, 0, 0, 0, 0xFF, 1, 2, 3, 0xFF}));
  DeleteObject(h);
  ReleaseDC(nullptr, dc);
}

TEST(Gdi, InvalidArgumentsAnswerNull) {
  HDC dc = GetDC(nullptr);
  BITMAPINFOHEADER h{sizeof(BITMAPINFOHEADER), 0, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateDIBitmap(dc, &h, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  h.biWidth = 1;
  EXPECT_EQ(CreateDIBitmap(dc, &h, CBM_INIT, nullptr, nullptr, DIB_RGB_COLORS), nullptr);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(CreateDIBitmap(dc, &h, 0, nullptr, nullptr, DIB_RGB_COLORS), nullptr);  // released DC
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

// Hostile headers. CreateDIBitmap is told nothing about the lengths of its buffers, so a header
// it cannot honour must fail as documented (null, with the last error set) before anything is
// read or allocated on its say-so. The buffers here are exactly as long as a sound 2 × 2 image
// needs, so reading by a lying header overruns them (AddressSanitizer reports it).
struct HostileCase {
  const char* name;
  // Applied to the size header (pbmih) and the source header (pbmi) of a sound 2 × 2 8-bit DIB.
  void (*size)(BITMAPINFOHEADER&);
  void (*source)(BITMAPINFOHEADER&);
  DWORD flInit;
  UINT usage;
  DWORD error;
};

void Keep(BITMAPINFOHEADER&) {}

const HostileCase kHostile[] = {
    {"size header height -2^31", [](BITMAPINFOHEADER& h) { h.biHeight = INT32_MIN; }, Keep, 0, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"source height -2^31", Keep, [](BITMAPINFOHEADER& h) { h.biHeight = INT32_MIN; }, CBM_INIT,
     DIB_RGB_COLORS, ERROR_INVALID_PARAMETER},
    {"negative width", [](BITMAPINFOHEADER& h) { h.biWidth = -2; }, Keep, 0, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"2^31-1 square",
     [](BITMAPINFOHEADER& h) {
       h.biWidth = INT32_MAX;
       h.biHeight = INT32_MAX;
     },
     Keep, 0, DIB_RGB_COLORS, ERROR_NOT_ENOUGH_MEMORY},
    {"2^30 square source", Keep,
     [](BITMAPINFOHEADER& h) {
       h.biWidth = 1 << 30;
       h.biHeight = -(1 << 30);
     },
     CBM_INIT, DIB_RGB_COLORS, ERROR_NOT_ENOUGH_MEMORY},
    {"2^31-1 wide source row of 32 bits", Keep,
     [](BITMAPINFOHEADER& h) {
       h.biWidth = INT32_MAX;
       h.biHeight = INT32_MAX;
       h.biBitCount = 32;
     },
     CBM_INIT, DIB_RGB_COLORS, ERROR_NOT_ENOUGH_MEMORY},
    {"2^28 + 1 pixels",
     [](BITMAPINFOHEADER& h) {
       h.biWidth = 16385;
       h.biHeight = 16385;
     },
     Keep, 0, DIB_RGB_COLORS, ERROR_NOT_ENOUGH_MEMORY},
    {"257 colours at 8 bits", Keep, [](BITMAPINFOHEADER& h) { h.biClrUsed = 257; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"2^32-1 colours at 8 bits", Keep, [](BITMAPINFOHEADER& h) { h.biClrUsed = 0xFFFFFFFF; }, CBM_INIT,
     DIB_RGB_COLORS, ERROR_INVALID_PARAMETER},
    {"3 colours at 1 bit", Keep,
     [](BITMAPINFOHEADER& h) {
       h.biBitCount = 1;
       h.biClrUsed = 3;
     },
     CBM_INIT, DIB_RGB_COLORS, ERROR_INVALID_PARAMETER},
    {"source header size 2^32-16", Keep, [](BITMAPINFOHEADER& h) { h.biSize = 0xFFFFFFF0; }, CBM_INIT,
     DIB_RGB_COLORS, ERROR_INVALID_PARAMETER},
    {"source header size 125", Keep, [](BITMAPINFOHEADER& h) { h.biSize = 125; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"size header size 2^32-1", [](BITMAPINFOHEADER& h) { h.biSize = 0xFFFFFFFF; }, Keep, 0, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"bit count 0", Keep, [](BITMAPINFOHEADER& h) { h.biBitCount = 0; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"bit count 2", Keep, [](BITMAPINFOHEADER& h) { h.biBitCount = 2; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"bit count 64", Keep, [](BITMAPINFOHEADER& h) { h.biBitCount = 64; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"compression 99", Keep, [](BITMAPINFOHEADER& h) { h.biCompression = 99; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_INVALID_PARAMETER},
    {"BI_RLE8", Keep, [](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }, CBM_INIT, DIB_RGB_COLORS,
     ERROR_NOT_SUPPORTED},
    {"BI_BITFIELDS", Keep,
     [](BITMAPINFOHEADER& h) {
       h.biBitCount = 32;
       h.biCompression = BI_BITFIELDS;
     },
     CBM_INIT, DIB_RGB_COLORS, ERROR_NOT_SUPPORTED},
    {"usage 2", Keep, Keep, CBM_INIT, 2, ERROR_INVALID_PARAMETER},
    {"DIB_PAL_COLORS", Keep, Keep, CBM_INIT, DIB_PAL_COLORS, ERROR_NOT_SUPPORTED},
};

class CreateDIBitmapHostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(CreateDIBitmapHostileTest, AnswersNullWithTheLastError) {
  const HostileCase& c = GetParam();
  BITMAPINFOHEADER sound{sizeof(BITMAPINFOHEADER), 2, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 2};
  BITMAPINFOHEADER size = sound, source = sound;
  c.size(size);
  c.source(source);
  // Each on the heap, exactly as long as the sound image needs.
  std::vector<BYTE> sizeBuffer(sizeof size), info(sizeof source + 2 * sizeof(RGBQUAD)), bits(2 * 4);
  memcpy(sizeBuffer.data(), &size, sizeof size);
  memcpy(info.data(), &source, sizeof source);
  HDC dc = GetDC(nullptr);
  SetLastError(0xdeadbeef);
  HBITMAP h = CreateDIBitmap(dc, reinterpret_cast<const BITMAPINFOHEADER*>(sizeBuffer.data()), c.flInit,
                             bits.data(), reinterpret_cast<const BITMAPINFO*>(info.data()), c.usage);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(GetLastError(), c.error);
  if (h != nullptr) DeleteObject(h);
  ReleaseDC(nullptr, dc);
}
INSTANTIATE_TEST_SUITE_P(Gdi, CreateDIBitmapHostileTest, ::testing::ValuesIn(kHostile),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += isalnum((unsigned char)*p) ? *p : '_';
                           return name;
                         });

// A BITMAPCOREHEADER (12 bytes, not supported) is refused after reading its size alone: the
// buffer holds nothing past it.
TEST(Gdi, CoreHeaderIsRefusedWithoutReadingPastIt) {
  std::vector<BYTE> core(12, 0);
  const DWORD size = 12;
  memcpy(core.data(), &size, sizeof size);
  HDC dc = GetDC(nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateDIBitmap(dc, reinterpret_cast<const BITMAPINFOHEADER*>(core.data()), 0, nullptr, nullptr,
                           DIB_RGB_COLORS),
            nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  ReleaseDC(nullptr, dc);
}

// Where the size header and the source disagree, the bitmap has the size header's size and
// takes the source's pixels from its top-left corner; the part the source does not cover is
// left zero. Only the source rows under the bitmap are read.
TEST(Gdi, SizeHeaderAndSourceOfDifferentSizes) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[4];
  } info{};
  info.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, 3, 1, 8, BI_RGB, 0, 0, 0, 4, 0};  // bottom-up
  for (int i = 0; i < 4; i++) info.colors[i] = RGBQUAD{(BYTE)(10 * i), 0, 0, 0};
  const BYTE bits[3][4] = {{3, 3, 3, 3}, {2, 2, 2, 2}, {1, 0, 2, 3}};  // the top row last
  BITMAPINFOHEADER smaller{sizeof(BITMAPINFOHEADER), 2, -1, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  HDC dc = GetDC(nullptr);
  HBITMAP h =
      CreateDIBitmap(dc, &smaller, CBM_INIT, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ASSERT_NE(h, nullptr);
  LONG width = 0, height = 0;
  std::vector<BYTE> px;
  ASSERT_TRUE(kp::GetBitmapPixels(h, &width, &height, &px));
  EXPECT_EQ(width, 2);
  EXPECT_EQ(height, 1);
  EXPECT_EQ(px, (std::vector<BYTE>{10, 0, 0, 0xFF, 0, 0, 0, 0xFF}));
  DeleteObject(h);
  BITMAPINFOHEADER larger{sizeof(BITMAPINFOHEADER), 5, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  info.h.biHeight = -1;  // one row: {3, 3, 3, 3}
  h = CreateDIBitmap(dc, &larger, CBM_INIT, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(kp::GetBitmapPixels(h, &width, &height, &px));
  EXPECT_EQ(width, 5);
  EXPECT_EQ(px,
            (std::vector<BYTE>{30, 0, 0, 0xFF, 30, 0, 0, 0xFF, 30, 0, 0, 0xFF, 30, 0, 0, 0xFF, 0, 0, 0, 0}));
  DeleteObject(h);
  ReleaseDC(nullptr, dc);
}

TEST(Gdi, HandlesAreSmallIndexesNotAddresses) {
  HDC dc = GetDC(nullptr);
  EXPECT_LT((uintptr_t)dc, 0x10000u);
  ReleaseDC(nullptr, dc);
}

}  // namespace
