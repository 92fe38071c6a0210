// Chunk bytes and BMP file image checks (see ADOChunk.h).
//
// The check follows the layout of a BMP file: BITMAPFILEHEADER (14 bytes, the pixel offset in
// bytes 10-13), the information header (its size in its first four bytes), the bit-field masks
// (three DWORDs, only behind a 40-byte header with BI_BITFIELDS; later headers hold them
// inside), the colour table (RGBQUADs), then the pixel rows. Every end is computed in 64 bits
// from values of at most 32 bits, and the one product that could exceed 64 bits (row stride
// times row count) is checked.
#include "ADOChunk.h"

#include <climits>
#include <cstring>

namespace ado2 {
namespace {

uint32_t ReadLe32(const BYTE* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool ChunkBytes(const VARIANT& chunk, size_t limit, std::vector<BYTE>* bytes) {
  bytes->clear();
  SAFEARRAY* array = chunk.vt == (VT_ARRAY | VT_UI1) ? chunk.parray : nullptr;
  if (array == nullptr || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1) return false;
  LONG low = 0, high = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &low)) || FAILED(SafeArrayGetUBound(array, 1, &high))) return false;
  const int64_t count = static_cast<int64_t>(high) - static_cast<int64_t>(low) + 1;
  if (count <= 0) return true;
  const size_t length = static_cast<uint64_t>(count) < limit ? static_cast<size_t>(count) : limit;
  if (length == 0) return true;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return false;
  bytes->assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + length);
  SafeArrayUnaccessData(array);
  return true;
}

bool CheckBitmapImage(const BYTE* data, size_t size, BitmapImage* image) {
  constexpr uint64_t kFileHeader = BitmapImage::kInfoOffset;
  constexpr uint64_t kInfoHeader = sizeof(BITMAPINFOHEADER);
  if (data == nullptr || size < kFileHeader + 4 || data[0] != 'B' || data[1] != 'M') return false;
  const uint64_t headerSize = ReadLe32(data + kFileHeader);
  if (headerSize < kInfoHeader || kFileHeader + headerSize > size) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data + kFileHeader, sizeof header);
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN || header.biPlanes != 1)
    return false;
  const uint32_t bits = header.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;

  uint64_t masks = 0;
  if (header.biCompression == BI_BITFIELDS) {
    if (bits != 16 && bits != 32) return false;
    if (headerSize == kInfoHeader) masks = 3;
  } else if (header.biCompression != BI_RGB) {
    return false;  // compressed rows: their length cannot be checked here
  }
  uint64_t colours = header.biClrUsed;
  if (bits <= 8) {
    const uint64_t most = uint64_t(1) << bits;
    if (colours == 0) colours = most;
    if (colours > most) return false;
  }
  const uint64_t infoEnd = kFileHeader + headerSize + 4 * (masks + colours);
  const uint64_t pixelOffset = ReadLe32(data + 10);
  if (pixelOffset < infoEnd || pixelOffset > size) return false;

  const uint64_t width = static_cast<uint64_t>(header.biWidth);
  const uint64_t rows = header.biHeight < 0 ? uint64_t(-static_cast<int64_t>(header.biHeight))
                                            : static_cast<uint64_t>(header.biHeight);
  const uint64_t stride = (width * bits + 31) / 32 * 4;  // below 2^31 × 32: no overflow
  uint64_t pixelBytes = 0;
  if (__builtin_mul_overflow(stride, rows, &pixelBytes) || pixelBytes > size - pixelOffset) return false;
  uint64_t pixels = 0;
  if (__builtin_mul_overflow(width, rows, &pixels) || pixels > kMaxBitmapPixels) return false;

  image->pixelOffset = static_cast<size_t>(pixelOffset);
  image->pixelBytes = static_cast<size_t>(pixelBytes);
  return true;
}

}  // namespace ado2
