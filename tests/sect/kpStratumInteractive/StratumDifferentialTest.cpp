// Differential tests of the stratum construction: the fast BuildStratumSamples, ProjectVertically
// (the construction's indexed search) and SortSamplesByX against the literal procedure
// (StratumLiteral), on random curves, on adversarial ones and on the curves kept in
// fuzz/corpus/samples. "Same" means bit for bit: the answer, every byte of every sample in
// order, and the four point arrays after the possible exchange of the curves.
//
// The fast construction adds two refusals to the literal one: curves with a non-finite x or y
// (answer 0, nothing changed) and results that would carry a non-finite number (answer 0, the
// samples as the literal procedure leaves them). SameConstruction allows exactly these.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "CurveText.h"
#include "StratumLiteral.h"
#include "host/zvtopo.h"
#include "sect/kpStratumInteractive/stratum.h"

namespace {

using Points = std::vector<Point3D>;

bool SameBytes(const void* a, const void* b, size_t n) {
  return std::memcmp(a, b, n) == 0;
}

template <typename T>
::testing::AssertionResult SameList(const std::vector<T>& expected, const std::vector<T>& actual) {
  if (expected.size() != actual.size()) {
    return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size();
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    if (!SameBytes(&expected[i], &actual[i], sizeof(T))) {
      return ::testing::AssertionFailure() << "element " << i << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

bool FinitePlane(const Points& points) {
  return std::all_of(points.begin(), points.end(),
                     [](const Point3D& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

bool FiniteSamples(const std::vector<StratumSample>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](const StratumSample& s) {
    return std::isfinite(s.point.x) && std::isfinite(s.point.y) && std::isfinite(s.point.z) &&
           std::isfinite(s.thickness);
  });
}

// Runs both constructions on copies of the same input and compares everything.
::testing::AssertionResult SameConstruction(const Points& n1, const Points& n2, const Points& l1,
                                            const Points& l2) {
  Points a1 = n1, a2 = n2, b1 = l1, b2 = l2;
  Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
  std::vector<StratumSample> expected(1), actual(1);  // one stale sample: untouched on early refusals
  const int got = BuildStratumSamples(c1, c2, d1, d2, actual);
  if (!l1.empty() && !l2.empty() && !(FinitePlane(n1) && FinitePlane(n2) && FinitePlane(l1) && FinitePlane(l2))) {
    // Refused before anything changes.
    if (got != 0) return ::testing::AssertionFailure() << "non-finite input accepted";
    for (const auto& [e, a] : {std::pair{&n1, &c1}, {&n2, &c2}, {&l1, &d1}, {&l2, &d2}}) {
      if (auto r = SameList(*e, *a); !r) return r << " (point arrays changed by a refusal)";
    }
    if (auto r = SameList(expected, actual); !r) return r << " (result changed by a refusal)";
    return ::testing::AssertionSuccess();
  }
  int want = literal::BuildStratumSamples(a1, a2, b1, b2, expected);
  if (want == 1 && !FiniteSamples(expected)) want = 0;
  if (want != got) return ::testing::AssertionFailure() << "answers " << want << " and " << got;
  if (got == 1 && !FiniteSamples(actual)) return ::testing::AssertionFailure() << "a non-finite sample";
  for (const auto& [e, a] : {std::pair{&a1, &c1}, {&a2, &c2}, {&b1, &d1}, {&b2, &d2}}) {
    if (auto r = SameList(*e, *a); !r) return r << " (point arrays)";
  }
  if (auto r = SameList(expected, actual); !r) return r << " (samples)";
  return ::testing::AssertionSuccess();
}

// Both orders of the curves.
::testing::AssertionResult SameBothWays(const Points& n1, const Points& n2, const Points& l1, const Points& l2) {
  if (auto r = SameConstruction(n1, n2, l1, l2); !r) return r;
  if (auto r = SameConstruction(n2, n1, l2, l1); !r) return r << " (curves exchanged)";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameProjection(const Point3D& p, const Points& line) {
  double d1 = -7, d2 = -7;
  Point3D m1{9, 9, 9}, m2{9, 9, 9};
  const int r1 = literal::ProjectVertically(p, line, d1, m1);
  const int r2 = ProjectVertically(p, line, d2, m2);
  if (r1 != r2) return ::testing::AssertionFailure() << "answers " << r1 << " and " << r2;
  if (!SameBytes(&d1, &d2, sizeof d1) || !SameBytes(&m1, &m2, sizeof m1)) {
    return ::testing::AssertionFailure() << "meeting points (" << m1.x << ", " << m1.y << ") and (" << m2.x
                                         << ", " << m2.y << ")";
  }
  return ::testing::AssertionSuccess();
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Coin() { return Int(0, 1) == 1; }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[static_cast<size_t>(Int(0, static_cast<int>(from.size()) - 1))];
  }

  // An x value of the chosen style: a coarse grid (many equal values), fine random values,
  // values around zero (signed zeros, |x| < 1 where the rotated vertical leans), or large ones.
  double X(int style, double scale) {
    switch (style) {
      case 0:
        return Int(-10, 10) * scale;
      case 1:
        return Uniform(-10, 10) * scale;
      case 2: {
        const int k = Int(0, 6);
        return k == 0 ? 0.0 : k == 1 ? -0.0 : Uniform(-1, 1);
      }
      default:
        return Uniform(-1, 1) * 1e7 + 3e8;
    }
  }

  // A curve of n nodes of one shape around height `base`.
  Points Curve(int n, int style, double scale, double base) {
    Points pts;
    const int shape = Int(0, 4);
    double x = X(style, scale);
    for (int i = 0; i < n; ++i) {
      Point3D p;
      switch (shape) {
        case 0:  // increasing x, maybe with repeats
          x += Coin() ? 0.0 : std::fabs(X(style == 3 ? 1 : style, scale)) * 0.1;
          p.x = x;
          break;
        case 1:  // vertical steps: every x twice
          if (i % 2 == 0) x += scale;
          p.x = x;
          break;
        case 2:  // folded: x runs forward and back
          p.x = X(style, scale);
          break;
        case 3:  // a vertical curve
          p.x = x;
          break;
        default:  // a regular grid shared by both curves
          p.x = (i - n / 2) * scale;
          break;
      }
      p.y = base + Uniform(-1, 1) * scale * (Coin() ? 1 : 3);
      if (Int(0, 9) == 0 && !pts.empty()) p.y = pts.back().y;  // horizontal runs
      p.z = Uniform(0, 5);
      pts.push_back(p);
    }
    return pts;
  }

  // Line points: the nodes themselves, a subset, or the nodes with extra points between.
  Points Line(const Points& nodes) {
    switch (Int(0, 3)) {
      case 0: {
        Points out;
        for (size_t i = 0; i < nodes.size(); ++i) {
          out.push_back(nodes[i]);
          if (i + 1 < nodes.size()) {
            Point3D mid{(nodes[i].x + nodes[i + 1].x) / 2,
                        (nodes[i].y + nodes[i + 1].y) / 2 + Uniform(-0.1, 0.1), 0};
            out.push_back(mid);
          }
        }
        return out;
      }
      case 1: {
        Points out;
        for (const Point3D& p : nodes)
          if (Coin()) out.push_back(p);
        if (out.empty() && !nodes.empty()) out.push_back(nodes.front());
        return out;
      }
      default:
        return nodes;
    }
  }

  // An x grid that both curves of an adversarial pair share: spacing a power of ten (or 0.1,
  // which doubles do not hold exactly), around 0, around 1 (the lean changes there) or far out.
  std::vector<double> Grid() {
    const double step = Pick(std::vector<double>{0.1, 0.5, 1.0, 1e-6, 1e3, 0.3});
    const double origin = Pick(std::vector<double>{0.0, -1.0, 0.5, 1e6, -3e8, 1e12});
    std::vector<double> grid;
    const int n = Int(2, 12);
    for (int i = 0; i < n; ++i) grid.push_back(origin + (i - n / 2) * step);
    return grid;
  }

  // x moved by a fraction of its tolerance (1e-9 or 1e-12 relative), or by one ulp: ties
  // within, at and just beyond the tolerance of the topology tests.
  double Nudge(double x) {
    const double t = CoordTolerance(x);
    switch (Int(0, 6)) {
      case 0:
        return x + t * 0.5;
      case 1:
        return x - t;
      case 2:
        return x + t * 1.0000001;
      case 3:
        return std::nextafter(x, Coin() ? 1e300 : -1e300);
      case 4:
        return x - t * 2;
      default:
        return x;
    }
  }

  // A curve over the grid, in one of the shapes that stress the projection: vertical segments
  // (a grid x twice), zero-length segments (a point twice), descending x, a zigzag that folds
  // back over itself, nudged x values, and heights far above the other curve.
  Points GridCurve(const std::vector<double>& grid, double base, double height, int shape) {
    Points pts;
    for (size_t i = 0; i < grid.size(); ++i) {
      Point3D p{grid[i], base + Uniform(-1, 1) * height, Uniform(0, 3)};
      if (shape == 4 || (shape == 6 && Coin())) p.x = Nudge(p.x);
      pts.push_back(p);
      if (shape == 1 || (shape == 6 && Int(0, 3) == 0)) {  // vertical segment
        Point3D q = p;
        q.y += Uniform(-2, 2) * height;
        pts.push_back(q);
      }
      if (shape == 2 || (shape == 6 && Int(0, 3) == 0)) pts.push_back(p);  // zero-length segment
    }
    if (shape == 3 || (shape == 6 && Coin())) std::reverse(pts.begin(), pts.end());  // descending x
    if (shape == 5) {  // zigzag: back over the grid at another height
      for (size_t i = grid.size(); i-- > 0;) pts.push_back({grid[i], base + Uniform(-3, 3) * height, 0});
    }
    return pts;
  }

 private:
  std::mt19937 rng_;
};

TEST(StratumDifferential, SortMatchesTheExchangeSchemeOnRandomLists) {
  Generator g(7);
  for (int round = 0; round < 20000; ++round) {
    const int n = g.Int(0, round % 100 == 0 ? 300 : 24);
    const int distinct = g.Int(1, 6);
    std::vector<StratumSample> list(n);
    for (int i = 0; i < n; ++i) {
      const int k = g.Int(0, distinct);
      list[i].point.x = k == 0 && g.Coin() ? -0.0 : k;
      list[i].point.y = i;  // identity of the element
    }
    std::vector<StratumSample> expected = list, actual = list;
    literal::ExchangeSort(expected);
    SortSamplesByX(actual);
    ASSERT_TRUE(SameList(expected, actual)) << "round " << round;
  }
}

TEST(StratumDifferential, SortMatchesTheExchangeSchemeOnEveryShortList) {
  // Every list of up to 7 elements over 4 values (-0.0 and 0.0 count as one value).
  const double values[] = {0.0, -0.0, 1.0, 2.0};
  for (int n = 0; n <= 7; ++n) {
    int combinations = 1;
    for (int i = 0; i < n; ++i) combinations *= 4;
    for (int code = 0; code < combinations; ++code) {
      std::vector<StratumSample> list(static_cast<size_t>(n));
      for (int i = 0, c = code; i < n; ++i, c /= 4) {
        list[static_cast<size_t>(i)].point.x = values[c % 4];
        list[static_cast<size_t>(i)].point.y = i;
      }
      std::vector<StratumSample> expected = list, actual = list;
      literal::ExchangeSort(expected);
      SortSamplesByX(actual);
      ASSERT_TRUE(SameList(expected, actual)) << "n " << n << " code " << code;
    }
  }
}

TEST(StratumDifferential, SortOfOneLargeRunOfEqualValues) {
  // Long runs of one value interleaved with smaller ones: many distinct counts per run.
  Generator g(11);
  for (int round = 0; round < 20; ++round) {
    std::vector<StratumSample> list(1500);
    for (size_t i = 0; i < list.size(); ++i) {
      list[i].point.x = g.Int(0, 3) == 0 ? g.Int(0, 50) : 100.0;
      list[i].point.y = static_cast<double>(i);
    }
    std::vector<StratumSample> expected = list, actual = list;
    literal::ExchangeSort(expected);
    SortSamplesByX(actual);
    ASSERT_TRUE(SameList(expected, actual)) << "round " << round;
  }
}

TEST(StratumDifferential, ProjectionMatchesTheSegmentScanOnRandomLines) {
  Generator g(3);
  for (int round = 0; round < 3000; ++round) {
    const int style = round % 4;
    const double scale = style == 3 ? 1.0 : std::pow(10.0, g.Int(-3, 3));
    // Long lines too, so that the search has several levels to prune.
    Points line = g.Line(g.Curve(g.Int(0, round % 10 == 0 ? 400 : 30), style, scale, 0.0));
    for (int k = 0; k < 20; ++k) {
      Point3D p{g.X(style, scale), g.Uniform(-5, 5) * scale, 0};
      if (!line.empty() && g.Coin()) p.x = line[g.Int(0, static_cast<int>(line.size()) - 1)].x;
      ASSERT_TRUE(SameProjection(p, line)) << "round " << round;
    }
  }
}

TEST(StratumDifferential, ProjectionMatchesTheSegmentScanOnAdversarialLines) {
  // Points straight above grid nodes, nudged within and beyond the tolerance, and far above the
  // line where the lean of the rotated vertical (|x| < 1) carries the meeting point sideways.
  Generator g(13);
  for (int round = 0; round < 4000; ++round) {
    const std::vector<double> grid = g.Grid();
    const double height = g.Pick(std::vector<double>{1e-3, 1.0, 1e3, 1e8, 1e12});
    const Points line = g.GridCurve(grid, 0.0, height, round % 7);
    for (int k = 0; k < 16; ++k) {
      Point3D p{g.Nudge(g.Pick(grid)), g.Uniform(-4, 4) * height, 0};
      if (k % 4 == 0) p.y = g.Pick(std::vector<double>{1e15, -1e15, 1e300}) * (height < 1 ? 1e-3 : 1.0);
      if (k % 5 == 0 && !line.empty()) p = g.Pick(line);  // a node itself
      ASSERT_TRUE(SameProjection(p, line)) << "round " << round << " point " << k;
    }
  }
}

TEST(StratumDifferential, ProjectionMatchesTheSegmentScanAtTheExtremes) {
  // Not finite, beyond 2^53 (x + 1 == x: the vertical has no second point) and near the
  // largest double (the search window and the heights overflow).
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double big = std::numeric_limits<double>::max();
  const std::vector<double> xs = {0.0, 0.5, -0.75, 1.0, 9007199254740992.0, 1e300, -big, big, nan, inf, -inf};
  const std::vector<Points> lines = {
      {{-1, -1, 0}, {1, 1, 0}},
      {{-big, -big, 0}, {big, big, 0}},
      {{-big, 0, 0}, {0, big, 0}, {big, 0, 0}},
      {{0, 1e300, 0}, {1, -1e300, 0}},
      {{-1, 0, 0}, {nan, 1, 0}, {1, 0, 0}, {2, inf, 0}},
      {{9007199254740990.0, 0, 0}, {9007199254740996.0, 1, 0}},
  };
  for (const Points& line : lines) {
    for (double x : xs) {
      for (double y : {0.0, 0.5, -1e300, big, -big, nan, inf}) {
        ASSERT_TRUE(SameProjection({x, y, 0}, line)) << "x " << x << " y " << y;
      }
    }
  }
}

TEST(StratumDifferential, ConstructionMatchesOnRandomAndAdversarialCurves) {
  Generator g(5);
  int built = 0;
  for (int round = 0; round < 6000; ++round) {
    const int style = round % 4;
    const double scale = style == 3 ? 1.0 : std::pow(10.0, g.Int(-2, 2));
    const double gap = g.Int(0, 4) == 0 ? 0.0 : g.Uniform(0.5, 5) * scale;
    Points n1 = g.Curve(g.Int(0, 40), style, scale, g.Coin() ? 0.0 : gap);
    Points n2 = g.Curve(g.Int(0, 40), style, scale, g.Coin() ? gap : 0.0);
    Points l1 = g.Line(n1);
    Points l2 = g.Line(n2);
    if (g.Int(0, 20) == 0) l1.clear();
    if (g.Int(0, 5) == 0) n2 = n1;  // equal means, both orders
    ASSERT_TRUE(SameBothWays(n1, n2, l1, l2)) << "round " << round;
    std::vector<StratumSample> out;
    Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
    built += BuildStratumSamples(c1, c2, d1, d2, out);
  }
  EXPECT_GT(built, 1000);  // the generator reaches the whole construction, not just refusals
}

TEST(StratumDifferential, ConstructionMatchesOnCurvesOverOneGrid) {
  // Both curves on one x grid: vertical and zero-length segments, descending x, nudged nodes
  // (ties within the tolerance), zigzags, and curves that cross (the "upper" one dips below).
  Generator g(17);
  int built = 0;
  for (int round = 0; round < 6000; ++round) {
    const std::vector<double> grid = g.Grid();
    const double height = g.Pick(std::vector<double>{1e-6, 1.0, 1e3, 1e9});
    const double gap = g.Pick(std::vector<double>{0.0, 0.5, 1.0, 3.0}) * height;
    const Points n1 = g.GridCurve(grid, 0.0, height, g.Int(0, 6));
    const Points n2 = g.GridCurve(grid, gap, height, g.Int(0, 6));
    Points l1 = n1, l2 = n2;
    if (g.Int(0, 3) == 0) l1 = g.GridCurve(grid, 0.0, height, g.Int(0, 6));
    if (g.Int(0, 3) == 0) l2 = g.GridCurve(grid, gap, height, g.Int(0, 6));
    ASSERT_TRUE(SameBothWays(n1, n2, l1, l2)) << "round " << round;
    if (round % 50 == 0) {
      ASSERT_TRUE(SameBothWays(n1, n1, l1, l1)) << "round " << round << " (one curve twice)";
    }
    std::vector<StratumSample> out;
    Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
    built += BuildStratumSamples(c1, c2, d1, d2, out);
  }
  EXPECT_GT(built, 1000);
}

TEST(StratumDifferential, LeaningVerticalMeetsASegmentBesideThePoint) {
  // For |x| < 1 the rotated vertical leans by ~6e-17 per unit of height: 1e8 above x = 0.5 it
  // passes x = 0.5 + 6.1e-9, inside a segment that starts 5e-9 to the right of the point,
  // beyond the tolerance (1e-9). The segment must still be found, as the full scan finds it
  // (a sloped one, so a thickness filled in from a neighbour would differ).
  const Points upper{{0.5 + 5e-9, 1e8, 0}, {1.0, 2e8, 0}};
  const Points lower{{0.5, 0, 0}, {1.0, 0, 0}};
  double distance = 0;
  Point3D meet;
  ASSERT_EQ(literal::ProjectVertically(lower[0], upper, distance, meet), 1);
  EXPECT_GT(meet.x, upper[0].x);
  EXPECT_TRUE(SameProjection(lower[0], upper));
  EXPECT_TRUE(SameConstruction(lower, upper, lower, upper));
  EXPECT_TRUE(SameConstruction(upper, lower, upper, lower));
}

TEST(StratumDifferential, ConstructionMatchesOnLargeCurves) {
  Generator g(9);
  for (int round = 0; round < 12; ++round) {
    const int style = round % 4;
    const double scale = style == 3 ? 1.0 : 0.5;
    Points n1 = g.Curve(1500, style, scale, 0.0);
    Points n2 = g.Curve(1500, style, scale, 2.0);
    ASSERT_TRUE(SameConstruction(n1, n2, g.Line(n1), g.Line(n2))) << "round " << round;
  }
}

TEST(StratumDifferential, TheCorpusOfAdversarialCurvesMatches) {
  const std::filesystem::path folder = KP_SAMPLES_CORPUS;
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename() == "README.txt") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    literal::CurvePair c;
    std::string error;
    ASSERT_TRUE(literal::ReadCurvePair(text, &c, &error)) << entry.path() << ": " << error;
    EXPECT_TRUE(SameBothWays(c.nodes1, c.nodes2, c.line1, c.line2)) << entry.path();
    ++cases;
  }
  EXPECT_GT(cases, 5);
}

}  // namespace
