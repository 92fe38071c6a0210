// The view's transform; see ViewTransform.h.
#include "ViewTransform.h"

#include <algorithm>
#include <cmath>

namespace sectionhost {

QRectF ViewTransform::VisibleMap(const QSizeF& size) const {
  QPointF topLeft = ToMap({0, 0});
  return QRectF(topLeft.x(), topLeft.y() - size.height() / scale_, size.width() / scale_,
                size.height() / scale_);
}

void ViewTransform::Fit(const Extent& extent, const QSizeF& size, double margin) {
  double minX = 0, minY = 0, maxX = 1, maxY = 1;
  if (!extent.empty) minX = extent.minX, minY = extent.minY, maxX = extent.maxX, maxY = extent.maxY;
  // Halves first: the width of an extent from -1.8e308 to 1.8e308 would overflow.
  double cx = minX / 2 + maxX / 2, cy = minY / 2 + maxY / 2;
  double halfW = maxX / 2 - minX / 2, halfH = maxY / 2 - minY / 2;
  double half = std::max(halfW, halfH);
  if (!(half > 0)) {
    // A point or a line along one axis: a square around it, at least a unit wide.
    half = std::max(0.5, std::max(std::fabs(cx), std::fabs(cy)) * 1e-9);
    halfW = std::max(halfW, half);
    halfH = std::max(halfH, half);
  }
  double width = std::max(1.0, size.width() - 2 * margin), height = std::max(1.0, size.height() - 2 * margin);
  double scale = std::min(width / (2 * std::max(halfW, 1e-300)), height / (2 * std::max(halfH, 1e-300)));
  scale_ = std::clamp(scale, kMinScale, kMaxScale);
  x0_ = cx - size.width() / 2 / scale_;
  y0_ = cy + size.height() / 2 / scale_;
}

void ViewTransform::ZoomAbout(const QPointF& screen, double factor) {
  QPointF anchor = ToMap(screen);
  scale_ = std::clamp(scale_ * factor, kMinScale, kMaxScale);
  x0_ = anchor.x() - screen.x() / scale_;
  y0_ = anchor.y() + screen.y() / scale_;
}

void ViewTransform::Pan(const QPointF& pixels) {
  x0_ -= pixels.x() / scale_;
  y0_ += pixels.y() / scale_;
}

double ViewTransform::RoundToPixel(double value) const {
  double step = std::pow(10.0, std::floor(std::log10(1.0 / scale_)));
  if (!std::isfinite(step) || step <= 0) return value;
  double rounded = std::round(value / step) * step;
  return std::isfinite(rounded) ? rounded : value;
}

}  // namespace sectionhost
