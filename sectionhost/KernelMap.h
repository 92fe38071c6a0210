// A section map held in the kernel: the entity store and one kernel object per entity, built
// from MapData when a map is loaded and read back into MapData when it is written or drawn.
//
// Curves (2, 3, 14) and section strata (27) are kernel objects of that kind. An entity of
// another type (a text label, a well marker) has no kernel kind: it gets a placeholder object of
// kind 14 with no points, so that it has an id, a handle and flags in the store (new ids then
// never collide with it), and the host remembers its type and its JSON. Entity ids must be
// positive (the store's rule). Read-back keeps the store's insertion order: the file's features
// first, new entities after them.
#pragma once
#include <map>
#include <string>

#include "MapData.h"
#include "host/zvkernel.h"

namespace sectionhost {

class KernelMap {
 public:
  KernelMap() = default;
  ~KernelMap();
  KernelMap(const KernelMap&) = delete;
  KernelMap& operator=(const KernelMap&) = delete;

  // Builds a fresh store from `data` (any previous store is destroyed). False with a reason.
  bool Load(const MapData& data, std::string* error);
  // The map as it is now: the map member as loaded, each entity from its kernel object.
  MapData Read() const;

  ZvHandle Store() const { return store_; }
  const MapData& Loaded() const { return loaded_; }
  // The kernel handle of entity `id`; 0 for none.
  ZvHandle Handle(int32_t id) const;
  // The entity's type: the host's record for non-kernel types, else the kernel kind; 0 for none.
  int EntityType(int32_t id) const;

  // Undo groups: a saved state of the store, restored or released later (0 on failure).
  ZvHandle SaveState() const;
  bool RestoreState(ZvHandle state);
  static void ReleaseState(ZvHandle state);

 private:
  void Clear();
  bool LoadEntity(const MapEntity& e, std::string* error);
  MapEntity ReadEntity(int32_t id) const;

  ZvHandle store_ = 0;
  MapData loaded_;                        // as loaded: the map member and each input entity
  std::map<int32_t, size_t> inputIndex_;  // id -> index in loaded_.entities
  std::map<int32_t, int> hostTypes_;      // ids of non-kernel types -> their type
};

}  // namespace sectionhost
