// The content of a section map as the host reads and writes it: the map's scales and items,
// and its entities in file order. It is the bridge between a map file (MapFile) and the kernel's
// entity store (MapDocument), and the input of the picture (SvgWriter). Texts are UTF-8.
//
// An entity keeps the JSON members of its input feature that the host does not interpret
// (other properties, a non-curve geometry, extra feature members), so a written map loses
// nothing it was given. Coordinates are doubles; a non-finite value is written as null.
#pragma once
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/zvrecords.h"

namespace sectionhost {

// Entity type codes the host gives meaning to; any other code is carried as it is.
enum EntityType : int {
  EntityPolyline = 2,        // kernel kind 2: line points are the nodes
  EntitySmoothCurve = 3,     // kernel kind 3: line points are derived through the nodes
  EntityCurve14 = 14,        // kernel kind 14
  EntitySectionStratum = 27  // kernel kind 27: samples, scale and code
};

inline bool IsCurveType(int type) {
  return type == EntityPolyline || type == EntitySmoothCurve || type == EntityCurve14;
}

struct MapEntity {
  int32_t id = 0;
  int type = 0;
  bool deleted = false;             // bit 0 of the kernel flags
  bool fromInput = false;           // read from the map file (else made during the session)
  std::vector<Point3D> nodes;       // curves: the LineString positions
  std::vector<bool> nodeHasZ;       // per input position: it was [x, y, z] (others: z != 0)
  std::vector<Point3D> linePoints;  // curves: explicit ones, or the kernel's derived ones
  std::vector<bool> lineHasZ;       // as nodeHasZ, for explicit line points
  bool explicitLinePoints = false;  // "linePoints" was given (and is written back)
  // Section stratum.
  std::string code;  // UTF-8
  double scale = 0.0;
  bool hasScale = false;
  std::vector<StratumSample> samples;
  int32_t value145 = 0;
  int32_t value147 = 0;
  // Members kept from the input feature.
  nlohmann::ordered_json properties = nlohmann::ordered_json::object();  // every input property
  // Input geometry (null when none). A curve's coordinates live in `nodes` (and an explicit
  // "linePoints" property in `linePoints`): the JSON keeps null in their place, and the writer
  // builds both from the entity. A stratum's is not kept (null): its band polygon is written
  // from its samples.
  nlohmann::ordered_json geometry;
  nlohmann::ordered_json extraMembers =
      nlohmann::ordered_json::object();  // feature members other than the four
};

struct MapData {
  bool hasScale = false;  // "map"."scale" given: MapScale answers it, else -1.0
  double scale = -1.0;
  double scaleUnit = 1.0;
  std::vector<double> itemScales;  // "map"."items"[i]."scale"
  int32_t currentItem = 0;
  nlohmann::ordered_json mapExtra = nlohmann::ordered_json::object();         // other members of "map"
  nlohmann::ordered_json itemExtra = nlohmann::ordered_json::array();         // each item object as given
  nlohmann::ordered_json collectionExtra = nlohmann::ordered_json::object();  // other top-level members
  std::vector<MapEntity> entities;  // file order, then insertion order

  double MapScale() const { return hasScale ? scale : -1.0; }
};

// Hands the entities of a map to `use` one at a time, in order: a writer or a picture of a map
// held elsewhere (the kernel's store) reads one entity at a time instead of copying them all.
using EntityUse = std::function<void(const MapEntity&)>;
using EachEntity = std::function<void(const EntityUse& use)>;

inline EachEntity EntitiesOf(const MapData& map) {
  return [&map](const EntityUse& use) {
    for (const MapEntity& e : map.entities) use(e);
  };
}

}  // namespace sectionhost
