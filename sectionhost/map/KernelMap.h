// A section map held in the kernel: the entity store and one kernel object per entity, built
// from MapData when a map is loaded and read back into MapData when it is written or drawn.
//
// Curves (2, 3, 14) and section strata (27) are kernel objects of that kind. An entity of
// another type (a text label, a well marker) has no kernel kind: it gets a placeholder object of
// kind 14 with no points, so that it has an id, a handle and flags in the store (new ids then
// never collide with it), and the host remembers its type and its JSON. Entity ids must be
// positive (the store's rule). Read-back keeps the store's insertion order: the file's features
// first, new entities after them. A map that cannot be loaded leaves the previous one as it was.
//
// Memory. The points of a map are held once, by the kernel: loading moves each entity's arrays
// into its kernel object and keeps only the rest of the entity (its JSON members, its type and
// flags); reading builds the arrays again from the kernel, one entity at a time when a writer
// asks for Entities().
//
// Stratum codes. The kernel keeps a stratum's code in the 32-byte text field of its attribute
// record (GBK, up to its NUL: 31 bytes at most). A code from the map file that does not fit is
// cut there at a character boundary, never inside a two-byte character, and the warning sink
// is told; the host keeps the whole code, and reads it back as long as the kernel's record still
// holds what the host wrote. A code the kernel's record holds otherwise (set by a command) is
// read from the record; a record ending in half a character (a lead byte before the NUL) is read
// without it, and the sink is told once per entity and text.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

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
  bool Load(MapData data, std::string* error);
  // The map as it is now: the map member as loaded, each entity from its kernel object.
  MapData Read() const;
  // The entities of Read(), read from the kernel one at a time. Without `derivedLines`, a
  // curve's line points are read only when they were given explicitly (a map file needs no
  // more; a picture draws the derived ones).
  EachEntity Entities(bool derivedLines = true) const;

  // Where warnings go (one line each, UTF-8, without a prefix); none: they are dropped.
  void SetWarningSink(std::function<void(const std::string&)> sink) { warn_ = std::move(sink); }

  ZvHandle Store() const { return store_; }
  // The map as loaded: its map member and other members, and each input entity without its
  // points, line points and samples (those are the kernel's).
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
  void Swap(KernelMap& other);
  bool LoadEntity(MapEntity& e, std::string* error);
  MapEntity ReadEntity(int32_t id, bool derivedLines) const;
  void Warn(int32_t id, const std::string& text) const;

  ZvHandle store_ = 0;
  MapData loaded_;                        // as loaded: the map member and each input entity, no points
  std::map<int32_t, size_t> inputIndex_;  // id -> index in loaded_.entities
  std::map<int32_t, int> hostTypes_;      // ids of non-kernel types -> their type
  std::map<int32_t, std::string> recordCodes_;  // input strata: the GBK text written to the record
  std::vector<std::string> loadWarnings_;      // collected while loading, told once loaded
  std::function<void(const std::string&)> warn_;
  mutable std::set<std::pair<int32_t, std::string>> warned_;  // (id, text) told while reading
};

}  // namespace sectionhost
