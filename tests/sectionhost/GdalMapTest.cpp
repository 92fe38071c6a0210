// Maps in GDAL's vector formats (GdalMap, chosen by MapFormat): the example section converted with
// GDAL's own ogr2ogr to GeoPackage, ESRI Shapefile, FlatGeobuf and DXF, run through the host with
// the demo script and compared with the run on the GeoJSON map; the written files read back with
// ogrinfo; maps written and read back in each format; and the refusals (a file GDAL cannot open,
// no line features, a field of the wrong type), each naming the file, layer and feature and
// leaving the map as it was. Needs gdal-bin (ogr2ogr, ogrinfo); skipped with the reason without.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sectionhost/map/GdalMap.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/map/MapFormat.h"

namespace sectionhost {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string BinDir() {
  char buffer[4096] = {};
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string exe(buffer, n > 0 ? n : 0);
  return exe.substr(0, exe.rfind('/'));
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a shell command; its exit status, with stdout and stderr in *output.
int Shell(const std::string& command, std::string* output = nullptr) {
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
  int status = pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

const char kLayer[] = "Sample geological section A-A'";
const char kDemoScript[] = "launch dsi\npick 1 2\ndialog connect\ndialog select 15\ndialog ok\ntext y\n";

class GdalMaps : public testing::Test {
 protected:
  void SetUp() override {
    if (!MapFormat::HaveGdal()) GTEST_SKIP() << "the host is built without GDAL";
    if (Shell("command -v ogr2ogr && command -v ogrinfo") != 0) GTEST_SKIP() << "gdal-bin is not installed";
    bin_ = BinDir();
    source_ = KP_SOURCE_DIR;
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');  // a parameterised test's name has one
    dir_ = testing::TempDir() + "gdal-" + std::to_string(getpid()) + "-" + name + "/";
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    example_ = source_ + "/examples/section.geojson";
    WriteFile(dir_ + "script.txt", kDemoScript);
  }
  void TearDown() override {
    if (!HasFailure() && !dir_.empty()) fs::remove_all(dir_);
  }

  // ogr2ogr with the given arguments; the test fails with its output when it does.
  void Ogr2ogr(const std::string& args) {
    std::string out;
    ASSERT_EQ(Shell("ogr2ogr " + args, &out), 0) << args << "\n" << out;
  }
  std::string Sql(const std::string& where) const {
    return Quote(std::string("SELECT FID AS id, * FROM \"") + kLayer + "\"" + where);
  }
  // The example's map members as a CSV table (name, map), for a side table made by ogr2ogr.
  std::string MapCsv() {
    MapData head;
    std::string error;
    EXPECT_TRUE(MapFile::Read(example_, &head, &error)) << error;
    Json j = Json::parse(MapFile::Format(head));
    std::string map = j["map"].dump();
    std::string quoted;
    for (char c : map) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    WriteFile(dir_ + "map.csv", "name,map\n\"" + j["name"].get<std::string>() + "\",\"" + quoted + "\"\n");
    return dir_ + "map.csv";
  }
  // The example in `format`, converted by ogr2ogr with its map members beside it; the map's path.
  std::string Convert(const std::string& format) {
    if (format == "GPKG") {
      Ogr2ogr("-f GPKG " + Quote(dir_ + "in.gpkg") + " " + Quote(example_));
      Ogr2ogr("-update -nln section_map " + Quote(dir_ + "in.gpkg") + " " + Quote(MapCsv()));
      return dir_ + "in.gpkg";
    }
    if (format == "ESRI Shapefile") {
      // One geometry type per file: the lines in in.shp, the points beside them.
      Ogr2ogr("-f 'ESRI Shapefile' -lco ENCODING=UTF-8 " + Quote(dir_ + "in.shp") + " " + Quote(example_) +
              " -sql " + Sql(" WHERE OGR_GEOMETRY='LINESTRING'"));
      Ogr2ogr("-f 'ESRI Shapefile' -lco ENCODING=UTF-8 " + Quote(dir_ + "in_points.shp") + " " +
              Quote(example_) + " -sql " + Sql(" WHERE OGR_GEOMETRY='POINT'"));
      Ogr2ogr("-f 'ESRI Shapefile' " + Quote(dir_ + "in_map.dbf") + " " + Quote(MapCsv()));
      return dir_ + "in.shp";
    }
    if (format == "FlatGeobuf") {
      Ogr2ogr("-f FlatGeobuf -lco SPATIAL_INDEX=NO " + Quote(dir_ + "in.fgb") + " " + Quote(example_) +
              " -sql " + Sql(""));
      MapData head;
      std::string error;
      EXPECT_TRUE(MapFile::Read(example_, &head, &error)) << error;
      head.entities.clear();
      EXPECT_TRUE(MapFile::Write(dir_ + "in.fgb.map.json", head, &error)) << error;
      return dir_ + "in.fgb";
    }
    Ogr2ogr("-f DXF " + Quote(dir_ + "in.dxf") + " " + Quote(example_));
    return dir_ + "in.dxf";
  }
  // The host with the demo script on `map`; the transcript in *transcript.
  int Host(const std::string& map, const std::string& out, std::string* transcript,
           const std::string& more = "") {
    return Shell(Quote(bin_ + "/sectionhost") + " --map " + Quote(map) + " --plugin " +
                     Quote(bin_ + "/libkpSect03StratumSel.so") + " --config-dir " +
                     Quote(source_ + "/examples") + " --script " + Quote(dir_ + "script.txt") + " --out " +
                     Quote(out) + more,
                 transcript);
  }
  MapData ReadMap(const std::string& path, const std::string& format = "") {
    MapData map;
    std::string error;
    EXPECT_TRUE(MapFormat::Read(path, format, &map, nullptr, &error)) << error;
    return map;
  }
  std::string OgrInfo(const std::string& args) {
    std::string out;
    EXPECT_EQ(Shell("ogrinfo -ro -al " + args, &out), 0) << out;
    return out;
  }

  std::string bin_, source_, dir_, example_;
};

const MapEntity* Find(const MapData& map, int32_t id) {
  for (const MapEntity& e : map.entities) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

// The entities of two maps are the same: ids in order, types, deletion, nodes, stratum code,
// scale and samples exactly, and the properties (numbers compared as numbers).
void ExpectSameEntities(const MapData& want, const MapData& got, bool properties = true) {
  ASSERT_EQ(want.entities.size(), got.entities.size());
  for (size_t i = 0; i < want.entities.size(); ++i) {
    const MapEntity& a = want.entities[i];
    const MapEntity& b = got.entities[i];
    SCOPED_TRACE("entity " + std::to_string(a.id));
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.deleted, b.deleted);
    ASSERT_EQ(a.nodes.size(), b.nodes.size());
    for (size_t k = 0; k < a.nodes.size(); ++k) {
      EXPECT_EQ(a.nodes[k].x, b.nodes[k].x);
      EXPECT_EQ(a.nodes[k].y, b.nodes[k].y);
      EXPECT_EQ(a.nodes[k].z, b.nodes[k].z);
    }
    EXPECT_EQ(a.explicitLinePoints, b.explicitLinePoints);
    EXPECT_EQ(a.linePoints.size(), b.linePoints.size());
    EXPECT_EQ(a.code, b.code);
    EXPECT_EQ(a.hasScale, b.hasScale);
    EXPECT_EQ(a.scale, b.scale);
    ASSERT_EQ(a.samples.size(), b.samples.size());
    for (size_t k = 0; k < a.samples.size(); ++k) {
      // The records are packed: copy the numbers, do not bind references to them.
      EXPECT_EQ(double{a.samples[k].point.x}, double{b.samples[k].point.x});
      EXPECT_EQ(double{a.samples[k].point.y}, double{b.samples[k].point.y});
      EXPECT_EQ(double{a.samples[k].thickness}, double{b.samples[k].thickness});
      EXPECT_EQ(a.samples[k].flag, b.samples[k].flag);
    }
    if (properties) {
      for (auto it = a.properties.begin(); it != a.properties.end(); ++it) {
        if (it->is_null()) continue;  // samples and line points: compared above
        EXPECT_TRUE(b.properties.contains(it.key())) << it.key();
        if (b.properties.contains(it.key())) {
          EXPECT_EQ(*it, b.properties[it.key()]) << it.key();
        }
      }
    }
  }
}

void ExpectSameMapMembers(const MapData& want, const MapData& got) {
  EXPECT_EQ(want.hasScale, got.hasScale);
  EXPECT_EQ(want.scaleUnit, got.scaleUnit);
  EXPECT_EQ(want.itemScales, got.itemScales);
  EXPECT_EQ(want.currentItem, got.currentItem);
}

class ConvertedExample : public GdalMaps, public testing::WithParamInterface<const char*> {};

// The demo on the example converted by ogr2ogr builds the same stratum as on the GeoJSON map,
// and the map it writes in our GeoJSON is the GeoJSON run's.
TEST_P(ConvertedExample, TheDemoGivesTheMapOfTheGeoJsonRun) {
  std::string transcript;
  ASSERT_EQ(Host(example_, dir_ + "want.geojson", &transcript), 0) << transcript;
  const std::string map = Convert(GetParam());
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(Host(map, dir_ + "got.geojson", &transcript), 0) << transcript;
  EXPECT_EQ(transcript.find("[warning]"), std::string::npos) << transcript;  // the map members were found
  MapData want = ReadMap(dir_ + "want.geojson");
  MapData got = ReadMap(dir_ + "got.geojson");
  ExpectSameMapMembers(want, got);
  ExpectSameEntities(want, got);
  const MapEntity* stratum = Find(got, 6);
  ASSERT_NE(stratum, nullptr);
  EXPECT_EQ(stratum->type, EntitySectionStratum);
  EXPECT_EQ(stratum->code, "J2");
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertedExample, testing::Values("GPKG", "ESRI Shapefile", "FlatGeobuf"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name == "ESRI Shapefile" ? std::string("Shapefile") : name;
                         });

// A DXF has no entity types nor map members: its lines are polylines (type 2), its texts labels
// (40), the defaults are stated in the transcript, and the demo builds the stratum between the
// first two lines.
TEST_F(GdalMaps, TheExampleAsDxfBuildsTheStratumWithDefaultsStated) {
  const std::string map = Convert("DXF");
  std::string transcript;
  ASSERT_EQ(Host(map, dir_ + "got.geojson", &transcript), 0) << transcript;
  EXPECT_NE(transcript.find("[warning] " + map + ": no map members"), std::string::npos) << transcript;
  MapData got = ReadMap(dir_ + "got.geojson");
  ASSERT_EQ(got.entities.size(), 6u);
  EXPECT_EQ(got.entities[0].type, EntityPolyline);
  EXPECT_TRUE(got.entities[0].deleted);
  EXPECT_TRUE(got.entities[1].deleted);
  EXPECT_EQ(got.entities[3].type, 40);
  EXPECT_EQ(got.entities[5].type, EntitySectionStratum);
  EXPECT_EQ(got.entities[5].code, "J2");
}

// A drafting office's DXF: two polylines on their layers in their colours and a text. The
// polylines are curves 1 and 2, the text label 3; the stratum is built between the curves, and
// the layers and colours are kept as attributes (and written back to a DXF).
TEST_F(GdalMaps, ADxfOfTwoPolylinesAndATextBuildsAStratum) {
  auto polyline = [](const char* layer, int colour, const char* handle,
                     const std::vector<std::pair<int, int>>& points) {
    std::string s = "0\nLWPOLYLINE\n5\n" + std::string(handle) + "\n100\nAcDbEntity\n8\n" + layer + "\n62\n" +
                    std::to_string(colour) + "\n100\nAcDbPolyline\n90\n" + std::to_string(points.size()) +
                    "\n70\n0\n";
    for (auto [x, y] : points) s += "10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n";
    return s;
  };
  std::string dxf = "0\nSECTION\n2\nENTITIES\n";
  dxf += polyline("TOP", 1, "A1", {{0, 52}, {50, 55}, {100, 50}});
  dxf += polyline("BOTTOM", 5, "A2", {{0, 40}, {50, 37}, {100, 36}});
  dxf +=
      "0\nTEXT\n5\nA3\n100\nAcDbEntity\n8\nLABELS\n100\nAcDbText\n10\n8\n20\n47\n30\n0\n40\n2\n1\nsandstone"
      "\n";
  dxf += "0\nENDSEC\n0\nEOF\n";
  WriteFile(dir_ + "office.dxf", dxf);
  std::string transcript;
  ASSERT_EQ(Host(dir_ + "office.dxf", dir_ + "out.dxf", &transcript, " --svg " + Quote(dir_ + "out.svg")), 0)
      << transcript;
  EXPECT_NE(transcript.find("[warning]"), std::string::npos) << transcript;

  MapData in = ReadMap(dir_ + "office.dxf");
  ASSERT_EQ(in.entities.size(), 3u);
  EXPECT_EQ(in.entities[0].id, 1);
  EXPECT_EQ(in.entities[0].type, EntityPolyline);
  EXPECT_EQ(in.entities[0].properties["Layer"], "TOP");
  EXPECT_EQ(in.entities[0].properties["ogrStyle"], "PEN(c:#ff0000)");
  EXPECT_EQ(in.entities[1].properties["Layer"], "BOTTOM");
  EXPECT_EQ(in.entities[1].properties["ogrStyle"], "PEN(c:#0000ff)");
  EXPECT_EQ(in.entities[2].type, 40);
  EXPECT_EQ(in.entities[2].properties["text"], "sandstone");
  // No reference system in a DXF: the map says it is in local engineering coordinates.
  ASSERT_TRUE(in.collectionExtra.contains("crs"));
  EXPECT_EQ(in.collectionExtra["crs"]["properties"]["name"].get<std::string>().rfind(
                "LOCAL_CS[\"section (local", 0),
            0u);

  // Written back: the curves on their layers in their colours, the text, the stratum's band.
  std::string info = OgrInfo(Quote(dir_ + "out.dxf"));
  EXPECT_NE(info.find("Layer (String) = TOP"), std::string::npos) << info;
  EXPECT_NE(info.find("PEN(c:#ff0000)"), std::string::npos) << info;
  EXPECT_NE(info.find("Layer (String) = BOTTOM"), std::string::npos) << info;
  EXPECT_NE(info.find("PEN(c:#0000ff)"), std::string::npos) << info;
  EXPECT_NE(info.find("Text (String) = sandstone"), std::string::npos) << info;
  EXPECT_NE(info.find("Layer (String) = J2"), std::string::npos) << info;
  EXPECT_NE(info.find("POLYGON ((-0.0 40.0,50 37,100 36,100 50,50 55,-0.0 52.0,-0.0 40.0))"),
            std::string::npos)
      << info;
  MapData out = ReadMap(dir_ + "out.dxf");
  ASSERT_EQ(out.entities.size(), 4u);
  EXPECT_EQ(out.entities[0].properties["Layer"], "TOP");
  EXPECT_EQ(out.entities[0].nodes.size(), 3u);
}

// Each written format, read back by ogrinfo: the stratum is one feature with its band polygon
// and its attributes, and the deleted curves say so.
TEST_F(GdalMaps, WrittenFilesShowTheStratumAndItsAttributesToOgrinfo) {
  std::string transcript;
  for (const char* name : {"out.gpkg", "out.shp", "out.fgb"}) {
    ASSERT_EQ(Host(example_, dir_ + name, &transcript), 0) << name << "\n" << transcript;
  }
  std::string gpkg = OgrInfo(Quote(dir_ + "out.gpkg") + " out -fid 6");
  for (const char* text :
       {"id (Integer64) = 6", "entityType (Integer) = 27", "deleted (Integer(Boolean)) = 0",
        "code (String) = J2", "scale (Real) = 2", "samples (String(JSON)) = [[", "POLYGON ((-0.0 40"}) {
    EXPECT_NE(gpkg.find(text), std::string::npos) << text << "\n" << gpkg;
  }
  std::string curve = OgrInfo(Quote(dir_ + "out.gpkg") + " out -fid 1");
  EXPECT_NE(curve.find("deleted (Integer(Boolean)) = 1"), std::string::npos) << curve;
  EXPECT_NE(curve.find("name (String) = top of the sandstone"), std::string::npos) << curve;
  std::string map = OgrInfo(Quote(dir_ + "out.gpkg") + " out_map");
  EXPECT_NE(map.find(R"(map (String(JSON)) = {"scaleUnit":1.0,"items":[{"scale":1000.0)"), std::string::npos)
      << map;

  std::string shp = OgrInfo(Quote(dir_ + "out_strata.shp"));
  for (const char* text :
       {"id (Integer64) = 6", "entityType (Integer) = 27", "code (String) = J2", "POLYGON (("}) {
    EXPECT_NE(shp.find(text), std::string::npos) << text << "\n" << shp;
  }
  std::string samples = OgrInfo(Quote(dir_ + "out_samples.dbf") + " -where n=1");
  EXPECT_NE(samples.find("thickness (String) = 14.200000000000003"), std::string::npos) << samples;

  std::string fgb = OgrInfo(Quote(dir_ + "out.fgb"));
  for (const char* text :
       {"id (Integer64) = 6", "entityType (Integer) = 27", "code (String) = J2", "samples (String"}) {
    EXPECT_NE(fgb.find(text), std::string::npos) << text << "\n" << fgb;
  }
  EXPECT_TRUE(fs::exists(dir_ + "out.fgb.map.json"));
}

// A map written in each format and read back is the map: entity types, deletion flags, a 3D
// curve, explicit line points, the stratum's code, scale and samples, a nested property and
// Chinese text, and the map members.
TEST_F(GdalMaps, WrittenMapsReadBackAsTheSameMap) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(R"({"type": "FeatureCollection",
    "map": {"scale": 500, "scaleUnit": 0.5, "items": [{"scale": 1000}, {"scale": 250.5}], "currentItem": 1},
    "features": [
      {"type": "Feature", "id": 7, "properties": {"entityType": 3, "deleted": true, "name": "断层 F1",
        "linePoints": [[0, 1], [0.1, 1.2], [5, 6]], "meta": {"by": "survey", "n": [1, 2]}},
       "geometry": {"type": "LineString", "coordinates": [[0, 1, 2.5], [5, 6, 0.125]]}},
      {"type": "Feature", "id": 9, "properties": {"entityType": 2, "deleted": false},
       "geometry": {"type": "LineString", "coordinates": [[0.1, 0.2], [1e-7, 123456.789]]}},
      {"type": "Feature", "id": 12, "properties": {"entityType": 27, "deleted": false, "code": "J2", "scale": 2.5,
        "samples": [[0, 40, 0, 12.000000000000002, 0, 0, 1], [-7.347880794884119e-16, 41, 0, 13, 0.5, 0.25, 0]]},
       "geometry": null},
      {"type": "Feature", "id": 20, "properties": {"entityType": 41, "deleted": false, "text": "ZK-1"},
       "geometry": {"type": "Point", "coordinates": [60, 58]}}]})",
                             &map, &error))
      << error;
  for (const char* name : {"m.gpkg", "m.shp", "m.fgb"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(MapFormat::Write(dir_ + name, "", map, &error)) << error;
    MapData back;
    std::vector<std::string> notes;
    ASSERT_TRUE(MapFormat::Read(dir_ + name, "", &back, &notes, &error)) << error;
    EXPECT_TRUE(notes.empty());
    ExpectSameMapMembers(map, back);
    EXPECT_EQ(back.scale, 500);
    ExpectSameEntities(map, back);
    EXPECT_EQ(back.entities[0].nodeHasZ, (std::vector<bool>{true, true}));
    EXPECT_EQ(back.entities[1].nodeHasZ, (std::vector<bool>{false, false}));
  }
  // A named driver wins over the extension.
  ASSERT_TRUE(MapFormat::Write(dir_ + "m.data", "GPKG", map, &error)) << error;
  MapData back = ReadMap(dir_ + "m.data", "GPKG");
  ExpectSameEntities(map, back);
}

// The spatial reference of a layer is the map's "crs" and is written to the layers again.
TEST_F(GdalMaps, ACoordinateReferenceSystemIsKept) {
  Ogr2ogr("-f GPKG -a_srs EPSG:32650 " + Quote(dir_ + "utm.gpkg") + " " + Quote(example_));
  MapData map = ReadMap(dir_ + "utm.gpkg");
  ASSERT_TRUE(map.collectionExtra.contains("crs"));
  EXPECT_EQ(map.collectionExtra["crs"]["properties"]["name"], "EPSG:32650");
  std::string error;
  ASSERT_TRUE(MapFormat::Write(dir_ + "again.fgb", "", map, &error)) << error;
  std::string info = OgrInfo("-so " + Quote(dir_ + "again.fgb"));
  EXPECT_NE(info.find("ID[\"EPSG\",32650]"), std::string::npos) << info;
}

// Refusals name the file, the layer and the feature, and leave the map as it was.
TEST_F(GdalMaps, BadFilesAreRefusedWithTheirPlace) {
  MapData map;
  map.scale = 123;
  std::string error;
  std::vector<std::string> notes;
  auto refused = [&](const std::string& path, const std::string& format = "") {
    error.clear();
    EXPECT_FALSE(MapFormat::Read(path, format, &map, &notes, &error));
    EXPECT_EQ(map.scale, 123);  // nothing half loaded
    EXPECT_TRUE(map.entities.empty());
    return error;
  };
  EXPECT_EQ(refused(dir_ + "missing.gpkg"), "cannot open " + dir_ + "missing.gpkg");
  WriteFile(dir_ + "junk.gpkg", "not a geopackage");
  EXPECT_EQ(refused(dir_ + "junk.gpkg").rfind("cannot open " + dir_ + "junk.gpkg as a vector map", 0), 0u)
      << error;
  EXPECT_EQ(refused(example_, "GPKG")
                .rfind("cannot open " + example_ + " as a vector map with the GDAL driver GPKG", 0),
            0u)
      << error;

  WriteFile(dir_ + "points.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "properties": {"name": "a"}, "geometry": {"type": "Point", "coordinates": [1, 2]}}]})");
  Ogr2ogr("-f GPKG -nln labels " + Quote(dir_ + "points.gpkg") + " " + Quote(dir_ + "points.geojson"));
  EXPECT_EQ(refused(dir_ + "points.gpkg"),
            dir_ + "points.gpkg, layer labels: no line features (a section needs its curves)");

  WriteFile(dir_ + "typed.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "id": 3, "properties": {"entityType": "two"}, "geometry": {"type": "LineString", "coordinates": [[1, 2], [3, 4]]}}]})");
  Ogr2ogr("-f GPKG -preserve_fid -nln lines " + Quote(dir_ + "typed.gpkg") + " " +
          Quote(dir_ + "typed.geojson"));
  EXPECT_EQ(refused(dir_ + "typed.gpkg"),
            dir_ + "typed.gpkg, layer lines, feature 3: field entityType is String, not an integer");

  WriteFile(dir_ + "deleted.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "id": 4, "properties": {"deleted": 7}, "geometry": {"type": "LineString", "coordinates": [[1, 2], [3, 4]]}}]})");
  Ogr2ogr("-f GPKG -preserve_fid -nln lines " + Quote(dir_ + "deleted.gpkg") + " " +
          Quote(dir_ + "deleted.geojson"));
  EXPECT_EQ(refused(dir_ + "deleted.gpkg"),
            dir_ + "deleted.gpkg, layer lines, feature 4: field deleted is 7, not true or false");

  // The map's own rules hold too (MapFile::Parse): a curve without a line.
  WriteFile(dir_ + "curve.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "id": 5, "properties": {"entityType": 3}, "geometry": {"type": "Point", "coordinates": [1, 2]}},
    {"type": "Feature", "id": 6, "properties": {}, "geometry": {"type": "LineString", "coordinates": [[1, 2], [3, 4]]}}]})");
  Ogr2ogr("-f GPKG -preserve_fid -nln lines " + Quote(dir_ + "curve.gpkg") + " " +
          Quote(dir_ + "curve.geojson"));
  EXPECT_EQ(refused(dir_ + "curve.gpkg"),
            dir_ + "curve.gpkg: feature 5 (a curve) has no LineString geometry");
}

// A curved geometry is made linear; a multi-line of several parts is not a curve.
TEST_F(GdalMaps, CurvedGeometriesAreMadeLinear) {
  WriteFile(dir_ + "arc.csv", "id,WKT\n1,\"CIRCULARSTRING (0 0,1 1,2 0)\"\n2,\"LINESTRING (0 5,2 5)\"\n");
  Ogr2ogr("-f GPKG -nln arcs -nlt CIRCULARSTRING -oo GEOM_POSSIBLE_NAMES=WKT " + Quote(dir_ + "arc.gpkg") +
          " " + Quote(dir_ + "arc.csv") +
          " -sql \"SELECT CAST(id AS integer) AS id FROM arc WHERE id = '1'\"");
  MapData map = ReadMap(dir_ + "arc.gpkg");
  ASSERT_EQ(map.entities.size(), 1u);
  EXPECT_EQ(map.entities[0].type, EntityPolyline);
  EXPECT_GT(map.entities[0].nodes.size(), 3u);
  EXPECT_NEAR(map.entities[0].nodes.back().x, 2.0, 1e-12);

  WriteFile(dir_ + "multi.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "id": 2, "properties": {}, "geometry": {"type": "MultiLineString", "coordinates": [[[1, 2], [3, 4]], [[5, 6], [7, 8]]]}}]})");
  Ogr2ogr("-f GPKG -preserve_fid -nln lines " + Quote(dir_ + "multi.gpkg") + " " +
          Quote(dir_ + "multi.geojson"));
  MapData kept;
  std::string error;
  EXPECT_FALSE(MapFormat::Read(dir_ + "multi.gpkg", "", &kept, nullptr, &error));
  EXPECT_EQ(error, dir_ +
                       "multi.gpkg, layer lines, feature 2: a line of 2 parts; a curve is one line (give the "
                       "feature an entityType to keep it as it is)");
}

// Writing: a driver is found by the extension or named; an unknown one is refused and leaves no
// file behind; a file written replaces the one there.
TEST_F(GdalMaps, WritingChoosesTheDriverAndLeavesNothingOnFailure) {
  EXPECT_EQ(GdalMap::DriverForPath("a/b.GPKG"), "GPKG");
  EXPECT_EQ(GdalMap::DriverForPath("b.shp"), "ESRI Shapefile");
  EXPECT_EQ(GdalMap::DriverForPath("b.dxf"), "DXF");
  EXPECT_EQ(GdalMap::DriverForPath("b.fgb"), "FlatGeobuf");
  EXPECT_NE(GdalMap::DriverForPath("b.kml"), "");  // KML or LIBKML, as this GDAL has
  EXPECT_EQ(GdalMap::DriverForPath("b.nothing"), "");
  EXPECT_TRUE(MapFormat::IsOwnGeoJson("a.geojson", ""));
  EXPECT_TRUE(MapFormat::IsOwnGeoJson("a.JSON", ""));
  EXPECT_TRUE(MapFormat::IsOwnGeoJson("/dev/stdin", ""));
  EXPECT_FALSE(MapFormat::IsOwnGeoJson("a.geojson", "GeoJSON"));
  EXPECT_FALSE(MapFormat::IsOwnGeoJson("a.gpkg", ""));

  MapData map = ReadMap(example_);
  std::string error;
  // A name GDAL has no driver for is our GeoJSON, as before GDAL; so is a file whose text starts
  // with '{', whatever its name.
  ASSERT_TRUE(MapFormat::Write(dir_ + "x.nothing", "", map, &error)) << error;
  MapData own;
  ASSERT_TRUE(MapFile::Read(dir_ + "x.nothing", &own, &error)) << error;
  EXPECT_EQ(MapFile::Format(own), MapFile::Format(map));
  ASSERT_TRUE(MapFormat::Read(dir_ + "x.nothing", "", &own, nullptr, &error)) << error;
  EXPECT_EQ(MapFile::Format(own), MapFile::Format(map));
  EXPECT_FALSE(MapFormat::Write(dir_ + "x.gpkg", "NoSuchDriver", map, &error));
  EXPECT_EQ(error, dir_ + "x.gpkg: this GDAL has no driver NoSuchDriver that writes vector maps");
  EXPECT_FALSE(fs::exists(dir_ + "x.gpkg"));
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".writing"), std::string::npos) << entry.path();
  }

  ASSERT_TRUE(MapFormat::Write(dir_ + "r.gpkg", "", map, &error)) << error;
  map.entities.pop_back();
  ASSERT_TRUE(MapFormat::Write(dir_ + "r.gpkg", "", map, &error)) << error;
  EXPECT_EQ(ReadMap(dir_ + "r.gpkg").entities.size(), map.entities.size());
  // A Shapefile written again with fewer geometry types and no reference system leaves none of
  // the earlier companions; a folder that is not there is not made.
  map.collectionExtra["crs"] = Json{{"type", "name"}, {"properties", {{"name", "EPSG:32650"}}}};
  ASSERT_TRUE(MapFormat::Write(dir_ + "s.shp", "", map, &error)) << error;
  EXPECT_TRUE(fs::exists(dir_ + "s_points.shp"));
  EXPECT_TRUE(fs::exists(dir_ + "s.prj"));
  MapData lines = map;
  lines.collectionExtra.erase("crs");
  lines.entities.resize(3);
  ASSERT_TRUE(MapFormat::Write(dir_ + "s.shp", "", lines, &error)) << error;
  EXPECT_FALSE(fs::exists(dir_ + "s_points.shp"));
  EXPECT_FALSE(fs::exists(dir_ + "s.prj"));
  MapData linesBack = ReadMap(dir_ + "s.shp");
  ExpectSameEntities(lines, linesBack);
  EXPECT_EQ(linesBack.collectionExtra["crs"]["properties"]["name"].get<std::string>().rfind("LOCAL_CS", 0),
            0u);
  EXPECT_FALSE(MapFormat::Write(dir_ + "no-such-folder/x.gpkg", "", map, &error));
  EXPECT_EQ(error, "cannot write " + dir_ + "no-such-folder/x.gpkg");
  EXPECT_FALSE(fs::exists(dir_ + "no-such-folder"));

  // A text a Shapefile cannot hold is refused, not cut: no file is left.
  MapData longText = map;
  longText.entities[0].properties["name"] = std::string(300, 'x');
  EXPECT_FALSE(MapFormat::Write(dir_ + "long.shp", "", longText, &error));
  EXPECT_EQ(error,
            dir_ +
                "long.shp: entity 1: its name is 300 bytes of text; a Shapefile's text holds 254 (write a "
                "GeoPackage or FlatGeobuf)");
  EXPECT_FALSE(fs::exists(dir_ + "long.shp"));
  ASSERT_TRUE(MapFormat::Write(dir_ + "long.gpkg", "", longText, &error)) << error;
  EXPECT_EQ(ReadMap(dir_ + "long.gpkg").entities[0].properties["name"], std::string(300, 'x'));

  // GeoJSON through GDAL when its driver is named.
  ASSERT_TRUE(MapFormat::Write(dir_ + "g.geojson", "GeoJSON", map, &error)) << error;
  ExpectSameEntities(map, ReadMap(dir_ + "g.geojson", "GeoJSON"));
}

}  // namespace
}  // namespace sectionhost
