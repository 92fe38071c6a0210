// VOIntArray, the host's integer array (ProgID "VantorObjects.VOIntArray"), used by commands as
// their pick list: GetSize (1), Add (2, the host's own), RemoveAll (3), GetAt (4), RemoveAt (8)
// and GetData (9), which answers VT_BYREF|VT_I4 whose plVal addresses the contiguous 32-bit
// elements (valid until the array next changes; null when it is empty). Indexes out of range
// answer DISP_E_EXCEPTION carrying DISP_E_BADINDEX.
#pragma once
#include <kp/kpdispatch.h>

#include <vector>

namespace sectionhost {

// {6B1E5A40-3C2D-4F1A-9E57-2D4C8B0A7101}
DEFINE_GUID(CLSID_VOIntArray, 0x6B1E5A40, 0x3C2D, 0x4F1A, 0x9E, 0x57, 0x2D, 0x4C, 0x8B, 0x0A, 0x71, 0x01);

class IntArrayObject : public kp::DispatchObject<IntArrayObject> {
 public:
  static const kp::DispTable<IntArrayObject>& Dispatch();
  // Registers the class under its CLSID and ProgID (the host does so at start) and revokes it.
  static HRESULT Register();
  static HRESULT Revoke();
  // The object behind an IDispatch, when it is one of ours (else null).
  static IntArrayObject* FromDispatch(IDispatch* dispatch);

  IntArrayObject() = default;
  const std::vector<LONG>& Values() const { return values_; }
  void Append(LONG value) { values_.push_back(value); }

  HRESULT GetSize(kp::DispCall& call);
  HRESULT Add(kp::DispCall& call);
  HRESULT RemoveAll(kp::DispCall& call);
  HRESULT GetAt(kp::DispCall& call);
  HRESULT RemoveAt(kp::DispCall& call);
  HRESULT GetData(kp::DispCall& call);

 private:
  void* QueryOther(REFIID riid) override;
  HRESULT CheckIndex(kp::DispCall& call, LONG index) const;

  std::vector<LONG> values_;
};

}  // namespace sectionhost
