// Entity stores; see ZvStore.h.
#include "ZvStore.h"

#include <algorithm>
#include <utility>

int32_t ZvStore::NextId() const {
  return maxId_ == INT32_MAX ? 0 : maxId_ + 1;
}

ZvHandle ZvStore::Lookup(int32_t id) const {
  const auto it = byId_.find(id);
  return it == byId_.end() ? 0 : it->second;
}

void ZvStore::Insert(int32_t id, ZvHandle object) {
  entities_.push_back(Entity{id, object});
  byId_.emplace(id, object);
  maxId_ = std::max(maxId_, id);
}

void ZvStore::Replace(std::vector<Entity> entities) {
  entities_ = std::move(entities);
  byId_.clear();
  maxId_ = 0;
  for (const Entity& e : entities_) {
    byId_.emplace(e.id, e.object);
    maxId_ = std::max(maxId_, e.id);
  }
}
