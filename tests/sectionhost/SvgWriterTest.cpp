// The section picture: curves, dashed deleted curves, strata bands with their code, escaping;
// and maps whose coordinates are extreme (fuzz/corpus/svg: 1e300, spans that overflow, a grid
// step below the spacing of doubles, null coordinates), each drawn in a child process under a
// watchdog: the writer must finish, with a bounded grid and every drawn number inside the
// picture.
#include "sectionhost/map/SvgWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "ChildWatchdog.h"
#include "sectionhost/map/MapFile.h"

namespace sectionhost {
namespace {

using testing_support::RunInChild;

TEST(SvgWriter, DrawsCurvesBandsAndLabels) {
  MapData map;
  MapEntity curve;
  curve.id = 1;
  curve.type = EntityPolyline;
  curve.nodes = curve.linePoints = {{0, 0, 0}, {10, 2, 0}};
  MapEntity gone = curve;
  gone.id = 2;
  gone.deleted = true;
  MapEntity stratum;
  stratum.id = 3;
  stratum.type = EntitySectionStratum;
  stratum.code = "J<2>";
  StratumSample a, b;
  a.point = {0, 0, 0};
  a.thickness = 1;
  b.point = {10, 2, 0};
  b.thickness = 1;
  stratum.samples = {a, b};
  map.entities = {curve, gone, stratum};
  std::string svg = SvgWriter::Format(map, "demo & test");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("demo &amp; test"), std::string::npos);
  EXPECT_NE(svg.find("<polygon"), std::string::npos);
  EXPECT_NE(svg.find(">J&lt;2&gt;</text>"), std::string::npos);
  EXPECT_NE(svg.find("stroke-dasharray=\"8 5\""), std::string::npos);  // the deleted curve
  EXPECT_EQ(svg.find("nan"), std::string::npos);
}

TEST(SvgWriter, EmptyMapStillHasAFiniteScale) {
  std::string svg = SvgWriter::Format(MapData(), "empty");
  EXPECT_EQ(svg.find("nan"), std::string::npos);
  EXPECT_EQ(svg.find("inf"), std::string::npos);
}

TEST(SvgWriter, GridStepIsOneTwoOrFiveTimesAPowerOfTen) {
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(100, 10), 10);
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(130, 10), 20);
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(0.33, 10), 0.05);
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(0, 10), 1);
}

TEST(SvgWriter, GridStepOfAnUnusableSpanIsOne) {
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(INFINITY, 10), 1);
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(NAN, 10), 1);
  EXPECT_DOUBLE_EQ(SvgWriter::GridStep(-5, 10), 1);
  EXPECT_GT(SvgWriter::GridStep(1e-320, 10), 0.0);
}

// What the child reports (its exit code).
enum DrawCheck : int {
  kDrawn = 0,
  kNotAMap = 1,
  kNumberOutsideThePicture = 2,
  kTooManyGridLines = 3,
  kNoPicture = 4,
};

// Every coordinate attribute (x, y, x1, ..., cx, points) is a finite number inside the picture's
// width and height (a little slack for labels); the grid has at most kMaxGridLines per axis.
int CheckPicture(const std::string& svg) {
  std::smatch size;
  if (!std::regex_search(svg, size, std::regex("<svg [^>]*width=\"([0-9.]+)\" height=\"([0-9.]+)\"")))
    return kNoPicture;
  const double width = std::stod(size[1]), height = std::stod(size[2]);
  const std::regex attribute(" (x|y|x1|x2|y1|y2|cx|cy|width|height|points)=\"([^\"%]*)\"");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), attribute); it != std::sregex_iterator(); ++it) {
    std::string values = (*it)[2];
    std::replace(values.begin(), values.end(), ',', ' ');
    std::istringstream in(values);
    std::string word;
    while (in >> word) {
      char* end = nullptr;
      double v = std::strtod(word.c_str(), &end);
      if (*end != '\0' || !std::isfinite(v) || v < -100 || v > std::max(width, height) + 100)
        return kNumberOutsideThePicture;
    }
  }
  size_t lines = 0;
  for (size_t at = svg.find("<line "); at != std::string::npos; at = svg.find("<line ", at + 1)) ++lines;
  return lines <= 2 * static_cast<size_t>(SvgWriter::kMaxGridLines) ? kDrawn : kTooManyGridLines;
}

std::vector<std::string> CorpusMaps() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(KP_SOURCE_DIR "/fuzz/corpus/svg")) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ExtremeMap : public testing::TestWithParam<std::string> {};

TEST_P(ExtremeMap, IsDrawnWithABoundedGridInsideThePicture) {
  std::ifstream in(KP_SOURCE_DIR "/fuzz/corpus/svg/" + GetParam(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  MapData map;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(text.str(), &map, &error)) << error;
  auto outcome = RunInChild([&] { return CheckPicture(SvgWriter::Format(map, GetParam())); },
                            std::chrono::seconds(20));
  EXPECT_TRUE(outcome.finished && outcome.exited && outcome.exitCode == kDrawn)
      << GetParam() << ": " << outcome.Describe()
      << " (1: not a map, 2: a number outside the picture, 3: too many grid lines, 4: no picture)";
}

INSTANTIATE_TEST_SUITE_P(Corpus, ExtremeMap, testing::ValuesIn(CorpusMaps()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.find('.'));
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// The ordinary picture keeps its numbers: two decimals, the grid in steps of 1, 2 or 5.
TEST(SvgWriter, OrdinaryMapKeepsItsGridAndNumbers) {
  MapData map;
  MapEntity curve;
  curve.id = 1;
  curve.type = EntityPolyline;
  curve.nodes = curve.linePoints = {{0, 0, 0}, {100, 40, 0}};
  map.entities = {curve};
  std::string svg = SvgWriter::Format(map, "t");
  EXPECT_EQ(CheckPicture(svg), kDrawn);
  EXPECT_NE(svg.find("grid 20 x 5</text>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("<polyline points=\"113.64,"), std::string::npos) << svg;
}

// A curve of far more nodes than the picture has pixels is drawn thinned to at most four points
// per pixel column, so the picture stays small; labels name fonts with Chinese glyphs.
TEST(SvgWriter, LongCurvesAreThinnedToThePixels) {
  MapData map;
  MapEntity curve, stratum;
  curve.id = 1;
  curve.type = EntityPolyline;
  stratum.id = 2;
  stratum.type = EntitySectionStratum;
  stratum.code = "J2";
  for (int i = 0; i < 200000; ++i) {
    curve.nodes.push_back({i * 0.5, 10 * std::sin(i * 0.05) + (i % 7) * 0.1, 0});
    StratumSample s;
    s.point = {i * 0.5, -20 + std::sin(i * 0.3), 0};
    s.thickness = 5;
    stratum.samples.push_back(s);
  }
  map.entities = {curve, stratum};
  std::string svg = SvgWriter::Format(map, "t");  // (CheckPicture's regex recurses per character)
  size_t start = svg.find("<polyline points=\"");
  ASSERT_NE(start, std::string::npos);
  std::string points = svg.substr(start, svg.find('"', start + 18) - start);
  size_t count = std::count(points.begin(), points.end(), ',');
  EXPECT_LE(count, 4u * 962);  // 960 pixels wide, and the columns at its edges
  EXPECT_LT(svg.size(), 200000u);
  EXPECT_NE(svg.find("font-family=\"'Noto Sans CJK SC'"), std::string::npos);
  EXPECT_NE(svg.find(">J2</text>"), std::string::npos);
}

}  // namespace
}  // namespace sectionhost
