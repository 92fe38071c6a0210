// The platform's class registry: what the system registry's CLSID and ProgID keys are on
// Windows. Each library registers its COM classes when it is loaded (from a static object, see
// kp::ClassRegistration) and revokes them when it unloads; CoCreateInstance, CoGetClassObject,
// CLSIDFromProgID and ProgIDFromCLSID read it. The registry is process-wide and thread-safe.
#pragma once
#include "kp/kpnotimpl.h"
#include "objbase.h"

// Creates one object of the class and answers the interface riid of it in *ppv. outer is the
// controlling IUnknown when the caller aggregates; a class that cannot be aggregated answers
// CLASS_E_NOAGGREGATION for a non-null outer.
typedef HRESULT (*KpClassCreator)(IUnknown* outer, REFIID riid, void** ppv);

// Registers (or replaces) the class; progId may be null. The first ProgID given for a class is
// the one ProgIDFromCLSID answers. E_INVALIDARG for a null creator.
STDAPI KpRegisterClass(REFCLSID clsid, LPCOLESTR progId, KpClassCreator create);
// Adds a further ProgID (a versioned name) for a registered class; REGDB_E_CLASSNOTREG if the
// class is not registered.
STDAPI KpRegisterProgId(LPCOLESTR progId, REFCLSID clsid);
// Removes the class and all its ProgIDs; REGDB_E_CLASSNOTREG if it was not registered.
STDAPI KpRevokeClass(REFCLSID clsid);

#ifdef __cplusplus
namespace kp {

// A creator for a class T whose constructor leaves the object with one reference and which
// refuses aggregation: kp::CreateObject<VOIntArray>.
template <class T>
HRESULT CreateObject(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  T* object = new T();
  HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

// Registers a class for the lifetime of a static object of the library:
//   static kp::ClassRegistration s_reg(CLSID_VOIntArray, u"VantorObjects.VOIntArray",
//                                      kp::CreateObject<VOIntArray>);
class ClassRegistration {
 public:
  ClassRegistration(REFCLSID clsid, LPCOLESTR progId, KpClassCreator create) : clsid_(clsid) {
    KpRegisterClass(clsid, progId, create);
  }
  ~ClassRegistration() { KpRevokeClass(clsid_); }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;

 private:
  CLSID clsid_;
};

}  // namespace kp
#endif
