// The topology library: the plane-geometry tests the drawing's commands rely on (tolerances,
// rotation, line meeting, point on segment, distance, coincidence, extent).
//
// Every operation is a pure function of its arguments: no state, no allocation, safe from any
// thread. Coordinates are map coordinates (doubles); z never takes part. Each tolerance is a
// named constant below, and each degenerate input (a zero-length segment or line, parallel
// lines, null out-pointers, NaN) has a stated answer, so callers can reason about the results
// bit for bit. Nothing here throws and nothing writes through a null pointer.
#include "host/zvtopo.h"

#include <algorithm>
#include <cmath>

namespace {

// CoordTolerance: an absolute floor for values near zero, and a relative part for large
// coordinates, where 1e-9 would be below the spacing of doubles (at 1e7 one ulp is ~1.9e-9).
constexpr double kAbsoluteTolerance = 1e-9;
constexpr double kRelativeTolerance = 1e-12;

bool Finite(double v) {
  return std::isfinite(v);
}

}  // namespace

double CoordTolerance(double value) {
  // std::max keeps its first argument when the second is NaN, so NaN answers the floor.
  return std::max(kAbsoluteTolerance, std::fabs(value) * kRelativeTolerance);
}

void RotatePoint(double x, double y, double angle, double* outX, double* outY, double cx, double cy) {
  // The standard counter-clockwise rotation of the offset from the centre:
  //   x' = cx + dx cos a - dy sin a,   y' = cy + dx sin a + dy cos a.
  // cos and sin are taken of the angle as given, so a quarter turn (pi/2 in doubles) has a cosine
  // of about 6.1e-17, not 0: callers that need an exact vertical must allow for that lean.
  const double dx = x - cx;
  const double dy = y - cy;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  if (outX != nullptr) {
    *outX = cx + dx * c - dy * s;
  }
  if (outY != nullptr) {
    *outY = cy + dx * s + dy * c;
  }
}

int LineIntersection(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                     double* outX, double* outY, double epsilon) {
  // Directions d1 = P2 - P1 and d2 = P4 - P3. A line given by two equal points (zero length)
  // has no direction: answer 0. Otherwise the normalised cross product
  //   sin(theta) = (d1 x d2) / (|d1| |d2|)
  // is the sine of the angle between the lines, independent of the segments' lengths; lines
  // with |sin(theta)| <= epsilon count as parallel (collinear ones included): answer 0.
  // The meeting point is P1 + t d1 with t = ((P3 - P1) x d2) / (d1 x d2), so it lies on the
  // first line up to rounding. A non-finite input or result answers 0 and writes nothing.
  const double d1x = x2 - x1;
  const double d1y = y2 - y1;
  const double d2x = x4 - x3;
  const double d2y = y4 - y3;
  const double len1 = std::hypot(d1x, d1y);
  const double len2 = std::hypot(d2x, d2y);
  if (len1 == 0.0 || len2 == 0.0) {
    return 0;
  }
  const double cross = d1x * d2y - d1y * d2x;
  const double sine = cross / (len1 * len2);
  if (!Finite(sine) || std::fabs(sine) <= epsilon) {
    return 0;
  }
  const double t = ((x3 - x1) * d2y - (y3 - y1) * d2x) / cross;
  const double mx = x1 + t * d1x;
  const double my = y1 + t * d1y;
  if (!Finite(mx) || !Finite(my)) {
    return 0;
  }
  if (outX != nullptr) {
    *outX = mx;
  }
  if (outY != nullptr) {
    *outY = my;
  }
  return 1;
}

namespace {

// Distance from P to the segment S-E. The degenerate segment (S == E) comes first: the
// distance to S. Otherwise P projects onto the line SE at parameter
//   r = ((P - S) . (E - S)) / |E - S|^2,
// r <= 0 nearest S, r >= 1 nearest E; in between the distance is the perpendicular one,
//   |(E - S) x (P - S)| / |E - S|.
double DistanceToSegment(double px, double py, double sx, double sy, double ex, double ey) {
  const double dx = ex - sx;
  const double dy = ey - sy;
  const double len2 = dx * dx + dy * dy;
  if (len2 == 0.0) {
    return std::hypot(px - sx, py - sy);
  }
  const double r = ((px - sx) * dx + (py - sy) * dy) / len2;
  if (r <= 0.0) {
    return std::hypot(px - sx, py - sy);
  }
  if (r >= 1.0) {
    return std::hypot(px - ex, py - ey);
  }
  return std::fabs(dx * (py - sy) - dy * (px - sx)) / std::sqrt(len2);
}

}  // namespace

int PointOnSegment(double x, double y, double sx, double sy, double ex, double ey, double tolerance) {
  // A NaN distance compares false: NaN input is never on a segment.
  return DistanceToSegment(x, y, sx, sy, ex, ey) <= tolerance ? 1 : 0;
}

double PointDistance(double x1, double y1, double x2, double y2) {
  return std::hypot(x2 - x1, y2 - y1);
}

int PointsCoincide(double x1, double y1, double x2, double y2, double tolerance) {
  return PointDistance(x1, y1, x2, y2) <= tolerance ? 1 : 0;
}

void PointsExtent(const Point3D* points, int count, BoundBox* box) {
  if (box == nullptr) {
    return;
  }
  *box = BoundBox{};
  if (points == nullptr || count <= 0) {
    return;
  }
  // Bounds start at the first point and move with < and >, so a NaN coordinate of a later
  // point never replaces a bound.
  box->minX = box->maxX = points[0].x;
  box->minY = box->maxY = points[0].y;
  for (int i = 1; i < count; ++i) {
    const Point3D& p = points[i];
    if (p.x < box->minX) box->minX = p.x;
    if (p.x > box->maxX) box->maxX = p.x;
    if (p.y < box->minY) box->minY = p.y;
    if (p.y > box->maxY) box->maxY = p.y;
  }
}
