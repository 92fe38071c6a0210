// A map in the kernel: what is loaded reads back the same (curves, strata, other entities with
// their placeholder objects), new entities come after the input's in insertion order, and an
// undo state puts the store back. A map that cannot be loaded leaves the previous one as it was.
// Stratum codes: whole in the map, cut at a character boundary in the kernel's 32-byte record
// with a warning, and never read back with half a character.
#include "sectionhost/map/KernelMap.h"

#include <gtest/gtest.h>
#include <winnls.h>

#include <cstring>

#include "sectionhost/map/MapFile.h"

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

// The points are held once, by the kernel: what is kept of the loaded map has none, and the
// entities read one at a time are those of the whole read (a file needs no derived line points).
TEST_F(KernelMapTest, PointsAreTheKernelsAndEntitiesAreReadOneAtATime) {
  for (const MapEntity& e : map_.Loaded().entities) {
    EXPECT_TRUE(e.nodes.empty() && e.linePoints.empty() && e.samples.empty()) << e.id;
  }
  EXPECT_EQ(map_.Loaded().entities[2].explicitLinePoints, true);
  MapData whole = map_.Read();
  MapData streamed = map_.Loaded();
  streamed.entities.clear();
  map_.Entities()([&](const MapEntity& e) { streamed.entities.push_back(e); });
  EXPECT_EQ(MapFile::Format(streamed), MapFile::Format(whole));
  std::vector<size_t> lines;
  map_.Entities(false)([&](const MapEntity& e) { lines.push_back(e.linePoints.size()); });
  EXPECT_EQ(lines, (std::vector<size_t>{0, 0, 2, 0, 0}));  // only the explicit ones
  EXPECT_EQ(MapFile::Format(streamed), MapFile::Format(whole));
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

TEST_F(KernelMapTest, AMapThatCannotBeLoadedLeavesThePreviousOne) {
  MapData bad = data_;
  bad.entities[2].id = -3;  // the third entity: two are in the new store when it fails
  std::string error;
  EXPECT_FALSE(map_.Load(bad, &error));
  EXPECT_EQ(error, "entity -3: entity ids must be positive");
  MapData back = map_.Read();
  ASSERT_EQ(back.entities.size(), 5u);
  EXPECT_EQ(back.entities[2].id, 2);
  EXPECT_NE(map_.Handle(2), 0u);
  EXPECT_EQ(map_.Loaded().MapScale(), 1000.0);
}

// Stratum codes and the kernel's 31-byte text field.
class StratumCodes : public testing::Test {
 protected:
  void Load(const std::string& utf8Code) {
    MapData data;
    MapEntity e;
    e.id = 7;
    e.type = EntitySectionStratum;
    e.fromInput = true;
    e.code = utf8Code;
    data.entities.push_back(e);
    map_.SetWarningSink([this](const std::string& w) { warnings_.push_back(w); });
    std::string error;
    ASSERT_TRUE(map_.Load(data, &error)) << error;
  }
  // The record's text field up to its NUL, as GBK bytes.
  std::string Record(int32_t id) {
    EntityAttributes a;
    EXPECT_EQ(GetAttributes(map_.Handle(id), &a), 1);
    return std::string(a.code, strnlen(a.code, sizeof a.code));
  }
  KernelMap map_;
  std::vector<std::string> warnings_;
};

// 17 characters, 34 bytes in GBK.
const char kLongCode[] = "中侏罗统下部砂岩段第三层位灰色细砂";

TEST_F(StratumCodes, ALongCodeIsCutAtACharacterInTheKernelAndKeptWholeInTheMap) {
  Load(kLongCode);
  EXPECT_EQ(Record(7), kp::Utf8ToGbk("中侏罗统下部砂岩段第三层位灰色"));  // 30 bytes, not 31
  EXPECT_EQ(map_.Read().entities[0].code, kLongCode);
  EXPECT_NE(MapFile::Format(map_.Read()).find(kLongCode), std::string::npos);
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0],
            "entity 7: the stratum code \"中侏罗统下部砂岩段第三层位灰色细砂\" does not fit the kernel's 31 "
            "bytes; the kernel holds \"中侏罗统下部砂岩段第三层位灰色\", the map keeps the whole code");
}

TEST_F(StratumCodes, CodesThatFitAreHeldWhole) {
  Load("J" + std::string("中侏罗统下部砂岩段第三层位灰色"));  // 1 + 30 bytes
  EXPECT_EQ(Record(7).size(), 31u);
  EXPECT_EQ(map_.Read().entities[0].code, "J中侏罗统下部砂岩段第三层位灰色");
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(StratumCodes, ACodeTheKernelChangedIsReadFromTheKernel) {
  Load(kLongCode);
  EntityAttributes a;
  ASSERT_EQ(GetAttributes(map_.Handle(7), &a), 1);
  std::strcpy(a.code, "K1");
  ASSERT_EQ(SetAttributes(map_.Handle(7), &a), 1);
  EXPECT_EQ(map_.Read().entities[0].code, "K1");
}

TEST_F(StratumCodes, HalfACharacterInTheKernelIsNotReadAndIsReportedOnce) {
  Load("J2");
  // A command cut a code at 31 bytes: 30 bytes of whole characters and a lead byte.
  std::string cut = kp::Utf8ToGbk("中侏罗统下部砂岩段第三层位灰色细").substr(0, 31);
  ZvHandle object = CreateObject(ZvKindSectionStratum);
  EntityAttributes a;
  ASSERT_EQ(GetAttributes(object, &a), 1);
  std::memcpy(a.code, cut.data(), cut.size());
  a.code[31] = '\0';
  ASSERT_EQ(SetAttributes(object, &a), 1);
  ASSERT_EQ(StoreRequest(map_.Store(), ZvStoreInsert, &object, 0), 8);
  EXPECT_EQ(map_.Read().entities[1].code, "中侏罗统下部砂岩段第三层位灰色");
  EXPECT_EQ(map_.Read().entities[1].code, "中侏罗统下部砂岩段第三层位灰色");
  ASSERT_EQ(warnings_.size(), 1u);
  EXPECT_EQ(warnings_[0],
            "entity 8: the stratum code in the kernel ends in half a character; it is read as "
            "\"中侏罗统下部砂岩段第三层位灰色\"");
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
