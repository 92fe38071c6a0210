// Picking entities by a point of the map: the shape of each entity (curves: their line points,
// else their nodes; section strata: their band; other entities: the positions of their GeoJSON
// geometry), its extent, and the entity nearest to a point within a pick distance. Deleted
// entities are not offered. Distances are in map units.
//
// The pick distance is the person's tolerance: by default kDefaultShare of the larger side of
// the map's extent (2 for a section 100 units wide), at least kMinimumDistance; the terminal
// front end states it in its help and lets the person change it.
#pragma once
#include <cstdint>
#include <vector>

#include "MapData.h"

namespace sectionhost {

struct Extent {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool empty = true;
  void Add(double x, double y);
};

class PointPicker {
 public:
  static constexpr double kDefaultShare = 0.02;
  static constexpr double kMinimumDistance = 1e-6;

  // The shape of one entity: open polylines, closed polygons (first point not repeated) and
  // single points.
  struct Shape {
    std::vector<std::vector<Point3D>> lines;
    std::vector<std::vector<Point3D>> polygons;
    std::vector<Point3D> points;
  };

  static Shape ShapeOf(const MapEntity& entity);
  static Extent ExtentOf(const MapEntity& entity);
  static Extent ExtentOf(const MapData& map);
  // The distance from (x, y) to the entity's shape: 0 inside a polygon; infinity without one.
  static double Distance(const MapEntity& entity, double x, double y);
  static double DefaultPickDistance(const MapData& map);

  // The id of the nearest entity that is not deleted and lies within `maxDistance` of (x, y);
  // on a tie the first in map order. 0 when none does.
  static int32_t Nearest(const MapData& map, double x, double y, double maxDistance);

  // The distance from (x, y) to the segment a-b (a degenerate segment is its one point).
  static double SegmentDistance(double x, double y, const Point3D& a, const Point3D& b);
};

}  // namespace sectionhost
