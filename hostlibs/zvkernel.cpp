// The kernel library's exported operations: kernel objects, their coded properties, attribute
// records and flags, and entity stores with the host's operations on them.
//
// All state lives in one handle table behind one lock, so the library is safe to call from any
// thread (the module calls it from the host's one user-interface thread). Handles are checked on
// every call: 0, stale or wrong-typed handles answer 0 or failure, never touch memory.
#include "host/zvkernel.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "ZvHandleTable.h"

namespace {

struct Kernel {
  std::mutex lock;
  ZvHandleTable table;
};

Kernel& TheKernel() {
  static Kernel* kernel = new Kernel;  // never destroyed: callable from other libraries' exits
  return *kernel;
}

// Runs `body(table)` under the kernel's lock.
template <typename Body>
auto Locked(Body body) {
  Kernel& kernel = TheKernel();
  std::lock_guard<std::mutex> guard(kernel.lock);
  return body(kernel.table);
}

ZvObject* ObjectIn(ZvHandleTable& table, ZvHandle store, int32_t id) {
  const ZvStore* s = table.Get<ZvStore>(store);
  return s == nullptr ? nullptr : table.Get<ZvObject>(s->Lookup(id));
}

}  // namespace

int ObjectProperty(ZvHandle object, int property, void* buffer, int count) {
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    return o == nullptr ? 0 : o->Property(property, buffer, count);
  });
}

ZvHandle CreateObject(int kind) {
  if (!ZvObject::IsKnownKind(kind)) {
    return 0;
  }
  return Locked([&](ZvHandleTable& table) { return table.Add(std::make_unique<ZvObject>(kind)); });
}

int StoreRequest(ZvHandle store, int code, void* buffer, int count) {
  if (code != ZvStoreInsert || buffer == nullptr || count != 0) {
    return 0;
  }
  ZvHandle object = 0;
  std::memcpy(&object, buffer, sizeof object);
  return Locked([&](ZvHandleTable& table) -> int {
    ZvStore* s = table.Get<ZvStore>(store);
    ZvObject* o = table.Get<ZvObject>(object);
    if (s == nullptr || o == nullptr || o->Store() != 0 || s->NextId() == 0) {
      return 0;
    }
    const int32_t id = s->NextId();
    s->Insert(id, object);
    o->SetStore(store);
    return id;
  });
}

int GetAttributes(ZvHandle object, EntityAttributes* attributes) {
  if (attributes == nullptr) {
    return 0;
  }
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    if (o == nullptr) {
      return 0;
    }
    std::memcpy(attributes, &o->Attributes(), sizeof(EntityAttributes));
    return 1;
  });
}

int SetAttributes(ZvHandle object, const EntityAttributes* attributes) {
  if (attributes == nullptr) {
    return 0;
  }
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    if (o == nullptr) {
      return 0;
    }
    std::memcpy(&o->Attributes(), attributes, sizeof(EntityAttributes));
    return 1;
  });
}

int GetObjectFlags(ZvHandle object) {
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    return o == nullptr ? 0 : o->Flags();
  });
}

int SetObjectFlags(ZvHandle object, int flags) {
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    if (o == nullptr) {
      return 0;
    }
    o->SetFlags(flags);
    return 1;
  });
}

int ZvObjectKind(ZvHandle object) {
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    return o == nullptr ? 0 : o->Kind();
  });
}

int ZvReleaseObject(ZvHandle object) {
  return Locked([&](ZvHandleTable& table) {
    ZvObject* o = table.Get<ZvObject>(object);
    if (o == nullptr || o->Store() != 0) {
      return 0;
    }
    table.Release(object);
    return 1;
  });
}

ZvHandle ZvCreateStore(void) {
  return Locked([&](ZvHandleTable& table) { return table.Add(std::make_unique<ZvStore>()); });
}

int ZvDestroyStore(ZvHandle store) {
  return Locked([&](ZvHandleTable& table) {
    ZvStore* s = table.Get<ZvStore>(store);
    if (s == nullptr) {
      return 0;
    }
    for (const ZvStore::Entity& e : s->Entities()) table.Release(e.object);
    table.Release(store);
    return 1;
  });
}

int ZvStoreInsertWithId(ZvHandle store, ZvHandle object, int32_t id) {
  return Locked([&](ZvHandleTable& table) {
    ZvStore* s = table.Get<ZvStore>(store);
    ZvObject* o = table.Get<ZvObject>(object);
    if (s == nullptr || o == nullptr || id <= 0 || o->Store() != 0 || s->Contains(id)) {
      return 0;
    }
    s->Insert(id, object);
    o->SetStore(store);
    return 1;
  });
}

ZvHandle ZvStoreLookup(ZvHandle store, int32_t id) {
  return Locked([&](ZvHandleTable& table) -> ZvHandle {
    const ZvStore* s = table.Get<ZvStore>(store);
    return s == nullptr ? 0 : s->Lookup(id);
  });
}

int ZvStoreEntityKind(ZvHandle store, int32_t id) {
  return Locked([&](ZvHandleTable& table) {
    const ZvObject* o = ObjectIn(table, store, id);
    return o == nullptr ? 0 : o->Kind();
  });
}

int ZvStoreEntityCount(ZvHandle store) {
  return Locked([&](ZvHandleTable& table) {
    const ZvStore* s = table.Get<ZvStore>(store);
    return s == nullptr ? 0 : static_cast<int>(s->Entities().size());
  });
}

int ZvStoreEntityIds(ZvHandle store, int32_t* ids, int capacity) {
  return Locked([&](ZvHandleTable& table) {
    const ZvStore* s = table.Get<ZvStore>(store);
    if (s == nullptr || ids == nullptr || capacity <= 0) {
      return 0;
    }
    int n = 0;
    for (const ZvStore::Entity& e : s->Entities()) {
      if (n == capacity) break;
      ids[n++] = e.id;
    }
    return n;
  });
}

ZvHandle ZvSaveStoreState(ZvHandle store) {
  return Locked([&](ZvHandleTable& table) -> ZvHandle {
    const ZvStore* s = table.Get<ZvStore>(store);
    if (s == nullptr) {
      return 0;
    }
    std::vector<ZvStoreState::Entry> entries;
    entries.reserve(s->Entities().size());
    for (const ZvStore::Entity& e : s->Entities()) {
      entries.push_back(ZvStoreState::Entry{e, *table.Get<ZvObject>(e.object)});
    }
    return table.Add(std::make_unique<ZvStoreState>(store, std::move(entries)));
  });
}

int ZvRestoreStoreState(ZvHandle store, ZvHandle state) {
  return Locked([&](ZvHandleTable& table) {
    ZvStore* s = table.Get<ZvStore>(store);
    const ZvStoreState* saved = table.Get<ZvStoreState>(state);
    if (s == nullptr || saved == nullptr || saved->Store() != store) {
      return 0;
    }
    std::unordered_set<ZvHandle> kept;
    std::vector<ZvStore::Entity> entities;
    for (const ZvStoreState::Entry& entry : saved->Entries()) {
      kept.insert(entry.entity.object);
      entities.push_back(entry.entity);
    }
    for (const ZvStore::Entity& e : s->Entities()) {
      if (kept.count(e.object) == 0) table.Release(e.object);
    }
    for (const ZvStoreState::Entry& entry : saved->Entries()) {
      if (ZvObject* o = table.Get<ZvObject>(entry.entity.object)) {
        *o = entry.object;
      } else {
        table.Restore(entry.entity.object, std::make_unique<ZvObject>(entry.object));
      }
    }
    s->Replace(std::move(entities));
    return 1;
  });
}

int ZvReleaseStoreState(ZvHandle state) {
  return Locked([&](ZvHandleTable& table) {
    if (table.Get<ZvStoreState>(state) == nullptr) {
      return 0;
    }
    table.Release(state);
    return 1;
  });
}
