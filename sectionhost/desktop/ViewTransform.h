// The view of the section in the window: map units to pixels and back. Map y grows upwards,
// screen y downwards; one scale serves both axes, so shapes keep their proportions. The view
// zooms about a point of the screen (the map point under the cursor stays under it), pans by
// pixels and fits an extent into a window with a margin.
//
// The scale is held between kMinScale and kMaxScale pixels per map unit, so no zoom can make it
// zero or infinite (and a section of any finite coordinates still fits); an empty extent fits as the unit
// square, a degenerate one (a single point, a horizontal line) as a square around it.
#pragma once
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "sectionhost/map/PointPicker.h"

namespace sectionhost {

class ViewTransform {
 public:
  static constexpr double kMinScale = 1e-300;
  static constexpr double kMaxScale = 1e12;

  double Scale() const { return scale_; }  // pixels per map unit
  QPointF ToScreen(double x, double y) const { return {(x - x0_) * scale_, (y0_ - y) * scale_}; }
  QPointF ToMap(const QPointF& screen) const {
    return {x0_ + screen.x() / scale_, y0_ - screen.y() / scale_};
  }
  // The map rectangle a window of `size` pixels shows (left, bottom, width, height in map units).
  QRectF VisibleMap(const QSizeF& size) const;

  // Shows `extent` whole and centred in a window of `size` pixels, `margin` pixels on each side.
  void Fit(const Extent& extent, const QSizeF& size, double margin);
  // Multiplies the scale by `factor` (clamped), keeping the map point under `screen` in place.
  void ZoomAbout(const QPointF& screen, double factor);
  // Moves the picture by `pixels` (the map follows the mouse).
  void Pan(const QPointF& pixels);
  // `value` (a map coordinate under the cursor) rounded to the power of ten just below one
  // pixel's size, so a click shows as "(20, 55)" rather than "(20.0239, 54.992)".
  double RoundToPixel(double value) const;

 private:
  double scale_ = 1.0;
  double x0_ = 0.0, y0_ = 0.0;  // the map point at the window's top left corner
};

}  // namespace sectionhost
