// One run of the host (SessionRun), the part the batch and terminal front ends share, with the
// test plug-in: what stops a run from opening and the message it leaves, a plug-in that cannot
// load stopping the run or reported on the transcript, the call log, the configuration folder,
// and the results each kind of run writes at its end.
#include "sectionhost/session/SessionRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "host/kpBase.h"
#include "sectionhost/map/MapFile.h"

namespace sectionhost {
namespace {

const char kMap[] = R"({"type": "FeatureCollection", "map": {"scale": 1000},
 "features": [
  {"type": "Feature", "id": 1, "properties": {"entityType": 2},
   "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}}
 ]})";

class Run : public testing::Test {
 protected:
  // ctest runs test cases as parallel processes, so each gets a folder of its own.
  void SetUp() override {
    std::string pattern = testing::TempDir() + "run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
    std::ofstream(dir_ + "map.geojson", std::ios::binary) << kMap;
    options_.map = dir_ + "map.geojson";
    options_.plugins = {"./libsectionhost_testplugin_full.so"};
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  // Asks for the map (--out) and the picture (--svg) in `folder`, then opens a run.
  std::unique_ptr<SessionRun> OpenWithResults(const std::string& folder, SessionRun::PluginFailure failure) {
    options_.out = folder + "out.geojson";
    options_.svg = folder + "out.svg";
    auto run = std::make_unique<SessionRun>(options_, transcript_, err_);
    EXPECT_TRUE(run->Open(failure)) << err_.str();
    return run;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string dir_;
  HostOptions options_;
  std::ostringstream out_, err_;
  Transcript transcript_{out_};
};

TEST_F(Run, OpensTheMapAndLoadsThePlugins) {
  SessionRun run(options_, transcript_, err_);
  ASSERT_TRUE(run.Open(SessionRun::PluginFailure::Fatal)) << err_.str();
  EXPECT_EQ(run.Engine().CurrentMap().entities.size(), 1u);
  EXPECT_EQ(run.Engine().Plugins().size(), 1u);
  EXPECT_EQ(run.Finish(0, SessionRun::Results::MapAndPicture), 0);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(Run, WithoutAMapTheSessionStartsOnAnEmptyOne) {
  options_.map.clear();  // a front end that opens the map itself (sectionview)
  SessionRun run(options_, transcript_, err_);
  ASSERT_TRUE(run.Open(SessionRun::PluginFailure::Fatal)) << err_.str();
  EXPECT_TRUE(run.Engine().CurrentMap().entities.empty());
  EXPECT_NE(run.Engine().Map().Store(), 0u);  // a store the commands can work in
  EXPECT_EQ(run.Engine().Plugins().size(), 1u);
  EXPECT_EQ(run.Finish(0, SessionRun::Results::PictureOnly), 0);
}

TEST_F(Run, ACallLogThatCannotBeWrittenStopsTheRun) {
  options_.calls = dir_ + "no-such-folder/calls.txt";
  SessionRun run(options_, transcript_, err_);
  EXPECT_FALSE(run.Open(SessionRun::PluginFailure::Fatal));
  EXPECT_EQ(err_.str(), "sectionhost: cannot write " + options_.calls + "\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(Run, TheCallLogStartsEmptyAndGetsTheCallsOfTheRun) {
  options_.calls = dir_ + "calls.txt";
  std::ofstream(options_.calls) << "left from before\n";
  SessionRun run(options_, transcript_, err_);
  ASSERT_TRUE(run.Open(SessionRun::PluginFailure::Fatal)) << err_.str();
  std::string why;
  EXPECT_TRUE(run.Engine().Launch("tst", &why)) << why;
  EXPECT_EQ(run.Finish(0, SessionRun::Results::PictureOnly), 0);
  std::string calls = Read(options_.calls);
  EXPECT_EQ(calls.find("left from before"), std::string::npos) << calls;
  EXPECT_NE(calls.find("BeginPick VOIntArray"), std::string::npos) << calls;
}

TEST_F(Run, AMapThatCannotBeReadStopsTheRun) {
  options_.map = dir_ + "missing.geojson";
  SessionRun run(options_, transcript_, err_);
  EXPECT_FALSE(run.Open(SessionRun::PluginFailure::Reported));
  EXPECT_EQ(err_.str().rfind("sectionhost: cannot read the map: ", 0), 0u) << err_.str();
  EXPECT_NE(err_.str().find(options_.map), std::string::npos) << err_.str();
}

TEST_F(Run, APluginThatCannotLoadStopsARunThatNeedsIt) {
  options_.plugins = {"./libsectionhost_testplugin_missing.so"};
  SessionRun run(options_, transcript_, err_);
  EXPECT_FALSE(run.Open(SessionRun::PluginFailure::Fatal));
  EXPECT_NE(err_.str().find("sectionhost: "), std::string::npos);
  EXPECT_NE(err_.str().find("missing export MouseStatus"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("missing export GetBmp"), std::string::npos) << err_.str();
  EXPECT_EQ(out_.str(), "");
}

TEST_F(Run, APluginThatCannotLoadIsReportedAndLeftOut) {
  options_.plugins = {"./libsectionhost_testplugin_missing.so", "./libsectionhost_testplugin_full.so"};
  SessionRun run(options_, transcript_, err_);
  ASSERT_TRUE(run.Open(SessionRun::PluginFailure::Reported)) << err_.str();
  EXPECT_EQ(run.Engine().Plugins().size(), 1u);
  EXPECT_EQ(err_.str(), "");
  std::string t = out_.str();
  EXPECT_NE(t.find("[error] "), std::string::npos) << t;
  EXPECT_NE(t.find("missing export MouseStatus"), std::string::npos) << t;
  EXPECT_NE(t.find("[error] the plug-in ./libsectionhost_testplugin_missing.so is not loaded\n"),
            std::string::npos)
      << t;
}

TEST_F(Run, TheConfigurationFolderIsTheOneGiven) {
  options_.configDir = dir_ + "config";
  SessionRun run(options_, transcript_, err_);
  ASSERT_TRUE(run.Open(SessionRun::PluginFailure::Fatal)) << err_.str();
  CString folder;
  GetConfigDirectory(folder);
  EXPECT_EQ(std::string(static_cast<LPCTSTR>(folder)), dir_ + "config/");
  run.Finish(0, SessionRun::Results::PictureOnly);
}

TEST_F(Run, ARunOfAScriptWritesTheMapAndThePicture) {
  auto run = OpenWithResults(dir_, SessionRun::PluginFailure::Fatal);
  EXPECT_EQ(run->Finish(3, SessionRun::Results::MapAndPicture), 3);
  MapData out;
  std::string error;
  ASSERT_TRUE(MapFile::Read(options_.out, &out, &error)) << error;
  EXPECT_EQ(out.entities.size(), 1u);
  // The picture is titled with the map file's name.
  EXPECT_NE(Read(options_.svg).find("map.geojson"), std::string::npos);
  EXPECT_EQ(Read(options_.svg).find(dir_), std::string::npos);
}

// --timings: one line per phase and the peak memory, after the results.
TEST_F(Run, TimingsNameEachPhaseAndThePeakMemory) {
  options_.timings = true;
  auto run = OpenWithResults(dir_, SessionRun::PluginFailure::Fatal);
  EXPECT_EQ(run->Finish(0, SessionRun::Results::MapAndPicture), 0);
  std::istringstream lines(err_.str());
  std::vector<std::string> phases;
  std::string word, phase;
  double value = -1;
  while (lines >> word >> phase >> value) {
    EXPECT_EQ(word, "timing");
    EXPECT_GE(value, 0.0) << phase;
    phases.push_back(phase);
  }
  EXPECT_EQ(phases, (std::vector<std::string>{"read-map", "run", "write-map", "write-picture", "peak-memory-mb"}));
  EXPECT_GT(value, 1.0);  // megabytes
}

TEST_F(Run, AnInteractiveRunWritesOnlyThePicture) {
  auto run = OpenWithResults(dir_, SessionRun::PluginFailure::Reported);
  EXPECT_EQ(run->Finish(0, SessionRun::Results::PictureOnly), 0);
  EXPECT_FALSE(std::filesystem::exists(options_.out));
  EXPECT_TRUE(std::filesystem::exists(options_.svg));
}

TEST_F(Run, ResultsThatCannotBeWrittenAreReportedAndTheStatusIsTwo) {
  auto run = OpenWithResults(dir_ + "no-such-folder/", SessionRun::PluginFailure::Fatal);
  EXPECT_EQ(run->Finish(3, SessionRun::Results::MapAndPicture), 2);
  std::string e = err_.str();
  size_t map = e.find("out.geojson"), picture = e.find("out.svg");
  EXPECT_NE(map, std::string::npos) << e;
  EXPECT_NE(picture, std::string::npos) << e;
  EXPECT_LT(map, picture) << e;
  EXPECT_EQ(e.rfind("sectionhost: ", 0), 0u) << e;
}

}  // namespace
}  // namespace sectionhost
