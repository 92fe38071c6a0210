// ADO's XML persistence. The first input byte picks the mode:
// - even: the rest is a file to load. A file that loads, saved and loaded again, gives the same
//   columns and values.
// - odd: the rest describes columns (hostile names included) and rows of values of every type
//   the format holds. What saves, loads back exactly; what cannot be saved fails with a
//   description and leaves no file behind.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "oleauto.h"
#include "PersistXml.h"

using kp::ado::PersistColumn;
using kp::ado::PersistRow;
using kp::ado::PersistXml;

namespace {

struct ColumnKind {
  int adoType;
  VARTYPE vt;
};
const ColumnKind kKinds[] = {{3, VT_I4},   {2, VT_I2},   {16, VT_I1},  {17, VT_UI1},  {18, VT_UI2},
                             {19, VT_UI4}, {20, VT_I8},  {21, VT_UI8}, {4, VT_R4},    {5, VT_R8},
                             {11, VT_BOOL}, {6, VT_CY},  {7, VT_DATE}, {14, VT_DECIMAL}, {131, VT_DECIMAL},
                             {202, VT_BSTR}, {203, VT_BSTR}, {204, VT_ARRAY | VT_UI1}};

std::string TempPath(const char* name) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/kp-fuzz-xml-" + std::to_string(getpid()) + "-" + name;
}

std::u16string TakeText(fuzz::Bytes& in, size_t max) {
  std::u16string text;
  const size_t n = static_cast<size_t>(in.Range(0, static_cast<int64_t>(max)));
  for (size_t i = 0; i < n && !in.Empty(); ++i) {
    const uint8_t b = in.Take<uint8_t>();
    text.push_back(b < 0xE0 ? static_cast<char16_t>(b) : in.Take<char16_t>());
  }
  return text;
}

void TakeValue(fuzz::Bytes& in, const ColumnKind& kind, VARIANT& v) {
  VariantInit(&v);
  if (in.Take<uint8_t>() % 8 == 0) {
    v.vt = VT_NULL;
    return;
  }
  switch (kind.vt) {
    case VT_BSTR: {
      const std::u16string text = TakeText(in, 40);
      v.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
      break;
    }
    case VT_ARRAY | VT_UI1: {
      const std::string bytes = in.Text(40);
      v.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
      void* p = nullptr;
      SafeArrayAccessData(v.parray, &p);
      if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
      SafeArrayUnaccessData(v.parray);
      break;
    }
    case VT_DECIMAL: {
      DECIMAL d = in.Take<DECIMAL>();
      d.scale %= 29;
      d.sign &= 0x80;
      d.wReserved = 0;
      v.decVal = d;
      break;
    }
    case VT_DATE:  // the format holds whole seconds from 100-01-01 to 9999-12-31
      v.date = static_cast<double>(in.Range(-657434, 2958465)) + static_cast<double>(in.Range(0, 86399)) / 86400.0;
      break;
    case VT_BOOL:
      v.boolVal = in.Take<uint8_t>() & 1 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    default:
      v.llVal = in.Take<LONG64>();
  }
  v.vt = kind.vt;
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
  const bool aNull = a.vt == VT_NULL || a.vt == VT_EMPTY, bNull = b.vt == VT_NULL || b.vt == VT_EMPTY;
  if (aNull || bNull) return aNull == bNull;
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_BSTR:
      return SysStringLen(a.bstrVal) == SysStringLen(b.bstrVal) &&
             std::memcmp(a.bstrVal, b.bstrVal, SysStringByteLen(a.bstrVal)) == 0;
    case VT_ARRAY | VT_UI1: {
      LONG ua = -1, ub = -1;
      SafeArrayGetUBound(a.parray, 1, &ua);
      SafeArrayGetUBound(b.parray, 1, &ub);
      if (ua != ub) return false;
      return ua < 0 || std::memcmp(a.parray->pvData, b.parray->pvData, static_cast<size_t>(ua) + 1) == 0;
    }
    case VT_R4:
      return (std::isnan(a.fltVal) && std::isnan(b.fltVal)) || std::memcmp(&a.fltVal, &b.fltVal, 4) == 0;
    case VT_R8:
    case VT_DATE:
      return (std::isnan(a.dblVal) && std::isnan(b.dblVal)) || std::memcmp(&a.dblVal, &b.dblVal, 8) == 0;
    case VT_DECIMAL:  // the same number: equal after removing trailing zeros is too lenient here
      return std::memcmp(&a.decVal, &b.decVal, sizeof(DECIMAL)) == 0 ||
             (a.decVal.Hi32 == 0 && a.decVal.Lo64 == 0 && b.decVal.Hi32 == 0 && b.decVal.Lo64 == 0);
    case VT_BOOL:
      return (a.boolVal != 0) == (b.boolVal != 0);
    case VT_I1: case VT_UI1: return a.bVal == b.bVal;
    case VT_I2: case VT_UI2: return a.iVal == b.iVal;
    case VT_I4: case VT_UI4: return a.lVal == b.lVal;
    default:
      return a.llVal == b.llVal;
  }
}

void CheckSame(const std::vector<PersistColumn>& c1, const std::vector<PersistRow>& r1,
               const std::vector<PersistColumn>& c2, const std::vector<PersistRow>& r2) {
  FUZZ_CHECK(c1.size() == c2.size());
  for (size_t c = 0; c < c1.size(); ++c) {
    FUZZ_CHECK(c1[c].name == c2[c].name);
    FUZZ_CHECK(c1[c].type == c2[c].type);
  }
  FUZZ_CHECK(r1.size() == r2.size());
  for (size_t r = 0; r < r1.size(); ++r) {
    FUZZ_CHECK(r1[r].state == r2[r].state);
    FUZZ_CHECK(r1[r].values.size() == r2[r].values.size());
    for (size_t c = 0; c < r1[r].values.size(); ++c) FUZZ_CHECK(SameValue(r1[r].values[c], r2[r].values[c]));
  }
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 65536) return 0;
  static const std::string input = TempPath("in.xml");
  static const std::string saved = TempPath("saved.xml");
  std::remove(input.c_str());
  std::remove(saved.c_str());
  std::vector<PersistColumn> columns, columns2;
  std::vector<PersistRow> rows, rows2;

  if (data[0] % 2 == 0) {
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    if (FAILED(PersistXml::Load(input, columns, rows, nullptr))) {
      FUZZ_CHECK(columns.empty() && rows.empty());
      return 0;
    }
  } else {
    fuzz::Bytes in(data + 1, size - 1);
    const size_t count = static_cast<size_t>(in.Range(1, 6));
    std::vector<ColumnKind> kinds;
    for (size_t c = 0; c < count; ++c) {
      const ColumnKind kind = kKinds[in.Range(0, std::size(kKinds) - 1)];
      PersistColumn column;
      column.name = TakeText(in, 12);
      column.type = kind.adoType;
      column.definedSize = kind.vt == VT_BSTR ? 255 : 8;
      if (kind.vt == VT_DECIMAL) column.precision = 28, column.scale = 0;
      columns.push_back(column);
      kinds.push_back(kind);
    }
    const size_t rowCount = static_cast<size_t>(in.Range(0, 5));
    for (size_t r = 0; r < rowCount; ++r) {
      PersistRow row;
      row.values.resize(count);
      for (size_t c = 0; c < count; ++c) TakeValue(in, kinds[c], row.values[c]);
      rows.push_back(std::move(row));
    }
    std::u16string description;
    if (FAILED(PersistXml::Save(input, columns, rows, true, &description))) {
      FUZZ_CHECK(!description.empty());
      FUZZ_CHECK(!Exists(input));
      PersistXml::Clear(rows);
      return 0;
    }
    FUZZ_CHECK(SUCCEEDED(PersistXml::Load(input, columns2, rows2, nullptr)));
    CheckSame(columns, rows, columns2, rows2);
    PersistXml::Clear(rows2);
    columns2.clear();
  }

  // What loaded saves, and loads back the same.
  FUZZ_CHECK(SUCCEEDED(PersistXml::Save(saved, columns, rows, true, nullptr)));
  FUZZ_CHECK(SUCCEEDED(PersistXml::Load(saved, columns2, rows2, nullptr)));
  CheckSame(columns, rows, columns2, rows2);
  PersistXml::Clear(rows);
  PersistXml::Clear(rows2);
  std::remove(input.c_str());
  std::remove(saved.c_str());
  return 0;
}
