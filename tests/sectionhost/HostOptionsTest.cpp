// The command line of sectionhost (HostOptions): the options and their values, what makes a
// session interactive, the errors for a command line that cannot run, and the map's name.
#include "sectionhost/session/HostOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace sectionhost {
namespace {

bool Parse(std::vector<const char*> args, HostOptions* options, std::string* error) {
  args.insert(args.begin(), "sectionhost");
  return HostOptions::Parse(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(HostOptions, ReadsEveryOptionAndRepeatedPlugins) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--map", "m.geojson", "--script", "s.txt", "--plugin", "a.so", "--plugin", "b.so",
                     "--config-dir", "cfg", "--out", "o.geojson", "--svg", "o.svg", "--calls", "c.txt", "--timings"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.map, "m.geojson");
  EXPECT_EQ(o.script, "s.txt");
  EXPECT_EQ(o.plugins, (std::vector<std::string>{"a.so", "b.so"}));
  EXPECT_EQ(o.configDir, "cfg");
  EXPECT_EQ(o.out, "o.geojson");
  EXPECT_EQ(o.svg, "o.svg");
  EXPECT_EQ(o.calls, "c.txt");
  EXPECT_TRUE(o.timings);
  EXPECT_FALSE(o.Interactive());
}

TEST(HostOptions, MapAndOutFormatsAreGdalDriverNames) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--map", "m.dat", "--map-format", "ESRI Shapefile", "--out", "o.x", "--out-format", "GPKG"}, &o,
                    &error))
      << error;
  EXPECT_EQ(o.mapFormat, "ESRI Shapefile");
  EXPECT_EQ(o.outFormat, "GPKG");
  EXPECT_FALSE(Parse({"--map", "m.gpkg", "--out-format"}, &o, &error));
  EXPECT_EQ(error, "option --out-format needs a value");
  ASSERT_TRUE(Parse({"--map", "m.gpkg"}, &o, &error)) << error;
  EXPECT_EQ(o.mapFormat, "");
  EXPECT_EQ(o.outFormat, "");
}

TEST(HostOptions, WithoutAScriptTheSessionIsInteractive) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--map", "m.geojson"}, &o, &error)) << error;
  EXPECT_TRUE(o.Interactive());
  ASSERT_TRUE(Parse({"--self-check"}, &o, &error)) << error;
  EXPECT_TRUE(o.selfCheck);
  EXPECT_FALSE(o.Interactive());
  ASSERT_TRUE(Parse({"-h"}, &o, &error)) << error;
  EXPECT_TRUE(o.help);
  EXPECT_FALSE(o.Interactive());
}

TEST(HostOptions, ACommandLineThatCannotRunSaysWhy) {
  HostOptions o;
  std::string error;
  EXPECT_FALSE(Parse({"--map", "m.geojson", "--fly"}, &o, &error));
  EXPECT_EQ(error, "unknown option '--fly'");
  EXPECT_FALSE(Parse({"--map"}, &o, &error));
  EXPECT_EQ(error, "option --map needs a value");
  EXPECT_FALSE(Parse({"--script", "s.txt"}, &o, &error));
  EXPECT_EQ(error, "--map is required");
}

TEST(HostOptions, TheMapNameIsTheFileNameWithoutItsFolders) {
  HostOptions o;
  o.map = "/data/sections/a-b.geojson";
  EXPECT_EQ(o.MapName(), "a-b.geojson");
  o.map = "plain.geojson";
  EXPECT_EQ(o.MapName(), "plain.geojson");
  o.map = "folder/";
  EXPECT_EQ(o.MapName(), "");
}

}  // namespace
}  // namespace sectionhost
