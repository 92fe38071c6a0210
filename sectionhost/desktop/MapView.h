// The section in the window. It draws a SectionScene (SectionPainter) through a ViewTransform:
// the wheel zooms about the cursor, dragging with the left or middle button pans, FitToSection
// shows the whole map. A left click that does not drag is a click on the map: while a pick is
// in progress (SetPicking) the cursor is a cross and the click is reported as Clicked with the
// map point and the entity PickAt finds there. The cursor's map coordinates go out as
// CursorMoved, for the status bar.
//
// The scene is handed in by the window after every change of the map (SetScene); the view never
// reads the session itself, so repaints cost no kernel reads.
#pragma once
#include <QPoint>
#include <QWidget>

#include "SectionPainter.h"
#include "SectionScene.h"
#include "ViewTransform.h"
#include "sectionhost/map/MapData.h"

namespace sectionhost {

class MapView : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kPickPixels = 8.0;  // the pick distance on the screen
  static constexpr double kFitMargin = 24.0;
  static constexpr double kWheelStep = 1.25;  // zoom factor per wheel notch
  static constexpr int kDragThreshold = 4;    // pixels a press may move and still be a click

  explicit MapView(QWidget* parent = nullptr);

  // The map to draw (with its scene) and the states to show; `fit` refits the view.
  void SetMap(MapData map, bool fit);
  void SetMarks(const std::set<int32_t>& highlighted, const std::set<int32_t>& picked);
  void SetPicking(bool picking);
  void SetShowDeleted(bool show);
  bool ShowDeleted() const { return style_.showDeleted; }
  void FitToSection();
  void Zoom(double factor);  // about the window's centre

  const MapData& Map() const { return map_; }
  const SectionScene& Scene() const { return scene_; }
  const ViewTransform& View() const { return view_; }
  ViewTransform& MutableView() { return view_; }
  const PaintStyle& Style() const { return style_; }
  // The entity a click at `screen` names: the nearest one not deleted within kPickPixels (the
  // terminal's rule for a point, PointPicker::Nearest, with the distance in pixels); 0 for none.
  int32_t PickAt(const QPointF& screen) const;

 signals:
  void Clicked(QPointF mapPoint, int32_t entity);
  void CursorMoved(QPointF mapPoint);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  MapData map_;
  SectionScene scene_;
  ViewTransform view_;
  PaintStyle style_;
  bool followSize_ = true;  // refit on resize until the person zooms or pans
  bool picking_ = false;
  bool pressed_ = false, dragging_ = false;
  QPoint pressAt_, lastAt_;
};

}  // namespace sectionhost
