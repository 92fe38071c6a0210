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
#include <cstring>
#include <memory>
#include <mutex>

#include "debugapi.h"
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

void Trace(const char* text) {
  OutputDebugStringA(text);
}

// Converts the rows of a checked BI_RGB DIB into top-down BGRA.
void DecodeDib(const BITMAPINFOHEADER& h, const std::vector<RGBQUAD>& colors, const BYTE* bits,
               std::vector<BYTE>& out) {
  LONG width = h.biWidth;
  LONG height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  bool topDown = h.biHeight < 0;
  int bpp = h.biBitCount;
  size_t stride = (((size_t)width * bpp + 31) / 32) * 4;
  DWORD nColors = (DWORD)colors.size();
  out.assign((size_t)width * height * 4, 0);
  for (LONG y = 0; y < height; y++) {
    const BYTE* row = bits + stride * (size_t)(topDown ? y : height - 1 - y);
    BYTE* dst = out.data() + (size_t)y * width * 4;
    for (LONG x = 0; x < width; x++, dst += 4) {
      BYTE b = 0, g = 0, r = 0;
      if (bpp <= 8) {
        int perByte = 8 / bpp;
        BYTE byte = row[x / perByte];
        int shift = (perByte - 1 - x % perByte) * bpp;  // leftmost pixel in the high bits
        DWORD index = (byte >> shift) & ((1u << bpp) - 1);
        if (index < nColors) {
          b = colors[index].rgbBlue;
          g = colors[index].rgbGreen;
          r = colors[index].rgbRed;
        }
      } else if (bpp == 16) {
        WORD v = (WORD)(row[x * 2] | (row[x * 2 + 1] << 8));  // 5-5-5, the top bit unused
        r = (BYTE)(((v >> 10) & 0x1F) * 255 / 31);
        g = (BYTE)(((v >> 5) & 0x1F) * 255 / 31);
        b = (BYTE)((v & 0x1F) * 255 / 31);
      } else {
        const BYTE* p = row + (size_t)x * (bpp / 8);
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
    Trace("CreateDIBitmap: a monochrome bitmap (hdc null) is not implemented (E_NOTIMPL)\n");
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
  // The headers are copied out: a DIB read from a .bmp file starts 14 bytes into the file, so the
  // pointers are often not aligned for the structures.
  BITMAPINFOHEADER size{};
  if (pbmih != nullptr) memcpy(&size, pbmih, sizeof size);
  if (pbmih == nullptr || size.biSize < sizeof(BITMAPINFOHEADER) || size.biWidth <= 0 || size.biHeight == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bitmap = std::make_unique<GdiObject>();
  bitmap->kind = GdiObject::Bitmap;
  bitmap->width = size.biWidth;
  bitmap->height = size.biHeight < 0 ? -size.biHeight : size.biHeight;
  bitmap->sourceBitCount = size.biBitCount;
  if (flInit & CBM_INIT) {
    if (pbmi == nullptr || pjBits == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    BITMAPINFOHEADER h;
    memcpy(&h, pbmi, sizeof h);
    if (iUsage != DIB_RGB_COLORS || h.biCompression != BI_RGB) {
      Trace("CreateDIBitmap: DIB_PAL_COLORS and compressed sources are not implemented (E_NOTIMPL)\n");
      SetLastError(ERROR_NOT_SUPPORTED);
      return nullptr;
    }
    WORD bpp = h.biBitCount;
    if ((bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biSize < sizeof(BITMAPINFOHEADER) || (bpp <= 8 && h.biClrUsed > (1u << bpp))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    // The bits are described by pbmi; the bitmap's size by pbmih (they agree in practice).
    std::vector<RGBQUAD> colors(bpp <= 8 ? (h.biClrUsed != 0 ? h.biClrUsed : (1u << bpp)) : 0);
    if (!colors.empty())
      memcpy(colors.data(), reinterpret_cast<const BYTE*>(pbmi) + h.biSize, colors.size() * sizeof(RGBQUAD));
    std::vector<BYTE> decoded;
    DecodeDib(h, colors, static_cast<const BYTE*>(pjBits), decoded);
    LONG srcHeight = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bitmap->bgra.assign((size_t)bitmap->width * bitmap->height * 4, 0);
    for (LONG y = 0; y < bitmap->height && y < srcHeight; y++) {
      LONG n = bitmap->width < h.biWidth ? bitmap->width : h.biWidth;
      memcpy(&bitmap->bgra[(size_t)y * bitmap->width * 4], &decoded[(size_t)y * h.biWidth * 4],
             (size_t)n * 4);
    }
  } else {
    bitmap->bgra.assign((size_t)bitmap->width * bitmap->height * 4, 0);
    for (size_t i = 3; i < bitmap->bgra.size(); i += 4) bitmap->bgra[i] = 0xFF;
  }
  return (HBITMAP)Add(std::move(bitmap));
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
