// Differential tests of the stratum construction: the fast BuildStratumSamples, ProjectVertically
// and SortSamplesByX against the literal procedure (StratumLiteral), on thousands of random and
// adversarial inputs. "Same" means bit for bit: the answer, every byte of every sample, and the
// four point arrays after the possible exchange of the curves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "StratumLiteral.h"
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

// Runs both constructions on copies of the same input and compares everything.
::testing::AssertionResult SameConstruction(const Points& n1, const Points& n2, const Points& l1,
                                            const Points& l2) {
  Points a1 = n1, a2 = n2, b1 = l1, b2 = l2;
  Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
  std::vector<StratumSample> expected(1), actual(1);  // one stale sample: untouched on early refusals
  const int want = literal::BuildStratumSamples(a1, a2, b1, b2, expected);
  const int got = BuildStratumSamples(c1, c2, d1, d2, actual);
  if (want != got) return ::testing::AssertionFailure() << "answers " << want << " and " << got;
  for (const auto& [e, a] : {std::pair{&a1, &c1}, {&a2, &c2}, {&b1, &d1}, {&b2, &d2}}) {
    if (auto r = SameList(*e, *a); !r) return r << " (point arrays)";
  }
  if (auto r = SameList(expected, actual); !r) return r << " (samples)";
  return ::testing::AssertionSuccess();
}

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Coin() { return Int(0, 1) == 1; }

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

TEST(StratumDifferential, ProjectionMatchesTheSegmentScan) {
  Generator g(3);
  for (int round = 0; round < 3000; ++round) {
    const int style = round % 4;
    const double scale = style == 3 ? 1.0 : std::pow(10.0, g.Int(-3, 3));
    Points line = g.Line(g.Curve(g.Int(0, 30), style, scale, 0.0));
    for (int k = 0; k < 20; ++k) {
      Point3D p{g.X(style, scale), g.Uniform(-5, 5) * scale, 0};
      if (!line.empty() && g.Coin()) p.x = line[g.Int(0, static_cast<int>(line.size()) - 1)].x;
      double d1 = -7, d2 = -7;
      Point3D m1{9, 9, 9}, m2{9, 9, 9};
      const int r1 = literal::ProjectVertically(p, line, d1, m1);
      const int r2 = ProjectVertically(p, line, d2, m2);
      ASSERT_EQ(r1, r2);
      ASSERT_TRUE(SameBytes(&d1, &d2, sizeof d1) && SameBytes(&m1, &m2, sizeof m1)) << "round " << round;
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
    ASSERT_TRUE(SameConstruction(n1, n2, l1, l2)) << "round " << round;
    ASSERT_TRUE(SameConstruction(n2, n1, l2, l1)) << "round " << round << " (curves exchanged)";
    std::vector<StratumSample> out;
    Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
    built += BuildStratumSamples(c1, c2, d1, d2, out);
  }
  EXPECT_GT(built, 1000);  // the generator reaches the whole construction, not just refusals
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

}  // namespace
