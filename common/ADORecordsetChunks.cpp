// CADORecordset's chunked long fields (see ADORecordset.h): reading a field's bytes or text in
// one chunk of its ActualSize, a BMP file image into a CBitmap, and appending bytes or a whole
// file. The byte copy and the bitmap check (ADOChunk.h) trust no size they did not measure.
#include "ADORecordset.h"

#include <oleauto.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "kp/kpcrt.h"

#include "ADOChunk.h"
#include "ADOException.h"
#include "ADOGuard.h"

using ado2::IndexKey;
using ado2::NameKey;

// The "Warning: GetChunk" trace of a failure that is not ADO's own: DISP_E_TYPEMISMATCH for a
// value that is not bytes (or text, for the text form), E_INVALIDARG for a refused bitmap,
// E_OUTOFMEMORY when the bytes could not be copied.
#define ADO2_CHUNK_FAILURE(hr) ADO2_METHOD("GetChunk")(_com_error(hr))

// The chunk is read with the field's ActualSize, so the caller's buffer holds what
// GetFieldActualSize answered; no more than that and no more than the array ADO returned is
// copied.
BOOL CADORecordset::ReadChunk(const _variant_t& key, CString* text, LPVOID buffer) {
  return ado2::Guarded(ADO2_METHOD("GetChunk"), FALSE, [&]() -> BOOL {
    try {
      FieldPtr field = m_pRecordset->GetFields()->GetItem(key);
      LONG size = field->GetActualSize();
      _variant_t chunk;
      if (size > 0) chunk = field->GetChunk(size);
      if (chunk.vt == VT_NULL || chunk.vt == VT_EMPTY) return TRUE;
      std::vector<BYTE> bytes;
      if (ado2::ChunkBytes(chunk, static_cast<size_t>(size), &bytes)) {
        if (text != nullptr && !bytes.empty()) {
          *text += CString(reinterpret_cast<LPCSTR>(bytes.data()), static_cast<int>(bytes.size()));
        }
        if (buffer != nullptr && !bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
        return TRUE;
      }
      if (chunk.vt == VT_BSTR && text != nullptr) {
        *text += ado2::BstrText(chunk.bstrVal);
        return TRUE;
      }
      ADO2_CHUNK_FAILURE(DISP_E_TYPEMISMATCH);
      return FALSE;
    } catch (const std::bad_alloc&) {
      ADO2_CHUNK_FAILURE(E_OUTOFMEMORY);
      return FALSE;
    }
  });
}

BOOL CADORecordset::GetChunk(LPCTSTR lpFieldName, CString& strValue) {
  return ReadChunk(NameKey(lpFieldName), &strValue, nullptr);
}
BOOL CADORecordset::GetChunk(int nIndex, CString& strValue) {
  return ReadChunk(IndexKey(nIndex), &strValue, nullptr);
}
BOOL CADORecordset::GetChunk(LPCTSTR lpFieldName, LPVOID pData) {
  return ReadChunk(NameKey(lpFieldName), nullptr, pData);
}
BOOL CADORecordset::GetChunk(int nIndex, LPVOID pData) {
  return ReadChunk(IndexKey(nIndex), nullptr, pData);
}

BOOL CADORecordset::GetChunk(LPCTSTR lpFieldName, CBitmap& bitmap) {
  return ado2::Guarded(ADO2_METHOD("GetChunk"), FALSE, [&]() -> BOOL {
    try {
      FieldPtr field = m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName));
      if ((field->GetAttributes() & adFldLong) == 0) return FALSE;
      LONG size = field->GetActualSize();
      if (size <= 0) return FALSE;
      _variant_t chunk = field->GetChunk(size);
      if (chunk.vt == VT_NULL || chunk.vt == VT_EMPTY) return FALSE;  // no bytes: no bitmap
      std::vector<BYTE> data;
      if (!ado2::ChunkBytes(chunk, static_cast<size_t>(size), &data)) {
        ADO2_CHUNK_FAILURE(DISP_E_TYPEMISMATCH);
        return FALSE;
      }
      ado2::BitmapImage image;
      if (!ado2::CheckBitmapImage(data.data(), data.size(), &image)) {
        ADO2_CHUNK_FAILURE(E_INVALIDARG);
        return FALSE;
      }
      // The information block (header, masks, colour table), copied to aligned storage; the
      // check put all of it before the pixel offset, so CreateDIBitmap reads inside the copy.
      const size_t infoSize = image.pixelOffset - ado2::BitmapImage::kInfoOffset;
      std::vector<DWORD> info((infoSize + 3) / 4);
      std::memcpy(info.data(), &data[ado2::BitmapImage::kInfoOffset], infoSize);
      const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
      HDC dc = ::GetDC(nullptr);
      HBITMAP handle = ::CreateDIBitmap(dc, header, CBM_INIT, &data[image.pixelOffset],
                                        reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
      ::ReleaseDC(nullptr, dc);
      if (handle == nullptr) {
        ADO2_CHUNK_FAILURE(E_INVALIDARG);
        return FALSE;
      }
      bitmap.DeleteObject();
      bitmap.Attach(handle);
      return TRUE;
    } catch (const std::bad_alloc&) {
      ADO2_CHUNK_FAILURE(E_OUTOFMEMORY);
      return FALSE;
    }
  });
}

BOOL CADORecordset::AppendBytes(const _variant_t& key, const void* data, UINT nBytes) {
  return ado2::Guarded(ADO2_METHOD("AppendChunk"), FALSE, [&] {
    if (data == nullptr && nBytes > 0) _com_issue_error(E_POINTER);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, nBytes);
    if (array == nullptr) _com_issue_error(E_OUTOFMEMORY);
    void* target = nullptr;
    if (nBytes > 0 && SUCCEEDED(SafeArrayAccessData(array, &target))) {
      std::memcpy(target, data, nBytes);
      SafeArrayUnaccessData(array);
    }
    VARIANT chunk;
    VariantInit(&chunk);
    chunk.vt = VT_ARRAY | VT_UI1;
    chunk.parray = array;
    _variant_t owned(chunk, false);
    m_pRecordset->GetFields()->GetItem(key)->AppendChunk(owned);
    return TRUE;
  });
}

BOOL CADORecordset::AppendChunk(LPCTSTR lpFieldName, LPVOID pData, UINT nBytes) {
  return AppendBytes(NameKey(lpFieldName), pData, nBytes);
}
BOOL CADORecordset::AppendChunk(int nIndex, LPVOID pData, UINT nBytes) {
  return AppendBytes(IndexKey(nIndex), pData, nBytes);
}

BOOL CADORecordset::AppendChunk(LPCTSTR lpFieldName, LPCTSTR lpszFileName) {
  bool isLong = ado2::Guarded(ADO2_METHOD("AppendChunk"), false, [&] {
    return (m_pRecordset->GetFields()->GetItem(NameKey(lpFieldName))->GetAttributes() & adFldLong) != 0;
  });
  if (!isLong) return FALSE;
  // File names are GBK like all narrow text; the file system's names are UTF-8. Only a regular
  // file is read (a folder or a device has no length to trust), and only when all of it, as
  // long as it was when opened, can be read.
  std::string path = kp::GbkToUtf8(lpszFileName != nullptr ? lpszFileName : "");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return FALSE;
  struct stat status;
  bool whole = ::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 &&
               static_cast<unsigned long long>(status.st_size) <= UINT32_MAX;
  std::vector<BYTE> bytes;
  try {
    if (whole) bytes.resize(static_cast<size_t>(status.st_size));
  } catch (const std::bad_alloc&) {
    whole = false;
  }
  whole = whole && std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fgetc(file) == EOF;
  std::fclose(file);
  if (!whole) return FALSE;
  return AppendBytes(NameKey(lpFieldName), bytes.data(), static_cast<UINT>(bytes.size()));
}
