// Map files: GeoJSON read -> write -> read gives the same features; the "map" member's
// defaults; strata written with code, scale, samples and the band polygon; non-finite numbers
// as null; malformed maps refused with a reason (nesting beyond the limit and numbers beyond
// doubles with their line and column, in a child process under a watchdog, since a fault there
// overflows the stack).
#include "sectionhost/map/MapFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "ChildWatchdog.h"

namespace sectionhost {
namespace {

using Json = nlohmann::ordered_json;

const char kSample[] = R"({"type": "FeatureCollection",
 "map": {"scale": 2000, "scaleUnit": 2, "items": [{"scale": 500, "name": "a"}], "currentItem": 0, "title": "t"},
 "crs": {"type": "name"},
 "features": [
  {"type": "Feature", "id": 7, "properties": {"entityType": 2, "deleted": false, "name": "top"},
   "geometry": {"type": "LineString", "coordinates": [[0, 10], [5, 11.5, 2], [10, 10]]}},
  {"type": "Feature", "id": 3, "properties": {"entityType": 3, "linePoints": []},
   "geometry": {"type": "LineString", "coordinates": [[0, 0]]}},
  {"type": "Feature", "id": 9, "properties": {"entityType": 40, "deleted": true, "text": "ZK1"},
   "geometry": {"type": "Point", "coordinates": [4, 4]}, "bbox": [4, 4, 4, 4]}
 ]})";

TEST(MapFile, ReadsMapMemberAndEntities) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(kSample, &map, &error)) << error;
  EXPECT_TRUE(map.hasScale);
  EXPECT_EQ(map.MapScale(), 2000.0);
  EXPECT_EQ(map.scaleUnit, 2.0);
  ASSERT_EQ(map.itemScales.size(), 1u);
  EXPECT_EQ(map.itemScales[0], 500.0);
  ASSERT_EQ(map.entities.size(), 3u);
  EXPECT_EQ(map.entities[0].id, 7);
  EXPECT_EQ(map.entities[0].type, 2);
  ASSERT_EQ(map.entities[0].nodes.size(), 3u);
  EXPECT_EQ(map.entities[0].nodes[1].z, 2.0);
  EXPECT_EQ(map.entities[0].nodeHasZ, (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(map.entities[0].explicitLinePoints);
  EXPECT_TRUE(map.entities[1].explicitLinePoints);
  EXPECT_TRUE(map.entities[1].linePoints.empty());
  EXPECT_TRUE(map.entities[2].deleted);
}

TEST(MapFile, MissingScaleMeansMinusOneAndScaleUnitOne) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(R"({"type": "FeatureCollection", "features": []})", &map, &error)) << error;
  EXPECT_EQ(map.MapScale(), -1.0);
  EXPECT_EQ(map.scaleUnit, 1.0);
  EXPECT_EQ(map.currentItem, 0);
  ASSERT_TRUE(MapFile::Parse(R"({"type": "FeatureCollection", "map": {"scale": null}, "features": []})", &map,
                             &error));
  EXPECT_EQ(map.MapScale(), -1.0);
}

TEST(MapFile, RoundTripKeepsFeaturesInOrder) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(kSample, &map, &error)) << error;
  std::string written = MapFile::Format(map);
  MapData again;
  ASSERT_TRUE(MapFile::Parse(written, &again, &error)) << error;
  Json a = Json::parse(kSample), b = Json::parse(written);
  ASSERT_EQ(b["features"].size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    Json fa = a["features"][i], fb = b["features"][i];
    fa["properties"]["deleted"] = fa["properties"].value("deleted", false);  // always written
    EXPECT_EQ(fa, fb) << i;
  }
  EXPECT_EQ(b["crs"], a["crs"]);
  EXPECT_EQ(b["map"]["items"][0]["name"], "a");
  EXPECT_EQ(b["map"]["title"], "t");
  EXPECT_EQ(MapFile::Format(again), written);
}

TEST(MapFile, StratumIsWrittenWithSamplesAndBand) {
  MapData map;
  MapEntity e;
  e.id = 12;
  e.type = EntitySectionStratum;
  e.code = "K1";
  e.scale = INFINITY;  // e.g. a division by zero
  e.hasScale = true;
  StratumSample s1, s2;
  s1.point = {0, 1, 0};
  s1.thickness = 2;
  s2.point = {4, 3, 0};
  s2.thickness = 1;
  e.samples = {s1, s2};
  map.entities.push_back(e);
  Json f = Json::parse(MapFile::Format(map))["features"][0];
  EXPECT_EQ(f["id"], 12);
  EXPECT_EQ(f["properties"]["entityType"], 27);
  EXPECT_EQ(f["properties"]["code"], "K1");
  EXPECT_TRUE(f["properties"]["scale"].is_null());
  EXPECT_EQ(f["properties"]["samples"][1], Json::parse("[4.0, 3.0, 0.0, 1.0, 0.0, 0.0, 1]"));
  EXPECT_EQ(f["geometry"]["type"], "Polygon");
  EXPECT_EQ(f["geometry"]["coordinates"][0], Json::parse("[[0,1],[4,3],[4,4],[0,3],[0,1]]"));
  MapData back;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(MapFile::Format(map), &back, &error)) << error;
  ASSERT_EQ(back.entities[0].samples.size(), 2u);
  EXPECT_EQ(double{back.entities[0].samples[1].thickness}, 1.0);  // packed: copy, do not bind
  EXPECT_EQ(back.entities[0].code, "K1");
}

class MalformedMap : public testing::TestWithParam<const char*> {};

TEST_P(MalformedMap, IsRefusedWithAReason) {
  MapData map;
  std::string error;
  EXPECT_FALSE(MapFile::Parse(GetParam(), &map, &error));
  EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Maps, MalformedMap,
    testing::Values(
        "", "[]", R"({"type": "Feature"})", R"({"type": "FeatureCollection"})",
        R"({"type": "FeatureCollection", "features": [{"properties": {"entityType": 2}}]})",
        R"({"type": "FeatureCollection", "features": [{"id": 1.5, "properties": {"entityType": 2}}]})",
        R"({"type": "FeatureCollection", "features": [{"id": "1", "properties": {"entityType": 2}}]})",
        R"({"type": "FeatureCollection", "features": [{"id": 1, "properties": {}}]})",
        R"({"type": "FeatureCollection", "features": [{"id": 1, "properties": {"entityType": 2}}]})",
        R"({"type": "FeatureCollection", "features": [{"id": 1, "properties": {"entityType": 2},
                        "geometry": {"type": "LineString", "coordinates": [[1]]}}]})",
        R"({"type": "FeatureCollection", "features": [
                        {"id": 1, "properties": {"entityType": 40}}, {"id": 1, "properties": {"entityType": 40}}]})",
        R"({"type": "FeatureCollection", "map": {"scale": "big"}, "features": []})"));

// A map whose first feature's geometry is `depth` nested arrays ([[[...]]]): the document then
// nests depth + 4 deep (collection, features, feature, geometry).
std::string NestedMap(size_t depth) {
  return R"({"type": "FeatureCollection", "features": [{"type": "Feature", "id": 1, )"
         R"("properties": {"entityType": 40}, "geometry": {"type": "Point", "coordinates": )" +
         std::string(depth, '[') + std::string(depth, ']') + "}}]}";
}

// The column of the first '[' of the geometry's coordinates in NestedMap (1-based).
size_t CoordinatesColumn() {
  return NestedMap(1).find('[', NestedMap(1).find("coordinates")) + 1;
}

// Parses `text` in a child; the child exits 0 when Parse refused the map with `expected` as the
// reason, 1 when it took the map, 2 for another reason (written to stderr).
void ExpectRefusal(const std::string& text, const std::string& expected) {
  auto outcome = testing_support::RunInChild(
      [&] {
        MapData map;
        std::string error;
        if (MapFile::Parse(text, &map, &error)) return 1;
        if (error != expected) {
          std::fprintf(stderr, "reason: %s\n", error.c_str());
          return 2;
        }
        return map.entities.empty() ? 0 : 3;
      },
      std::chrono::seconds(60));
  EXPECT_TRUE(outcome.finished && outcome.exited && outcome.exitCode == 0)
      << outcome.Describe() << " (1: taken, 2: another reason, 3: entities left behind); expected: " << expected;
}

TEST(MapFileLimits, NestingBeyondTheLimitIsRefusedAtItsPlace) {
  // 60000 nested arrays overflowed the stack while the document was copied.
  const std::string place = "line 1, column " + std::to_string(CoordinatesColumn() + MapFile::kMaxNesting - 4);
  ExpectRefusal(NestedMap(60000), place + ": arrays and objects nest deeper than 256 levels");
  // One level past the limit, on a later line.
  ExpectRefusal("\n\n" + NestedMap(MapFile::kMaxNesting - 3),
                "line 3, column " + std::to_string(CoordinatesColumn() + MapFile::kMaxNesting - 4) +
                    ": arrays and objects nest deeper than 256 levels");
}

TEST(MapFileLimits, NestingUpToTheLimitIsKeptAndWrittenBack) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(NestedMap(MapFile::kMaxNesting - 4), &map, &error)) << error;
  MapData again;
  ASSERT_TRUE(MapFile::Parse(MapFile::Format(map), &again, &error)) << error;
  EXPECT_EQ(again.entities[0].geometry, map.entities[0].geometry);
  // Brackets inside strings do not nest.
  std::string text = R"({"type": "FeatureCollection", "title": ")" + std::string(1000, '[') +
                     R"(\"{", "features": []})";
  EXPECT_TRUE(MapFile::Parse(text, &map, &error)) << error;
}

TEST(MapFileLimits, NumbersBeyondDoublesAreRefusedAtTheirPlace) {
  const std::string head =
      R"({"type": "FeatureCollection", "features": [{"id": 1, "properties": {"entityType": 2}, )"
      R"("geometry": {"type": "LineString", "coordinates": [[0, 0], [)";
  const std::string column = std::to_string(head.size() + 1);
  ExpectRefusal(head + "1e400, 0]]}}]}", "line 1, column " + column + ": the number 1e400 is beyond the range of doubles");
  ExpectRefusal(head + "-2.5E+308, 0]]}}]}",
                "line 1, column " + column + ": the number -2.5E+308 is beyond the range of doubles");
  // Below the least double is zero, as JSON parsers read it.
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(head + "1e-400, 0]]}}]}", &map, &error)) << error;
  EXPECT_EQ(map.entities[0].nodes[1].x, 0.0);
}

TEST(MapFileLimits, MembersOfTheWrongTypeAreNamed) {
  ExpectRefusal(R"({"type": 5, "features": []})", "not a GeoJSON FeatureCollection");
  ExpectRefusal(R"({"type": "FeatureCollection", "features": [{"id": 1, "properties": {"entityType": 2},
                  "geometry": {"type": 7, "coordinates": []}}]})",
                "feature 1 (a curve) has no LineString geometry");
}

TEST(MapFileLimits, ReadNamesTheFileAndThePlace) {
  const std::string path = testing::TempDir() + "nested-" + std::to_string(getpid()) + ".geojson";
  std::ofstream(path, std::ios::binary) << NestedMap(60000);
  auto outcome = testing_support::RunInChild(
      [&] {
        MapData map;
        std::string error;
        if (MapFile::Read(path, &map, &error)) return 1;
        return error.rfind(path + ": line 1, column ", 0) == 0 &&
                       error.find(": arrays and objects nest deeper than 256 levels") != std::string::npos
                   ? 0
                   : 2;
      },
      std::chrono::seconds(60));
  std::filesystem::remove(path);
  EXPECT_TRUE(outcome.finished && outcome.exited && outcome.exitCode == 0) << outcome.Describe();
  MapData map;
  std::string error;
  EXPECT_FALSE(MapFile::Read(testing::TempDir(), &map, &error));  // a folder
  EXPECT_EQ(error, "cannot read " + testing::TempDir() + ": it is a folder");
}

// The members of a feature, and of its geometry, may come in any order: what a member means
// (a curve's coordinates, a stratum's samples) depends on members that may follow it.
TEST(MapFile, MembersAreReadInAnyOrder) {
  const char* shuffled = R"({"features": [
    {"geometry": {"coordinates": [[0, 10], [5, 11.5, 2]], "bbox": [0, 10, 5, 11.5], "type": "LineString"},
     "properties": {"linePoints": [[1, 2]], "name": "top", "entityType": 2}, "id": 7, "type": "Feature"},
    {"properties": {"samples": [[0, 1, 0, 2, 0, 0, 1]], "entityType": 27, "code": "K1"}, "id": 8}],
   "map": {"scale": 500}, "type": "FeatureCollection"})";
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(shuffled, &map, &error)) << error;
  ASSERT_EQ(map.entities.size(), 2u);
  const MapEntity& curve = map.entities[0];
  EXPECT_EQ(curve.id, 7);
  ASSERT_EQ(curve.nodes.size(), 2u);
  EXPECT_EQ(curve.nodes[1].z, 2.0);
  EXPECT_TRUE(curve.explicitLinePoints);
  ASSERT_EQ(curve.linePoints.size(), 1u);
  EXPECT_EQ(curve.properties.dump(), R"({"linePoints":null,"name":"top","entityType":2})");
  ASSERT_EQ(map.entities[1].samples.size(), 1u);
  EXPECT_EQ(double{map.entities[1].samples[0].thickness}, 2.0);
  EXPECT_EQ(map.entities[1].code, "K1");
  EXPECT_EQ(map.MapScale(), 500.0);
}

TEST(MapFileLimits, TextThatIsNotJsonIsNamedAtItsPlace) {
  struct Case {
    std::string text, place;
  } cases[] = {
      {"{\"type\": \"FeatureCollection\",\n \"features\": [1,]}", "line 2, column 17"},
      {R"({"type": "FeatureCollection", "features": [], "title": tru})", "line 1, column 59"},
      {R"({"type": "FeatureCollection", "features": []} x)", "line 1, column 47"},
      {"{\"type\": \"FeatureCollection\", \"features\": [], \"t\": \"\xff\"}", "line 1, column 53"},
      {R"({"type": "FeatureCollection", "features": [{"id": 01, "properties": {"entityType": 2}}]})",
       "line 1, column 52"},
  };
  for (const Case& c : cases) {
    MapData map;
    std::string error;
    EXPECT_FALSE(MapFile::Parse(c.text, &map, &error)) << c.text;
    EXPECT_NE(error.find("parse error at " + c.place), std::string::npos) << c.text << "\n" << error;
    EXPECT_TRUE(map.entities.empty());
  }
}

// A stratum's polygon is written from its samples, so reading one keeps only its samples; the
// polygon must still be JSON.
TEST(MapFile, AStratumsPolygonIsCheckedButNotKept) {
  const std::string head = R"({"type": "FeatureCollection", "features": [{"id": 5, "properties":
    {"entityType": 27, "samples": [[0, 1, 0, 2, 0, 0, 1]]}, "geometry": {"type": "Polygon", "coordinates": )";
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(head + "[[[0, 1], [0, 3], [0, 1]]], \"x\": {\"y\": [true, null, \"z\"]}}}]}", &map, &error))
      << error;
  EXPECT_TRUE(map.entities[0].geometry.is_null());
  EXPECT_NE(MapFile::Format(map).find(R"("geometry":{"type":"Polygon","coordinates":[[[0.0,1.0],[0.0,3.0],[0.0,1.0]]]})"),
            std::string::npos);
  EXPECT_FALSE(MapFile::Parse(head + "[[[0, 1], [0, tru], [0, 1]]]}}]}", &map, &error));
  EXPECT_NE(error.find("parse error at line 2, column"), std::string::npos) << error;
}

TEST(MapFileLimits, IdsBeyondThirtyTwoBitsAreNamed) {
  for (const char* id : {"2147483648", "18446744073709551615", "-99999999999999999999999"}) {
    MapData map;
    std::string error;
    std::string text = std::string(R"({"type": "FeatureCollection", "features": [{"id": )") + id +
                       R"(, "properties": {"entityType": 40}}]})";
    EXPECT_FALSE(MapFile::Parse(text, &map, &error));
    EXPECT_EQ(error, "feature 0 id is out of the 32-bit range") << id;
  }
}

}  // namespace
}  // namespace sectionhost
