// Centripetal Catmull-Rom densification of a smooth curve's nodes; see SmoothCurve.h.
//
// The spline of a span is evaluated with the Barry-Goldman pyramid written in the knot
// intervals d01, d12, d23 (each the square root of a chord length) rather than in absolute knot
// values t0 < t1 < t2 < t3. Absolute knots lose a short interval next to a long one: with
// t1 = 1 and d12 = 1e-150, t1 + d12 rounds back to t1 and every blend of the span divides zero
// by zero. In the intervals every denominator is one interval or the sum of two, positive
// whenever the span's nodes differ. An interior point that still cannot be represented (knot
// intervals so far apart that their ratio overflows) is taken on the chord between the span's
// nodes, so nodes with finite coordinates always give finite line points.
#include "SmoothCurve.h"

#include <cmath>

namespace {

bool Same(const Point3D& a, const Point3D& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool Finite(const Point3D& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

Point3D Reflect(const Point3D& centre, const Point3D& other) {
  return Point3D{2 * centre.x - other.x, 2 * centre.y - other.y, 2 * centre.z - other.z};
}

// a + (b - a) u: the point at fraction u of the way from a to b.
Point3D Blend(const Point3D& a, const Point3D& b, double u) {
  return Point3D{a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u};
}

// a (1 - u) + b u: the same point, without forming b - a (which overflows for far-apart
// coordinates of opposite signs).
Point3D Chord(const Point3D& a, const Point3D& b, double u) {
  return Point3D{a.x * (1 - u) + b.x * u, a.y * (1 - u) + b.y * u, a.z * (1 - u) + b.z * u};
}

// Centripetal knot interval: the square root of the chord length.
double Knot(const Point3D& a, const Point3D& b) {
  return std::sqrt(std::hypot(b.x - a.x, b.y - a.y, b.z - a.z));
}

// The point at fraction f of the span p1 -> p2, with knot intervals d01, d12, d23 (all > 0).
// With t1 = 0 and s = f d12 the pyramid's fractions are:
//   A1 = p0 -> p1 at (d01 + s) / d01      A2 = p1 -> p2 at s / d12      A3 = p2 -> p3 at (s - d12) / d23
//   B1 = A1 -> A2 at (d01 + s) / (d01 + d12)                             B2 = A2 -> A3 at s / (d12 + d23)
//   C  = B1 -> B2 at s / d12 = f
Point3D SpanPoint(const Point3D& p0, const Point3D& p1, const Point3D& p2, const Point3D& p3, double d01,
                  double d12, double d23, double f) {
  const double s = f * d12;
  const Point3D a1 = Blend(p0, p1, (d01 + s) / d01);
  const Point3D a2 = Blend(p1, p2, f);
  const Point3D a3 = Blend(p2, p3, (s - d12) / d23);
  const Point3D b1 = Blend(a1, a2, (d01 + s) / (d01 + d12));
  const Point3D b2 = Blend(a2, a3, s / (d12 + d23));
  return Blend(b1, b2, f);
}

}  // namespace

std::vector<Point3D> DensifySmoothCurve(const std::vector<Point3D>& nodes) {
  std::vector<Point3D> out;
  if (nodes.size() < 2) {
    return nodes;
  }
  out.reserve((nodes.size() - 1) * kSmoothCurveSteps + 1);
  for (size_t i = 0; i + 1 < nodes.size(); ++i) {
    const Point3D& p1 = nodes[i];
    const Point3D& p2 = nodes[i + 1];
    out.push_back(p1);
    if (Same(p1, p2)) {
      continue;
    }
    const Point3D p0 = (i > 0 && !Same(nodes[i - 1], p1)) ? nodes[i - 1] : Reflect(p1, p2);
    const Point3D p3 = (i + 2 < nodes.size() && !Same(nodes[i + 2], p2)) ? nodes[i + 2] : Reflect(p2, p1);
    const double d01 = Knot(p0, p1);
    const double d12 = Knot(p1, p2);
    const double d23 = Knot(p2, p3);
    const bool chordOnly = !(d01 > 0 && d12 > 0 && d23 > 0);  // NaN too
    const bool finiteEnds = Finite(p1) && Finite(p2);
    for (int k = 1; k < kSmoothCurveSteps; ++k) {
      const double f = static_cast<double>(k) / kSmoothCurveSteps;
      Point3D p = chordOnly ? Chord(p1, p2, f) : SpanPoint(p0, p1, p2, p3, d01, d12, d23, f);
      if (finiteEnds && !Finite(p)) {
        p = Chord(p1, p2, f);
      }
      out.push_back(p);
    }
  }
  out.push_back(nodes.back());
  return out;
}
