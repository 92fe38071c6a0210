// Reading the bytes of a long field's chunk and checking a BMP file image taken from one, for
// CADORecordset's GetChunk forms.
//
// Both work on data that comes from the database, so neither trusts a size it did not measure:
// a chunk is copied no further than the byte array ADO returned and the size the caller was
// given (the field's ActualSize), and a bitmap is only handed to CreateDIBitmap when every part
// its headers point at lies inside the data. Sizes are 64-bit and every product is checked for
// overflow. Nothing here allocates more than the data it is given, plus a bounded copy of the
// bitmap's information block.
#pragma once
#include <oleauto.h>
#include <wingdi.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ado2 {

// The bytes of a one-dimensional VT_ARRAY|VT_UI1 value, at most `limit` of them, into *bytes.
// False, with *bytes empty, when the value is not such an array (another VARIANT type, a null
// array, more dimensions, elements wider than a byte). An empty array gives true and no bytes.
bool ChunkBytes(const VARIANT& chunk, size_t limit, std::vector<BYTE>* bytes);

// The parts of a checked BMP file image: the information block (the information header with
// the bit-field masks and colour table behind it) starts at byte 14 and ends at the pixel
// offset; the pixel rows start there.
struct BitmapImage {
  static constexpr size_t kInfoOffset = 14;  // after BITMAPFILEHEADER
  size_t pixelOffset = 0;                    // bfOffBits
  size_t pixelBytes = 0;                     // stride × |height|
};

// The largest bitmap the layer decodes: width × |height| pixels (4 bytes each once decoded).
// 8192 × 8192, well beyond any picture kept in a table, and far below an allocation that
// could fail.
constexpr uint64_t kMaxBitmapPixels = uint64_t(1) << 26;

// Checks a BMP file image of `size` bytes: the "BM" signature; an information header of at
// least 40 bytes (BITMAPINFOHEADER or a later version) inside the data; width > 0, height not
// 0 (nor -2^31), one plane, 1, 4, 8, 16, 24 or 32 bits; BI_RGB, or BI_BITFIELDS for 16 and
// 32 bits; a colour table of its real count (2^bits entries when biClrUsed is 0 for up to 8
// bits, biClrUsed entries otherwise, never more than 2^bits for up to 8 bits) and the three
// masks of BI_BITFIELDS behind a 40-byte header, all of them before the pixel offset; the
// pixel rows (each padded to 4 bytes) between the pixel offset and the end of the data; and
// no more than kMaxBitmapPixels pixels. Fills *image and answers true, or answers false.
bool CheckBitmapImage(const BYTE* data, size_t size, BitmapImage* image);

}  // namespace ado2
