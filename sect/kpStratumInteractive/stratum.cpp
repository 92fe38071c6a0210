// The section-stratum construction: the sample list of a stratum from its two boundary curves.
//
// The result is defined by a simple procedure: project nodes vertically by scanning every
// segment of the other curve, sort the samples with a pairwise exchange scheme, drop samples
// that coincide with the last one kept, then fill unknown thicknesses forwards and backwards.
// Both the scan and the sort are quadratic, and curves of tens of thousands of nodes are
// common, so this unit computes the same result (bit for bit, same order of equal x values,
// same survivor of coinciding samples) in O(n log n):
//   - The projection tests only segments whose x-range, widened by a bound on everything that
//     can move a passing meeting point sideways, holds the point's x. A segment tree over the
//     segment indices, searched left to right, yields exactly those segments in polyline order,
//     and the first that passes the same topology tests wins, as in the scan.
//   - The sort orders distinct x values in the usual way and reproduces the exchange scheme's
//     order of equal x values from a characterisation of it (see OrderLikeExchangeSort).
// Every geometric predicate is a call into zvtopo, with the same arguments as the procedure.
// Assumption: x and y are finite (the construction refuses other input up front); z is carried
// along unread. A result that would carry a non-finite number is refused as well, so a stratum
// never holds one.
#include "sect/kpStratumInteractive/stratum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

#include "host/zvtopo.h"

namespace {

// A quarter turn, in radians, and the parallelism epsilon of the vertical projection.
constexpr double kQuarterTurn = 1.5707963267948966;
constexpr double kParallelEpsilon = 1e-9;
// Relative bound on the rounding of the topology operations at the coordinates' magnitude
// (their actual error is a few ulps, ~1e-15 relative); used only to widen candidate searches.
constexpr double kRoundingMargin = 1e-13;
// Relative safety factor on the lean of the rotated vertical.
constexpr double kLeanSafety = 1.0 + 1e-6;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The tolerance of a point: the larger of the tolerances of its coordinates.
double PointTolerance(double x, double y) {
  return std::max(CoordTolerance(x), CoordTolerance(y));
}

// The vertical through p: p and p + (1, 0) turned a quarter about p.
void VerticalThrough(const Point3D& p, double& qx, double& qy) {
  RotatePoint(p.x + 1.0, p.y, kQuarterTurn, &qx, &qy, p.x, p.y);
}

// One segment test of the projection: the line meeting, then the point-on-segment check.
bool MeetsSegment(const Point3D& p, double qx, double qy, const Point3D& a, const Point3D& b,
                  double tolerance, double& mx, double& my) {
  return LineIntersection(p.x, p.y, qx, qy, a.x, a.y, b.x, b.y, &mx, &my, kParallelEpsilon) == 1 &&
         PointOnSegment(mx, my, a.x, a.y, b.x, b.y, tolerance) == 1;
}

int Meet(const Point3D& p, double mx, double my, double& distance, Point3D& meet) {
  meet = Point3D{mx, my, 0.0};
  distance = PointDistance(mx, my, p.x, p.y);
  return 1;
}

// Scans the segments first..last-1 of `line` in order; the first that passes wins.
int ScanSegments(const Point3D& p, double qx, double qy, double tolerance, std::span<const Point3D> line,
                 double& distance, Point3D& meet) {
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    double mx = 0.0;
    double my = 0.0;
    if (MeetsSegment(p, qx, qy, line[i], line[i + 1], tolerance, mx, my)) {
      return Meet(p, mx, my, distance, meet);
    }
  }
  return 0;
}

// Vertical projections onto one polyline, many points: a tree over the segment indices (runs
// of kLeafSegments consecutive segments per leaf) keeps each node's x-range, so a search
// visits, left to right, only segments whose widened x-range holds the point's x.
//
// Why the widening is enough: LineIntersection answers m = p + s (q - p), so
// |m.x - p.x| / |m.y - p.y| = |q.x - p.x| / |q.y - p.y| up to an ulp of each. A passing m lies
// within the tolerance t (plus rounding) of its segment, so |m.y - p.y| <= H + t, H being the
// largest |y - p.y| over the polyline, and m.x lies within t of the segment's x-range. Hence
// p.x lies within t + |q.x - p.x| (H + t) / |q.y - p.y| of that range, give or take rounding,
// which kRoundingMargin covers at the data's magnitude. For |p.x| >= 1 the rotation's lean
// q.x - p.x is exactly 0; below that it is up to ~1e-16 (cos of pi/2 in doubles, rounded at p.x).
class VerticalProjector {
 public:
  explicit VerticalProjector(std::span<const Point3D> line) : line_(line) {
    const size_t segments = line.size() < 2 ? 0 : line.size() - 1;
    leaves_ = 1;
    while (leaves_ * kLeafSegments < segments) leaves_ *= 2;
    lo_.assign(2 * leaves_, kInfinity);
    hi_.assign(2 * leaves_, -kInfinity);
    for (size_t i = 0; i < segments; ++i) {
      const size_t leaf = leaves_ + i / kLeafSegments;
      lo_[leaf] = std::min({lo_[leaf], line[i].x, line[i + 1].x});
      hi_[leaf] = std::max({hi_[leaf], line[i].x, line[i + 1].x});
    }
    for (size_t n = leaves_ - 1; n >= 1; --n) {
      lo_[n] = std::min(lo_[2 * n], lo_[2 * n + 1]);
      hi_[n] = std::max(hi_[2 * n], hi_[2 * n + 1]);
    }
    for (const Point3D& pt : line) {
      minY_ = std::min(minY_, pt.y);
      maxY_ = std::max(maxY_, pt.y);
      magnitude_ = std::max({magnitude_, std::fabs(pt.x), std::fabs(pt.y)});
    }
    segments_ = segments;
  }

  int Project(const Point3D& p, double& distance, Point3D& meet) const {
    if (segments_ == 0) {
      return 0;
    }
    const double tolerance = PointTolerance(p.x, p.y);
    double qx = 0.0;
    double qy = 0.0;
    VerticalThrough(p, qx, qy);
    const double width = SearchWidth(p, qx, qy, tolerance);
    if (!(width < kInfinity)) {
      return ScanSegments(p, qx, qy, tolerance, line_, distance, meet);
    }
    // Depth-first, left child first: leaves come in increasing segment index.
    size_t stack[64 * 2];
    size_t top = 0;
    stack[top++] = 1;
    while (top > 0) {
      const size_t n = stack[--top];
      if (!(lo_[n] - width <= p.x && p.x <= hi_[n] + width)) {
        continue;
      }
      if (n >= leaves_) {
        const size_t first = (n - leaves_) * kLeafSegments;
        const size_t last = std::min(first + kLeafSegments, segments_);
        for (size_t i = first; i < last; ++i) {
          const Point3D& a = line_[i];
          const Point3D& b = line_[i + 1];
          if (!(std::min(a.x, b.x) - width <= p.x && p.x <= std::max(a.x, b.x) + width)) {
            continue;
          }
          double mx = 0.0;
          double my = 0.0;
          if (MeetsSegment(p, qx, qy, a, b, tolerance, mx, my)) {
            return Meet(p, mx, my, distance, meet);
          }
        }
        continue;
      }
      stack[top++] = 2 * n + 1;
      stack[top++] = 2 * n;
    }
    return 0;
  }

 private:
  // The half-width of the x window around p.x; infinity when no finite bound exists (the
  // caller then scans every segment).
  double SearchWidth(const Point3D& p, double qx, double qy, double tolerance) const {
    const double leanX = std::fabs(qx - p.x);
    const double rise = std::fabs(qy - p.y);
    if (rise == 0.0) {
      return kInfinity;
    }
    const double rounding = kRoundingMargin * std::max({magnitude_, std::fabs(p.x), std::fabs(p.y)});
    const double reach = std::max(maxY_ - p.y, p.y - minY_) + tolerance + rounding;
    const double lean = leanX == 0.0 ? 0.0 : leanX * reach / rise * kLeanSafety;
    const double width = tolerance + lean + rounding;
    return std::isfinite(width) ? width : kInfinity;
  }

  // Segments per leaf of the tree: a leaf's segments are screened one by one.
  static constexpr size_t kLeafSegments = 8;

  std::span<const Point3D> line_;
  size_t segments_ = 0;
  size_t leaves_ = 1;
  std::vector<double> lo_;
  std::vector<double> hi_;
  double minY_ = kInfinity;
  double maxY_ = -kInfinity;
  double magnitude_ = 0.0;
};

// Binary indexed tree of counts over 1..size.
class CountTree {
 public:
  explicit CountTree(size_t size) : tree_(size + 1, 0) {}
  void Add(size_t i, int delta) {
    for (; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
  }
  // Sum of counts at 1..i.
  int Prefix(size_t i) const {
    int sum = 0;
    for (; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }
  // Smallest i with Prefix(i) >= k (k >= 1, counts non-negative).
  size_t Find(int k) const {
    size_t pos = 0;
    size_t step = 1;
    while (step * 2 < tree_.size()) step *= 2;
    for (; step > 0; step /= 2) {
      if (pos + step < tree_.size() && tree_[pos + step] < k) {
        pos += step;
        k -= tree_[pos];
      }
    }
    return pos + 1;
  }

 private:
  std::vector<int> tree_;
};

// The order of one run of equal x values, as the exchange scheme leaves it. `members` are
// the run's elements in working-list order with their counts c (elements of smaller x that
// stand before them in the list); `smaller` is W, the number of elements of smaller x.
//
// The scheme's order is that of a queue L that starts with the members of c = 0 in list order;
// then for passes p = 1..W: if L is not empty its first element moves to its back, and then
// the members with c = p are appended in list order. Passes without arrivals only rotate L,
// so between arrivals L turns by (gap mod |L|).
//
// L is kept as an array A and a head index h (L = A[h..] followed by A[..h)): a rotation moves
// h, an append inserts at h and moves h past it. The insertion indices are replayed backwards
// on a count tree (each element takes the free slot of its index), so the run is ordered in
// O(m log m) instead of shifting arrays.
void OrderLikeExchangeSort(std::vector<std::pair<size_t, size_t>>& members, size_t smaller,
                           std::vector<uint32_t>& out) {
  const size_t m = members.size();
  std::stable_sort(members.begin(), members.end(),
                   [](const auto& a, const auto& b) { return a.second < b.second; });
  std::vector<uint32_t> insertAt(m);
  size_t size = 0;
  size_t head = 0;
  size_t pass = 0;
  for (size_t k = 0; k < m; ++k) {
    const size_t c = members[k].second;
    if (c > pass) {
      if (size > 0) head = (head + (c - pass) % size) % size;
      pass = c;
    }
    insertAt[k] = static_cast<uint32_t>(head);
    ++size;
    head = (head + 1) % size;
  }
  if (size > 0) head = (head + (smaller - pass) % size) % size;

  std::vector<uint32_t> slots(m);
  CountTree freeSlots(m);
  for (size_t i = 1; i <= m; ++i) freeSlots.Add(i, 1);
  for (size_t k = m; k-- > 0;) {
    const size_t slot = freeSlots.Find(static_cast<int>(insertAt[k]) + 1);
    freeSlots.Add(slot, -1);
    slots[slot - 1] = static_cast<uint32_t>(members[k].first);
  }
  for (size_t i = 0; i < m; ++i) out.push_back(slots[(head + i) % m]);
}

// The positions of `work`'s samples in the order of the pairwise exchange scheme: for i
// ascending, for j > i ascending, exchange i and j when x(i) > x(j). Keys compare with <.
// Positions are 32-bit: the kernel's point counts are int32, so a working list (the nodes of
// two curves) stays below 2^32.
template <typename Sample>
std::vector<uint32_t> ExchangeSchemeOrder(const std::vector<Sample>& work) {
  const size_t n = work.size();
  std::vector<uint32_t> byKey(n);
  std::iota(byKey.begin(), byKey.end(), 0);
  std::stable_sort(byKey.begin(), byKey.end(),
                   [&](size_t a, size_t b) { return work[a].point.x < work[b].point.x; });
  std::vector<uint32_t> rank(n);
  size_t ranks = 0;
  for (size_t k = 0; k < n; ++k) {
    if (k == 0 || work[byKey[k - 1]].point.x < work[byKey[k]].point.x) ++ranks;
    rank[byKey[k]] = static_cast<uint32_t>(ranks);
  }
  // c(e): elements of strictly smaller key standing before e in the list.
  std::vector<uint32_t> before(n);
  CountTree seen(ranks);
  for (size_t i = 0; i < n; ++i) {
    before[i] = static_cast<uint32_t>(seen.Prefix(rank[i] - 1));
    seen.Add(rank[i], 1);
  }
  std::vector<uint32_t> order;
  order.reserve(n);
  std::vector<std::pair<size_t, size_t>> members;
  for (size_t start = 0; start < n;) {
    size_t end = start + 1;
    while (end < n && rank[byKey[end]] == rank[byKey[start]]) ++end;
    if (end - start == 1) {
      order.push_back(byKey[start]);
    } else {
      members.clear();
      for (size_t k = start; k < end; ++k) members.emplace_back(byKey[k], before[byKey[k]]);
      OrderLikeExchangeSort(members, start, order);
    }
    start = end;
  }
  return order;
}

// A working-list entry: the sample's point and thickness (the rest of a sample is constant).
struct WorkSample {
  Point3D point;
  double thickness;
};

StratumSample MakeSample(const Point3D& point, double thickness) {
  StratumSample s;
  s.point = point;
  s.thickness = thickness;
  s.second = 0.0;
  s.third = 0.0;
  s.flag = 1;
  return s;
}

bool AllFinite(std::span<const Point3D> points) {
  return std::all_of(points.begin(), points.end(),
                     [](const Point3D& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

bool FiniteSample(const StratumSample& s) {
  return std::isfinite(s.point.x) && std::isfinite(s.point.y) && std::isfinite(s.point.z) &&
         std::isfinite(s.thickness);
}

double MeanHeight(std::span<const Point3D> line) {
  double sum = 0.0;
  for (const Point3D& p : line) sum += p.y;
  return sum / static_cast<double>(line.size());
}

BoundBox Extent(std::span<const Point3D> line) {
  BoundBox box;
  PointsExtent(line.data(), static_cast<int>(line.size()), &box);
  return box;
}

// Unknown thicknesses (negative) take the last known one met in the walk; answers whether any
// sample had a known thickness of its own.
template <typename It>
bool FillThickness(It first, It last) {
  bool known = false;
  double thickness = 0.0;
  for (; first != last; ++first) {
    if (first->thickness >= 0.0) {
      known = true;
      thickness = first->thickness;
    } else if (known) {
      first->thickness = thickness;
    }
  }
  return known;
}

}  // namespace

void SortSamplesByX(std::vector<StratumSample>& samples) {
  const std::vector<uint32_t> order = ExchangeSchemeOrder(samples);
  std::vector<StratumSample> sorted;
  sorted.reserve(samples.size());
  for (size_t i : order) sorted.push_back(samples[i]);
  samples.swap(sorted);
}

int ProjectVertically(Point3D p, std::span<const Point3D> line, double& distance, Point3D& meet) {
  // The construction's own search, so that whatever is checked of this function holds for the
  // projections of BuildStratumSamples too.
  return VerticalProjector(line).Project(p, distance, meet);
}

namespace {

// The construction over the callers' arrays, whatever holds them: *exchange is set when the
// upper curve came first (the caller exchanges its arrays), and `size(n)` makes the result n
// samples long and answers where they go. Answers the construction's 0 or 1.
template <typename Size>
int Build(std::span<const Point3D> nodes1, std::span<const Point3D> nodes2, std::span<const Point3D> line1,
          std::span<const Point3D> line2, bool* exchange, const Size& size) {
  *exchange = false;
  if (line1.empty() || line2.empty()) {
    return 0;
  }
  if (!AllFinite(nodes1) || !AllFinite(nodes2) || !AllFinite(line1) || !AllFinite(line2)) {
    return 0;
  }
  if (MeanHeight(line1) > MeanHeight(line2)) {
    std::swap(nodes1, nodes2);
    std::swap(line1, line2);
    *exchange = true;
  }
  const std::span<const Point3D> lowerNodes = nodes1;
  const std::span<const Point3D> upperNodes = nodes2;
  const BoundBox lower = Extent(line1);
  const BoundBox upper = Extent(line2);
  if (upper.minX > lower.maxX || upper.maxX < lower.minX) {
    return 0;
  }

  std::vector<WorkSample> work;
  work.reserve(upperNodes.size() + lowerNodes.size());
  const VerticalProjector ontoLower(line1);
  for (const Point3D& node : upperNodes) {
    if (node.x < lower.minX || node.x > lower.maxX) {
      continue;
    }
    double distance = 0.0;
    Point3D meet;
    if (ontoLower.Project(node, distance, meet) == 1) {
      work.push_back(WorkSample{meet, distance});
    }
  }
  const VerticalProjector ontoUpper(line2);
  for (const Point3D& node : lowerNodes) {
    double distance = 0.0;
    Point3D meet;
    const bool met = ontoUpper.Project(node, distance, meet) == 1;
    work.push_back(WorkSample{node, met ? distance : -1.0});
  }

  // Sort, then keep each sample that does not coincide with the last one kept (compacting
  // the order in place), then make the result.
  std::vector<uint32_t> kept = ExchangeSchemeOrder(work);
  size_t keptCount = 0;
  for (const uint32_t i : kept) {
    const Point3D& here = work[i].point;
    if (keptCount > 0) {
      const Point3D& last = work[kept[keptCount - 1]].point;
      if (PointsCoincide(last.x, last.y, here.x, here.y, PointTolerance(last.x, last.y)) != 0) {
        continue;
      }
    }
    kept[keptCount++] = i;
  }
  StratumSample* result = size(keptCount);
  for (size_t k = 0; k < keptCount; ++k) result[k] = MakeSample(work[kept[k]].point, work[kept[k]].thickness);

  if (!FillThickness(result, result + keptCount)) {
    return 0;
  }
  FillThickness(std::reverse_iterator(result + keptCount), std::reverse_iterator(result));
  // Finite input can still give a number the stratum must not carry: a thickness beyond the
  // largest double (curves near opposite ends of the range), or a lower node's z, which is
  // carried along unread.
  return std::all_of(result, result + keptCount, FiniteSample) ? 1 : 0;
}

std::span<const Point3D> View(const CArray<Point3D, Point3D&>& points) {
  return {points.GetData(), static_cast<size_t>(points.GetSize())};
}

// Exchanges the contents of two arrays: element by element when they are as long (no copy of
// either), else through a copy.
void Exchange(CArray<Point3D, Point3D&>& a, CArray<Point3D, Point3D&>& b) {
  if (a.GetSize() == b.GetSize()) {
    std::swap_ranges(a.GetData(), a.GetData() + a.GetSize(), b.GetData());
    return;
  }
  CArray<Point3D, Point3D&> held;
  held.Copy(a);
  a.Copy(b);
  b.Copy(held);
}

}  // namespace

int BuildStratumSamples(std::vector<Point3D>& nodes1, std::vector<Point3D>& nodes2,
                        std::vector<Point3D>& line1, std::vector<Point3D>& line2,
                        std::vector<StratumSample>& result) {
  bool exchange = false;
  const int built = Build(nodes1, nodes2, line1, line2, &exchange, [&](size_t n) {
    result.assign(n, StratumSample());
    return result.data();
  });
  if (exchange) {
    nodes1.swap(nodes2);
    line1.swap(line2);
  }
  return built;
}

// The arrays are read where they are, and the samples made in the result's own buffer: a
// million-node pair is not copied.
int BuildStratumSamples(CArray<Point3D, Point3D&>& nodes1, CArray<Point3D, Point3D&>& nodes2,
                        CArray<Point3D, Point3D&>& line1, CArray<Point3D, Point3D&>& line2,
                        CArray<StratumSample, StratumSample&>& result) {
  bool exchange = false;
  const int built = Build(View(nodes1), View(nodes2), View(line1), View(line2), &exchange, [&](size_t n) {
    result.SetSize(static_cast<INT_PTR>(n));
    return result.GetData();
  });
  if (exchange) {
    Exchange(nodes1, nodes2);
    Exchange(line1, line2);
  }
  return built;
}

int ProjectVertically(Point3D p, const CArray<Point3D, Point3D&>& line, double& distance, Point3D& meet) {
  return ProjectVertically(p, std::span<const Point3D>(line.GetData(), static_cast<size_t>(line.GetSize())),
                           distance, meet);
}

