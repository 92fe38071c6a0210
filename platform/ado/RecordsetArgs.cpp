// Reading the optional VARIANT arguments of the Recordset (see RecordsetArgs.h).
#include "RecordsetArgs.h"

#include <oleauto.h>

#include "ValueCompare.h"

namespace kp::ado {

const VARIANT& RecordsetArgs::Deref(const VARIANT& v) {
  return ValueCompare::Deref(v);
}

bool RecordsetArgs::Missing(const VARIANT& v) {
  const VARIANT& d = Deref(v);
  return d.vt == VT_EMPTY || (d.vt == VT_ERROR && d.scode == DISP_E_PARAMNOTFOUND);
}

VARIANT RecordsetArgs::MissingArg() {
  VARIANT m;
  VariantInit(&m);
  m.vt = VT_ERROR;
  m.scode = DISP_E_PARAMNOTFOUND;
  return m;
}

std::vector<VARIANT> RecordsetArgs::ListOf(const VARIANT& in) {
  std::vector<VARIANT> out;
  const VARIANT& v = Deref(in);
  if ((v.vt & VT_ARRAY) && v.parray) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(v.parray, 1, &lo);
    SafeArrayGetUBound(v.parray, 1, &hi);
    for (LONG i = lo; i <= hi; ++i) {
      VARIANT e;
      VariantInit(&e);
      if ((v.vt & VT_TYPEMASK) == VT_VARIANT) {
        SafeArrayGetElement(v.parray, &i, &e);
      } else {
        e.vt = v.vt & VT_TYPEMASK;
        SafeArrayGetElement(v.parray, &i, &e.llVal);
      }
      out.push_back(e);
    }
  } else {
    VARIANT e;
    VariantInit(&e);
    VariantCopy(&e, &v);
    out.push_back(e);
  }
  return out;
}

void RecordsetArgs::ClearAll(std::vector<VARIANT>& v) {
  for (auto& e : v) VariantClear(&e);
  v.clear();
}

}  // namespace kp::ado
