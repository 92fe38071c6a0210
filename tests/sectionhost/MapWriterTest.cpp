// The streamed map writer against the document writer it replaced: written maps hold the same
// JSON values (members, order, numbers) as a document built of the map, on the examples and on
// generated maps with every kind of entity; a read, write, read, write cycle is stable to the
// byte; long arrays (formatted in parallel blocks) are written exactly as short ones are; and
// numbers are the shortest text that reads back as the same double.
#include "sectionhost/map/MapWriter.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "sectionhost/map/MapFile.h"

namespace sectionhost {
namespace {

using Json = nlohmann::ordered_json;

// The map as one JSON document, built member by member as the document writer built it.
Json Coordinate(double v) {
  return std::isfinite(v) ? Json(v) : Json();
}

Json Positions(const std::vector<Point3D>& points, const std::vector<bool>& hasZ) {
  Json a = Json::array();
  for (size_t i = 0; i < points.size(); ++i) {
    Json p = Json::array({Coordinate(points[i].x), Coordinate(points[i].y)});
    if ((i < hasZ.size() && hasZ[i]) || points[i].z != 0.0) p.push_back(Coordinate(points[i].z));
    a.push_back(p);
  }
  return a;
}

Json DocumentOf(const MapData& map) {
  Json doc;
  doc["type"] = "FeatureCollection";
  Json m = Json::object();
  if (map.hasScale) m["scale"] = Coordinate(map.scale);
  m["scaleUnit"] = Coordinate(map.scaleUnit);
  Json items = Json::array();
  for (size_t i = 0; i < map.itemScales.size(); ++i) {
    Json item = i < map.itemExtra.size() ? map.itemExtra[i] : Json::object();
    item["scale"] = Coordinate(map.itemScales[i]);
    items.push_back(item);
  }
  m["items"] = items;
  m["currentItem"] = map.currentItem;
  for (auto it = map.mapExtra.begin(); it != map.mapExtra.end(); ++it) m[it.key()] = *it;
  doc["map"] = m;
  for (auto it = map.collectionExtra.begin(); it != map.collectionExtra.end(); ++it) doc[it.key()] = *it;
  Json features = Json::array();
  for (const MapEntity& e : map.entities) {
    Json f;
    f["type"] = "Feature";
    f["id"] = e.id;
    Json props = e.properties.is_object() ? e.properties : Json::object();
    props["entityType"] = e.type;
    props["deleted"] = e.deleted;
    Json geometry = e.geometry;
    if (IsCurveType(e.type)) {
      geometry = Json{{"type", "LineString"}, {"coordinates", Positions(e.nodes, e.nodeHasZ)}};
      if (e.explicitLinePoints) props["linePoints"] = Positions(e.linePoints, e.lineHasZ);
    } else if (e.type == EntitySectionStratum) {
      props["code"] = e.code;
      props["scale"] = e.hasScale ? Coordinate(e.scale) : Json();
      Json samples = Json::array();
      for (const StratumSample& s : e.samples) {
        samples.push_back(Json::array({Coordinate(s.point.x), Coordinate(s.point.y), Coordinate(s.point.z),
                                       Coordinate(s.thickness), Coordinate(s.second), Coordinate(s.third), s.flag}));
      }
      props["samples"] = samples;
      Json ring = Positions(MapFile::StratumBand(e.samples), {});
      geometry = Json{{"type", "Polygon"}, {"coordinates", ring.empty() ? Json::array() : Json::array({ring})}};
    }
    f["properties"] = props;
    f["geometry"] = geometry;
    for (auto it = e.extraMembers.begin(); it != e.extraMembers.end(); ++it) f[it.key()] = *it;
    features.push_back(f);
  }
  doc["features"] = features;
  return doc;
}

// A section of two noisy curves of `n` nodes (one with z on some nodes, one with explicit line
// points), a stratum between them with a Null thickness, a label with extra members, an empty
// stratum made during a session, and a map member with extras.
MapData GeneratedMap(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> noise(-0.2, 0.2);
  MapData map = MapData();
  map.hasScale = true;
  map.scale = 2000;
  map.scaleUnit = 0.5;
  map.itemScales = {1000, std::nan("")};
  map.itemExtra = Json::parse(R"([{"name": "overview"}, {"name": "断面 A-A'"}])");
  map.mapExtra["title"] = "generated";
  map.collectionExtra["crs"] = Json::parse(R"({"type": "name", "properties": {"name": "local"}})");
  MapEntity top, bottom, stratum, label, fresh;
  top.id = 1, top.type = EntitySmoothCurve, top.fromInput = true;
  top.properties = Json::parse(R"({"name": "top", "entityType": 3, "note": [1, 2.5, null]})");
  bottom.id = 2, bottom.type = EntityPolyline, bottom.fromInput = true;
  for (size_t i = 0; i < n; ++i) {
    double x = i * 0.5 + noise(random) + 0.2;
    top.nodes.push_back({x, 60 + 6 * std::sin(i / 997.0) + noise(random), i % 7 == 0 ? 1.5 : 0.0});
    top.nodeHasZ.push_back(i % 5 == 0);
    bottom.nodes.push_back({x + 0.1, 40 + 5 * std::sin(i / 500.0) + noise(random), 0.0});
  }
  bottom.linePoints = {{0, 40, 0}, {1e300, -1e-300, 0}, {std::nan(""), 1, 0}};
  bottom.explicitLinePoints = true;
  stratum.id = 3, stratum.type = EntitySectionStratum, stratum.fromInput = true;
  stratum.code = "J2 中侏罗统";
  stratum.scale = 2.0;
  stratum.hasScale = true;
  stratum.properties = Json::parse(R"({"code": "old", "samples": null, "colour": "#ff0"})");
  for (size_t i = 0; i < n / 2; ++i) {
    StratumSample s;
    s.point = {i * 1.0 + 0.25, 40 + noise(random), 0.0};
    s.thickness = i == 3 ? std::nan("") : 20 + noise(random);
    s.flag = static_cast<int32_t>(i % 3);
    stratum.samples.push_back(s);
  }
  label.id = 9, label.type = 40, label.deleted = true, label.fromInput = true;
  label.properties = Json::parse(R"({"text": "砂岩层", "size": 12})");
  label.geometry = Json::parse(R"({"type": "Point", "coordinates": [8, 47]})");
  label.extraMembers = Json::parse(R"({"bbox": [8, 47, 8, 47], "z": {"a": true}})");
  fresh.id = 10, fresh.type = EntitySectionStratum;
  map.entities = {top, bottom, stratum, label, fresh};
  return map;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ExpectSameDocument(const MapData& map) {
  Json written = Json::parse(MapFile::Format(map));
  Json expected = DocumentOf(map);
  ASSERT_EQ(written["features"].size(), expected["features"].size());
  for (size_t i = 0; i < expected["features"].size(); ++i) {
    EXPECT_EQ(written["features"][i], expected["features"][i]) << "feature " << i;
  }
  written.erase("features");
  expected.erase("features");
  EXPECT_EQ(written, expected);
  EXPECT_EQ(written.dump(), expected.dump()) << "members in another order";
}

TEST(MapWriter, WritesWhatTheDocumentWriterWroteOnTheExample) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Read(KP_SOURCE_DIR "/examples/section.geojson", &map, &error)) << error;
  ExpectSameDocument(map);
}

TEST(MapWriter, WritesWhatTheDocumentWriterWroteOnGeneratedMaps) {
  for (unsigned seed : {1u, 2u}) ExpectSameDocument(GeneratedMap(300, seed));
  ExpectSameDocument(MapData());
}

TEST(MapWriter, ReadWriteReadIsStableToTheByte) {
  MapData map = GeneratedMap(2000, 7);
  const std::string first = MapFile::Format(map);
  MapData again;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(first, &again, &error)) << error;
  EXPECT_EQ(MapFile::Format(again), first);
  ASSERT_EQ(again.entities.size(), map.entities.size());
  for (size_t i = 0; i < map.entities.size(); ++i) {
    const MapEntity &a = map.entities[i], &b = again.entities[i];
    ASSERT_EQ(a.nodes.size(), b.nodes.size());
    for (size_t k = 0; k < a.nodes.size(); ++k) {
      ASSERT_EQ(a.nodes[k].x, b.nodes[k].x);
      ASSERT_EQ(a.nodes[k].y, b.nodes[k].y);
      ASSERT_EQ(a.nodes[k].z, b.nodes[k].z);
    }
    ASSERT_EQ(a.samples.size(), b.samples.size());
    for (size_t k = 0; k < a.samples.size(); ++k) {
      ASSERT_EQ(double{a.samples[k].point.y}, double{b.samples[k].point.y});
      ASSERT_EQ(std::isnan(a.samples[k].thickness), std::isnan(b.samples[k].thickness));
    }
  }
}

TEST(MapWriter, AFileGetsTheSameTextAsAString) {
  MapData map = GeneratedMap(100000, 3);  // arrays long enough for blocks and flushes
  const std::string path = testing::TempDir() + "writer-" + std::to_string(getpid()) + ".geojson";
  std::string error;
  ASSERT_TRUE(MapFile::Write(path, map, &error)) << error;
  EXPECT_TRUE(ReadText(path) == MapFile::Format(map));
  std::remove(path.c_str());
  EXPECT_FALSE(MapFile::Write(testing::TempDir() + "no-such-folder/x.geojson", map, &error));
  EXPECT_EQ(error, "cannot write " + testing::TempDir() + "no-such-folder/x.geojson");
}

// Arrays of 65,536 items and more are formatted in blocks by several threads: the text must be
// that of one thread writing item after item.
TEST(MapWriter, LongArraysAreWrittenAsShortOnes) {
  MapData map;
  MapEntity curve;
  curve.id = 1;
  curve.type = EntityPolyline;
  std::mt19937 random(11);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  std::string expected = "[";
  for (size_t i = 0; i < 70001; ++i) {
    curve.nodes.push_back({any(random), any(random), i % 3 ? 0.0 : any(random)});
    if (i) expected += ',';
    expected += '[';
    MapWriter::AppendNumber(expected, curve.nodes.back().x);
    expected += ',';
    MapWriter::AppendNumber(expected, curve.nodes.back().y);
    if (i % 3 == 0) {
      expected += ',';
      MapWriter::AppendNumber(expected, curve.nodes.back().z);
    }
    expected += ']';
  }
  expected += ']';
  map.entities.push_back(curve);
  const std::string text = MapFile::Format(map);
  EXPECT_NE(text.find(R"("coordinates":)" + expected + "}"), std::string::npos);
}

// Numbers of a few decimal places take a quicker path than the general shortest-digits search:
// both must write the same text.
TEST(MapWriter, ShortDecimalsAreWrittenAsTheGeneralSearchWritesThem) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int64_t> mantissa(-999999999999LL, 999999999999LL);
  std::uniform_int_distribution<int> places(0, 8);
  const double powers[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  for (int i = 0; i < 200000; ++i) {
    double v = static_cast<double>(mantissa(random) % 100000000000LL) / powers[places(random)];
    if (i % 7 == 0) v = std::nextafter(v, 1e300);  // beside a short decimal
    char buf[40];
    std::string expected(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    if (expected.find_first_of(".e") == std::string::npos) expected += ".0";
    std::string text;
    MapWriter::AppendNumber(text, v);
    ASSERT_EQ(text, expected) << std::hexfloat << v;
  }
}

TEST(MapWriter, NumbersAreShortestAndReadBackAsTheSameDouble) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {{0.1, "0.1"},        {1000, "1000.0"},   {-0.0, "-0.0"},         {1e300, "1e+300"},
               {0.0, "0.0"},        {-99999, "-99999.0"}, {100000, "1e+05"},    {123456, "123456.0"},
               {5e-324, "5e-324"}, {2.5e-7, "2.5e-07"}, {1.0 / 3, "0.3333333333333333"},
               {std::nan(""), "null"}, {-INFINITY, "null"}};
  for (const Case& c : cases) {
    std::string text;
    MapWriter::AppendNumber(text, c.value);
    EXPECT_EQ(text, c.text);
    if (std::isfinite(c.value)) {
      EXPECT_EQ(std::strtod(text.c_str(), nullptr), c.value) << text;
    }
  }
}

}  // namespace
}  // namespace sectionhost
