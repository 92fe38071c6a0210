// Test helpers: an owning VARIANT and builders for the value types the ADO utilities handle.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "oleauto.h"

namespace kp::ado::test {

// Owns one VARIANT; VariantClear on destruction.
class Var {
 public:
  Var() {
    VariantInit(&v_);
    v_.vt = VT_NULL;
  }
  Var(const Var& o) {
    VariantInit(&v_);
    VariantCopy(&v_, &o.v_);
  }
  Var& operator=(const Var& o) {
    if (this != &o) VariantCopy(&v_, &o.v_);
    return *this;
  }
  ~Var() { VariantClear(&v_); }
  const VARIANT* ptr() const { return &v_; }
  const VARIANT& get() const { return v_; }
  VARIANT Detach() {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

  // Takes ownership of v.
  static Var Adopt(const VARIANT& v) {
    Var x;
    x.v_ = v;
    return x;
  }
  static Var Null() { return Var(); }
  static Var Empty() {
    Var x;
    x.v_.vt = VT_EMPTY;
    return x;
  }
  static Var Str(std::u16string_view s) {
    Var x;
    x.v_.bstrVal = SysAllocStringLen(s.data(), (UINT)s.size());
    x.v_.vt = VT_BSTR;
    return x;
  }
  static Var I2(SHORT i) {
    Var x;
    x.v_.vt = VT_I2;
    x.v_.iVal = i;
    return x;
  }
  static Var I4(LONG i) {
    Var x;
    x.v_.vt = VT_I4;
    x.v_.lVal = i;
    return x;
  }
  static Var I8(LONGLONG i) {
    Var x;
    x.v_.vt = VT_I8;
    x.v_.llVal = i;
    return x;
  }
  static Var R4(float f) {
    Var x;
    x.v_.vt = VT_R4;
    x.v_.fltVal = f;
    return x;
  }
  static Var R8(double d) {
    Var x;
    x.v_.vt = VT_R8;
    x.v_.dblVal = d;
    return x;
  }
  static Var Date(DATE d) {
    Var x;
    x.v_.vt = VT_DATE;
    x.v_.date = d;
    return x;
  }
  static Var Bool(bool b) {
    Var x;
    x.v_.vt = VT_BOOL;
    x.v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return x;
  }
  static Var Cy(LONGLONG scaled) {
    Var x;
    x.v_.vt = VT_CY;
    x.v_.cyVal.int64 = scaled;
    return x;
  }
  static Var Dec(ULONGLONG lo, BYTE scale, bool negative) {
    Var x;
    DECIMAL d;
    DECIMAL_SETZERO(d);
    d.Lo64 = lo;
    d.scale = scale;
    d.sign = negative ? DECIMAL_NEG : 0;
    x.v_.decVal = d;
    x.v_.vt = VT_DECIMAL;
    return x;
  }
  static Var Bytes(const std::vector<unsigned char>& b) {
    Var x;
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, (ULONG)b.size());
    if (!b.empty()) std::memcpy(sa->pvData, b.data(), b.size());
    x.v_.vt = VT_ARRAY | VT_UI1;
    x.v_.parray = sa;
    return x;
  }

 private:
  VARIANT v_;
};

}  // namespace kp::ado::test
