// The scene of a section map; see SectionScene.h.
#include "SectionScene.h"

#include <algorithm>
#include <cmath>

namespace sectionhost {

namespace {

// A stratum's label sits half its thickness above the middle sample of its lower curve.
bool StratumAnchor(const MapEntity& e, double* x, double* y) {
  std::vector<const StratumSample*> finite;
  for (const StratumSample& s : e.samples) {
    if (std::isfinite(s.point.x) && std::isfinite(s.point.y) && std::isfinite(s.thickness))
      finite.push_back(&s);
  }
  if (finite.empty()) return false;
  std::sort(finite.begin(), finite.end(), [](auto* a, auto* b) { return a->point.x < b->point.x; });
  const StratumSample& middle = *finite[finite.size() / 2];
  *x = middle.point.x;
  *y = middle.point.y + middle.thickness / 2;
  return std::isfinite(*y);
}

}  // namespace

std::string SectionScene::LabelOf(const MapEntity& e) {
  if (e.type == EntitySectionStratum) return e.code;
  for (const char* key : {"name", "text", "label"}) {
    if (e.properties.contains(key) && e.properties[key].is_string())
      return e.properties[key].get<std::string>();
  }
  return "";
}

SectionScene SectionScene::From(const MapData& map) {
  SectionScene scene;
  Extent all;
  for (const MapEntity& e : map.entities) {
    SceneEntity s;
    s.id = e.id;
    s.type = e.type;
    s.deleted = e.deleted;
    s.shape = PointPicker::ShapeOf(e);
    s.extent = PointPicker::ExtentOf(e);
    if (e.type == EntitySectionStratum) {
      s.label = e.code;
      s.hasAnchor = StratumAnchor(e, &s.anchorX, &s.anchorY);
      if (!e.deleted && std::find(scene.codes.begin(), scene.codes.end(), e.code) == scene.codes.end())
        scene.codes.push_back(e.code);
    } else if (!IsCurveType(e.type)) {
      // Labels of curves are in the list, not on the picture (as in the SVG).
      s.label = LabelOf(e);
      if (!s.shape.points.empty()) {
        s.hasAnchor = true;
        s.anchorX = s.shape.points.front().x;
        s.anchorY = s.shape.points.front().y;
      }
    }
    if (!s.extent.empty) {
      all.Add(s.extent.minX, s.extent.minY);
      all.Add(s.extent.maxX, s.extent.maxY);
      if (!e.deleted) {
        scene.extent.Add(s.extent.minX, s.extent.minY);
        scene.extent.Add(s.extent.maxX, s.extent.maxY);
      }
    }
    scene.entities.push_back(std::move(s));
  }
  if (scene.extent.empty) scene.extent = all;
  return scene;
}

}  // namespace sectionhost
