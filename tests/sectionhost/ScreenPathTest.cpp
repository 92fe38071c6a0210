// Thinning a path to the picture's columns: a run of points in one column keeps its first,
// lowest, highest and last points in their order; points in different columns are all kept.
#include "sectionhost/map/ScreenPath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sectionhost {
namespace {

std::vector<std::pair<double, double>> Thinned(const std::vector<std::pair<double, double>>& points) {
  ScreenPath path;
  for (const auto& [x, y] : points) path.Add(x, y);
  std::vector<std::pair<double, double>> out;
  for (const ScreenPath::Point& p : path.Points()) out.push_back({p.x, p.y});
  return out;
}

TEST(ScreenPath, ARunInOneColumnKeepsItsExtremesInOrder) {
  // Column 3: 10, 12 (highest), 7, 4 (lowest), 9 (last); then column 4.
  EXPECT_EQ(Thinned({{3.0, 10}, {3.2, 12}, {3.4, 7}, {3.5, 4}, {3.9, 9}, {4.1, 5}}),
            (std::vector<std::pair<double, double>>{{3.0, 10}, {3.2, 12}, {3.5, 4}, {3.9, 9}, {4.1, 5}}));
  // The lowest came before the highest; the first is also the lowest (kept once).
  EXPECT_EQ(Thinned({{0.1, 1}, {0.2, 3}, {0.3, 8}, {0.4, 2}}),
            (std::vector<std::pair<double, double>>{{0.1, 1}, {0.3, 8}, {0.4, 2}}));
}

TEST(ScreenPath, PointsInDifferentColumnsAreAllKept) {
  std::vector<std::pair<double, double>> zigzag;
  for (int i = 0; i < 50; ++i) zigzag.push_back({i * 1.5, i % 2 ? 10.0 : -10.0});
  EXPECT_EQ(Thinned(zigzag), zigzag);
  // Back and forth between two columns: every run is one point.
  std::vector<std::pair<double, double>> back = {{0.5, 0}, {1.5, 1}, {0.5, 2}, {1.5, 3}};
  EXPECT_EQ(Thinned(back), back);
}

TEST(ScreenPath, AMillionPointsAcrossAThousandColumnsKeepAtMostFourEach) {
  ScreenPath path;
  for (int i = 0; i < 1000000; ++i) path.Add(i / 1000.0, std::sin(i * 0.01) * 50);
  EXPECT_LE(path.Points().size(), 4000u);
  EXPECT_GE(path.Points().size(), 2000u);  // the waves' crests and troughs are there
}

}  // namespace
}  // namespace sectionhost
