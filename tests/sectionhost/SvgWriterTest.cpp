// The section picture: curves, dashed deleted curves, strata bands with their code, escaping.
#include "SvgWriter.h"

#include <gtest/gtest.h>

namespace sectionhost {
namespace {

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

}  // namespace
}  // namespace sectionhost
