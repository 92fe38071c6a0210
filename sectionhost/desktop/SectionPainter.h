// Draws a section scene with QPainter, for the window, the PNG and the SVG export alike:
// strata as filled bands coloured by their code (a stable colour per code) and labelled with
// it, curves as lines, other entities as a marker with their label, and a legend of the codes.
// Deleted entities are left out unless the style shows them (grey, dashed); highlighted
// entities are drawn red and thick, those in the pick in progress blue and thick.
//
// Large sections: entities outside the visible part of the map are skipped, and a line keeps
// only the points that move at least kMinStepPixels from the last point kept, so a curve of a
// million points costs about as many segments as the window has pixels along it.
#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPolygonF>
#include <set>
#include <string>
#include <vector>

#include "SectionScene.h"
#include "ViewTransform.h"

namespace sectionhost {

struct PaintStyle {
  bool showDeleted = false;
  bool legend = true;
  std::set<int32_t> highlighted;
  std::set<int32_t> picked;
  QFont font;  // labels and legend (a CJK font: CjkFonts)
};

class SectionPainter {
 public:
  static constexpr double kMinStepPixels = 0.5;

  // A colour per stratum code: the same code always gets the same colour, in every run.
  static QColor CodeColor(const std::string& code);

  // Draws the scene into the rectangle (0, 0, size) of the painter's device.
  static void Paint(QPainter& painter, const SectionScene& scene, const ViewTransform& view,
                    const QSizeF& size, const PaintStyle& style);
  // The line through `points` in screen coordinates, simplified as above; non-finite points
  // are left out.
  static QPolygonF ScreenLine(const std::vector<Point3D>& points, const ViewTransform& view);

 private:
  static void PaintLegend(QPainter& painter, const SectionScene& scene, const QSizeF& size,
                          const PaintStyle& style);
};

}  // namespace sectionhost
