// GDI: device contexts and bitmaps, as much as the platform needs to turn a device-independent
// bitmap (a .bmp file's contents, e.g. read from a database field) into a bitmap object.
//
// There is one screen, true colour (32 bits per pixel). GetDC answers a device context for it;
// CreateDIBitmap on such a DC makes a device-dependent bitmap of the screen's format, so
// GetObject reports 32 bits per pixel and one plane whatever the source's depth was, as Windows
// does on a true-colour display. Pixels are kept as 32-bit BGRA, top row first.
//
// Handles are small table indexes wrapped in the handle types, never addresses.
#pragma once
#include <vector>

#include "windef.h"

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;  // 0x4D42, "BM"
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;  // from the start of the file to the pixel bits
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);
typedef BITMAPFILEHEADER* LPBITMAPFILEHEADER;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
typedef BITMAPINFOHEADER* LPBITMAPINFOHEADER;

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
typedef BITMAPINFO* LPBITMAPINFO;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;  // null for a device-dependent bitmap
};
typedef BITMAP* LPBITMAP;

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L
#define CBM_INIT 0x04L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

extern "C" {
// A device context for the screen (hWnd null) or for a window's client area; each call answers
// a new handle, to be given back with ReleaseDC (which answers 1, or 0 for an unknown handle).
KPAPI HDC WINAPI GetDC(HWND hWnd);
KPAPI int WINAPI ReleaseDC(HWND hWnd, HDC hDC);
// Supported: BI_RGB sources of 1, 4, 8, 16 (5-5-5), 24 and 32 bits, bottom-up or top-down, with
// DIB_RGB_COLORS colour tables (biClrUsed entries, or 2^bits when 0). Without CBM_INIT the
// bitmap is black. Answers null and sets the last error to ERROR_INVALID_PARAMETER for a bad
// header or data (a header size outside 40..124, width <= 0, height 0 or -2^31, a bit count or
// compression wingdi.h does not name, more than 2^bits colours, an unknown iUsage), and to
// ERROR_NOT_ENOUGH_MEMORY for a bitmap of more than 2^28 pixels; a null hdc (a monochrome
// bitmap), DIB_PAL_COLORS and compressed sources are not implemented: they are logged and answer
// null with ERROR_NOT_SUPPORTED.
KPAPI HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* pbmih, DWORD flInit, const void* pjBits,
                                    const BITMAPINFO* pbmi, UINT iUsage);
// For a bitmap: with pv null answers sizeof(BITMAP); with c >= sizeof(BITMAP) fills a BITMAP and
// answers sizeof(BITMAP); otherwise, or for an unknown handle, answers 0.
KPAPI int WINAPI GetObjectA(HGDIOBJ h, int c, LPVOID pv);
// Deletes a bitmap; answers FALSE for an unknown handle.
KPAPI BOOL WINAPI DeleteObject(HGDIOBJ ho);
}
#define GetObject GetObjectA

#ifndef ERROR_NOT_SUPPORTED
#define ERROR_NOT_SUPPORTED 50L
#endif

namespace kp {
// The pixels of a bitmap: width × height 32-bit BGRA values (bytes B, G, R, A with A 0xFF), top
// row first. Answers false for an unknown handle.
KPAPI bool GetBitmapPixels(HBITMAP hBitmap, LONG* width, LONG* height, std::vector<BYTE>* bgra);
// The bit count of the bitmap the pixels came from (1, 4, 8, 16, 24, 32); 0 for an unknown handle.
KPAPI WORD GetBitmapSourceBitCount(HBITMAP hBitmap);
}  // namespace kp
