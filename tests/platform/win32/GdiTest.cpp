// GDI bitmaps: CreateDIBitmap with CBM_INIT and DIB_RGB_COLORS on a screen DC, as documented:
// a positive height means bottom-up rows, a negative one top-down; rows are padded to 4 bytes;
// palette DIBs index their colour table. The bitmaps are built here as a .bmp file would hold
// them (file header, info header, colour table, bits) and compared pixel by pixel.
#include <gtest/gtest.h>

#include <cstring>
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

TEST(Gdi, HandlesAreSmallIndexesNotAddresses) {
  HDC dc = GetDC(nullptr);
  EXPECT_LT((uintptr_t)dc, 0x10000u);
  ReleaseDC(nullptr, dc);
}

}  // namespace
