// The recordsets that share one set of rows (see CloneEvents.h).
#include "CloneEvents.h"

#include <algorithm>

namespace kp::ado {

void CloneEvents::Leave(const std::unique_ptr<RecordsetEventSource>* slot) {
  members_.erase(std::remove(members_.begin(), members_.end(), slot), members_.end());
}

std::vector<RecordsetEventSource*> CloneEvents::Others(
    const std::unique_ptr<RecordsetEventSource>* self) const {
  std::vector<RecordsetEventSource*> out;
  for (const auto* slot : members_)
    if (slot != self && *slot) out.push_back(slot->get());
  return out;
}

}  // namespace kp::ado
