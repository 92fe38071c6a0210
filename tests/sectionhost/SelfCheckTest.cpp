// The host's check of itself (--self-check): OK on an empty map and on a map given, with the
// count of its entities; a map that cannot be read fails the check with the reason.
#include "sectionhost/session/SelfCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace sectionhost {
namespace {

TEST(SelfCheck, PassesOnAnEmptyMap) {
  HostOptions options;
  options.selfCheck = true;
  std::ostringstream out, err;
  EXPECT_EQ(SelfCheck::Run(options, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "sectionhost: self-check OK (map control, VOIntArray, window, 0 entities)\n");
  EXPECT_EQ(err.str(), "");
}

TEST(SelfCheck, CountsTheEntitiesOfTheMapGiven) {
  std::string pattern = testing::TempDir() + "selfcheck-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  HostOptions options;
  options.map = pattern + "/map.geojson";
  std::ofstream(options.map) << R"({"type": "FeatureCollection", "map": {"scale": 500}, "features": [
    {"type": "Feature", "id": 4, "properties": {"entityType": 2},
     "geometry": {"type": "LineString", "coordinates": [[0, 0], [1, 1]]}}]})";
  std::ostringstream out, err;
  EXPECT_EQ(SelfCheck::Run(options, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "sectionhost: self-check OK (map control, VOIntArray, window, 1 entities)\n");
  std::filesystem::remove_all(pattern);
}

TEST(SelfCheck, AMapThatCannotBeReadFailsTheCheck) {
  HostOptions options;
  options.map = testing::TempDir() + "no-such-folder/map.geojson";
  std::ostringstream out, err;
  EXPECT_EQ(SelfCheck::Run(options, out, err), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("sectionhost: self-check failed: reading the map: "), std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace sectionhost
