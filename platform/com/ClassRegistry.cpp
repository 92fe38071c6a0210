// The class registry: see ClassRegistry.h. Registering a CLSID again replaces its creator and
// keeps its ProgIDs; a ProgID registered again moves to the newer class.
#include "ClassRegistry.h"

#include "ComInternal.h"

namespace kp::com {

ClassRegistry& ClassRegistry::Instance() {
  // Never destroyed: libraries unloading during process exit still revoke their classes.
  static ClassRegistry* registry = new ClassRegistry;
  return *registry;
}

HRESULT ClassRegistry::Register(REFCLSID clsid, LPCOLESTR progId, KpClassCreator create) {
  if (!create) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(mutex_);
  Entry& e = classes_[clsid];
  e.create = create;
  if (progId && *progId) {
    const std::u16string key = FoldedKey(progId);
    bool known = false;
    for (const std::u16string& p : e.progIds) known = known || FoldedKey(p.c_str()) == key;
    if (!known) e.progIds.emplace_back(progId);
    progIds_[key] = clsid;
  }
  return S_OK;
}

HRESULT ClassRegistry::AddProgId(LPCOLESTR progId, REFCLSID clsid) {
  if (!progId || !*progId) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = classes_.find(clsid);
  if (it == classes_.end()) return REGDB_E_CLASSNOTREG;
  const std::u16string key = FoldedKey(progId);
  auto old = progIds_.find(key);
  if (old != progIds_.end() && !IsEqualGUID(old->second, clsid)) {
    auto owner = classes_.find(old->second);
    if (owner != classes_.end()) {
      std::erase_if(owner->second.progIds,
                    [&](const std::u16string& p) { return FoldedKey(p.c_str()) == key; });
    }
  }
  bool known = false;
  for (const std::u16string& p : it->second.progIds) known = known || FoldedKey(p.c_str()) == key;
  if (!known) it->second.progIds.emplace_back(progId);
  progIds_[key] = clsid;
  return S_OK;
}

HRESULT ClassRegistry::Revoke(REFCLSID clsid) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = classes_.find(clsid);
  if (it == classes_.end()) return REGDB_E_CLASSNOTREG;
  for (const std::u16string& p : it->second.progIds) {
    auto pit = progIds_.find(FoldedKey(p.c_str()));
    if (pit != progIds_.end() && IsEqualGUID(pit->second, clsid)) progIds_.erase(pit);
  }
  classes_.erase(it);
  return S_OK;
}

KpClassCreator ClassRegistry::Creator(REFCLSID clsid) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = classes_.find(clsid);
  return it == classes_.end() ? nullptr : it->second.create;
}

bool ClassRegistry::FindProgId(LPCOLESTR progId, CLSID* clsid) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = progIds_.find(FoldedKey(progId));
  if (it == progIds_.end()) return false;
  *clsid = it->second;
  return true;
}

bool ClassRegistry::PrimaryProgId(REFCLSID clsid, std::u16string* progId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = classes_.find(clsid);
  if (it == classes_.end()) return false;
  progId->clear();
  if (!it->second.progIds.empty()) *progId = it->second.progIds.front();
  return true;
}

}  // namespace kp::com
