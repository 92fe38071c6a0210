// Field-value comparison of the client cursor; see ValueCompare.h for the rules followed.
#include "ValueCompare.h"

#include <cmath>
#include <cstring>

#include "TextUtil.h"
#include "kp/kpvariant.h"

namespace kp::ado {

namespace {

int Rank(ValueKind k) {
  switch (k) {
    case ValueKind::Null:
      return 0;
    case ValueKind::Number:
    case ValueKind::Boolean:
    case ValueKind::Date:
      return 1;
    case ValueKind::String:
      return 2;
    case ValueKind::Binary:
      return 3;
    default:
      return 4;
  }
}

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

const VARIANT& ValueCompare::Deref(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
  return v;
}

ValueKind ValueCompare::KindOf(const VARIANT& in) {
  const VARIANT& v = Deref(in);
  if (kp::IsNumberClass(kp::ClassOfType(v.vt))) return ValueKind::Number;
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return ValueKind::Null;
    case VT_BOOL:
      return ValueKind::Boolean;
    case VT_DATE:
      return ValueKind::Date;
    case VT_BSTR:
      return ValueKind::String;
    case VT_ARRAY | VT_UI1:
      return ValueKind::Binary;
    default:
      return ValueKind::Other;
  }
}

ValueKind ValueCompare::KindOfAdoType(int t) {
  switch (t) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 14:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 131:
    case 139:
      return ValueKind::Number;
    case 11:
      return ValueKind::Boolean;
    case 7:
    case 64:
    case 133:
    case 134:
    case 135:
      return ValueKind::Date;
    case 8:
    case 72:
    case 129:
    case 130:
    case 200:
    case 201:
    case 202:
    case 203:
      return ValueKind::String;
    case 128:
    case 204:
    case 205:
      return ValueKind::Binary;
    default:
      return ValueKind::Other;
  }
}

std::u16string_view ValueCompare::Text(const VARIANT& in) {
  const VARIANT& v = Deref(in);
  if (v.vt != VT_BSTR || !v.bstrVal) return {};
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const char*>(v.bstrVal) - 4, 4);
  return std::u16string_view(v.bstrVal, bytes / 2);
}

std::span<const unsigned char> ValueCompare::Bytes(const VARIANT& in) {
  const VARIANT& v = Deref(in);
  if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray || v.parray->cDims != 1 || !v.parray->pvData) return {};
  return {static_cast<const unsigned char*>(v.parray->pvData), v.parray->rgsabound[0].cElements};
}

long double ValueCompare::DateKey(DATE d) {
  double whole = std::trunc(d);
  return (long double)whole + std::fabs(d - whole);
}

bool ValueCompare::Number(const VARIANT& in, long double& out) {
  const VARIANT& v = Deref(in);
  switch (kp::ClassOfType(v.vt)) {
    case kp::VarClass::Signed:
      out = (long double)kp::SignedValue(v);
      return true;
    case kp::VarClass::Unsigned:
      out = (long double)kp::UnsignedValue(v);
      return true;
    default:
      break;
  }
  switch (v.vt) {
    case VT_R4:
      out = v.fltVal;
      return true;
    case VT_R8:
      out = v.dblVal;
      return true;
    case VT_DATE:
      out = DateKey(v.date);
      return true;
    case VT_CY:
      out = (long double)v.cyVal.int64 / 10000.0L;
      return true;
    case VT_BOOL:
      out = v.boolVal ? 1 : 0;
      return true;
    case VT_DECIMAL: {
      long double m = (long double)v.decVal.Hi32 * 18446744073709551616.0L + (long double)v.decVal.Lo64;
      for (int i = 0; i < v.decVal.scale; ++i) m /= 10;
      out = (v.decVal.sign & DECIMAL_NEG) ? -m : m;
      return true;
    }
    default:
      return false;
  }
}

int ValueCompare::Compare(const VARIANT& a, const VARIANT& b) {
  ValueKind ka = KindOf(a), kb = KindOf(b);
  int ra = Rank(ka), rb = Rank(kb);
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 0:
      return 0;
    case 1: {
      long double x = 0, y = 0;
      Number(a, x);
      Number(b, y);
      return Order(x, y);
    }
    case 2:
      return CompareNoCase(Text(a), Text(b));
    case 3: {
      auto x = Bytes(a), y = Bytes(b);
      size_t n = x.size() < y.size() ? x.size() : y.size();
      int c = n ? std::memcmp(x.data(), y.data(), n) : 0;
      if (c != 0) return c < 0 ? -1 : 1;
      return Order(x.size(), y.size());
    }
    default:
      return Order(Deref(a).vt, Deref(b).vt);
  }
}

}  // namespace kp::ado
