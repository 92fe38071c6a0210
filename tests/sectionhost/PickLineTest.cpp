// The command line's pick lines as both typed front ends resolve them: ids kept in order,
// points named by the nearest entity within the pick distance (deleted ones never), the first
// point that names nothing stopping the line with its message, and the number form.
#include "sectionhost/session/PickLine.h"

#include <gtest/gtest.h>

#include "sectionhost/map/MapFile.h"

namespace sectionhost {
namespace {

const char kMap[] = R"({"type": "FeatureCollection", "features": [
 {"type": "Feature", "id": 1, "properties": {"entityType": 2},
  "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}},
 {"type": "Feature", "id": 2, "properties": {"entityType": 2, "deleted": true},
  "geometry": {"type": "LineString", "coordinates": [[0, 5], [10, 5]]}},
 {"type": "Feature", "id": 3, "properties": {"entityType": 2},
  "geometry": {"type": "LineString", "coordinates": [[0, 8], [10, 8]]}}]})";

class PickLineTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(MapFile::Parse(kMap, &map_, &error)) << error;
  }
  MapData map_;
};

TEST_F(PickLineTest, IdsAndPointsResolveInOrder) {
  std::vector<PickLine::Item> items;
  std::string why;
  ASSERT_TRUE(PickLine::Parse("7 5,1 5,6.5", &items, &why)) << why;
  std::vector<int32_t> ids;
  std::vector<std::string> shown;
  ASSERT_TRUE(PickLine::Resolve(map_, items, 2, "2", &ids, &shown, &why)) << why;
  // (5, 6.5): the deleted curve 2 at 1.5 is passed over for curve 3 at 1.5 too.
  EXPECT_EQ(ids, (std::vector<int32_t>{7, 1, 3}));
  EXPECT_EQ(shown, (std::vector<std::string>{"(5, 1): entity 1", "(5, 6.5): entity 3"}));
}

TEST_F(PickLineTest, APointNamingNothingStopsTheLineWithTheDistanceAsTheFrontEndStatesIt) {
  std::vector<PickLine::Item> items;
  std::string why;
  ASSERT_TRUE(PickLine::Parse("5,1 20,20 5,8", &items, &why));
  std::vector<int32_t> ids;
  std::vector<std::string> shown;
  EXPECT_FALSE(PickLine::Resolve(map_, items, 2, "8 pixels", &ids, &shown, &why));
  EXPECT_EQ(why, "no entity within 8 pixels of (20, 20); nothing is picked");
  EXPECT_EQ(shown, std::vector<std::string>{"(5, 1): entity 1"});
}

TEST(PickLineNumbers, SixSignificantDigitsAndNoiseAsZero) {
  EXPECT_EQ(PickLine::Number(20.0239), "20.0239");
  EXPECT_EQ(PickLine::Number(1234567.0), "1.23457e+06");
  EXPECT_EQ(PickLine::Number(-7.347880794884119e-16), "0");
  EXPECT_EQ(PickLine::Number(2e-9), "2e-09");
  EXPECT_EQ(PickLine::Trim(" \t a b \t"), "a b");
  EXPECT_EQ(PickLine::Trim(" \t "), "");
}

}  // namespace
}  // namespace sectionhost
