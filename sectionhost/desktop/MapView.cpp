// The section in the window; see MapView.h.
#include "MapView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "CjkFonts.h"
#include "sectionhost/map/PointPicker.h"

namespace sectionhost {

MapView::MapView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
  style_.font = CjkFonts::Font(10);
  setMinimumSize(200, 150);
}

void MapView::SetMap(MapData map, bool fit) {
  map_ = std::move(map);
  scene_ = SectionScene::From(map_);
  if (fit || followSize_) FitToSection();
  update();
}

void MapView::SetMarks(const std::set<int32_t>& highlighted, const std::set<int32_t>& picked) {
  style_.highlighted = highlighted;
  style_.picked = picked;
  update();
}

void MapView::SetPicking(bool picking) {
  picking_ = picking;
  if (!dragging_) setCursor(picking ? Qt::CrossCursor : Qt::ArrowCursor);
}

void MapView::SetShowDeleted(bool show) {
  style_.showDeleted = show;
  update();
}

void MapView::FitToSection() {
  view_.Fit(scene_.extent, size(), kFitMargin);
  followSize_ = true;
  update();
}

void MapView::Zoom(double factor) {
  view_.ZoomAbout(QPointF(width() / 2.0, height() / 2.0), factor);
  followSize_ = false;
  update();
}

int32_t MapView::PickAt(const QPointF& screen) const {
  QPointF at = view_.ToMap(screen);
  return PointPicker::Nearest(map_, at.x(), at.y(), kPickPixels / view_.Scale());
}

void MapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  SectionPainter::Paint(painter, scene_, view_, size(), style_);
}

void MapView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Until the person zooms or pans, the section follows the window's size.
  if (followSize_) FitToSection();
}

void MapView::wheelEvent(QWheelEvent* event) {
  double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  view_.ZoomAbout(event->position(), std::pow(kWheelStep, notches));
  followSize_ = false;
  update();
  emit CursorMoved(view_.ToMap(event->position()));
}

void MapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) return;
  pressed_ = true;
  dragging_ = event->button() == Qt::MiddleButton;
  pressAt_ = lastAt_ = event->position().toPoint();
  if (dragging_) setCursor(Qt::ClosedHandCursor);
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
  QPoint at = event->position().toPoint();
  emit CursorMoved(view_.ToMap(event->position()));
  if (!pressed_) return;
  if (!dragging_ && (at - pressAt_).manhattanLength() >= kDragThreshold) {
    dragging_ = true;
    setCursor(Qt::ClosedHandCursor);
  }
  if (dragging_) {
    view_.Pan(at - lastAt_);
    lastAt_ = at;
    followSize_ = false;
    update();
  }
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
  if (!pressed_) return;
  bool click = !dragging_ && event->button() == Qt::LeftButton;
  pressed_ = dragging_ = false;
  setCursor(picking_ ? Qt::CrossCursor : Qt::ArrowCursor);
  if (click) emit Clicked(view_.ToMap(event->position()), PickAt(event->position()));
}

}  // namespace sectionhost
