// The literal stratum construction: each step exactly as the construction is defined, with no
// attempt at speed. See StratumLiteral.h.
#include "StratumLiteral.h"

#include <algorithm>
#include <utility>

#include "host/zvtopo.h"

namespace literal {

int ProjectVertically(Point3D p, const std::vector<Point3D>& line, double& distance, Point3D& meet) {
  const double tolerance = std::max(CoordTolerance(p.x), CoordTolerance(p.y));
  double qx = 0.0;
  double qy = 0.0;
  RotatePoint(p.x + 1.0, p.y, 1.5707963267948966, &qx, &qy, p.x, p.y);
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    const Point3D& a = line[i];
    const Point3D& b = line[i + 1];
    double mx = 0.0;
    double my = 0.0;
    if (LineIntersection(p.x, p.y, qx, qy, a.x, a.y, b.x, b.y, &mx, &my, 1e-9) == 1 &&
        PointOnSegment(mx, my, a.x, a.y, b.x, b.y, tolerance) == 1) {
      meet = Point3D{mx, my, 0.0};
      distance = PointDistance(mx, my, p.x, p.y);
      return 1;
    }
  }
  return 0;
}

void ExchangeSort(std::vector<StratumSample>& samples) {
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    for (size_t j = i + 1; j < samples.size(); ++j) {
      if (samples[i].point.x > samples[j].point.x) std::swap(samples[i], samples[j]);
    }
  }
}

namespace {

double Mean(const std::vector<Point3D>& line) {
  double sum = 0.0;
  for (const Point3D& p : line) sum += p.y;
  return sum / static_cast<double>(line.size());
}

StratumSample Sample(const Point3D& point, double thickness) {
  StratumSample s;
  s.point = point;
  s.thickness = thickness;
  s.second = 0.0;
  s.third = 0.0;
  s.flag = 1;
  return s;
}

}  // namespace

int BuildStratumSamples(std::vector<Point3D>& nodes1, std::vector<Point3D>& nodes2,
                        std::vector<Point3D>& line1, std::vector<Point3D>& line2,
                        std::vector<StratumSample>& result) {
  // 1. Both curves need line points.
  if (line1.empty() || line2.empty()) return 0;
  // 2, 3. The lower curve (smaller mean y) goes first; equal means keep the order.
  if (Mean(line1) > Mean(line2)) {
    std::swap(nodes1, nodes2);
    std::swap(line1, line2);
  }
  // 4. The x-ranges must meet (touching counts).
  BoundBox lower;
  BoundBox upper;
  PointsExtent(line1.data(), static_cast<int>(line1.size()), &lower);
  PointsExtent(line2.data(), static_cast<int>(line2.size()), &upper);
  if (upper.minX > lower.maxX || upper.maxX < lower.minX) return 0;
  // 5. The working list: upper nodes met on the lower curve, then every lower node.
  std::vector<StratumSample> work;
  for (const Point3D& node : nodes2) {
    if (node.x < lower.minX || node.x > lower.maxX) continue;
    double distance = 0.0;
    Point3D meet;
    if (ProjectVertically(node, line1, distance, meet) == 1) work.push_back(Sample(meet, distance));
  }
  for (const Point3D& node : nodes1) {
    double distance = 0.0;
    Point3D meet;
    const int met = ProjectVertically(node, line2, distance, meet);
    work.push_back(Sample(node, met == 1 ? distance : -1.0));
  }
  // 6. Sort.
  ExchangeSort(work);
  // 7. Drop samples coinciding with the last one kept.
  result.clear();
  for (size_t i = 0; i < work.size(); ++i) {
    if (i == 0) {
      result.push_back(work[i]);
      continue;
    }
    const StratumSample& last = result.back();
    const double tolerance = std::max(CoordTolerance(last.point.x), CoordTolerance(last.point.y));
    if (PointsCoincide(last.point.x, last.point.y, work[i].point.x, work[i].point.y, tolerance) != 0)
      continue;
    result.push_back(work[i]);
  }
  // 8. Forward fill.
  bool haveKnown = false;
  bool anyOwn = false;
  double known = 0.0;
  for (StratumSample& s : result) {
    if (s.thickness >= 0.0) {
      known = s.thickness;
      haveKnown = true;
      anyOwn = true;
    } else if (haveKnown) {
      s.thickness = known;
    }
  }
  // 9.
  if (!anyOwn) return 0;
  // 10. Backward fill.
  haveKnown = false;
  for (size_t i = result.size(); i-- > 0;) {
    StratumSample& s = result[i];
    if (s.thickness >= 0.0) {
      known = s.thickness;
      haveKnown = true;
    } else if (haveKnown) {
      s.thickness = known;
    }
  }
  // 11.
  return 1;
}

}  // namespace literal
