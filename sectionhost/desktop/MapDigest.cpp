// The digest of a map; see MapDigest.h.
#include "MapDigest.h"

#include <cstring>
#include <string>

namespace sectionhost {

namespace {

class Fnv {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ p[i]) * 1099511628211ull;
  }
  // Numbers go in as one word each (FNV-1a's step on 64-bit words), eight times fewer steps
  // than byte by byte: the points are nearly all of a large map.
  template <typename T>
  void Value(T value) {  // by value: records of the kernel are packed, their doubles unaligned
    static_assert(sizeof(T) <= sizeof(uint64_t));
    uint64_t word = 0;
    std::memcpy(&word, &value, sizeof value);
    hash_ = (hash_ ^ word) * 1099511628211ull;
    hash_ ^= hash_ >> 29;  // the word's high bits reach the low ones
  }
  void Text(const std::string& text) {
    Value(text.size());
    Bytes(text.data(), text.size());
  }
  void Points(const std::vector<Point3D>& points) {
    Value(points.size());
    for (const Point3D& p : points) Value(p.x), Value(p.y), Value(p.z);
  }
  void Flags(const std::vector<bool>& flags) {
    Value(flags.size());
    for (bool f : flags) Value(f);
  }
  uint64_t Hash() const { return hash_; }

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

}  // namespace

uint64_t MapDigest::Of(const MapData& map) {
  Fnv f;
  f.Value(map.hasScale), f.Value(map.scale), f.Value(map.scaleUnit), f.Value(map.currentItem);
  f.Value(map.itemScales.size());
  for (double s : map.itemScales) f.Value(s);
  f.Text(map.mapExtra.dump()), f.Text(map.itemExtra.dump()), f.Text(map.collectionExtra.dump());
  f.Value(map.entities.size());
  for (const MapEntity& e : map.entities) {
    f.Value(e.id), f.Value(e.type), f.Value(e.deleted), f.Value(e.fromInput), f.Value(e.explicitLinePoints);
    f.Points(e.nodes), f.Flags(e.nodeHasZ), f.Points(e.linePoints), f.Flags(e.lineHasZ);
    f.Text(e.code), f.Value(e.scale), f.Value(e.hasScale), f.Value(e.value145), f.Value(e.value147);
    f.Value(e.samples.size());
    for (const StratumSample& s : e.samples) {
      f.Value(s.point.x), f.Value(s.point.y), f.Value(s.point.z), f.Value(s.thickness), f.Value(s.second),
          f.Value(s.third), f.Value(s.flag);
    }
    f.Text(e.properties.dump()), f.Text(e.geometry.dump()), f.Text(e.extraMembers.dump());
  }
  return f.Hash();
}

}  // namespace sectionhost
