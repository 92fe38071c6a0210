// VariantChangeType over every pair of value types, with fuzzed source values. Properties: a
// success answers the asked type; a failure leaves the destination as it was; converting in
// place gives what converting into another VARIANT gives; an integer that goes to text and back
// comes back the same.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "oleauto.h"

namespace {

const VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2,  VT_I4,  VT_R4,  VT_R8,   VT_CY,  VT_DATE,
                          VT_BSTR,  VT_ERROR, VT_BOOL, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4,
                          VT_I8,    VT_UI8,  VT_INT, VT_UINT, VT_ARRAY | VT_UI1, VT_VARIANT, VT_DISPATCH,
                          VT_UNKNOWN, VT_VOID, VT_LPSTR, VT_RECORD, 0x7F};

bool IsInteger(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

// A source VARIANT of type vt whose value bytes come from the input.
void MakeSource(fuzz::Bytes& in, VARTYPE vt, VARIANT& v) {
  VariantInit(&v);
  if (vt == VT_BSTR) {
    const std::string text = in.Text(64);
    std::u16string wide(text.begin(), text.end());
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
  } else if (vt == (VT_ARRAY | VT_UI1)) {
    const std::string bytes = in.Text(32);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* p = nullptr;
    if (array && SafeArrayAccessData(array, &p) == S_OK) {
      if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
      SafeArrayUnaccessData(array);
    }
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = array;
  } else if (vt == VT_DECIMAL) {
    v.decVal = in.Take<DECIMAL>();
    v.vt = VT_DECIMAL;  // after the value: wReserved overlaps vt
  } else if (vt == VT_EMPTY || vt == VT_NULL || vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_R4 ||
             vt == VT_R8 || vt == VT_CY || vt == VT_DATE || vt == VT_ERROR || vt == VT_BOOL || vt == VT_UI1 ||
             vt == VT_UI2 || vt == VT_UI4 || vt == VT_I8 || vt == VT_UI8 || vt == VT_INT || vt == VT_UINT) {
    v.llVal = in.Take<LONG64>();
    v.vt = vt;
  }
}

// The bytes of the value that a scalar type uses (the rest of the union is left over).
size_t ValueSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: case VT_R4: return 4;
    case VT_EMPTY: case VT_NULL: return 0;
    default: return 8;
  }
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
  if (a.vt != b.vt) return false;
  if (a.vt == VT_BSTR) {
    return SysStringLen(a.bstrVal) == SysStringLen(b.bstrVal) &&
           std::memcmp(a.bstrVal, b.bstrVal, SysStringByteLen(a.bstrVal)) == 0;
  }
  if (a.vt & VT_ARRAY) return true;  // the content is checked elsewhere
  if (a.vt == VT_DECIMAL) return std::memcmp(&a.decVal, &b.decVal, sizeof(DECIMAL)) == 0;
  return std::memcmp(&a.llVal, &b.llVal, ValueSize(a.vt)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  const VARTYPE from = kTypes[in.Range(0, std::size(kTypes) - 1)];
  const VARTYPE to = kTypes[in.Range(0, std::size(kTypes) - 1)];
  const USHORT flags = static_cast<USHORT>(in.Take<uint8_t>() & 0x1F);
  VARIANT source;
  MakeSource(in, from, source);

  // Into a separate VARIANT holding a sentinel: on failure it must still hold it.
  VARIANT dest;
  VariantInit(&dest);
  dest.vt = VT_I4;
  dest.lVal = static_cast<LONG>(0xDEADBEEF);
  const HRESULT hr = VariantChangeType(&dest, &source, flags, to);
  if (SUCCEEDED(hr)) {
    FUZZ_CHECK(dest.vt == to);
  } else {
    FUZZ_CHECK(dest.vt == VT_I4 && dest.lVal == static_cast<LONG>(0xDEADBEEF));
  }

  // In place: the same answer and the same value.
  VARIANT copy;
  VariantInit(&copy);
  FUZZ_CHECK(VariantCopy(&copy, &source) == S_OK);
  const HRESULT inPlace = VariantChangeType(&copy, &copy, flags, to);
  FUZZ_CHECK(inPlace == hr);
  if (SUCCEEDED(hr)) FUZZ_CHECK(SameValue(copy, dest));

  // Integers survive a trip through text.
  if (IsInteger(from) && to == VT_BSTR && SUCCEEDED(hr)) {
    VARIANT back;
    VariantInit(&back);
    FUZZ_CHECK(VariantChangeType(&back, &dest, 0, from) == S_OK);
    FUZZ_CHECK(SameValue(back, source));
    VariantClear(&back);
  }
  VariantClear(&copy);
  VariantClear(&dest);
  VariantClear(&source);
  return 0;
}
