// Tests of the topology library: tolerances, rotation, line meeting, point on segment,
// distance, coincidence and extent, with their degenerate inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/zvtopo.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kExact = 1e-12;  // results that are exact up to a few ulps

TEST(CoordTolerance, HasAFloorAndGrowsWithTheMagnitude) {
  EXPECT_EQ(CoordTolerance(0.0), 1e-9);
  EXPECT_EQ(CoordTolerance(-5.0), 1e-9);
  EXPECT_EQ(CoordTolerance(999.0), 1e-9);  // the relative part takes over at 1000
  EXPECT_DOUBLE_EQ(CoordTolerance(-1e7), 1e-5);
  EXPECT_EQ(CoordTolerance(kNaN), 1e-9);
}

TEST(RotatePoint, QuarterTurnAboutACentre) {
  double x = 0xdeadbeef, y = 0xdeadbeef;
  RotatePoint(3, 1, M_PI / 2, &x, &y, 1, 1);  // (2, 0) from the centre turns to (0, 2)
  EXPECT_NEAR(x, 1, kExact);
  EXPECT_NEAR(y, 3, kExact);
  RotatePoint(3, 1, 0, &x, &y, 1, 1);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 1);
  RotatePoint(3, 1, 1, nullptr, nullptr, 1, 1);  // null outputs: nothing written, no crash
}

struct MeetCase {
  const char* name;
  double x1, y1, x2, y2, x3, y3, x4, y4, epsilon;
  int expected;
  double mx, my;
};

class LineIntersectionTest : public ::testing::TestWithParam<MeetCase> {};

TEST_P(LineIntersectionTest, Meets) {
  const MeetCase& c = GetParam();
  double x = 0xdeadbeef, y = 0xdeadbeef;
  ASSERT_EQ(LineIntersection(c.x1, c.y1, c.x2, c.y2, c.x3, c.y3, c.x4, c.y4, &x, &y, c.epsilon), c.expected);
  if (c.expected == 1) {
    EXPECT_NEAR(x, c.mx, kExact);
    EXPECT_NEAR(y, c.my, kExact);
  } else {
    EXPECT_EQ(x, 0xdeadbeef);  // nothing written on 0
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineIntersectionTest,
    ::testing::Values(
        MeetCase{"Crossing", 0, 0, 2, 2, 0, 2, 2, 0, 1e-9, 1, 1, 1},
        MeetCase{"BeyondTheSegmentsStillMeet", 0, 0, 1, 0, 5, 1, 5, 2, 1e-9, 1, 5, 0},
        MeetCase{"VerticalAndHorizontal", 3, -1, 3, 1, 0, 7, 1, 7, 1e-9, 1, 3, 7},
        MeetCase{"Parallel", 0, 0, 1, 1, 0, 1, 1, 2, 1e-9, 0, 0, 0},
        MeetCase{"Collinear", 0, 0, 1, 0, 2, 0, 3, 0, 1e-9, 0, 0, 0},
        // sin(angle) = 1e-10 / |d| is below epsilon whatever the lengths
        MeetCase{"ParallelWithinEpsilonLongLines", 0, 0, 1e6, 0, 0, 1, 1e6, 1 + 1e-4, 1e-9, 0, 0, 0},
        // slope 2^-20 (exact in binary): sin ~ 9.5e-7 > epsilon, meeting at x -2^20
        MeetCase{"NearlyParallelBeyondEpsilon", 0, 0, 1, 0, 0, 1, 1, 1 + 0x1p-20, 1e-9, 1, -0x1p20, 0},
        MeetCase{"DegenerateFirstLine", 1, 1, 1, 1, 0, 0, 2, 0, 1e-9, 0, 0, 0},
        MeetCase{"DegenerateSecondLine", 0, 0, 2, 0, 1, 1, 1, 1, 1e-9, 0, 0, 0},
        MeetCase{"NaNInput", kNaN, 0, 2, 0, 1, 1, 1, -1, 1e-9, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct OnSegmentCase {
  const char* name;
  double x, y, sx, sy, ex, ey, tolerance;
  int expected;
};

class PointOnSegmentTest : public ::testing::TestWithParam<OnSegmentCase> {};

TEST_P(PointOnSegmentTest, Decides) {
  const OnSegmentCase& c = GetParam();
  EXPECT_EQ(PointOnSegment(c.x, c.y, c.sx, c.sy, c.ex, c.ey, c.tolerance), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PointOnSegmentTest,
    ::testing::Values(OnSegmentCase{"Inside", 1, 0, 0, 0, 2, 0, 1e-9, 1},
                      OnSegmentCase{"OnAVertex", 2, 0, 0, 0, 2, 0, 0, 1},
                      OnSegmentCase{"BesideWithinTolerance", 1, 5e-10, 0, 0, 2, 0, 1e-9, 1},
                      OnSegmentCase{"BesideBeyondTolerance", 1, 2e-9, 0, 0, 2, 0, 1e-9, 0},
                      OnSegmentCase{"PastTheEndOnTheLine", 2 + 2e-9, 0, 0, 0, 2, 0, 1e-9, 0},
                      OnSegmentCase{"PastTheEndWithinTolerance", 2 + 5e-10, 0, 0, 0, 2, 0, 1e-9, 1},
                      OnSegmentCase{"VerticalSegment", 3, 1.5, 3, 1, 3, 2, 1e-9, 1},
                      OnSegmentCase{"BesideAVerticalSegment", 3 + 2e-9, 1.5, 3, 1, 3, 2, 1e-9, 0},
                      OnSegmentCase{"DegenerateSegmentAtThePoint", 1, 1, 1, 1, 1, 1, 0, 1},
                      OnSegmentCase{"DegenerateSegmentElsewhere", 1, 1, 1, 2, 1, 2, 1e-9, 0},
                      OnSegmentCase{"NaNPoint", kNaN, 0, 0, 0, 2, 0, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PointDistance, IsEuclidean) {
  EXPECT_EQ(PointDistance(0, 0, 3, 4), 5);
  EXPECT_EQ(PointDistance(1e308, 0, -1e308, 0), std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(PointDistance(1e200, 1e200, 0, 0), std::sqrt(2.0) * 1e200);  // no overflow inside
}

TEST(PointsCoincide, WithinTheToleranceInclusive) {
  EXPECT_NE(PointsCoincide(1, 1, 1, 1, 0), 0);
  EXPECT_NE(PointsCoincide(0, 0, 3, 4, 5), 0);
  EXPECT_EQ(PointsCoincide(0, 0, 3, 4, 4.999), 0);
  EXPECT_EQ(PointsCoincide(kNaN, 0, kNaN, 0, 1), 0);
}

TEST(PointsExtent, FillsLeastXLeastYGreatestXGreatestY) {
  const Point3D points[] = {{2, -1, 9}, {-3, 4, 9}, {5, 0, 9}};
  BoundBox box{7, 7, 7, 7};
  PointsExtent(points, 3, &box);
  EXPECT_EQ(box.minX, -3);
  EXPECT_EQ(box.minY, -1);
  EXPECT_EQ(box.maxX, 5);
  EXPECT_EQ(box.maxY, 4);
}

TEST(PointsExtent, CountZeroOrNullPointsGiveZeros) {
  BoundBox box{7, 7, 7, 7};
  PointsExtent(nullptr, 0, &box);
  EXPECT_EQ(box.minX, 0);
  EXPECT_EQ(box.maxY, 0);
  box = BoundBox{7, 7, 7, 7};
  const Point3D one{1, 2, 3};
  PointsExtent(&one, -4, &box);
  EXPECT_EQ(box.maxX, 0);
  PointsExtent(&one, 1, nullptr);  // null box: nothing to fill, no crash
}

}  // namespace
