// Connection.Errors and Error (see AdoErrors.h).
#include "AdoErrors.h"

#include <oleauto.h>

#include "AdoError.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {
namespace {
HRESULT Str(BSTR* out, std::u16string_view s) {
  if (!out) return E_POINTER;
  *out = AllocBstr(s);
  return S_OK;
}
}  // namespace

HRESULT AdoErrorItem::get_Number(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = r_.number;
  return S_OK;
}
HRESULT AdoErrorItem::get_Source(BSTR* p) {
  return Str(p, r_.source);
}
HRESULT AdoErrorItem::get_Description(BSTR* p) {
  return Str(p, r_.description);
}
HRESULT AdoErrorItem::get_HelpFile(BSTR* p) {
  return Str(p, u"");
}
HRESULT AdoErrorItem::get_HelpContext(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = 0;
  return S_OK;
}
HRESULT AdoErrorItem::get_SQLState(BSTR* p) {
  return Str(p, r_.sqlState);
}
HRESULT AdoErrorItem::get_NativeError(LONG* pl) {
  if (!pl) return E_POINTER;
  *pl = r_.native;
  return S_OK;
}

HRESULT AdoErrors::get_Count(LONG* c) {
  if (!c) return E_POINTER;
  *c = (LONG)records_.size();
  return S_OK;
}

HRESULT AdoErrors::raw__NewEnum(IUnknown** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Errors::_NewEnum");
}

HRESULT AdoErrors::get_Item(VARIANT index, Error** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  VARIANT n;
  VariantInit(&n);
  if (FAILED(VariantChangeType(&n, &index, 0, VT_I4)) || n.lVal < 0 || (size_t)n.lVal >= records_.size())
    return AdoFail(AdoErr(adErrItemNotFound), kSrcErrors);
  *pp = new AdoErrorItem(records_[n.lVal]);
  return S_OK;
}

}  // namespace kp::ado
