// Interactive sessions as a person has them: sectionhost runs without a script in a tmux
// terminal, the test types whole sessions with real keys (text, Enter, Escape, the cursor keys
// and Tab in the dialog) and checks the screen and the saved maps. With the test plug-in:
// loading several plug-ins (one refused with its missing exports), the menu, picks by id and by
// point, the dialog and message-box forms, an exception that the session survives, Escape on
// its own, quitting. With the stratum plug-in (when it is built): a stratum from two curves
// picked by point and id, the lexicon dialog driven by keys, deletion, undo back to the
// opened map and redo forward again (the saved files compared), and the question when
// quitting with changes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "TmuxTerminal.h"
#include "sectionhost/map/MapFormat.h"

namespace sectionhost {
namespace {

const char kMap[] = R"({"type": "FeatureCollection", "map": {"scale": 1000},
 "features": [
  {"type": "Feature", "id": 1, "properties": {"entityType": 2},
   "geometry": {"type": "LineString", "coordinates": [[0, 0], [10, 0]]}},
  {"type": "Feature", "id": 2, "properties": {"entityType": 3},
   "geometry": {"type": "LineString", "coordinates": [[0, 5], [5, 6], [10, 5]]}}
 ]})";

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string BinDir() {
  char buffer[4096] = {};
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string exe(buffer, n > 0 ? n : 0);
  return exe.substr(0, exe.rfind('/'));
}

class TerminalSession : public testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    bin_ = BinDir();
    dir_ = testing::TempDir() + "term-" + std::to_string(getpid()) + "/";
    ASSERT_EQ(std::system(("mkdir -p " + TmuxTerminal::Quote(dir_)).c_str()), 0);
  }
  // Waits until each text is on the screen once more than it was before `keys` were pressed,
  // so a step waits for what it brings about (a person reads the screen before typing on).
  void Step(const std::function<void()>& keys, const std::vector<std::string>& texts) {
    std::vector<int> before;
    for (const std::string& t : texts) before.push_back(term_.Count(t));
    keys();
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_TRUE(term_.WaitFor(texts[i], before[i] + 1))
          << "waiting for \"" << texts[i] << "\" (" << before[i] + 1 << ") on the screen:\n"
          << term_.Screen();
    }
  }
  void Line(const std::string& text, const std::vector<std::string>& expected) {
    Step(
        [&] {
          term_.Type(text);
          term_.Press({"Enter"});
        },
        expected);
  }
  void Keys(const std::vector<std::string>& keys, const std::vector<std::string>& expected) {
    Step([&] { term_.Press(keys); }, expected);
  }
  // Keys within a form, which is drawn again in place: waits until the texts are there.
  void Form(const std::vector<std::string>& keys, const std::vector<std::string>& expected) {
    term_.Press(keys);
    for (const std::string& text : expected) {
      EXPECT_TRUE(term_.WaitFor(text)) << "waiting for \"" << text << "\" in the form:\n" << term_.Screen();
    }
  }
  bool OnScreen(const std::string& text) { return term_.Count(text) > 0; }

  std::string bin_, dir_;
  TmuxTerminal term_;
};

TEST_F(TerminalSession, TestPluginSessionWithDialogMessageBoxExceptionAndEscape) {
  std::ofstream(dir_ + "map.geojson") << kMap;
  Step(
      [&] {
        ASSERT_TRUE(term_.Start("./sectionhost --map " + dir_ +
                                    "map.geojson --plugin ./libsectionhost_testplugin_missing.so"
                                    " --plugin ./libsectionhost_testplugin_full.so",
                                bin_));
      },
      {"sectionhost>"});
  // The plug-in without its exports is refused, naming them; the other one loads.
  EXPECT_TRUE(OnScreen("missing export GetBmp")) << term_.Screen();
  EXPECT_TRUE(OnScreen("missing export MouseStatus"));
  EXPECT_TRUE(OnScreen("1 command(s)"));

  Line("menu", {"测试(T) > 测试命令(T)    tst  [测试命令/tst]"});
  Line("help", {"within the pick distance, now 0.2 map units."});

  // Launch by name; one pick by point (nearest to (5, 0.1) is curve 1) and one by id.
  Line("tst", {"pick two entities", "tst pick>"});
  Line("list", {"     2  3 smooth curve       (0, 5) - (10, 6)", "tst pick>"});
  Line("5,0.1", {"(5, 0.1): entity 1", "picked: 1", "tst pick>"});
  Line("9,9", {"[error] no entity within 0.2 of (9, 9); nothing is picked", "tst pick>"});
  Line("2", {"picked: 1 2", "tst>"});

  // The dialog: button 3 connects, Down twice chooses the second row, Enter is OK.
  Line("dialog", {"┌─ 测试对话框", "│ 1 <确定>* 2 [取消] 3 [连接数据库]"});
  Form({"3"}, {"│ list: 2 rows"});
  Form({"Down"}, {"│ > 0: 甲"});
  Form({"Down"}, {"│ > 1: 乙"});
  Keys({"Enter"}, {"chosen: 乙", "[dialog] closed: OK", "tst>"});
  EXPECT_FALSE(OnScreen("┌─ 测试对话框")) << "the form is erased when it closes:\n" << term_.Screen();

  // Tab to Cancel, Space presses it; then the dialog again, Esc cancels.
  Line("dialog", {"┌─ 测试对话框"});
  Form({"Tab"}, {"2 <取消>"});
  Keys({"Space"}, {"dialog cancelled", "[dialog] closed: Cancel", "tst>"});
  Line("dialog", {"┌─ 测试对话框"});
  Keys({"Escape"}, {"dialog cancelled", "tst>"});

  // A message box: its caption, text and button; Enter answers.
  Line("msg", {"│ first line", "│ second line", "│ 1 <确定>*"});
  Keys({"Enter"}, {"[message box] answer: 确定", "message shown", "tst>"});

  // An exception out of the plug-in: shown, the command reset, the session goes on.
  Line("boom", {"[error] boom from the test plug-in", "sectionhost>"});
  Line("y", {"[error] unknown command 'y'", "sectionhost>"});

  // Escape alone cancels at once: no other key follows it.
  Line("tst", {"tst pick>"});
  Keys({"Escape"}, {"tst pick> [Esc]", "cancelled", "sectionhost>"});

  // Nothing changed the map: quit does not ask.
  Line("quit", {"[exit 0]"});
  EXPECT_FALSE(OnScreen("The map has unsaved changes")) << term_.Screen();
}

// `save` writes the --out file in the --out-format, any other name in the format of its
// extension (GDAL's formats where the host has GDAL).
TEST_F(TerminalSession, SaveWritesTheOutFormatOrTheFormatOfTheExtension) {
  if (!MapFormat::HaveGdal()) GTEST_SKIP() << "the host is built without GDAL";
  std::string map = std::string(KP_SOURCE_DIR) + "/examples/section.geojson";
  Step([&] { ASSERT_TRUE(term_.Start("./sectionhost --map " + map + " --out " + dir_ + "out.data --out-format GPKG", bin_)); },
       {"sectionhost>"});
  Line("save", {"saved " + dir_ + "out.data", "sectionhost>"});
  Line("save " + dir_ + "other.fgb", {"saved " + dir_ + "other.fgb", "sectionhost>"});
  Line("quit", {"[exit 0]"});
  for (auto [path, format] : {std::pair<std::string, std::string>{dir_ + "out.data", "GPKG"}, {dir_ + "other.fgb", ""}}) {
    MapData saved;
    std::string error;
    EXPECT_TRUE(MapFormat::Read(path, format, &saved, nullptr, &error)) << error;
    EXPECT_EQ(saved.entities.size(), 5u) << path;
  }
}

TEST_F(TerminalSession, StratumFromPickedCurvesUndoneToTheOpenedMap) {
  if (access((bin_ + "/libkpSect03StratumSel.so").c_str(), R_OK) != 0)
    GTEST_SKIP() << "the plug-in is not built";
  std::string examples = std::string(KP_SOURCE_DIR) + "/examples";
  ASSERT_EQ(std::system(("cp " + TmuxTerminal::Quote(examples + "/section.geojson") + " " +
                         TmuxTerminal::Quote(dir_ + "section.geojson"))
                            .c_str()),
            0);
  Step(
      [&] {
        ASSERT_TRUE(term_.Start("./sectionhost --map " + dir_ +
                                    "section.geojson --plugin ./libkpSect03StratumSel.so --config-dir " +
                                    examples + " --out " + dir_ + "before.geojson",
                                bin_));
      },
      {"sectionhost>"});
  Line("save", {"saved " + dir_ + "before.geojson", "sectionhost>"});

  Line("dsi", {"请选择用于生成剖面地层的两条曲线: [ESC退出]", "dsi pick>"});
  // The label 4 is not a curve: dropped, the command asks again. Then the top by a point on
  // its node (20, 55) and the bottom by id.
  Line("4", {"请选择用于生成剖面地层的两条曲线: [ESC退出]", "dsi pick>"});
  Line("20,55 2", {"(20, 55): entity 1", "┌─ 请选择地层名称"});
  // Tab twice to "连接数据库", Space presses it; Down, Page Down, then Down to row 15; Enter.
  Form({"Tab", "Tab"}, {"3 <连接数据库>"});
  Form({"Space"}, {"│   0: 第四系"});
  Form({"Down"}, {"│ > 0: 第四系"});
  Form({"PageDown"}, {"│ > 10: "});
  Form({"Down", "Down", "Down", "Down", "Down"}, {"│ > 15: 中侏罗统"});
  Keys({"Enter"}, {"**创建剖面地层成功**", "是否删除用于生成剖面地层的两条曲线？[是(Y)/否(N)] <Y>:", "dsi>"});
  // An empty line takes the remembered answer: delete.
  Keys({"Enter"}, {"删除了用于生成剖面地层的两条曲线", "sectionhost>"});
  Line("list", {"deleted  top of the sandstone", "deleted  bottom of the sandstone", "27 section stratum",
                "sectionhost>"});

  // Quitting with changes asks; "c" stays.
  Line("quit", {"The map has unsaved changes."});
  Line("c", {"sectionhost>"});
  Line("save " + dir_ + "after.geojson", {"saved " + dir_ + "after.geojson", "sectionhost>"});

  Line("undo", {"undone: 创建剖面地层实体", "sectionhost>"});
  Line("save " + dir_ + "undone.geojson", {"saved " + dir_ + "undone.geojson", "sectionhost>"});
  Line("redo", {"redone: 创建剖面地层实体", "sectionhost>"});
  Line("save " + dir_ + "redone.geojson", {"saved " + dir_ + "redone.geojson", "sectionhost>"});
  Line("redo", {"[error] there is nothing to redo", "sectionhost>"});
  Line("quit", {"[exit 0]"});

  std::string before = Read(dir_ + "before.geojson"), after = Read(dir_ + "after.geojson");
  EXPECT_NE(after.find("\"code\":\"J2\""), std::string::npos) << after;
  EXPECT_NE(after.find("\"deleted\":true"), std::string::npos) << after;
  EXPECT_NE(before, after);
  EXPECT_EQ(Read(dir_ + "undone.geojson"), before);
  EXPECT_EQ(Read(dir_ + "redone.geojson"), after);
}

}  // namespace
}  // namespace sectionhost
