// The host's VOIntArray; see IntArrayObject.h.
#include "IntArrayObject.h"

#include "host/VantorDispids.h"

namespace sectionhost {

namespace {
// Answered by QueryInterface so the host can find its own object behind an IDispatch.
// {6B1E5A40-3C2D-4F1A-9E57-2D4C8B0A71FF}
DEFINE_GUID(IID_HostIntArray, 0x6B1E5A40, 0x3C2D, 0x4F1A, 0x9E, 0x57, 0x2D, 0x4C, 0x8B, 0x0A, 0x71, 0xFF);
}  // namespace

using namespace VantorDispid;

const kp::DispTable<IntArrayObject>& IntArrayObject::Dispatch() {
  static const kp::DispTable<IntArrayObject> table(
      VANTOR_INTARRAY_PROGID,
      {
          {IntArrayGetSize, "GetSize", kp::kMethod, {}, VT_I4, &IntArrayObject::GetSize},
          {IntArrayAdd, "Add", kp::kMethod, {VT_I4}, VT_EMPTY, &IntArrayObject::Add},
          {IntArrayRemoveAll, "RemoveAll", kp::kMethod, {}, VT_EMPTY, &IntArrayObject::RemoveAll},
          {IntArrayGetAt, "GetAt", kp::kMethod, {VT_I4}, VT_I4, &IntArrayObject::GetAt},
          {IntArrayRemoveAt, "RemoveAt", kp::kMethod, {VT_I4}, VT_EMPTY, &IntArrayObject::RemoveAt},
          {IntArrayGetData, "GetData", kp::kMethod, {}, VT_VARIANT, &IntArrayObject::GetData},
      });
  return table;
}

HRESULT IntArrayObject::Register() {
  return KpRegisterClass(CLSID_VOIntArray, u"" VANTOR_INTARRAY_PROGID, kp::CreateObject<IntArrayObject>);
}

HRESULT IntArrayObject::Revoke() {
  return KpRevokeClass(CLSID_VOIntArray);
}

IntArrayObject* IntArrayObject::FromDispatch(IDispatch* dispatch) {
  if (!dispatch) return nullptr;
  void* p = nullptr;
  if (FAILED(dispatch->QueryInterface(IID_HostIntArray, &p)) || !p) return nullptr;
  auto* self = static_cast<IntArrayObject*>(p);
  self->Release();  // the caller holds the object through `dispatch`
  return self;
}

void* IntArrayObject::QueryOther(REFIID riid) {
  return riid == IID_HostIntArray ? this : nullptr;
}

HRESULT IntArrayObject::CheckIndex(kp::DispCall& call, LONG index) const {
  if (index < 0 || static_cast<size_t>(index) >= values_.size()) {
    return call.Raise(DISP_E_BADINDEX, "index out of range");
  }
  return S_OK;
}

HRESULT IntArrayObject::GetSize(kp::DispCall& call) {
  call.Return(static_cast<LONG>(values_.size()));
  return S_OK;
}

HRESULT IntArrayObject::Add(kp::DispCall& call) {
  values_.push_back(call.Long(0));
  return S_OK;
}

HRESULT IntArrayObject::RemoveAll(kp::DispCall&) {
  values_.clear();
  return S_OK;
}

HRESULT IntArrayObject::GetAt(kp::DispCall& call) {
  LONG index = call.Long(0);
  if (HRESULT hr = CheckIndex(call, index); FAILED(hr)) return hr;
  call.Return(values_[index]);
  return S_OK;
}

HRESULT IntArrayObject::RemoveAt(kp::DispCall& call) {
  LONG index = call.Long(0);
  if (HRESULT hr = CheckIndex(call, index); FAILED(hr)) return hr;
  values_.erase(values_.begin() + index);
  return S_OK;
}

HRESULT IntArrayObject::GetData(kp::DispCall& call) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_I4;
  v.plVal = values_.empty() ? nullptr : values_.data();
  call.Return(v);
  return S_OK;
}

}  // namespace sectionhost
