// Centripetal Catmull-Rom densification of a smooth curve's nodes; see SmoothCurve.h.
#include "SmoothCurve.h"

#include <cmath>

namespace {

bool Same(const Point3D& a, const Point3D& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

Point3D Reflect(const Point3D& centre, const Point3D& other) {
  return Point3D{2 * centre.x - other.x, 2 * centre.y - other.y, 2 * centre.z - other.z};
}

// One two-point blend of the Barry-Goldman pyramid: a at knot ta, b at knot tb, taken at t.
Point3D Blend(const Point3D& a, const Point3D& b, double ta, double tb, double t) {
  const double u = (t - ta) / (tb - ta);
  return Point3D{a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u};
}

double Knot(const Point3D& a, const Point3D& b) {
  return std::sqrt(std::hypot(b.x - a.x, b.y - a.y, b.z - a.z));
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
    const double t0 = 0.0;
    const double t1 = t0 + Knot(p0, p1);
    const double t2 = t1 + Knot(p1, p2);
    const double t3 = t2 + Knot(p2, p3);
    for (int k = 1; k < kSmoothCurveSteps; ++k) {
      const double t = t1 + (t2 - t1) * k / kSmoothCurveSteps;
      const Point3D a1 = Blend(p0, p1, t0, t1, t);
      const Point3D a2 = Blend(p1, p2, t1, t2, t);
      const Point3D a3 = Blend(p2, p3, t2, t3, t);
      const Point3D b1 = Blend(a1, a2, t0, t2, t);
      const Point3D b2 = Blend(a2, a3, t1, t3, t);
      out.push_back(Blend(b1, b2, t1, t2, t));
    }
  }
  out.push_back(nodes.back());
  return out;
}
