// Id lists as the host's automation calls pass them: a VT_BYREF|VT_I4 argument holding the
// address of the first of `count` contiguous 32-bit ids, then the count. Count 0 with a null
// address is valid and reads nothing.
#pragma once
#include <kp/kpdispatch.h>

#include <string>
#include <vector>

namespace sectionhost {

// Reads the id list of arguments (addressArg, countArg). On a bad list (negative count, or a
// null address with a positive count) answers the Raise result: DISP_E_EXCEPTION carrying
// E_INVALIDARG or E_POINTER; else S_OK with the ids in *ids.
HRESULT ReadIdList(kp::DispCall& call, UINT addressArg, UINT countArg, std::vector<LONG>* ids);

// "[1 2 3]", for the call log.
std::string FormatIds(const std::vector<LONG>& ids);

}  // namespace sectionhost
