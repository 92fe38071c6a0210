// The batch front end with the test plug-in: transcript lines (echo, comments, CR handling,
// replies, message boxes, the dialog), errors that let the script go on, exit codes 0, 2 and 3,
// the call log, and the map written back.
#include "sectionhost/script/BatchRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildWatchdog.h"
#include "sectionhost/map/MapFile.h"

namespace sectionhost {
namespace {

const char kMap[] = R"({"type": "FeatureCollection", "map": {"scale": 1000},
 "features": [
  {"type": "Feature", "id": 1, "properties": {"entityType": 2},
   "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}},
  {"type": "Feature", "id": 2, "properties": {"entityType": 3},
   "geometry": {"type": "LineString", "coordinates": [[0, 5], [5, 6], [10, 5]]}}
 ]})";

class Batch : public testing::Test {
 protected:
  // ctest runs test cases as parallel processes, so each gets a folder of its own.
  void SetUp() override {
    std::string pattern = testing::TempDir() + "batch-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
    Write(dir_ + "map.geojson", kMap);
    options_.map = dir_ + "map.geojson";
    options_.script = dir_ + "script.txt";
    options_.plugins = {"./libsectionhost_testplugin_full.so"};
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  static void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  int Run(const std::string& script) {
    Write(options_.script, script);
    out_.str("");
    err_.str("");
    return BatchRunner::Run(options_, out_, err_);
  }

  std::string dir_;
  HostOptions options_;
  std::ostringstream out_, err_;
};

TEST_F(Batch, EchoesRunLinesAndSkipsCommentsAndEmptyLines) {
  EXPECT_EQ(Run("# a comment\r\n\r\nlaunch tst\r\ntext hello\r\n\ntext\n"), 0);
  EXPECT_EQ(out_.str(),
            "> launch tst\n**测试命令<测试命令/tst>**\npick two entities\n"
            "> text hello\necho: hello\n> text\necho: \n");
}

TEST_F(Batch, PicksGoToThePickInProgressAndLinesThatCannotRunSaySo) {
  EXPECT_EQ(Run("pick 1\nlaunch tst\npick 1\npick 2 2\npick 1\ndialog ok\nlaunch nothing\n"), 0);
  EXPECT_EQ(out_.str(),
            "> pick 1\n[error] no pick is in progress\n"
            "> launch tst\n**测试命令<测试命令/tst>**\npick two entities\n"
            "> pick 1\npicked: 1\n"
            "> pick 2 2\npicked: 1 2 2\n"
            "> pick 1\n[error] no pick is in progress\n"
            "> dialog ok\n[error] no dialog is open\n"
            "> launch nothing\n[error] no command is named 'nothing'\n");
}

TEST_F(Batch, ExceptionsArePrintedTheStateResetAndTheExitStatusIsThree) {
  options_.calls = dir_ + "calls.txt";
  EXPECT_EQ(Run("launch tst\ntext boom\ntext ole\nlaunch tst\n"), 3);
  std::string t = out_.str();
  EXPECT_NE(t.find("> text boom\n[error] boom from the test plug-in\n"), std::string::npos) << t;
  // After the reset no command is current, so the next text is ignored by the command.
  EXPECT_NE(t.find("> text ole\n> launch tst\n**测试命令"), std::string::npos) << t;
  std::string calls = Read(options_.calls);
  EXPECT_NE(calls.find("SetCommandState 1001 0\n"), std::string::npos) << calls;
  EXPECT_NE(calls.find("BeginPick VOIntArray 0 1 63 null\n"), std::string::npos) << calls;
}

TEST_F(Batch, OleDispatchExceptionsPrintTheirDescription) {
  EXPECT_EQ(Run("launch tst\ntext ole\n"), 3);
  EXPECT_NE(out_.str().find("[error] ole failure from the test plug-in\n"), std::string::npos) << out_.str();
}

TEST_F(Batch, MessageBoxesAndTheDialogAreTranscribed) {
  EXPECT_EQ(Run("launch tst\ntext msg\ntext dialog\npick 1\ndialog connect\ndialog select 1\ndialog ok\n"
                "text dialog\n"),
            0);
  std::string t = out_.str();
  EXPECT_NE(t.find("> text msg\n[message box] TestPlugin: first line\\nsecond\\tline\nmessage shown\n"),
            std::string::npos)
      << t;
  EXPECT_NE(t.find("> text dialog\n[dialog] 测试对话框\n> pick 1\n[error] the dialog \"测试对话框\" is open; "
                   "this line "
                   "cannot run now\n> dialog connect\n[dialog] connect\n[dialog] 0: 甲\n[dialog] 1: 乙\n"
                   "> dialog select 1\n[dialog] select 1\n> dialog ok\n[dialog] ok\n[dialog] closed: OK\n"
                   "chosen: 乙\n"),
            std::string::npos)
      << t;
  // The script ends with the dialog open: it closes as Esc.
  EXPECT_NE(
      t.find("> text dialog\n[dialog] 测试对话框\n[dialog] esc\n[dialog] closed: Cancel\ndialog cancelled\n"),
      std::string::npos)
      << t;
}

TEST_F(Batch, MalformedLinesUnreadableMapsAndPluginsExitTwo) {
  EXPECT_EQ(Run("launch tst\nfly away\n"), 2);
  EXPECT_EQ(out_.str(), "");  // nothing ran
  EXPECT_NE(err_.str().find("line 2: unknown command 'fly'"), std::string::npos) << err_.str();
  options_.map = dir_ + "missing.geojson";
  EXPECT_EQ(Run("launch tst\n"), 2);
  options_.map = dir_ + "map.geojson";
  options_.plugins = {"./libsectionhost_testplugin_missing.so"};
  EXPECT_EQ(Run("launch tst\n"), 2);
  EXPECT_NE(err_.str().find("missing export MouseStatus"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("missing export GetBmp"), std::string::npos) << err_.str();
}

TEST_F(Batch, GateAndStateLinesChangeWhatTheCommandSees) {
  EXPECT_EQ(Run("gate closed\nlaunch tst\ngate blocked 1001\nlaunch tst\ngate open\nstate 7 0\nlaunch tst\n"
                "state 1001 0\nkey esc\n"),
            0);
  EXPECT_EQ(
      out_.str(),
      "> gate closed\n> launch tst\n> gate blocked 1001\n> launch tst\n> gate open\n> state 7 0\n"
      "> launch tst\n**测试命令<测试命令/tst>**\npick two entities\n> state 1001 0\n> key esc\ncancelled\n");
}

TEST_F(Batch, WritesTheMapAndThePicture) {
  options_.out = dir_ + "out.geojson";
  options_.svg = dir_ + "out.svg";
  EXPECT_EQ(Run("launch tst\npick 1 2\n"), 0);
  MapData in, out;
  std::string error;
  ASSERT_TRUE(MapFile::Parse(kMap, &in, &error));
  ASSERT_TRUE(MapFile::Read(options_.out, &out, &error)) << error;
  ASSERT_EQ(out.entities.size(), 2u);
  EXPECT_EQ(out.entities[0].id, 1);
  EXPECT_EQ(out.entities[1].id, 2);
  EXPECT_EQ(out.MapScale(), 1000.0);
  EXPECT_NE(Read(options_.svg).find("<polyline"), std::string::npos);
}

}  // namespace
}  // namespace sectionhost

namespace sectionhost {
namespace {

TEST_F(Batch, ALongStratumCodeIsReportedAndWrittenWhole) {
  Write(options_.map, R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "id": 7, "properties": {"entityType": 27, "code": "中侏罗统下部砂岩段第三层位灰色细砂",
     "samples": [[0, 0, 0, 1, 0, 0, 1], [1, 0, 0, 1, 0, 0, 1]]}}]})");
  options_.out = dir_ + "out.geojson";
  EXPECT_EQ(Run("text hi\n"), 0);
  EXPECT_EQ(out_.str(),
            "[warning] entity 7: the stratum code \"中侏罗统下部砂岩段第三层位灰色细砂\" does not fit the "
            "kernel's 31 bytes; the kernel holds \"中侏罗统下部砂岩段第三层位灰色\", the map keeps the whole "
            "code\n> text hi\n");
  MapData out;
  std::string error;
  ASSERT_TRUE(MapFile::Read(options_.out, &out, &error)) << error;
  EXPECT_EQ(out.entities[0].code, "中侏罗统下部砂岩段第三层位灰色细砂");
}

TEST_F(Batch, ADeeplyNestedMapExitsTwoNamingTheFileAndThePlace) {
  std::string deep(60000, '[');
  Write(options_.map, R"({"type": "FeatureCollection", "features": [], "x": )" + deep + "]}");
  options_.svg = dir_ + "out.svg";
  auto outcome = testing_support::RunInChild(
      [&] {
        if (Run("launch tst\n") != 2) return 1;
        if (!out_.str().empty()) return 2;
        return err_.str() == "sectionhost: cannot read the map: " + options_.map +
                                 ": line 1, column 307: arrays and objects nest deeper than 256 levels\n"
                   ? 0
                   : 3;
      },
      std::chrono::seconds(60));
  EXPECT_TRUE(outcome.finished && outcome.exited && outcome.exitCode == 0)
      << outcome.Describe() << " (1: another exit status, 2: a transcript, 3: another message)";
  EXPECT_FALSE(std::filesystem::exists(options_.svg));
}

TEST_F(Batch, APictureOfExtremeCoordinatesFinishes) {
  Write(options_.map, R"({"type": "FeatureCollection", "features": [{"type": "Feature", "id": 1,
    "properties": {"entityType": 2}, "geometry": {"type": "LineString", "coordinates": [[1e300, 1e300], [1e300, 1e300]]}}]})");
  options_.svg = dir_ + "out.svg";
  auto outcome = testing_support::RunInChild([&] { return Run("text hi\n"); }, std::chrono::seconds(60));
  EXPECT_TRUE(outcome.finished && outcome.exited && outcome.exitCode == 0) << outcome.Describe();
  EXPECT_NE(Read(options_.svg).find("<polyline"), std::string::npos);
}

TEST_F(Batch, EventsWithoutAPluginCannotRun) {
  options_.plugins.clear();
  EXPECT_EQ(Run("text hi\nkey esc\nlaunch tst\n"), 0);
  EXPECT_EQ(out_.str(),
            "> text hi\n[error] no plug-in is loaded\n> key esc\n[error] no plug-in is loaded\n"
            "> launch tst\n[error] no command is named 'tst'\n");
}

}  // namespace
}  // namespace sectionhost
