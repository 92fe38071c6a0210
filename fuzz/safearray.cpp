// SAFEARRAY descriptors from fuzzed bounds: SafeArrayCreate, SafeArrayCreateVector,
// SafeArrayRedim, element access and SafeArrayCopy. Properties: an array is made only when its
// element count and byte size can be held; every element that the bounds name can be reached
// and written (the sanitizers see a write past the allocation); an index outside the bounds is
// DISP_E_BADINDEX; a refused Redim leaves the array as it was.
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "oleauto.h"

namespace {

const VARTYPE kTypes[] = {VT_UI1, VT_I2, VT_I4, VT_R8, VT_BSTR, VT_VARIANT, VT_DECIMAL, VT_I8};
const UINT kElemSizes[] = {1, 2, 4, 8, sizeof(BSTR), sizeof(VARIANT), sizeof(DECIMAL), 8};

// The corners of the array: every index at its lower or its upper bound.
void TouchCorners(SAFEARRAY* array) {
  const UINT dims = SafeArrayGetDim(array);
  std::vector<LONG> lower(dims), upper(dims), index(dims);
  for (UINT d = 1; d <= dims; ++d) {
    FUZZ_CHECK(SafeArrayGetLBound(array, d, &lower[d - 1]) == S_OK);
    FUZZ_CHECK(SafeArrayGetUBound(array, d, &upper[d - 1]) == S_OK);
  }
  const UINT elemSize = SafeArrayGetElemsize(array);
  const UINT corners = dims > 4 ? 16u : (1u << dims);
  for (UINT mask = 0; mask < corners; ++mask) {
    bool empty = false;
    for (UINT d = 0; d < dims; ++d) {
      if (upper[d] < lower[d]) empty = true;
      index[d] = (mask >> (d % 32)) & 1 ? upper[d] : lower[d];
    }
    void* element = nullptr;
    const HRESULT hr = SafeArrayPtrOfIndex(array, index.data(), &element);
    if (empty) {
      FUZZ_CHECK(hr == DISP_E_BADINDEX);
      continue;
    }
    FUZZ_CHECK(hr == S_OK && element != nullptr);
    volatile unsigned char* bytes = static_cast<unsigned char*>(element);
    bytes[0] = bytes[0];
    bytes[elemSize - 1] = bytes[elemSize - 1];
  }
  // One past the upper bound of the first dimension is outside.
  if (dims > 0 && upper[0] < 0x7FFFFFFF) {
    for (UINT d = 0; d < dims; ++d) index[d] = lower[d];
    index[0] = upper[0] + 1;
    void* element = nullptr;
    FUZZ_CHECK(SafeArrayPtrOfIndex(array, index.data(), &element) == DISP_E_BADINDEX);
  }
}

SAFEARRAYBOUND TakeBound(fuzz::Bytes& in) {
  SAFEARRAYBOUND bound;
  // Mostly small counts, sometimes anything.
  const uint8_t kind = in.Take<uint8_t>();
  bound.cElements = (kind & 3) == 0 ? in.Take<ULONG>() : in.Take<uint8_t>() % 9;
  bound.lLbound = (kind & 12) == 0 ? in.Take<LONG>() : static_cast<LONG>(in.Take<int8_t>());
  return bound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  const size_t type = static_cast<size_t>(in.Range(0, std::size(kTypes) - 1));
  const VARTYPE vt = kTypes[type];
  const UINT dims = static_cast<UINT>(in.Range(0, 5));
  std::vector<SAFEARRAYBOUND> bounds(dims);
  for (auto& bound : bounds) bound = TakeBound(in);

  // The true byte size, to keep valid arrays small: sizes the platform must refuse (past 32 bits)
  // are asked for, sizes it may grant but that would only cost time (over 1 MiB) are not.
  unsigned __int128 bytes = kElemSizes[type];
  for (const auto& bound : bounds) bytes *= bound.cElements;
  if (bytes > (1u << 20) && bytes <= 0xFFFFFFFFu) return 0;
  SAFEARRAY* array = dims == 1 && (in.Take<uint8_t>() & 1)
                         ? SafeArrayCreateVector(vt, bounds[0].lLbound, bounds[0].cElements)
                         : SafeArrayCreate(vt, dims, bounds.data());
  if (dims == 0) FUZZ_CHECK(array == nullptr);
  if (!array) return 0;
  FUZZ_CHECK(SafeArrayGetDim(array) == dims);
  TouchCorners(array);

  const SAFEARRAYBOUND redim = TakeBound(in);
  unsigned __int128 redimBytes = SafeArrayGetElemsize(array) * static_cast<unsigned __int128>(redim.cElements);
  for (UINT d = 0; d + 1 < dims; ++d) redimBytes *= bounds[d].cElements;
  const bool redimAsked = redimBytes <= (1u << 20) || redimBytes > 0xFFFFFFFFu;
  LONG lowerBefore = 0, upperBefore = 0;
  FUZZ_CHECK(SafeArrayGetLBound(array, dims, &lowerBefore) == S_OK);
  FUZZ_CHECK(SafeArrayGetUBound(array, dims, &upperBefore) == S_OK);
  SAFEARRAYBOUND asked = redim;  // Redim changes the right-most dimension
  if (redimAsked && SafeArrayRedim(array, &asked) != S_OK) {
    LONG lower = 0, upper = 0;
    FUZZ_CHECK(SafeArrayGetLBound(array, dims, &lower) == S_OK && lower == lowerBefore);
    FUZZ_CHECK(SafeArrayGetUBound(array, dims, &upper) == S_OK && upper == upperBefore);
  }
  TouchCorners(array);

  SAFEARRAY* copy = nullptr;
  if (SafeArrayCopy(array, &copy) == S_OK) {
    FUZZ_CHECK(copy != nullptr && SafeArrayGetDim(copy) == dims);
    TouchCorners(copy);
    FUZZ_CHECK(SafeArrayDestroy(copy) == S_OK);
  }
  FUZZ_CHECK(SafeArrayDestroy(array) == S_OK);
  return 0;
}
