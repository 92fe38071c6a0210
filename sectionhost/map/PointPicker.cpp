// Entity shapes, extents and the nearest entity; see PointPicker.h.
#include "PointPicker.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "MapFile.h"

namespace sectionhost {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool Finite(const Point3D& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Positions of a GeoJSON geometry's coordinates: a position is an array whose first two
// members are numbers; anything else nests further.
void CollectPositions(const nlohmann::ordered_json& coordinates, std::vector<Point3D>* out) {
  if (!coordinates.is_array()) return;
  if (coordinates.size() >= 2 && coordinates[0].is_number() && coordinates[1].is_number()) {
    out->push_back({coordinates[0].get<double>(), coordinates[1].get<double>(), 0.0});
    return;
  }
  for (const auto& member : coordinates) CollectPositions(member, out);
}

void AddGeometry(const nlohmann::ordered_json& geometry, PointPicker::Shape* shape) {
  if (!geometry.is_object()) return;
  std::string type = geometry.value("type", "");
  if (type == "GeometryCollection" && geometry.contains("geometries")) {
    for (const auto& g : geometry["geometries"]) AddGeometry(g, shape);
    return;
  }
  if (!geometry.contains("coordinates")) return;
  const auto& c = geometry["coordinates"];
  auto positions = [](const nlohmann::ordered_json& part) {
    std::vector<Point3D> points;
    CollectPositions(part, &points);
    return points;
  };
  if (type == "Point" || type == "MultiPoint") {
    std::vector<Point3D> points = positions(c);
    shape->points.insert(shape->points.end(), points.begin(), points.end());
  } else if (type == "LineString") {
    shape->lines.push_back(positions(c));
  } else if (type == "MultiLineString") {
    for (const auto& line : c) shape->lines.push_back(positions(line));
  } else if (type == "Polygon") {
    for (const auto& ring : c) shape->polygons.push_back(positions(ring));
  } else if (type == "MultiPolygon") {
    for (const auto& polygon : c) {
      for (const auto& ring : polygon) shape->polygons.push_back(positions(ring));
    }
  }
}

// Even-odd rule: a horizontal ray from (x, y) crosses the ring's edges an odd number of times.
bool Inside(const std::vector<Point3D>& ring, double x, double y) {
  bool inside = false;
  for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    const Point3D& a = ring[i];
    const Point3D& b = ring[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

}  // namespace

void Extent::Add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (empty) {
    minX = maxX = x, minY = maxY = y;
    empty = false;
    return;
  }
  minX = std::min(minX, x), maxX = std::max(maxX, x);
  minY = std::min(minY, y), maxY = std::max(maxY, y);
}

PointPicker::Shape PointPicker::ShapeOf(const MapEntity& e) {
  Shape shape;
  if (IsCurveType(e.type)) {
    shape.lines.push_back(e.linePoints.empty() ? e.nodes : e.linePoints);
  } else if (e.type == EntitySectionStratum) {
    std::vector<Point3D> band = MapFile::StratumBand(e.samples);
    if (band.size() > 1) band.pop_back();  // closed: the last point repeats the first
    shape.polygons.push_back(band);
  } else {
    AddGeometry(e.geometry, &shape);
  }
  for (auto& polygon : shape.polygons) {
    if (polygon.size() > 1 && polygon.front().x == polygon.back().x &&
        polygon.front().y == polygon.back().y) {
      polygon.pop_back();
    }
  }
  return shape;
}

Extent PointPicker::ExtentOf(const MapEntity& entity) {
  Extent extent;
  Shape shape = ShapeOf(entity);
  for (const auto& line : shape.lines) {
    for (const Point3D& p : line) extent.Add(p.x, p.y);
  }
  for (const auto& polygon : shape.polygons) {
    for (const Point3D& p : polygon) extent.Add(p.x, p.y);
  }
  for (const Point3D& p : shape.points) extent.Add(p.x, p.y);
  return extent;
}

Extent PointPicker::ExtentOf(const MapData& map) {
  Extent extent;
  for (const MapEntity& e : map.entities) {
    Extent one = ExtentOf(e);
    if (one.empty) continue;
    extent.Add(one.minX, one.minY);
    extent.Add(one.maxX, one.maxY);
  }
  return extent;
}

// Projection of p onto the line through a and b: t = (p - a)·(b - a) / |b - a|², clamped to
// [0, 1] so the nearest point stays on the segment. A degenerate segment (a == b) is a point.
double PointPicker::SegmentDistance(double x, double y, const Point3D& a, const Point3D& b) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double length2 = dx * dx + dy * dy;
  if (length2 == 0.0) return std::hypot(x - a.x, y - a.y);
  double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length2, 0.0, 1.0);
  return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy));
}

double PointPicker::Distance(const MapEntity& entity, double x, double y) {
  Shape shape = ShapeOf(entity);
  double best = kInfinity;
  auto points = [&](const std::vector<Point3D>& line, bool closed) {
    if (line.size() == 1 && Finite(line[0])) best = std::min(best, std::hypot(x - line[0].x, y - line[0].y));
    for (size_t i = 0; i + 1 < line.size(); ++i) {
      if (Finite(line[i]) && Finite(line[i + 1]))
        best = std::min(best, SegmentDistance(x, y, line[i], line[i + 1]));
    }
    if (closed && line.size() > 2 && Finite(line.back()) && Finite(line.front())) {
      best = std::min(best, SegmentDistance(x, y, line.back(), line.front()));
    }
  };
  for (const auto& line : shape.lines) points(line, false);
  for (const auto& polygon : shape.polygons) {
    if (polygon.size() > 2 && Inside(polygon, x, y)) return 0.0;
    points(polygon, true);
  }
  for (const Point3D& p : shape.points) {
    if (Finite(p)) best = std::min(best, std::hypot(x - p.x, y - p.y));
  }
  return best;
}

double PointPicker::DefaultPickDistance(const MapData& map) {
  Extent extent = ExtentOf(map);
  if (extent.empty) return 1.0;
  double side = std::max(extent.maxX - extent.minX, extent.maxY - extent.minY);
  return std::max(kMinimumDistance, side * kDefaultShare);
}

int32_t PointPicker::Nearest(const MapData& map, double x, double y, double maxDistance) {
  int32_t found = 0;
  double best = kInfinity;
  for (const MapEntity& e : map.entities) {
    if (e.deleted) continue;
    double d = Distance(e, x, y);
    if (d <= maxDistance && d < best) best = d, found = e.id;
  }
  return found;
}

}  // namespace sectionhost
