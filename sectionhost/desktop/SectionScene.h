// What the window draws of a section map, prepared once per change of the map rather than on
// every repaint: each entity's shape (PointPicker::ShapeOf: curves by their line points,
// strata by their band, other entities by their GeoJSON positions), its extent, its label
// (a stratum's code; else the "name", "text" or "label" property) and where the label goes,
// the extent of the whole map and the stratum codes in order of first appearance (the legend).
// Deleted entities are kept (a view option shows them); they count neither for the codes nor
// for the extent.
#pragma once
#include <string>
#include <vector>

#include "sectionhost/map/MapData.h"
#include "sectionhost/map/PointPicker.h"

namespace sectionhost {

struct SceneEntity {
  int32_t id = 0;
  int type = 0;
  bool deleted = false;
  PointPicker::Shape shape;
  Extent extent;
  std::string label;  // UTF-8; empty: none
  bool hasAnchor = false;
  double anchorX = 0, anchorY = 0;  // the label's map point
};

struct SectionScene {
  std::vector<SceneEntity> entities;  // map order
  Extent extent;                      // of the entities that are not deleted (all if none is left)
  std::vector<std::string> codes;     // stratum codes, first appearance first

  static SectionScene From(const MapData& map);
  // An entity's label as the scene shows it.
  static std::string LabelOf(const MapEntity& entity);
};

}  // namespace sectionhost
