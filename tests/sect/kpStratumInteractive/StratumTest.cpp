// Unit tests of the stratum construction's steps: curve order, the overlap test, the upper
// nodes' skip rule, the ordering of equal x values, de-duplication, the thickness fills, the
// refusals, and the vertical projection's choice among several crossings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "sect/kpStratumInteractive/stratum.h"

namespace {

using Points = std::vector<Point3D>;

// Samples are packed records (their doubles at 4-byte alignment): the test macros bind
// references, so fields go through Value() as copies.
double Value(double v) {
  return v;
}

// Thicknesses here come out of hypot and a rotation; they are exact up to a few ulps.
constexpr double kThicknessTolerance = 1e-12;

Points Horizontal(std::initializer_list<double> xs, double y, double z = 0.0) {
  Points out;
  for (double x : xs) out.push_back({x, y, z});
  return out;
}

struct Build {
  Points nodes1, nodes2, line1, line2;
  std::vector<StratumSample> result;
  int answer = -1;

  Build(Points n1, Points n2, Points l1, Points l2, std::vector<StratumSample> start = {})
      : nodes1(std::move(n1)),
        nodes2(std::move(n2)),
        line1(std::move(l1)),
        line2(std::move(l2)),
        result(start) {
    answer = BuildStratumSamples(nodes1, nodes2, line1, line2, result);
  }
};

StratumSample Sentinel() {
  StratumSample s;
  s.point = {-99, -99, -99};
  s.thickness = -99;
  return s;
}

TEST(StratumSort, EqualValuesComeOutInTheExchangeSchemesOrder) {
  // x values 1 (appended first), 1 (appended second), 0 sort as 0, the second 1, the first 1.
  std::vector<StratumSample> list(3);
  list[0].point = {1, 10, 0};
  list[1].point = {1, 20, 0};
  list[2].point = {0, 30, 0};
  SortSamplesByX(list);
  EXPECT_EQ(Value(list[0].point.y), 30);
  EXPECT_EQ(Value(list[1].point.y), 20);
  EXPECT_EQ(Value(list[2].point.y), 10);
}

TEST(StratumSort, NegativeZeroTiesWithZero) {
  // -0.0 < 0.0 is false, so the scheme never exchanges them: they keep list order.
  std::vector<StratumSample> list(2);
  list[0].point = {0.0, 1, 0};
  list[1].point = {-0.0, 2, 0};
  SortSamplesByX(list);
  EXPECT_EQ(Value(list[0].point.y), 1);
  EXPECT_FALSE(std::signbit(list[0].point.x));
}

TEST(StratumSamples, CoincidingSamplesKeepTheFirstAfterSorting) {
  // Upper nodes above lower nodes project exactly onto them; the projections (z = 0) are
  // appended first and, in the exchange order, stay ahead of the lower nodes (z = 7).
  Build b(Horizontal({0, 1, 2}, 0, 7), Horizontal({0, 1, 2}, 5), Horizontal({0, 1, 2}, 0),
          Horizontal({0, 1, 2}, 5));
  ASSERT_EQ(b.answer, 1);
  ASSERT_EQ(b.result.size(), 3u);
  for (const StratumSample& s : b.result) {
    EXPECT_EQ(Value(s.point.z), 0.0);
    EXPECT_NEAR(Value(s.thickness), 5.0, kThicknessTolerance);
    EXPECT_EQ(Value(s.second), 0.0);
    EXPECT_EQ(Value(s.third), 0.0);
    EXPECT_EQ(s.flag, 1);
  }
}

TEST(StratumSamples, UnknownThicknessTakesTheKnownOneOnItsLeftThenOnItsRight) {
  // The upper curve's line runs over x 3..6, its last node stands at x 9 (projected onto the
  // lower curve, thickness 4). Lower nodes left of 3 take the first known thickness (2);
  // those at 7 and 8.5 take 3 from x 6, though the known sample at 9 is nearer to 8.5.
  Build b(Horizontal({0, 1, 2, 3, 4, 5, 6, 7, 8.5, 10}, 0), Points{{3, 2, 0}, {6, 3, 0}, {9, 4, 0}},
          Horizontal({0, 10}, 0), Points{{3, 2, 0}, {6, 3, 0}});
  ASSERT_EQ(b.answer, 1);
  const std::vector<std::pair<double, double>> expected{
      {0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 7.0 / 3}, {5, 8.0 / 3}, {6, 3}, {7, 3}, {8.5, 3}, {9, 4}, {10, 4}};
  ASSERT_EQ(b.result.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Value(b.result[i].point.x), expected[i].first) << i;
    EXPECT_NEAR(Value(b.result[i].thickness), expected[i].second, kThicknessTolerance) << i;
  }
}

TEST(StratumSamples, UpperNodesOnTheLowerExtentsBoundsAreProjected) {
  // The lower line spans x 0..10 but has nodes only at 4 and 6: a sample at x 10 can only come
  // from the upper node at 10; the one at 10 + 1e-6 lies outside and is skipped.
  Build b(Horizontal({4, 6}, 0), Horizontal({0, 10, 10 + 1e-6}, 3), Horizontal({0, 10}, 0),
          Horizontal({-1, 0, 10, 10 + 1e-6, 11}, 3));
  ASSERT_EQ(b.answer, 1);
  ASSERT_EQ(b.result.size(), 4u);
  // Below |x| = 1 the rotated vertical leans by ~1e-16 per unit of height, so the meeting
  // point at x 0 stands a hair beside it.
  EXPECT_NEAR(Value(b.result.front().point.x), 0.0, kThicknessTolerance);
  EXPECT_EQ(Value(b.result.back().point.x), 10.0);
}

TEST(StratumSamples, ExtentsThatOnlyTouchPass) {
  Build touching(Horizontal({0, 5}, 0), Horizontal({5, 10}, 2), Horizontal({0, 5}, 0),
                 Horizontal({5, 10}, 2));
  EXPECT_EQ(touching.answer, 1);
  // The upper node at 5 projects onto the lower node at 5 (they coincide, one is kept); the
  // lower node at 0 misses the upper curve and takes the thickness from the right.
  ASSERT_EQ(touching.result.size(), 2u);
  EXPECT_EQ(Value(touching.result[1].point.x), 5.0);
  EXPECT_NEAR(Value(touching.result[0].thickness), 2.0, kThicknessTolerance);
}

TEST(StratumSamples, CurvesApartAreRefusedAndTheResultIsUntouched) {
  Build apart(Horizontal({0, 5}, 0), Horizontal({6, 10}, 2), Horizontal({0, 5}, 0), Horizontal({6, 10}, 2),
              {Sentinel()});
  EXPECT_EQ(apart.answer, 0);
  ASSERT_EQ(apart.result.size(), 1u);
  EXPECT_EQ(Value(apart.result[0].thickness), -99);
}

TEST(StratumSamples, LowerCurveGivenSecondIsExchanged) {
  const Points lower = Horizontal({0, 1, 2}, 0), upper = Horizontal({0.5, 1.5}, 4);
  Build first(lower, upper, lower, upper);
  Build second(upper, lower, upper, lower);
  ASSERT_EQ(second.answer, 1);
  EXPECT_EQ(second.nodes1.size(), lower.size());  // arrays exchanged in place
  EXPECT_EQ(second.line2.size(), upper.size());
  ASSERT_EQ(first.result.size(), second.result.size());
  for (size_t i = 0; i < first.result.size(); ++i) {
    EXPECT_EQ(Value(first.result[i].point.x), Value(second.result[i].point.x));
    EXPECT_EQ(Value(first.result[i].thickness), Value(second.result[i].thickness));
  }
}

TEST(StratumSamples, EqualMeansTakeTheFirstCurveAsTheLower) {
  // Mirror images about y = 0 have equal mean heights; the first stays the lower curve.
  const Points a{{0, -1, 0}, {2, 1, 0}}, b{{0, 1, 0}, {2, -1, 0}};
  Build build(a, b, a, b);
  ASSERT_EQ(build.answer, 1);
  EXPECT_EQ(build.nodes1[0].y, -1.0);
  EXPECT_NEAR(Value(build.result.front().point.y), -1.0,
              kThicknessTolerance);  // samples stand on the first curve
}

TEST(StratumSamples, NoKnownThicknessIsRefused) {
  // No upper node lies over the lower curve and no lower node reaches the upper line.
  Build b(Horizontal({0}, 0), Points{}, Horizontal({0, 1}, 0), Horizontal({1, 3}, 5));
  EXPECT_EQ(b.answer, 0);
}

TEST(StratumSamples, EmptyLinePointsAreRefusedAndTheResultIsUntouched) {
  Build b(Horizontal({0}, 0), Horizontal({0}, 1), Points{}, Horizontal({0, 1}, 1), {Sentinel()});
  EXPECT_EQ(b.answer, 0);
  EXPECT_EQ(b.result.size(), 1u);
}

bool AllFinite(const std::vector<StratumSample>& samples) {
  for (const StratumSample& s : samples) {
    for (double v : {Value(s.point.x), Value(s.point.y), Value(s.point.z), Value(s.thickness)})
      if (!std::isfinite(v)) return false;
  }
  return true;
}

TEST(StratumSamples, EveryNonFiniteCoordinateOfEveryListIsRefusedWithNothingChanged) {
  // NaN and both infinities as x or y of a point of each of the four lists. The first curve is
  // the upper one: a refusal must not exchange the arrays.
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), inf, -inf}) {
    for (int list = 0; list < 4; ++list) {
      for (bool asX : {true, false}) {
        Points lists[4] = {Horizontal({0, 1, 2}, 4), Horizontal({0, 1, 2}, 0), Horizontal({0, 1, 2}, 4),
                           Horizontal({0, 1, 2}, 0)};
        (asX ? lists[list][1].x : lists[list][1].y) = bad;
        Build b(lists[0], lists[1], lists[2], lists[3], {Sentinel()});
        EXPECT_EQ(b.answer, 0) << bad << " in list " << list << (asX ? " x" : " y");
        EXPECT_EQ(b.nodes1[0].y, 4.0);
        EXPECT_EQ(b.line2[0].y, 0.0);
        ASSERT_EQ(b.result.size(), 1u);
        EXPECT_EQ(Value(b.result[0].thickness), -99);
      }
    }
  }
}

TEST(StratumSamples, ANonFiniteZCarriedIntoASampleIsRefused) {
  // A lower node's z goes into its sample unread; the upper nodes' z never does.
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    Points lower = Horizontal({0, 3, 10}, 0);
    lower[1].z = bad;
    Build carried(lower, Horizontal({0, 10}, 5), Horizontal({0, 10}, 0), Horizontal({0, 10}, 5));
    EXPECT_EQ(carried.answer, 0) << bad;
    Points upper = Horizontal({0, 3, 10}, 5);
    upper[1].z = bad;
    Build dropped(Horizontal({0, 10}, 0), upper, Horizontal({0, 10}, 0), Horizontal({0, 10}, 5));
    EXPECT_EQ(dropped.answer, 1) << bad;
    EXPECT_TRUE(AllFinite(dropped.result));
  }
}

TEST(StratumSamples, HeightsNearTheLargestDoubleGiveFiniteSamplesOrNone) {
  const double big = std::numeric_limits<double>::max();
  // The upper curve at the largest double: the thickness is the largest double, finite.
  Build high(Points{{0, -1e15, 0}, {0.5, 0, 0}, {1, 1e15, 0}}, Horizontal({0, 1}, big),
             Points{{0, -1e15, 0}, {0.5, 0, 0}, {1, 1e15, 0}}, Horizontal({0, 1}, big));
  ASSERT_EQ(high.answer, 1);
  EXPECT_TRUE(AllFinite(high.result));
  EXPECT_EQ(Value(high.result[1].thickness), big);
  // Both curves beyond 2^53, at opposite ends of the range: y + 1 == y there, so no vertical
  // has a second point, nothing projects and nothing is built (never a thickness of inf).
  Build apart(Horizontal({-1.7e308, 0, 1.7e308}, -1.7e308), Horizontal({-1.7e308, 0, 1.7e308}, 1.7e308),
              Horizontal({-1.7e308, 0, 1.7e308}, -1.7e308), Horizontal({-1.7e308, 0, 1.7e308}, 1.7e308));
  EXPECT_EQ(apart.answer, 0);
}

TEST(ProjectVertically, TheFirstCrossingInPolylineOrderWins) {
  // The vertical at x 1 crosses a zigzag at y 1, 2 and 3; the point at y 2.9 is nearest the
  // third crossing but gets the first.
  const Points zigzag{{0, 1, 0}, {2, 1, 0}, {0, 3, 0}, {2, 3, 0}};
  double distance = -1;
  Point3D meet{9, 9, 9};
  ASSERT_EQ(ProjectVertically({1, 2.9, 5}, zigzag, distance, meet), 1);
  EXPECT_NEAR(meet.y, 1.0, kThicknessTolerance);
  EXPECT_EQ(meet.z, 0.0);
  EXPECT_NEAR(distance, 1.9, kThicknessTolerance);
}

TEST(ProjectVertically, MissesLeaveTheOutputsAlone) {
  double distance = -1;
  Point3D meet{9, 9, 9};
  EXPECT_EQ(ProjectVertically({1, 0, 0}, Points{{0, 1, 0}}, distance, meet), 0);      // one point: no segment
  EXPECT_EQ(ProjectVertically({5, 0, 0}, Horizontal({0, 2}, 1), distance, meet), 0);  // beyond the end
  EXPECT_EQ(ProjectVertically({1, 0, 0}, Points{{1, 1, 0}, {1, 4, 0}}, distance, meet),
            0);  // vertical: parallel
  EXPECT_EQ(distance, -1);
  EXPECT_EQ(meet.x, 9);
}

TEST(ProjectVertically, MeetsASegmentEndWithinTheTolerance) {
  // x 2 + 5e-10 is within the tolerance (1e-9) of the segment's end at x 2.
  double distance = -1;
  Point3D meet;
  EXPECT_EQ(ProjectVertically({2 + 5e-10, 0, 0}, Horizontal({0, 2}, 1), distance, meet), 1);
  EXPECT_EQ(ProjectVertically({2 + 5e-9, 0, 0}, Horizontal({0, 2}, 1), distance, meet), 0);
}

}  // namespace

namespace {

void Fill(CArray<Point3D, Point3D&>& array, const Points& points) {
  array.SetSize(static_cast<INT_PTR>(points.size()));
  for (size_t i = 0; i < points.size(); ++i) array[static_cast<INT_PTR>(i)] = points[i];
}

TEST(StratumSamples, MfcArrayFormExchangesInPlaceAndFillsTheResult) {
  // The module's call: upper curve first, so its arrays come back exchanged.
  const Points upper = Horizontal({0.5, 1.5}, 4), lower = Horizontal({0, 1, 2}, 0);
  CArray<Point3D, Point3D&> n1, n2, l1, l2;
  Fill(n1, upper);
  Fill(n2, lower);
  Fill(l1, upper);
  Fill(l2, lower);
  CArray<StratumSample, StratumSample&> result;
  ASSERT_EQ(BuildStratumSamples(n1, n2, l1, l2, result), 1);
  EXPECT_EQ(n1.GetSize(), 3);
  EXPECT_EQ(l2.GetSize(), 2);
  Build reference(lower, upper, lower, upper);
  ASSERT_EQ(result.GetSize(), static_cast<INT_PTR>(reference.result.size()));
  for (INT_PTR i = 0; i < result.GetSize(); ++i) {
    EXPECT_EQ(std::memcmp(&result[i], &reference.result[static_cast<size_t>(i)], sizeof(StratumSample)), 0);
  }
  double distance = -1;
  Point3D meet;
  EXPECT_EQ(ProjectVertically(Point3D{1, 0, 0}, l2, distance, meet), 1);
  EXPECT_NEAR(distance, 4.0, kThicknessTolerance);
}

}  // namespace
