// The process-wide table of COM classes: CLSID -> creator, and ProgID (folded to lower case,
// since ProgIDs compare case-insensitively as registry keys do) -> CLSID. Libraries fill it
// while they load and empty it while they unload, possibly on other threads than the callers
// of CoCreateInstance, so every access takes the table's lock.
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kp/kpcom.h"

namespace kp::com {

class ClassRegistry {
 public:
  static ClassRegistry& Instance();

  HRESULT Register(REFCLSID clsid, LPCOLESTR progId, KpClassCreator create);
  HRESULT AddProgId(LPCOLESTR progId, REFCLSID clsid);
  HRESULT Revoke(REFCLSID clsid);

  // The creator of a class, or null.
  KpClassCreator Creator(REFCLSID clsid) const;
  bool FindProgId(LPCOLESTR progId, CLSID* clsid) const;
  // The class's first ProgID (empty when it has none); false for an unknown class.
  bool PrimaryProgId(REFCLSID clsid, std::u16string* progId) const;

 private:
  struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
  };
  struct Entry {
    KpClassCreator create;
    std::vector<std::u16string> progIds;  // as registered; the first is the primary one
  };

  mutable std::mutex mutex_;
  std::map<GUID, Entry, GuidLess> classes_;
  std::map<std::u16string, GUID> progIds_;  // folded key -> class
};

}  // namespace kp::com
