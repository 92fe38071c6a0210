// Section maps as GeoJSON FeatureCollections (UTF-8), the host's map file format.
//
// Member "map": {"scale": S, "scaleUnit": U, "items": [{"scale": S1}, ...], "currentItem": I};
// a missing (or null) scale means MapScale -1.0, a missing scaleUnit is 1, currentItem indexes
// items from 0. Each feature is an entity: "id" its entity id (a JSON integer), "properties"
// {"entityType": T, "deleted": false, ...}; a curve's geometry is a LineString of its node
// points ([x, y] or [x, y, z]; any number of positions) and an optional "linePoints" property
// gives its line points explicitly. Other entity types may have any geometry, kept as given.
// A section stratum (27) is written with "code", "scale", "samples" ([x, y, z, thickness,
// second, third, flag] in record order) and a Polygon: the band from the lower points up by the
// thickness. Written maps keep the input's features in order; non-finite numbers become null.
#pragma once
#include <string>

#include "MapData.h"

namespace sectionhost {

class MapFile {
 public:
  // The deepest nesting of arrays and objects a map file may have (a map needs about 8).
  static constexpr size_t kMaxNesting = 256;

  // Parses GeoJSON text (MapReader). False with a reason in *error for anything that is not a
  // map.
  static bool Parse(const std::string& text, MapData* map, std::string* error);
  static bool Read(const std::string& path, MapData* map, std::string* error);
  // GeoJSON text (MapWriter): one feature per line, members in a stable order.
  static std::string Format(const MapData& map);
  static bool Write(const std::string& path, const MapData& map, std::string* error);
  // Writes the map whose map member and other collection members are those of `head` and whose
  // entities `entities` hands over one at a time (head.entities is not read).
  static bool Write(const std::string& path, const MapData& head, const EachEntity& entities, std::string* error);

  // The stratum's band: the lower points, then the upper points (y + thickness) backwards,
  // closed. Empty for no samples.
  static std::vector<Point3D> StratumBand(const std::vector<StratumSample>& samples);
  // The band's size (2n + 1 points for n samples, 0 for none) and its point i, without building
  // it (a writer of a million-sample band reads the points one by one).
  static size_t StratumBandSize(const std::vector<StratumSample>& samples);
  static Point3D StratumBandPoint(const std::vector<StratumSample>& samples, size_t i);
};

}  // namespace sectionhost
