// A polyline in picture coordinates thinned to the picture's resolution, for drawing sections
// whose curves have far more nodes than the picture has pixels (a million-node curve across a
// 960-pixel picture has a thousand nodes per pixel column).
//
// Of each run of consecutive points that fall in one column (columnWidth wide, in picture
// units), only the first, the lowest, the highest and the last are kept, in their order: a line
// through them covers the same pixels of the column as the line through all of them, so the
// drawing is unchanged at the picture's resolution, and the thinning takes one pass. A path
// that crosses columns at every point keeps every point.
#pragma once
#include <cstdint>
#include <vector>

namespace sectionhost {

class ScreenPath {
 public:
  struct Point {
    double x, y;
  };

  explicit ScreenPath(double columnWidth = 1.0) : columnWidth_(columnWidth) {}

  void Add(double x, double y);
  // The thinned path (ends the run in progress).
  const std::vector<Point>& Points();

 private:
  void EndRun();

  double columnWidth_;
  std::vector<Point> points_;
  bool inRun_ = false;
  int64_t column_ = 0;
  // The run's first, lowest, highest and last points, with the order they came in.
  Point first_{}, low_{}, high_{}, last_{};
  uint64_t lowAt_ = 0, highAt_ = 0, count_ = 0;
};

}  // namespace sectionhost
