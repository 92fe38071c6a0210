// Loading a map into the kernel and reading it back; see KernelMap.h. The property codes are
// those of host/zvkernel.h (docs/hostlibs.md): 1027 sets node points, 1001 explicit line
// points, 155/20/145/147 a stratum's samples, scale and values; reads use 4/27, 0/1, 156/1155,
// 1020, 1145/1147. The stratum code lives in the attribute record (GBK, up to its NUL).
#include "KernelMap.h"

#include <winnls.h>

#include <algorithm>
#include <cstring>

namespace sectionhost {

namespace {

constexpr size_t kCodeField = sizeof(EntityAttributes::code) - 1;  // bytes before the NUL

// The length of the longest prefix of GBK `text` that has whole characters only, at most
// `limit` bytes and before any NUL. A lead byte with nothing after it within the limit is half
// a character and is left out.
size_t WholeCharacters(const std::string& text, size_t limit) {
  size_t n = std::min(text.size(), limit), i = 0;
  while (i < n && text[i] != '\0') {
    size_t length = IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? 2 : 1;
    if (i + length > n) break;
    i += length;
  }
  return i;
}

std::vector<Point3D> ReadPoints(ZvHandle object, int countProperty, int pointsProperty, bool passCount) {
  int32_t count = 0;
  ObjectProperty(object, countProperty, &count, 0);
  std::vector<Point3D> points(count > 0 ? count : 0);
  if (!points.empty()) ObjectProperty(object, pointsProperty, points.data(), passCount ? count : 0);
  return points;
}

}  // namespace

KernelMap::~KernelMap() {
  Clear();
}

void KernelMap::Clear() {
  if (store_) ZvDestroyStore(store_);
  store_ = 0;
  loaded_ = MapData();
  inputIndex_.clear();
  hostTypes_.clear();
  recordCodes_.clear();
  loadWarnings_.clear();
  warned_.clear();
}

void KernelMap::Swap(KernelMap& other) {
  std::swap(store_, other.store_);
  std::swap(loaded_, other.loaded_);
  std::swap(inputIndex_, other.inputIndex_);
  std::swap(hostTypes_, other.hostTypes_);
  std::swap(recordCodes_, other.recordCodes_);
  std::swap(loadWarnings_, other.loadWarnings_);
  std::swap(warned_, other.warned_);
}

// Builds the new map beside the current one and swaps them only when every entity is in: a map
// that fails leaves the previous one, and the new store is destroyed with `next`.
bool KernelMap::Load(MapData data, std::string* error) {
  KernelMap next;
  next.store_ = ZvCreateStore();
  if (!next.store_) {
    if (error) *error = "the kernel could not create an entity store";
    return false;
  }
  for (size_t i = 0; i < data.entities.size(); ++i) {
    MapEntity& e = data.entities[i];
    if (!next.LoadEntity(e, error)) return false;
    next.inputIndex_[e.id] = i;
    // The kernel holds the points now.
    std::vector<Point3D>().swap(e.nodes);
    std::vector<Point3D>().swap(e.linePoints);
    std::vector<StratumSample>().swap(e.samples);
  }
  next.loaded_ = std::move(data);
  Swap(next);
  std::vector<std::string> warnings;
  warnings.swap(loadWarnings_);
  for (const std::string& w : warnings) {
    if (warn_) warn_(w);
  }
  return true;
}

bool KernelMap::LoadEntity(MapEntity& e, std::string* error) {
  std::string what = "entity " + std::to_string(e.id);
  if (e.id <= 0) {
    if (error) *error = what + ": entity ids must be positive";
    return false;
  }
  bool kernelKind = IsCurveType(e.type) || e.type == EntitySectionStratum;
  ZvHandle object = CreateObject(kernelKind ? e.type : ZvKindCurve14);
  if (!object) {
    if (error) *error = what + ": the kernel could not create an object of kind " + std::to_string(e.type);
    return false;
  }
  if (IsCurveType(e.type)) {
    ObjectProperty(object, ZvPropSetNodePoints, e.nodes.empty() ? nullptr : e.nodes.data(),
                   static_cast<int>(e.nodes.size()));
    if (e.explicitLinePoints) {
      // An empty explicit list still needs a non-null buffer: null means "derive them".
      Point3D none;
      ObjectProperty(object, ZvPropSetLinePoints, e.linePoints.empty() ? &none : e.linePoints.data(),
                     static_cast<int>(e.linePoints.size()));
    }
  } else if (e.type == EntitySectionStratum) {
    ObjectProperty(object, ZvPropSamples, e.samples.empty() ? nullptr : e.samples.data(),
                   static_cast<int>(e.samples.size()));
    int32_t v145 = e.value145, v147 = e.value147;
    ObjectProperty(object, ZvPropStratum145, &v145, 0);
    ObjectProperty(object, ZvPropStratum147, &v147, 0);
    if (e.hasScale) {
      double scale = e.scale;
      ObjectProperty(object, ZvPropScale, &scale, 0);
    }
    EntityAttributes attributes;
    GetAttributes(object, &attributes);
    std::string code = kp::Utf8ToGbk(e.code);
    std::string held = code.substr(0, WholeCharacters(code, kCodeField));
    std::memset(attributes.code, 0, sizeof attributes.code);
    std::memcpy(attributes.code, held.data(), held.size());
    SetAttributes(object, &attributes);
    recordCodes_[e.id] = held;
    if (held != code) {
      loadWarnings_.push_back(what + ": the stratum code \"" + e.code + "\" does not fit the kernel's " +
                              std::to_string(kCodeField) + " bytes; the kernel holds \"" + kp::GbkToUtf8(held) +
                              "\", the map keeps the whole code");
    }
  } else {
    hostTypes_[e.id] = e.type;
  }
  SetObjectFlags(object, e.deleted ? 1 : 0);
  if (!ZvStoreInsertWithId(store_, object, e.id)) {
    ZvReleaseObject(object);
    if (error) *error = what + ": the store refused the id";
    return false;
  }
  return true;
}

void KernelMap::Warn(int32_t id, const std::string& text) const {
  if (warn_ && warned_.insert({id, text}).second) warn_(text);
}

ZvHandle KernelMap::Handle(int32_t id) const {
  return store_ ? ZvStoreLookup(store_, id) : 0;
}

int KernelMap::EntityType(int32_t id) const {
  ZvHandle object = Handle(id);
  if (!object) return 0;
  auto it = hostTypes_.find(id);
  return it != hostTypes_.end() ? it->second : ZvObjectKind(object);
}

MapEntity KernelMap::ReadEntity(int32_t id, bool derivedLines) const {
  MapEntity e;
  auto input = inputIndex_.find(id);
  if (input != inputIndex_.end()) e = loaded_.entities[input->second];
  e.id = id;
  e.type = EntityType(id);
  ZvHandle object = Handle(id);
  e.deleted = (GetObjectFlags(object) & 1) != 0;
  if (IsCurveType(e.type)) {
    e.nodes = ReadPoints(object, ZvPropNodePointCount, ZvPropNodePoints, true);
    if (derivedLines || e.explicitLinePoints) {
      e.linePoints = ReadPoints(object, ZvPropLinePointCount, ZvPropLinePoints, false);
    }
  } else if (e.type == EntitySectionStratum) {
    int32_t count = 0;
    ObjectProperty(object, ZvPropSampleCount, &count, 0);
    e.samples.assign(count > 0 ? count : 0, StratumSample());
    if (!e.samples.empty()) ObjectProperty(object, ZvPropSamplesOut, e.samples.data(), count);
    ObjectProperty(object, ZvPropScaleOut, &e.scale, 0);
    e.hasScale = true;
    ObjectProperty(object, ZvPropStratum145Out, &e.value145, 0);
    ObjectProperty(object, ZvPropStratum147Out, &e.value147, 0);
    EntityAttributes attributes;
    GetAttributes(object, &attributes);
    std::string record(attributes.code, strnlen(attributes.code, sizeof attributes.code));
    auto written = recordCodes_.find(id);
    if (input == inputIndex_.end() || written == recordCodes_.end() || written->second != record) {
      std::string whole = record.substr(0, WholeCharacters(record, record.size()));
      e.code = kp::GbkToUtf8(whole);
      if (whole.size() != record.size()) {
        Warn(id, "entity " + std::to_string(id) +
                     ": the stratum code in the kernel ends in half a character; it is read as \"" + e.code +
                     "\"");
      }
    }  // else the record holds what was loaded: the map's whole code stands
  }
  return e;
}

MapData KernelMap::Read() const {
  MapData data = loaded_;
  data.entities.clear();
  Entities()([&](const MapEntity& e) { data.entities.push_back(e); });
  return data;
}

EachEntity KernelMap::Entities(bool derivedLines) const {
  return [this, derivedLines](const EntityUse& use) {
    if (!store_) return;
    int count = ZvStoreEntityCount(store_);
    std::vector<int32_t> ids(count > 0 ? count : 0);
    if (!ids.empty()) ids.resize(ZvStoreEntityIds(store_, ids.data(), count));
    for (int32_t id : ids) use(ReadEntity(id, derivedLines));
  };
}

ZvHandle KernelMap::SaveState() const {
  return store_ ? ZvSaveStoreState(store_) : 0;
}

bool KernelMap::RestoreState(ZvHandle state) {
  return store_ && ZvRestoreStoreState(store_, state) != 0;
}

void KernelMap::ReleaseState(ZvHandle state) {
  if (state) ZvReleaseStoreState(state);
}

}  // namespace sectionhost
