// The kernel's handle table; see ZvHandleTable.h.
#include "ZvHandleTable.h"

void ZvHandleTable::Release(ZvHandle handle) {
  if (handle != 0 && handle <= slots_.size()) {
    slots_[handle - 1] = std::monostate{};
  }
}

bool ZvHandleTable::Restore(ZvHandle handle, std::unique_ptr<ZvObject> object) {
  if (handle == 0 || handle > slots_.size() || !std::holds_alternative<std::monostate>(slots_[handle - 1])) {
    return false;
  }
  slots_[handle - 1] = std::move(object);
  return true;
}
