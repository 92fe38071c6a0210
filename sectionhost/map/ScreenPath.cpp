// Thinning a path to the picture's columns; see ScreenPath.h.
#include "ScreenPath.h"

#include <algorithm>
#include <cmath>

namespace sectionhost {

void ScreenPath::Add(double x, double y) {
  double c = std::floor(x / columnWidth_);
  int64_t column = std::isfinite(c) && std::fabs(c) < 9e18 ? static_cast<int64_t>(c) : 0;
  if (inRun_ && column == column_) {
    if (y < low_.y) low_ = {x, y}, lowAt_ = count_;
    if (y > high_.y) high_ = {x, y}, highAt_ = count_;
    last_ = {x, y};
    ++count_;
    return;
  }
  EndRun();
  inRun_ = true;
  column_ = column;
  first_ = low_ = high_ = last_ = {x, y};
  lowAt_ = highAt_ = 0;
  count_ = 1;
}

void ScreenPath::EndRun() {
  if (!inRun_) return;
  inRun_ = false;
  // The run's extremes in the order they came: first, then the lowest and highest in their
  // order, then the last; a point that is two of them is kept once.
  struct Kept {
    uint64_t at;
    Point p;
  };
  Kept kept[4] = {{0, first_}, {lowAt_, low_}, {highAt_, high_}, {count_ - 1, last_}};
  std::sort(kept, kept + 4, [](const Kept& a, const Kept& b) { return a.at < b.at; });
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && kept[i].at == kept[i - 1].at) continue;
    points_.push_back(kept[i].p);
  }
}

const std::vector<ScreenPath::Point>& ScreenPath::Points() {
  EndRun();
  return points_;
}

}  // namespace sectionhost
