// The section stratum as the host writes it back after a build: the entity after the input
// features, its samples, scale and stratum code, and the map-control calls of the build in their
// order (the undo group, registration, refresh, the modified flag and the list of entities
// created since the command's start, which grows across builds of one run and is emptied by
// the next launch); scales that fail the creation, and coordinates at the extremes of the
// double range, none of which may leave a non-finite number on a stratum.
//
// Host facts relied on: the kernel's handles are deterministic in a fresh host process (the
// store is 1, the features of kSectionMap 2-6 in map order, the first new object 7), and new
// entities get the next free id (6 for the first stratum).
#include <gtest/gtest.h>

#include <cmath>

#include "HostSession.h"
#include "StratumTexts.h"

namespace stratumtest {
namespace {

constexpr double kCoordinateTolerance = 1e-9;

// The dialog connected, row `row` selected and OK pressed.
std::string ChooseRow(int row) {
  return "dialog connect\ndialog select " + std::to_string(row) + "\ndialog ok\n";
}

class Build : public testing::Test {
 protected:
  HostSession host_;
};

// Curves 1 (y = 10, nodes at x 0 and 10) and 2 (y = 0, nodes at x 0, 5, 10): the samples are
// the lower curve's nodes, each 10 below the upper curve; the upper nodes projected onto the
// lower curve coincide with lower nodes and are dropped. Scale 5000 / 2 / 1000.
TEST_F(Build, TheStratumFollowsTheInputFeaturesWithSamplesScaleAndCode) {
  HostRun run = host_.Run("launch dsi\npick 1 2\n" + ChooseRow(1) + "text n\n");
  EXPECT_EQ(run.status, 0) << run.err;
  const nlohmann::json& features = run.map["features"];
  ASSERT_EQ(features.size(), 6u) << run.map;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(features[i]["id"], i + 1);
  const nlohmann::json& stratum = features[5];
  EXPECT_EQ(stratum["id"], 6);
  EXPECT_EQ(stratum["properties"]["entityType"], 27);
  EXPECT_EQ(stratum["properties"]["code"], "MS");
  EXPECT_EQ(stratum["properties"]["scale"], 2.5);
  const nlohmann::json& samples = stratum["properties"]["samples"];
  ASSERT_EQ(samples.size(), 3u) << samples;
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(samples[i][0].get<double>(), 5.0 * i, kCoordinateTolerance) << samples;
    EXPECT_EQ(samples[i][1], 0.0) << samples;
    EXPECT_EQ(samples[i][2], 0.0) << samples;
    EXPECT_NEAR(samples[i][3].get<double>(), 10.0, kCoordinateTolerance) << samples;
    EXPECT_EQ(samples[i][4], 0.0);
    EXPECT_EQ(samples[i][5], 0.0);
    EXPECT_EQ(samples[i][6], 1);
  }
  // The scale is read before anything is inserted, so that a bad one fails the creation.
  EXPECT_TRUE(run.CallsInOrder({"EntityHandle 1 -> 2", "EntityHandle 2 -> 3", "MapScale -> 5000.000000",
                                "ScaleUnit -> 2.000000", "StoreHandle -> 1",
                                "BeginOperation 创建剖面地层实体 -> 1", "RegisterEntity 7", "RefreshEntity 7",
                                "Modified = 1", "UpdateEntities [6] 1", "ShowText " + kBuilt,
                                "SetCommandState 1001 2147483647", "ShowText " + kAskYes}));
  EXPECT_EQ(run.CountCalls("CurrentItemIndex -> 1"), 0);
}

TEST_F(Build, BothPickOrdersGiveTheSameSamples) {
  HostRun forward = host_.Run("launch dsi\npick 1 2\ndialog cancel\n");
  HostRun backward = host_.Run("launch dsi\npick 2 1\ndialog cancel\n");
  ASSERT_EQ(forward.Strata().size(), 1u);
  ASSERT_EQ(backward.Strata().size(), 1u);
  EXPECT_EQ(forward.Strata()[0]["properties"]["samples"], backward.Strata()[0]["properties"]["samples"]);
  EXPECT_TRUE(backward.CallsInOrder({"EntityHandle 2 -> 3", "EntityHandle 1 -> 2"}));
}

// The scale: MapScale divided by ScaleUnit and by 1000; a MapScale of exactly -1.0 (no scale in
// the map) takes the current item's scale instead.
struct ScaleCase {
  const char* name;
  const char* mapMember;
  double scale;
  bool fromItem;
};

class Scale : public testing::TestWithParam<ScaleCase> {
 protected:
  HostSession host_;
};

TEST_P(Scale, IsWrittenOnTheStratum) {
  nlohmann::json map = nlohmann::json::parse(kSectionMap);
  map["map"] = nlohmann::json::parse(GetParam().mapMember);
  host_.WriteMap(map.dump());
  HostRun run = host_.Run(kBuildScript);
  ASSERT_EQ(run.Strata().size(), 1u) << run.out << run.err;
  EXPECT_DOUBLE_EQ(run.Strata()[0]["properties"]["scale"].get<double>(), GetParam().scale);
  if (GetParam().fromItem) {
    EXPECT_TRUE(run.CallsInOrder({"MapScale -> -1.000000", "CurrentItemIndex -> 1", "ItemCollection",
                                  "ItemCollection.Item 1", "ScaleUnit -> 1.500000", "RegisterEntity 7"}));
  } else {
    EXPECT_EQ(run.CountCalls("CurrentItemIndex -> 1") + run.CountCalls("CurrentItemIndex -> 0"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    MapScale, Scale,
    testing::Values(
        ScaleCase{"OfTheMap", R"({"scale": 5000, "scaleUnit": 2})", 2.5, false},
        ScaleCase{"MissingTakesTheCurrentItem",
                  R"({"scaleUnit": 1.5, "items": [{"scale": 1000}, {"scale": 3000}], "currentItem": 1})", 2.0,
                  true},
        ScaleCase{
            "MinusOneTakesTheCurrentItem",
            R"({"scale": -1, "scaleUnit": 1.5, "items": [{"scale": 1000}, {"scale": 600}], "currentItem": 1})",
            0.4, true}),
    [](const testing::TestParamInfo<ScaleCase>& info) { return info.param.name; });

// A scale that is not a positive finite number fails the creation before anything is
// inserted: the failure text, the curves unmarked and kept, the command ended, no exception
// out of the plug-in. A current item that does not exist (the host raises DISP_E_BADINDEX) is
// such a failure too.
struct BadScaleCase {
  const char* name;
  const char* mapMember;
};

class BadScale : public testing::TestWithParam<BadScaleCase> {
 protected:
  HostSession host_;
};

TEST_P(BadScale, FailsTheCreationAndChangesNothing) {
  nlohmann::json map = nlohmann::json::parse(kSectionMap);
  map["map"] = nlohmann::json::parse(GetParam().mapMember);
  host_.WriteMap(map.dump());
  HostRun run = host_.Run(kBuildScript + "text y\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kLaunched + "> pick 1 2\n" + kDialogCancelled + kBuildFailed + "\n> text y\n");
  EXPECT_TRUE(run.CallsInOrder({"ShowText " + kBuildFailed, "Highlight.SetHighlight [1 2] 0 1",
                                "SetCommandState 0 0", "WM_SETCURSOR 0 0", "Refresh"}));
  EXPECT_EQ(run.CountCalls("BeginOperation 创建剖面地层实体 -> 1"), 0);
  EXPECT_EQ(run.CountCalls("Modified = 1"), 0);
  EXPECT_TRUE(run.Strata().empty());
  EXPECT_EQ(run.map["features"].size(), 5u);
  EXPECT_FALSE(run.Deleted(1));
  EXPECT_FALSE(run.Deleted(2));
}

INSTANTIATE_TEST_SUITE_P(
    MapScale, BadScale,
    testing::Values(
        BadScaleCase{"Zero", R"({"scale": 0, "scaleUnit": 4, "items": [{"scale": 7}], "currentItem": 0})"},
        BadScaleCase{"Negative", R"({"scale": -5000, "scaleUnit": 2})"},
        BadScaleCase{"NegativeNearMinusOne", R"({"scale": -1.0000000000000002, "scaleUnit": 2})"},
        BadScaleCase{"UnitZero", R"({"scale": 5000, "scaleUnit": 0})"},
        BadScaleCase{"UnitNegative", R"({"scale": 5000, "scaleUnit": -2})"},
        BadScaleCase{"OverflowsToInfinity", R"({"scale": 1e308, "scaleUnit": 1e-300})"},
        BadScaleCase{"ItemMissing", R"({"scaleUnit": 1.5, "items": [{}], "currentItem": 0})"},
        BadScaleCase{"ItemNull", R"({"scale": -1, "scaleUnit": 1.5, "items": [{"scale": null}], "currentItem": 0})"},
        BadScaleCase{"ItemZero", R"({"scaleUnit": 1.5, "items": [{"scale": 0}], "currentItem": 0})"},
        BadScaleCase{"ItemMinusOne", R"({"scaleUnit": 1.5, "items": [{"scale": -1}], "currentItem": 0})"},
        BadScaleCase{"NoSuchItem", R"({"scaleUnit": 1.5, "items": [{"scale": 1000}], "currentItem": 3})"}),
    [](const testing::TestParamInfo<BadScaleCase>& info) { return info.param.name; });

// Coordinates at the extremes: a stratum never carries a non-finite number. A NaN (null in the
// map) or an infinite value that would reach a sample fails the creation; heights near the
// largest double that give finite samples build a stratum whose every number is finite.
struct ExtremeCase {
  const char* name;
  const char* upper;  // curve 1's coordinates
  const char* lower;  // curve 2's coordinates
  bool built;
};

class Extreme : public testing::TestWithParam<ExtremeCase> {
 protected:
  HostSession host_;
};

// Every number of a JSON value, nulls counted as non-finite.
bool AllNumbersFinite(const nlohmann::json& v) {
  if (v.is_null()) return false;
  if (v.is_number()) return std::isfinite(v.get<double>());
  if (v.is_array() || v.is_object()) {
    for (const auto& item : v)
      if (!AllNumbersFinite(item)) return false;
  }
  return true;
}

TEST_P(Extreme, NoStratumCarriesANonFiniteNumber) {
  nlohmann::json map = nlohmann::json::parse(kSectionMap);
  map["features"][0]["geometry"]["coordinates"] = nlohmann::json::parse(GetParam().upper);
  map["features"][1]["geometry"]["coordinates"] = nlohmann::json::parse(GetParam().lower);
  host_.WriteMap(map.dump());
  HostRun run = host_.Run(kBuildScript + "text n\n");
  EXPECT_EQ(run.status, 0) << run.err;
  if (GetParam().built) {
    ASSERT_EQ(run.Strata().size(), 1u) << run.out;
    const nlohmann::json stratum = run.Strata()[0];
    EXPECT_TRUE(AllNumbersFinite(stratum["properties"]["samples"])) << stratum;
    EXPECT_TRUE(AllNumbersFinite(stratum["properties"]["scale"])) << stratum;
    EXPECT_TRUE(AllNumbersFinite(stratum["geometry"])) << stratum;
  } else {
    EXPECT_EQ(run.out, kLaunched + "> pick 1 2\n" + kDialogCancelled + kBuildFailed + "\n> text n\n");
    EXPECT_TRUE(run.Strata().empty());
    EXPECT_EQ(run.CountCalls("BeginOperation 创建剖面地层实体 -> 1"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Coordinates, Extreme,
    testing::Values(
        ExtremeCase{"NullZOfALowerNode", "[[0, 10], [10, 10]]", "[[0, 0], [5, 0, null], [10, 0]]", false},
        ExtremeCase{"NullYOfALowerNode", "[[0, 10], [10, 10]]", "[[0, 0], [5, null], [10, 0]]", false},
        ExtremeCase{"NullXOfAnUpperNode", "[[0, 10], [null, 10], [10, 10]]", "[[0, 0], [10, 0]]", false},
        ExtremeCase{"NullZOfAnUpperNode", "[[0, 10], [5, 10, null], [10, 10]]", "[[0, 0], [10, 0]]", true},
        ExtremeCase{"OppositeEndsOfTheRange", "[[0, 1.7e308], [10, 1.7e308]]", "[[0, -1.7e308], [10, -1.7e308]]",
                    false},
        ExtremeCase{"LargestDoubleAbove", "[[0, 1.7976931348623157e308], [1, 1.7976931348623157e308]]",
                    "[[0, 0], [0.5, 0], [1, 0]]", true},
        ExtremeCase{"LargestDoubleX", "[[0, 0.5], [1.7976931348623157e308, 0.5]]",
                    "[[0, 0], [1, 0], [1.7976931348623157e308, 0]]", true},
        // A segment from minus to plus the largest double is longer than any double: no
        // vertical meets it.
        ExtremeCase{"SpanBeyondTheLargestDouble", "[[-1.7976931348623157e308, 10], [1.7976931348623157e308, 10]]",
                    "[[-1.7976931348623157e308, 0], [0, 0], [1.7976931348623157e308, 0]]", false}),
    [](const testing::TestParamInfo<ExtremeCase>& info) { return info.param.name; });

// CreatedEntityIds: a second build in the same run (event 20 sent again while the question is
// open opens the dialog again) lists both new ids; the next launch starts the list afresh.
TEST_F(Build, TheCreatedIdsGrowAcrossBuildsAndAreEmptiedByTheNextLaunch) {
  HostRun run = host_.Run(kBuildScript + "event 20\ndialog cancel\ntext n\n" + kBuildScript + "text n\n");
  EXPECT_EQ(run.out, kBuiltAsking + "> event 20\n" + kDialogCancelled + kBuilt + "\n" + kAskYes +
                         "\n> text n\n" + kKept + "\n" + kLaunched + "> pick 1 2\n" + kDialogCancelled +
                         kBuilt + "\n" + kAskNo + "\n> text n\n" + kKept + "\n");
  EXPECT_TRUE(run.CallsInOrder({"UpdateEntities [6] 1", "UpdateEntities [6 7] 1", "UpdateEntities [8] 1"}));
  std::vector<nlohmann::json> strata = run.Strata();
  ASSERT_EQ(strata.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(strata[i]["id"], 6 + i);
}

// The stratum code goes into a 32-byte field: at most 31 bytes, cut before a GBK double-byte
// character that would not fit whole. The lexicon supplies the codes; the map shows the field.
struct CodeCase {
  const char* name;
  std::string code;      // in the lexicon (UTF-8)
  std::string expected;  // on the stratum
};

class LongCode : public testing::TestWithParam<CodeCase> {
 protected:
  HostSession host_;
};

TEST_P(LongCode, IsCutToTheFieldOnACharacterBoundary) {
  host_.WriteLexicon({{"长代码", GetParam().code, 1}});
  HostRun run = host_.Run("launch dsi\npick 1 2\n" + ChooseRow(0) + "text n\n");
  ASSERT_EQ(run.Strata().size(), 1u) << run.out;
  EXPECT_EQ(run.Strata()[0]["properties"]["code"], GetParam().expected);
}

const std::string k15Characters = "地层代码很长的一个例子再长一点";  // 15 GBK characters, 30 bytes

INSTANTIATE_TEST_SUITE_P(
    Field, LongCode,
    testing::Values(CodeCase{"Ascii31Fits", std::string(31, 'x'), std::string(31, 'x')},
                    CodeCase{"Ascii32IsCut", std::string(32, 'x'), std::string(31, 'x')},
                    CodeCase{"Mixed31Fits", "A" + k15Characters, "A" + k15Characters},
                    // 2 + 30 bytes: the last character would end at byte 32, so it goes whole.
                    CodeCase{"Mixed32LosesAWholeCharacter", "AB" + k15Characters,
                             "AB" + k15Characters.substr(0, k15Characters.size() - 3)},
                    CodeCase{"Chinese16LosesOne", k15Characters + "字", k15Characters}),
    [](const testing::TestParamInfo<CodeCase>& info) { return info.param.name; });

}  // namespace
}  // namespace stratumtest
