// The kernel's handle table: every kernel object, store and saved store state is reached by a
// 32-bit handle, the index of its slot + 1 (0 is never a handle). Handles are not reused while
// the library is loaded, so a stale handle finds an empty slot and answers "invalid" instead
// of reaching another object; the one exception is a restored store state, which puts an
// object back under the handle it had. Not synchronised: the caller holds the kernel's lock.
#pragma once

#include <memory>
#include <variant>
#include <vector>

#include "ZvObject.h"
#include "ZvStore.h"
#include "ZvStoreState.h"

class ZvHandleTable {
 public:
  // Takes ownership; answers the new handle, or 0 when the handles are exhausted.
  template <typename T>
  ZvHandle Add(std::unique_ptr<T> item) {
    if (slots_.size() >= kMaxSlots) {
      return 0;
    }
    slots_.emplace_back(std::move(item));
    return static_cast<ZvHandle>(slots_.size());
  }

  // The item of type T under `handle`; null for 0, unknown, released or other-typed handles.
  template <typename T>
  T* Get(ZvHandle handle) const {
    if (handle == 0 || handle > slots_.size()) {
      return nullptr;
    }
    const auto* item = std::get_if<std::unique_ptr<T>>(&slots_[handle - 1]);
    return item == nullptr ? nullptr : item->get();
  }

  // Destroys what `handle` holds; the slot stays empty.
  void Release(ZvHandle handle);
  // Puts an object back under a handle whose slot is empty (restoring a saved state).
  bool Restore(ZvHandle handle, std::unique_ptr<ZvObject> object);

 private:
  static constexpr size_t kMaxSlots = 0xFFFFFFFEu;
  using Slot = std::variant<std::monostate, std::unique_ptr<ZvObject>, std::unique_ptr<ZvStore>,
                            std::unique_ptr<ZvStoreState>>;
  std::vector<Slot> slots_;
};
