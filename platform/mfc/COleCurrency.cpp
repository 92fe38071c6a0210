// COleCurrency: a CURRENCY (amount x 10,000 in a signed 64-bit integer) with a status.
// Arithmetic that overflows the 64-bit range, and division by zero, give status invalid; an
// operand that is not valid passes its status on. Text goes through VarBstrFromCy and
// VarCyFromStr, as in MFC.
#include <cstring>

#include "afxdisp.h"

namespace {

COleCurrency Make(LONGLONG value, bool ok) {
  COleCurrency c;
  c.m_cur.int64 = ok ? value : 0;
  c.m_status = ok ? COleCurrency::valid : COleCurrency::invalid;
  return c;
}

// The status of a result whose operands are not both valid (null wins over invalid).
bool Propagate(const COleCurrency& a, const COleCurrency& b, COleCurrency* result) {
  if (a.m_status == COleCurrency::valid && b.m_status == COleCurrency::valid) return false;
  result->m_cur.int64 = 0;
  result->m_status = a.m_status == COleCurrency::null || b.m_status == COleCurrency::null
                         ? COleCurrency::null
                         : COleCurrency::invalid;
  return true;
}

}  // namespace

COleCurrency::COleCurrency() : m_status(valid) {
  m_cur.int64 = 0;
}
COleCurrency::COleCurrency(CURRENCY cySrc) : m_cur(cySrc), m_status(valid) {}
COleCurrency::COleCurrency(const VARIANT& varSrc) : m_status(valid) {
  m_cur.int64 = 0;
  *this = varSrc;
}
COleCurrency::COleCurrency(LONG nUnits, LONG nFractionalUnits) : m_status(valid) {
  SetCurrency(nUnits, nFractionalUnits);
}

void COleCurrency::SetCurrency(LONG nUnits, LONG nFractionalUnits) {
  m_cur.int64 = static_cast<LONGLONG>(nUnits) * 10000 + nFractionalUnits;
  m_status = valid;
}

const COleCurrency& COleCurrency::operator=(CURRENCY cySrc) {
  m_cur = cySrc;
  m_status = valid;
  return *this;
}

const COleCurrency& COleCurrency::operator=(const VARIANT& varSrc) {
  if (varSrc.vt == VT_CY) return *this = varSrc.cyVal;
  VARIANT converted;
  VariantInit(&converted);
  if (SUCCEEDED(VariantChangeType(&converted, &varSrc, 0, VT_CY))) {
    *this = converted.cyVal;
  } else {
    m_cur.int64 = 0;
    m_status = invalid;
  }
  VariantClear(&converted);
  return *this;
}

bool COleCurrency::operator==(const COleCurrency& cur) const {
  return m_status == cur.m_status && m_cur.int64 == cur.m_cur.int64;
}
bool COleCurrency::operator<(const COleCurrency& cur) const {
  return m_cur.int64 < cur.m_cur.int64;
}

COleCurrency COleCurrency::operator+(const COleCurrency& cur) const {
  COleCurrency result;
  if (Propagate(*this, cur, &result)) return result;
  LONGLONG sum;
  bool overflow = __builtin_add_overflow(m_cur.int64, cur.m_cur.int64, &sum);
  return Make(sum, !overflow);
}

COleCurrency COleCurrency::operator-(const COleCurrency& cur) const {
  COleCurrency result;
  if (Propagate(*this, cur, &result)) return result;
  LONGLONG difference;
  bool overflow = __builtin_sub_overflow(m_cur.int64, cur.m_cur.int64, &difference);
  return Make(difference, !overflow);
}

COleCurrency COleCurrency::operator-() const {
  COleCurrency result;
  if (Propagate(*this, *this, &result)) return result;
  LONGLONG negated;
  bool overflow = __builtin_sub_overflow(LONGLONG{0}, m_cur.int64, &negated);
  return Make(negated, !overflow);
}

COleCurrency COleCurrency::operator*(LONG nOperand) const {
  COleCurrency result;
  if (Propagate(*this, *this, &result)) return result;
  LONGLONG product;
  bool overflow = __builtin_mul_overflow(m_cur.int64, static_cast<LONGLONG>(nOperand), &product);
  return Make(product, !overflow);
}

COleCurrency COleCurrency::operator/(LONG nOperand) const {
  COleCurrency result;
  if (Propagate(*this, *this, &result)) return result;
  bool bad = nOperand == 0 || (nOperand == -1 && m_cur.int64 == INT64_MIN);
  return Make(bad ? 0 : m_cur.int64 / nOperand, !bad);
}

CString COleCurrency::Format(DWORD dwFlags, LCID lcid) const {
  if (m_status != valid) return CString();
  BSTR text = nullptr;
  if (FAILED(VarBstrFromCy(m_cur, lcid, dwFlags, &text))) return CString();
  CString result(text, static_cast<int>(SysStringLen(text)));
  SysFreeString(text);
  return result;
}

BOOL COleCurrency::ParseCurrency(LPCTSTR lpszCurrency, DWORD dwFlags, LCID lcid) {
  std::u16string text =
      kp::Widen(lpszCurrency ? lpszCurrency : "", lpszCurrency ? std::strlen(lpszCurrency) : 0);
  CY parsed;
  parsed.int64 = 0;
  if (text.empty() || FAILED(VarCyFromStr(text.c_str(), lcid, dwFlags, &parsed))) {
    m_cur.int64 = 0;
    m_status = invalid;
    return FALSE;
  }
  *this = parsed;
  return TRUE;
}
