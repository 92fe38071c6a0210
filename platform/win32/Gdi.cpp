// GDI objects (wingdi.h): device contexts for the one true-colour screen and device-dependent
// bitmaps made from device-independent bitmap data.
//
// Objects live in one table guarded by a mutex; a handle is the object's index plus one (so 0 is
// never a handle). Slots are not reused, so a deleted handle stays invalid. The table is small:
// a program makes a few DCs and bitmaps at a time.
//
// Reading a DIB: rows are padded to 4 bytes; a positive biHeight stores the bottom row first, a
// negative one the top row first. Palette indexes out of the colour table read as black, which is
// what Windows shows for them.
//
// CreateDIBitmap is not told how long the caller's header, colour table and bits are, so
// it trusts no more of a header than it must: biSize is read on its own before the rest, must
// name a header from BITMAPINFOHEADER (40 bytes) to BITMAPV5HEADER (124), and places the colour
// table; the colour count is at most 2^bits; the sizes (row stride times rows, width times
// height) are computed in 64 bits with overflow checks and bounded before anything is
// allocated. The caller still owes a buffer of the size the header describes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "kp/kpnotimpl.h"
#include "wingdi.h"
#include "winerror.h"
#include "winnls.h"

namespace {

struct GdiObject {
  enum Kind { DeviceContext, Bitmap } kind;
  HWND hwnd = nullptr;  // device context: the window it belongs to
  LONG width = 0, height = 0;
  WORD sourceBitCount = 0;
  std::vector<BYTE> bgra;  // bitmap: width*height*4 bytes, top row first
};

std::mutex g_mutex;
std::vector<std::unique_ptr<GdiObject>>& Table() {
  static auto* table = new std::vector<std::unique_ptr<GdiObject>>();  // usable from any destructor
  return *table;
}

uintptr_t Add(std::unique_ptr<GdiObject> object) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Table().push_back(std::move(object));
  return Table().size();
}

// The object behind a handle, of the given kind; null if there is none. Caller holds g_mutex.
GdiObject* Find(const void* handle, GdiObject::Kind kind) {
  uintptr_t index = (uintptr_t)handle;
  if (index == 0 || index > Table().size()) return nullptr;
  GdiObject* object = Table()[index - 1].get();
  return object != nullptr && object->kind == kind ? object : nullptr;
}

// Header sizes from BITMAPINFOHEADER to BITMAPV5HEADER; the fields read here are the first 40
// bytes of each. BITMAPCOREHEADER (12 bytes) is not supported.
constexpr DWORD kSmallestInfoHeader = sizeof(BITMAPINFOHEADER);
constexpr DWORD kLargestInfoHeader = 124;
// The largest bitmap made: 2^28 pixels, 1 GiB of 32-bit pixels. Larger requests fail as an
// allocation that cannot be made (ERROR_NOT_ENOUGH_MEMORY). This keeps width × 4 (the BITMAP's
// bmWidthBytes, a LONG) and every buffer size far from overflowing.
constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
// Compressions of wingdi.h that are not implemented here (BI_JPEG and BI_PNG are 4 and 5).
constexpr DWORD kBiJpeg = 4, kBiPng = 5;

// A header whose size fields have been checked: |biHeight| as a row count, rows top-down or not.
struct DibLayout {
  BITMAPINFOHEADER header;
  uint64_t width = 0, rows = 0;
  bool topDown = false;
};

// Reads the DIB header at p (any alignment) and checks the fields that give the bitmap's size.
// Answers ERROR_SUCCESS, ERROR_INVALID_PARAMETER (null, a header size out of range, width <= 0,
// height 0 or -2^31) or ERROR_NOT_ENOUGH_MEMORY (more than kMaxPixels pixels).
DWORD ReadLayout(const void* p, DibLayout* layout) {
  if (p == nullptr) return ERROR_INVALID_PARAMETER;
  DWORD size = 0;
  memcpy(&size, p, sizeof size);  // only biSize until it says the rest is there
  if (size < kSmallestInfoHeader || size > kLargestInfoHeader) return ERROR_INVALID_PARAMETER;
  BITMAPINFOHEADER& h = layout->header;
  memcpy(&h, p, sizeof h);
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return ERROR_INVALID_PARAMETER;
  layout->width = (uint64_t)h.biWidth;
  layout->topDown = h.biHeight < 0;
  layout->rows = layout->topDown ? (uint64_t)(-(int64_t)h.biHeight) : (uint64_t)h.biHeight;
  uint64_t pixels = 0;
  if (__builtin_mul_overflow(layout->width, layout->rows, &pixels) || pixels > kMaxPixels)
    return ERROR_NOT_ENOUGH_MEMORY;
  return ERROR_SUCCESS;
}

// Checks the source of CBM_INIT: usage, bit count, compression, colour count. Answers
// ERROR_SUCCESS, ERROR_NOT_SUPPORTED (DIB_PAL_COLORS, or a compression of wingdi.h other than
// BI_RGB: logged) or ERROR_INVALID_PARAMETER.
DWORD CheckSource(const BITMAPINFOHEADER& h, UINT usage) {
  if (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) return ERROR_INVALID_PARAMETER;
  if (h.biCompression != BI_RGB) {
    if (h.biCompression != BI_RLE8 && h.biCompression != BI_RLE4 && h.biCompression != BI_BITFIELDS &&
        h.biCompression != kBiJpeg && h.biCompression != kBiPng)
      return ERROR_INVALID_PARAMETER;
    kp::LogNotImplemented("CreateDIBitmap", "compressed sources");
    return ERROR_NOT_SUPPORTED;
  }
  WORD bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return ERROR_INVALID_PARAMETER;
  // 16 bits and more: biClrUsed counts an optional palette for display, which is not read.
  if (bpp <= 8 && h.biClrUsed > (1u << bpp)) return ERROR_INVALID_PARAMETER;
  if (usage == DIB_PAL_COLORS) {
    kp::LogNotImplemented("CreateDIBitmap", "DIB_PAL_COLORS");
    return ERROR_NOT_SUPPORTED;
  }
  return ERROR_SUCCESS;
}

// Decodes a checked BI_RGB DIB into the top-down BGRA pixels of a width × height bitmap: the
// part both share, starting at the top-left corner; the rest stays as it is. Only the source
// rows and bytes under that part are read.
void DecodeDib(const DibLayout& src, const std::vector<RGBQUAD>& colors, const BYTE* bits, uint64_t width,
               uint64_t height, std::vector<BYTE>& out) {
  const int bpp = src.header.biBitCount;
  const uint64_t stride = (src.width * (uint64_t)bpp + 31) / 32 * 4;
  const uint64_t rows = src.rows < height ? src.rows : height;
  const uint64_t columns = src.width < width ? src.width : width;
  const DWORD nColors = (DWORD)colors.size();
  for (uint64_t y = 0; y < rows; y++) {
    const BYTE* row = bits + stride * (src.topDown ? y : src.rows - 1 - y);
    BYTE* dst = out.data() + y * width * 4;
    for (uint64_t x = 0; x < columns; x++, dst += 4) {
      BYTE b = 0, g = 0, r = 0;
      if (bpp <= 8) {
        const int perByte = 8 / bpp;
        const BYTE byte = row[x / perByte];
        const int shift = (perByte - 1 - (int)(x % perByte)) * bpp;  // leftmost pixel in the high bits
        const DWORD index = (byte >> shift) & ((1u << bpp) - 1);
        if (index < nColors) {
          b = colors[index].rgbBlue;
          g = colors[index].rgbGreen;
          r = colors[index].rgbRed;
        }
      } else if (bpp == 16) {
        const WORD v = (WORD)(row[x * 2] | (row[x * 2 + 1] << 8));  // 5-5-5, the top bit unused
        r = (BYTE)(((v >> 10) & 0x1F) * 255 / 31);
        g = (BYTE)(((v >> 5) & 0x1F) * 255 / 31);
        b = (BYTE)((v & 0x1F) * 255 / 31);
      } else {
        const BYTE* p = row + x * (uint64_t)(bpp / 8);
        b = p[0];
        g = p[1];
        r = p[2];
      }
      dst[0] = b;
      dst[1] = g;
      dst[2] = r;
      dst[3] = 0xFF;
    }
  }
}

// CreateDIBitmap after the device context was found.
HBITMAP MakeBitmap(const BITMAPINFOHEADER* pbmih, DWORD flInit, const void* pjBits, const BITMAPINFO* pbmi,
                   UINT iUsage) {
  // The headers are copied out: a DIB read from a .bmp file starts 14 bytes into the file, so the
  // pointers are often not aligned for the structures.
  DibLayout size;
  DWORD error = ReadLayout(pbmih, &size);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return nullptr;
  }
  auto bitmap = std::make_unique<GdiObject>();
  bitmap->kind = GdiObject::Bitmap;
  bitmap->width = size.header.biWidth;
  bitmap->height = (LONG)size.rows;
  bitmap->sourceBitCount = size.header.biBitCount;
  const size_t bytes = (size_t)(size.width * size.rows * 4);  // at most 4 × kMaxPixels
  if (flInit & CBM_INIT) {
    // The bits are described by pbmi; the bitmap's size by pbmih (they agree in practice).
    DibLayout src;
    error = pbmi == nullptr || pjBits == nullptr ? (DWORD)ERROR_INVALID_PARAMETER : ReadLayout(pbmi, &src);
    if (error == ERROR_SUCCESS) error = CheckSource(src.header, iUsage);
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return nullptr;
    }
    const WORD bpp = src.header.biBitCount;
    std::vector<RGBQUAD> colors(bpp <= 8 ? (src.header.biClrUsed != 0 ? src.header.biClrUsed : (1u << bpp))
                                         : 0);
    if (!colors.empty())
      memcpy(colors.data(), reinterpret_cast<const BYTE*>(pbmi) + src.header.biSize,
             colors.size() * sizeof(RGBQUAD));
    bitmap->bgra.assign(bytes, 0);
    DecodeDib(src, colors, static_cast<const BYTE*>(pjBits), size.width, size.rows, bitmap->bgra);
  } else {
    bitmap->bgra.assign(bytes, 0);
    for (size_t i = 3; i < bitmap->bgra.size(); i += 4) bitmap->bgra[i] = 0xFF;
  }
  return (HBITMAP)Add(std::move(bitmap));
}

}  // namespace

extern "C" {

HDC WINAPI GetDC(HWND hWnd) {
  auto dc = std::make_unique<GdiObject>();
  dc->kind = GdiObject::DeviceContext;
  dc->hwnd = hWnd;
  return (HDC)Add(std::move(dc));
}

int WINAPI ReleaseDC(HWND, HDC hDC) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Find(hDC, GdiObject::DeviceContext) == nullptr) return 0;
  Table()[(uintptr_t)hDC - 1].reset();
  return 1;
}

HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* pbmih, DWORD flInit, const void* pjBits,
                              const BITMAPINFO* pbmi, UINT iUsage) {
  if (hdc == nullptr) {
    kp::LogNotImplemented("CreateDIBitmap", "a monochrome bitmap: hdc null");
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (Find(hdc, GdiObject::DeviceContext) == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  try {
    return MakeBitmap(pbmih, flInit, pjBits, pbmi, iUsage);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

int WINAPI GetObjectA(HGDIOBJ h, int c, LPVOID pv) {
  std::lock_guard<std::mutex> lock(g_mutex);
  GdiObject* bitmap = Find(h, GdiObject::Bitmap);
  if (bitmap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (pv == nullptr) return sizeof(BITMAP);
  if (c < (int)sizeof(BITMAP)) return 0;
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = bitmap->width;
  bm.bmHeight = bitmap->height;
  bm.bmWidthBytes = bitmap->width * 4;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = 32;
  bm.bmBits = nullptr;
  memcpy(pv, &bm, sizeof bm);
  return sizeof(BITMAP);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Find(ho, GdiObject::Bitmap) == nullptr) return FALSE;
  Table()[(uintptr_t)ho - 1].reset();
  return TRUE;
}

}  // extern "C"

namespace kp {

bool GetBitmapPixels(HBITMAP hBitmap, LONG* width, LONG* height, std::vector<BYTE>* bgra) {
  std::lock_guard<std::mutex> lock(g_mutex);
  GdiObject* bitmap = Find(hBitmap, GdiObject::Bitmap);
  if (bitmap == nullptr) return false;
  if (width != nullptr) *width = bitmap->width;
  if (height != nullptr) *height = bitmap->height;
  if (bgra != nullptr) *bgra = bitmap->bgra;
  return true;
}

WORD GetBitmapSourceBitCount(HBITMAP hBitmap) {
  std::lock_guard<std::mutex> lock(g_mutex);
  GdiObject* bitmap = Find(hBitmap, GdiObject::Bitmap);
  return bitmap != nullptr ? bitmap->sourceBitCount : 0;
}

}  // namespace kp
