// An entity store: the map's entities, each an id and the handle of its kernel object, in
// insertion order. Ids are positive 32-bit integers, unique within the store; a new id is the
// largest id in the store + 1 (1 for an empty store).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "host/zvrecords.h"

class ZvStore {
 public:
  struct Entity {
    int32_t id;
    ZvHandle object;
  };

  // The id the next insertion gets; 0 when the ids are exhausted (largest id INT32_MAX).
  int32_t NextId() const;
  bool Contains(int32_t id) const { return byId_.count(id) != 0; }
  // The object handle of entity `id`; 0 when there is none.
  ZvHandle Lookup(int32_t id) const;
  // Appends an entity; the caller has checked that the id is positive and unused.
  void Insert(int32_t id, ZvHandle object);
  const std::vector<Entity>& Entities() const { return entities_; }
  // Replaces every entity (restoring a saved state).
  void Replace(std::vector<Entity> entities);

 private:
  std::vector<Entity> entities_;
  std::unordered_map<int32_t, ZvHandle> byId_;
  int32_t maxId_ = 0;
};
