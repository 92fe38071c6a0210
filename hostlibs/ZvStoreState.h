// A saved state of one entity store, for undo: its entity list and a copy of each entity's
// object (properties, attributes, flags). Restoring it (zvkernel.cpp) puts the store back as
// it was: entities inserted since are removed and their objects released, the saved ones get
// their saved objects back under their old handles.
#pragma once

#include <vector>

#include "ZvObject.h"
#include "ZvStore.h"

class ZvStoreState {
 public:
  struct Entry {
    ZvStore::Entity entity;
    ZvObject object;
  };

  ZvStoreState(ZvHandle store, std::vector<Entry> entries);

  ZvHandle Store() const { return store_; }
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  ZvHandle store_;
  std::vector<Entry> entries_;
};
