// Reading id lists from automation arguments; see IdList.h.
#include "IdList.h"

namespace sectionhost {

HRESULT ReadIdList(kp::DispCall& call, UINT addressArg, UINT countArg, std::vector<LONG>* ids) {
  ids->clear();
  LONG count = call.Long(countArg);
  const LONG* address = call.Ref<LONG>(addressArg);
  if (count < 0) return call.Raise(E_INVALIDARG, "the id count is negative");
  if (count > 0 && address == nullptr) return call.Raise(E_POINTER, "the id list has no address");
  ids->assign(address, address + count);
  return S_OK;
}

std::string FormatIds(const std::vector<LONG>& ids) {
  std::string s = "[";
  for (size_t i = 0; i < ids.size(); ++i) s += (i ? " " : "") + std::to_string(ids[i]);
  return s + "]";
}

}  // namespace sectionhost
