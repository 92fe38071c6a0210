// The parts of sectionview that need no window: the view's transform (zoom about the cursor,
// fit, degenerate extents), the simplified screen lines of large sections, the colour per
// stratum code, the scene (labels, codes, extent without deleted entities), the transcript's
// line buffer and the command line.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>

#include "sectionhost/desktop/LineStreamBuf.h"
#include "sectionhost/desktop/MapDigest.h"
#include "sectionhost/desktop/SectionPainter.h"
#include "sectionhost/desktop/SectionScene.h"
#include "sectionhost/desktop/ViewOptions.h"
#include "sectionhost/desktop/ViewTransform.h"
#include "sectionhost/map/MapFile.h"

namespace sectionhost {
namespace {

constexpr double kPixel = 1e-6;  // tolerance of screen positions

TEST(ViewTransformTest, FitCentresTheExtentWithItsMarginAndOneScaleForBothAxes) {
  ViewTransform view;
  Extent extent;
  extent.Add(0, 20), extent.Add(100, 60);
  view.Fit(extent, QSizeF(540, 440), 20);
  EXPECT_NEAR(view.Scale(), 5.0, kPixel);  // 500 px for 100 units; 400 px would allow 10
  EXPECT_NEAR(view.ToScreen(0, 40).x(), 20, kPixel);
  EXPECT_NEAR(view.ToScreen(100, 40).x(), 520, kPixel);
  EXPECT_NEAR(view.ToScreen(50, 40).y(), 220, kPixel);
  // y grows upwards on the map, downwards on the screen.
  EXPECT_LT(view.ToScreen(50, 60).y(), view.ToScreen(50, 20).y());
  QPointF back = view.ToMap(view.ToScreen(12.5, 33.25));
  EXPECT_NEAR(back.x(), 12.5, 1e-9);
  EXPECT_NEAR(back.y(), 33.25, 1e-9);
}

TEST(ViewTransformTest, ZoomKeepsTheMapPointUnderTheCursorAndPanFollowsTheMouse) {
  ViewTransform view;
  Extent extent;
  extent.Add(0, 0), extent.Add(100, 100);
  view.Fit(extent, QSizeF(400, 400), 0);
  QPointF cursor(123, 77);
  QPointF before = view.ToMap(cursor);
  view.ZoomAbout(cursor, 1.25);
  view.ZoomAbout(cursor, 1.25);
  QPointF after = view.ToMap(cursor);
  EXPECT_NEAR(after.x(), before.x(), 1e-9);
  EXPECT_NEAR(after.y(), before.y(), 1e-9);
  EXPECT_NEAR(view.Scale(), 4 * 1.5625, 1e-9);
  QPointF screen = view.ToScreen(50, 50);
  view.Pan(QPointF(10, -5));
  EXPECT_NEAR(view.ToScreen(50, 50).x(), screen.x() + 10, kPixel);
  EXPECT_NEAR(view.ToScreen(50, 50).y(), screen.y() - 5, kPixel);
  // 4 * 1.5625 = 6.25 px per unit: a pixel is 0.16 units, so clicks show tenths.
  EXPECT_DOUBLE_EQ(view.RoundToPixel(20.0239), 20.0);
  EXPECT_DOUBLE_EQ(view.RoundToPixel(54.96), 55.0);
  EXPECT_NEAR(view.RoundToPixel(54.93), 54.9, 1e-12);
}

TEST(ViewTransformTest, DegenerateExtentsAndExtremeZoomsKeepAFiniteScale) {
  ViewTransform view;
  view.Fit(Extent(), QSizeF(100, 100), 0);  // empty: the unit square
  EXPECT_NEAR(view.Scale(), 100, kPixel);
  Extent point;
  point.Add(1e300, -1e300);
  view.Fit(point, QSizeF(100, 100), 10);
  EXPECT_TRUE(std::isfinite(view.Scale()));
  EXPECT_GT(view.Scale(), 0);
  EXPECT_NEAR(view.ToScreen(1e300, -1e300).x(), 50, 1e-3);
  Extent wide;
  wide.Add(-1.7e308, 0), wide.Add(1.7e308, 1);
  view.Fit(wide, QSizeF(100, 100), 0);
  EXPECT_GE(view.Scale(), ViewTransform::kMinScale);
  view.ZoomAbout(QPointF(0, 0), 1e-300);
  EXPECT_EQ(view.Scale(), ViewTransform::kMinScale);
  view.ZoomAbout(QPointF(0, 0), 1e300);
  view.ZoomAbout(QPointF(0, 0), 1e300);
  EXPECT_EQ(view.Scale(), ViewTransform::kMaxScale);
}

TEST(SectionPainterTest, ScreenLineOfAMillionPointsKeepsAboutOnePointPerHalfPixel) {
  std::vector<Point3D> points;
  constexpr int kCount = 1000000;
  for (int i = 0; i < kCount; ++i) {
    double x = 100.0 * i / (kCount - 1);
    points.push_back({x, std::sin(x / 7), 0});
  }
  points[500].x = NAN;  // left out
  ViewTransform view;
  Extent extent;
  extent.Add(0, -1), extent.Add(100, 1);
  view.Fit(extent, QSizeF(1000, 200), 0);  // 10 px per unit: 1000 px along the line
  QPolygonF line = SectionPainter::ScreenLine(points, view);
  EXPECT_LT(line.size(), 4000);
  EXPECT_GT(line.size(), 1000);
  EXPECT_NEAR(line.front().x(), view.ToScreen(0, 0).x(), kPixel);
  EXPECT_NEAR(line.back().x(), view.ToScreen(100, 0).x(), kPixel);  // the end is kept
  for (const QPointF& p : line) ASSERT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
}

TEST(SectionPainterTest, EachCodeHasOneColourInEveryRunAndNeighbouringCodesDiffer) {
  EXPECT_EQ(SectionPainter::CodeColor("J2"), SectionPainter::CodeColor(std::string("J") + "2"));
  EXPECT_NE(SectionPainter::CodeColor("J2"), SectionPainter::CodeColor("J3"));
  EXPECT_NE(SectionPainter::CodeColor("J2"), SectionPainter::CodeColor("砂岩"));
  // Fixed by the code alone (FNV-1a), so a legend reads the same tomorrow.
  QColor j2 = SectionPainter::CodeColor("J2");
  uint32_t hash = 2166136261u;
  for (unsigned char ch : std::string("J2")) hash = (hash ^ ch) * 16777619u;
  EXPECT_EQ(j2.hue(), static_cast<int>(hash % 360));
  EXPECT_GE(j2.value(), 200);  // light enough for black labels
}

TEST(SectionSceneTest, LabelsCodesAndExtentLeaveDeletedEntitiesOut) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(R"({"type": "FeatureCollection", "features": [
   {"type": "Feature", "id": 1, "properties": {"entityType": 2, "deleted": true, "name": "gone"},
    "geometry": {"type": "LineString", "coordinates": [[-500, -500], [500, 500]]}},
   {"type": "Feature", "id": 2, "properties": {"entityType": 2, "name": "bottom"},
    "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}},
   {"type": "Feature", "id": 3, "properties": {"entityType": 27, "code": "J2", "scale": 1,
    "samples": [[0, 0, 0, 4, 0, 0, 1], [5, 0, 0, 6, 0, 0, 1], [10, 0, 0, 4, 0, 0, 1]]}, "geometry": null},
   {"type": "Feature", "id": 4, "properties": {"entityType": 27, "code": "K1", "deleted": true, "scale": 1,
    "samples": [[0, 0, 0, 1, 0, 0, 1]]}, "geometry": null},
   {"type": "Feature", "id": 5, "properties": {"entityType": 40, "text": "砂岩层"},
    "geometry": {"type": "Point", "coordinates": [3, 2]}}
  ]})",
                             &map, &error))
      << error;
  SectionScene scene = SectionScene::From(map);
  ASSERT_EQ(scene.entities.size(), 5u);
  EXPECT_EQ(scene.codes, std::vector<std::string>{"J2"});
  EXPECT_DOUBLE_EQ(scene.extent.minX, 0);
  EXPECT_DOUBLE_EQ(scene.extent.maxX, 10);
  EXPECT_DOUBLE_EQ(scene.extent.maxY, 6);
  const SceneEntity& stratum = scene.entities[2];
  EXPECT_EQ(stratum.label, "J2");
  ASSERT_TRUE(stratum.hasAnchor);
  EXPECT_DOUBLE_EQ(stratum.anchorX, 5);  // the middle sample, half its thickness up
  EXPECT_DOUBLE_EQ(stratum.anchorY, 3);
  EXPECT_EQ(scene.entities[4].label, "砂岩层");
  EXPECT_EQ(scene.entities[1].label, "");  // curves are not labelled on the picture
}

TEST(MapDigestTest, EveryChangeACommandCanMakeChangesTheDigest) {
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(R"({"type": "FeatureCollection", "map": {"scale": 1000}, "features": [
   {"type": "Feature", "id": 1, "properties": {"entityType": 2, "name": "a"},
    "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}},
   {"type": "Feature", "id": 3, "properties": {"entityType": 27, "code": "J2", "scale": 1,
    "samples": [[0, 0, 0, 4, 0, 0, 1]]}, "geometry": null}]})",
                             &map, &error))
      << error;
  const uint64_t digest = MapDigest::Of(map);
  EXPECT_EQ(MapDigest::Of(MapData(map)), digest);
  auto changed = [&](const std::function<void(MapData&)>& change) {
    MapData copy = map;
    change(copy);
    return MapDigest::Of(copy) != digest;
  };
  EXPECT_TRUE(changed([](MapData& m) { m.entities[0].deleted = true; }));
  EXPECT_TRUE(changed([](MapData& m) { m.entities[0].nodes[1].x = 10.000000000000002; }));
  EXPECT_TRUE(changed([](MapData& m) { m.entities[0].linePoints.push_back({}); }));
  EXPECT_TRUE(changed([](MapData& m) { m.entities[1].code = "J3"; }));
  EXPECT_TRUE(changed([](MapData& m) { m.entities[1].samples[0].thickness = 5; }));
  EXPECT_TRUE(changed([](MapData& m) { m.entities.push_back(m.entities[1]); }));
  EXPECT_TRUE(changed([](MapData& m) { std::swap(m.entities[0], m.entities[1]); }));
  EXPECT_TRUE(changed([](MapData& m) { m.entities[0].properties["name"] = "b"; }));
  EXPECT_TRUE(changed([](MapData& m) { m.scale = 2000; }));
  // Zero and negative zero are different numbers in a map file ("-0.0").
  EXPECT_TRUE(changed([](MapData& m) { m.entities[0].nodes[0].y = -0.0; }));
}

TEST(LineStreamBufTest, HandsOnWholeLinesAndAPartialOneOnFlush) {
  std::vector<std::string> lines;
  LineStreamBuf buffer([&](const std::string& line) { lines.push_back(line); });
  std::ostream out(&buffer);
  out << "one\ntw"
      << "o\n\nthr";
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", ""}));
  out << std::flush;
  EXPECT_EQ(lines.back(), "thr");
  out.flush();  // nothing pending: no empty line
  EXPECT_EQ(lines.size(), 4u);
}

TEST(ViewOptionsTest, OwnOptionsLeaveTheCommandLineBeforeQtSeesIt) {
  // Qt takes "--plugin X" as its -plugin option: ours must be gone when QApplication parses.
  std::vector<std::string> words = {"sectionview", "-platform",   "offscreen",    "--plugin",
                                    "a.so",        "map.geojson", "--config-dir", "cfg",
                                    "--calls",     "c.txt",       "--plugin"};
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(words.size());
  std::vector<std::string> own = ViewOptions::TakeOwnOptions(&argc, argv.data());
  EXPECT_EQ(own, (std::vector<std::string>{"--plugin", "a.so", "--config-dir", "cfg", "--calls", "c.txt"}));
  ASSERT_EQ(argc, 5);
  EXPECT_EQ(std::string(argv[1]), "-platform");
  EXPECT_EQ(std::string(argv[2]), "offscreen");
  EXPECT_EQ(std::string(argv[3]), "map.geojson");
  EXPECT_EQ(std::string(argv[4]), "--plugin");  // no value: left for the parse to refuse
  EXPECT_EQ(argv[5], nullptr);
}

TEST(ViewOptionsTest, MapPlugInsAndOptionsAndTheirErrors) {
  ViewOptions o;
  std::string error;
  ASSERT_TRUE(ViewOptions::Parse(
      {"map.geojson", "--plugin", "a.so", "--plugin", "b.so", "--config-dir", "cfg", "--calls", "calls.txt"},
      &o, &error));
  EXPECT_EQ(o.map, "map.geojson");
  EXPECT_EQ(o.plugins, (std::vector<std::string>{"a.so", "b.so"}));
  HostOptions run = o.RunOptions();
  EXPECT_EQ(run.configDir, "cfg");
  EXPECT_EQ(run.calls, "calls.txt");
  EXPECT_TRUE(run.map.empty());  // the window opens the map itself
  EXPECT_TRUE(run.plugins.empty());
  ASSERT_TRUE(ViewOptions::Parse({}, &o, &error));
  EXPECT_TRUE(o.map.empty());
  EXPECT_FALSE(ViewOptions::Parse({"--plugin"}, &o, &error));
  EXPECT_EQ(error, "--plugin needs a value");
  EXPECT_FALSE(ViewOptions::Parse({"--nope"}, &o, &error));
  EXPECT_EQ(error, "unknown option --nope");
  EXPECT_FALSE(ViewOptions::Parse({"a.geojson", "b.geojson"}, &o, &error));
  EXPECT_EQ(error, "one map at a time: a.geojson and b.geojson");
}

}  // namespace
}  // namespace sectionhost
