// Drawing the section; see SectionPainter.h.
#include "SectionPainter.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <cmath>

namespace sectionhost {

namespace {

constexpr double kMarkerRadius = 3.5;
constexpr double kLegendSwatch = 14.0;
constexpr double kLegendPadding = 6.0;
const QColor kCurveColor(30, 30, 30);
const QColor kDeletedColor(150, 150, 150);
const QColor kHighlightColor(220, 40, 40);
const QColor kPickedColor(30, 90, 230);

bool Overlaps(const Extent& e, const QRectF& visible) {
  if (e.empty) return false;
  return e.maxX >= visible.left() && e.minX <= visible.right() && e.maxY >= visible.top() &&
         e.minY <= visible.bottom();
}

QPen EntityPen(const SceneEntity& e, const PaintStyle& style, const QColor& normal, double width) {
  QPen pen(normal, width);
  if (style.highlighted.count(e.id)) {
    pen = QPen(kHighlightColor, width + 2);
  } else if (style.picked.count(e.id)) {
    pen = QPen(kPickedColor, width + 2);
  } else if (e.deleted) {
    pen = QPen(kDeletedColor, width);
    pen.setStyle(Qt::DashLine);
  }
  // Widths in pixels, whatever the painter's transform; a cosmetic pen of one pixel takes the
  // raster engine's fast path (no stroker: joins of wide pens cost trigonometry per vertex).
  pen.setCosmetic(true);
  return pen;
}

void DrawLabel(QPainter& painter, const QString& text, const QPointF& at, bool centred) {
  QFontMetricsF metrics(painter.font());
  QPointF origin =
      centred ? QPointF(at.x() - metrics.horizontalAdvance(text) / 2, at.y() + metrics.ascent() / 2 - 1)
              : QPointF(at.x() + kMarkerRadius + 3, at.y() - kMarkerRadius);
  QPainterPath path;
  path.addText(origin, painter.font(), text);
  // A white halo keeps the label readable over lines and bands.
  painter.strokePath(path, QPen(QColor(255, 255, 255, 220), 3));
  painter.fillPath(path, painter.pen().color());
}

}  // namespace

QColor SectionPainter::CodeColor(const std::string& code) {
  // FNV-1a over the code's bytes picks a hue; saturation and value stay in a readable range.
  uint32_t hash = 2166136261u;
  for (unsigned char ch : code) hash = (hash ^ ch) * 16777619u;
  int hue = static_cast<int>(hash % 360);
  int saturation = 110 + static_cast<int>((hash >> 9) % 80);
  int value = 200 + static_cast<int>((hash >> 17) % 50);
  return QColor::fromHsv(hue, saturation, value);
}

QPolygonF SectionPainter::ScreenLine(const std::vector<Point3D>& points, const ViewTransform& view) {
  QPolygonF line;
  line.reserve(static_cast<int>(std::min<size_t>(points.size(), 1 << 16)));
  QPointF last;
  bool pending = false;  // a point skipped after the last one kept
  QPointF skipped;
  for (const Point3D& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
    QPointF s = view.ToScreen(p.x, p.y);
    if (!line.isEmpty() && std::fabs(s.x() - last.x()) < kMinStepPixels &&
        std::fabs(s.y() - last.y()) < kMinStepPixels) {
      pending = true;
      skipped = s;
      continue;
    }
    line.append(s);
    last = s;
    pending = false;
  }
  if (pending) line.append(skipped);  // the line ends where it ends
  return line;
}

void SectionPainter::Paint(QPainter& painter, const SectionScene& scene, const ViewTransform& view,
                           const QSizeF& size, const PaintStyle& style) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setFont(style.font);
  QRectF visible = view.VisibleMap(size);
  auto shown = [&](const SceneEntity& e) {
    return (!e.deleted || style.showDeleted) && Overlaps(e.extent, visible);
  };

  // Bands first, so lines and labels stay on top of them.
  for (const SceneEntity& e : scene.entities) {
    if (!shown(e) || e.shape.polygons.empty()) continue;
    QColor fill = e.type == EntitySectionStratum ? CodeColor(e.label) : QColor(200, 200, 200);
    fill.setAlpha(e.deleted ? 60 : 170);
    painter.setBrush(fill);
    painter.setPen(EntityPen(e, style, fill.darker(150), 1.0));
    for (const auto& ring : e.shape.polygons) painter.drawPolygon(ScreenLine(ring, view));
  }
  painter.setBrush(Qt::NoBrush);
  for (const SceneEntity& e : scene.entities) {
    if (!shown(e)) continue;
    painter.setPen(EntityPen(e, style, kCurveColor, 1.0));
    for (const auto& line : e.shape.lines) painter.drawPolyline(ScreenLine(line, view));
    for (const Point3D& p : e.shape.points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      painter.drawEllipse(view.ToScreen(p.x, p.y), kMarkerRadius, kMarkerRadius);
    }
  }
  for (const SceneEntity& e : scene.entities) {
    if (!shown(e) || e.label.empty() || !e.hasAnchor) continue;
    painter.setPen(e.deleted ? kDeletedColor : kCurveColor);
    DrawLabel(painter, QString::fromStdString(e.label), view.ToScreen(e.anchorX, e.anchorY),
              e.type == EntitySectionStratum);
  }
  if (style.legend) PaintLegend(painter, scene, size, style);
  painter.restore();
}

void SectionPainter::PaintLegend(QPainter& painter, const SectionScene& scene, const QSizeF& size,
                                 const PaintStyle& style) {
  if (scene.codes.empty()) return;
  QFontMetricsF metrics(style.font);
  double row = std::max(kLegendSwatch, metrics.height()) + 4;
  double width = 0;
  for (const std::string& code : scene.codes)
    width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(code)));
  QRectF box(size.width() - width - kLegendSwatch - 4 * kLegendPadding, kLegendPadding,
             width + kLegendSwatch + 3 * kLegendPadding, row * scene.codes.size() + kLegendPadding);
  painter.setPen(QPen(QColor(120, 120, 120), 1));
  painter.setBrush(QColor(255, 255, 255, 230));
  painter.drawRect(box);
  double y = box.top() + kLegendPadding / 2 + (row - kLegendSwatch) / 2;
  for (const std::string& code : scene.codes) {
    QColor fill = CodeColor(code);
    fill.setAlpha(170);
    painter.setBrush(fill);
    painter.setPen(QPen(fill.darker(150), 1));
    painter.drawRect(QRectF(box.left() + kLegendPadding, y, kLegendSwatch, kLegendSwatch));
    painter.setPen(kCurveColor);
    painter.drawText(QPointF(box.left() + 2 * kLegendPadding + kLegendSwatch,
                             y + kLegendSwatch / 2 + metrics.ascent() / 2 - 1),
                     QString::fromStdString(code));
    y += row;
  }
  painter.setBrush(Qt::NoBrush);
}

}  // namespace sectionhost
