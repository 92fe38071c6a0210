// The pieces of the terminal front end on their own: pick lines, picking by a point (segment
// distances with the degenerate cases, bands, deleted entities, ties), keys decoded from bytes
// (a lone Escape reported within its wait, cursor-key sequences, UTF-8) and the form's layout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "sectionhost/terminal/KeyReader.h"
#include "sectionhost/map/PointPicker.h"
#include "sectionhost/terminal/TerminalDesktop.h"
#include "sectionhost/terminal/TerminalForm.h"
#include "sectionhost/terminal/TerminalRunner.h"

namespace sectionhost {
namespace {

constexpr double kTolerance = 1e-9;

// --- pick lines -------------------------------------------------------------------------------

struct PickLineCase {
  const char* line;
  bool ok;
  const char* items;  // "i1 p(2,3)" for the items parsed
};

class PickLine : public testing::TestWithParam<PickLineCase> {};

std::string Describe(const std::vector<TerminalRunner::PickItem>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += " ";
    if (item.isPoint) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "p(%g,%g)", item.x, item.y);
      out += buffer;
    } else {
      out += "i" + std::to_string(item.id);
    }
  }
  return out;
}

TEST_P(PickLine, IdsAndPointsSeparatedByBlanks) {
  std::vector<TerminalRunner::PickItem> items;
  std::string why;
  EXPECT_EQ(TerminalRunner::ParsePickLine(GetParam().line, &items, &why), GetParam().ok) << why;
  if (GetParam().ok) {
    EXPECT_EQ(Describe(items), GetParam().items);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PickLine,
    testing::Values(PickLineCase{"1 2", true, "i1 i2"}, PickLineCase{"  7  ", true, "i7"},
                    PickLineCase{"2 2", true, "i2 i2"}, PickLineCase{"20,55 2", true, "p(20,55) i2"},
                    PickLineCase{"-1.5,3e1", true, "p(-1.5,30)"}, PickLineCase{"", false, ""},
                    PickLineCase{"y", false, ""}, PickLineCase{"1 y", false, ""},
                    PickLineCase{"-3", false, ""}, PickLineCase{"1,", false, ""},
                    PickLineCase{",2", false, ""}, PickLineCase{"1,2,3", false, ""},
                    PickLineCase{"99999999999", false, ""}));

// --- picking by a point -----------------------------------------------------------------------

MapEntity Curve(int32_t id, std::vector<Point3D> points, int type = EntityPolyline) {
  MapEntity e;
  e.id = id;
  e.type = type;
  e.nodes = points;
  e.linePoints = points;
  return e;
}

TEST(PointPicker, SegmentDistanceProjectsAndClampsToTheEnds) {
  Point3D a{0, 0, 0}, b{10, 0, 0};
  EXPECT_NEAR(PointPicker::SegmentDistance(5, 3, a, b), 3.0, kTolerance);   // above the middle
  EXPECT_NEAR(PointPicker::SegmentDistance(-3, 4, a, b), 5.0, kTolerance);  // beyond a
  EXPECT_NEAR(PointPicker::SegmentDistance(10, 0, a, b), 0.0, kTolerance);  // on a vertex
  EXPECT_NEAR(PointPicker::SegmentDistance(3, 4, a, a), 5.0, kTolerance);   // degenerate segment
  Point3D c{2, -1, 0}, d{2, 9, 0};
  EXPECT_NEAR(PointPicker::SegmentDistance(5, 20, c, d), std::hypot(3, 11), kTolerance);  // vertical
}

TEST(PointPicker, NearestWithinTheDistanceSkipsDeletedEntitiesAndPrefersMapOrderOnTies) {
  MapData map;
  map.entities.push_back(Curve(1, {{0, 0, 0}, {10, 0, 0}}));
  map.entities.push_back(Curve(2, {{0, 0, 0}, {10, 0, 0}}));  // the same line: a tie
  map.entities.push_back(Curve(3, {{0, 5, 0}, {10, 5, 0}}));
  EXPECT_EQ(PointPicker::Nearest(map, 5, 1, 2.0), 1);
  EXPECT_EQ(PointPicker::Nearest(map, 5, 4, 2.0), 3);
  EXPECT_EQ(PointPicker::Nearest(map, 5, 2.5, 2.0), 0);  // 2.5 from both lines
  map.entities[0].deleted = true;
  EXPECT_EQ(PointPicker::Nearest(map, 5, 1, 2.0), 2);
  EXPECT_EQ(PointPicker::Nearest(map, std::nan(""), 1, 2.0), 0);
}

TEST(PointPicker, StrataAreBandsAndOtherEntitiesTheirGeometry) {
  MapEntity stratum;
  stratum.id = 9;
  stratum.type = EntitySectionStratum;
  StratumSample s1, s2;
  s1.point = {0, 0, 0}, s1.thickness = 4;
  s2.point = {10, 0, 0}, s2.thickness = 4;
  stratum.samples = {s1, s2};
  EXPECT_NEAR(PointPicker::Distance(stratum, 5, 2), 0.0, kTolerance);  // inside the band
  EXPECT_NEAR(PointPicker::Distance(stratum, 5, 7), 3.0, kTolerance);  // above its top
  Extent extent = PointPicker::ExtentOf(stratum);
  EXPECT_FALSE(extent.empty);
  EXPECT_EQ(extent.maxY, 4.0);

  MapEntity label;
  label.id = 4;
  label.type = 40;
  label.geometry = nlohmann::ordered_json::parse(R"({"type": "Point", "coordinates": [8, 47]})");
  EXPECT_NEAR(PointPicker::Distance(label, 8, 50), 3.0, kTolerance);
  MapEntity bare;
  bare.type = 41;
  EXPECT_TRUE(std::isinf(PointPicker::Distance(bare, 0, 0)));
  EXPECT_TRUE(PointPicker::ExtentOf(bare).empty);
}

TEST(PointPicker, DefaultDistanceIsAShareOfTheLargerSide) {
  MapData map;
  map.entities.push_back(Curve(1, {{0, 19, 0}, {100, 58, 0}}));
  EXPECT_NEAR(PointPicker::DefaultPickDistance(map), 2.0, kTolerance);
  EXPECT_NEAR(PointPicker::DefaultPickDistance(MapData()), 1.0, kTolerance);
}

// --- keys -------------------------------------------------------------------------------------

class Keys : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(pipe(fds_), 0); }
  void TearDown() override {
    close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(fds_[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  int fds_[2] = {-1, -1};
};

TEST_F(Keys, ALoneEscapeIsReportedAfterItsWaitWithoutAnotherKey) {
  KeyReader keys(fds_[0]);
  Send("\x1b");
  auto start = std::chrono::steady_clock::now();
  Key key = keys.ReadKey();
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(key.kind, Key::Escape);
  EXPECT_GE(waited, std::chrono::milliseconds(KeyReader::kEscapeWaitMs - 5));
  EXPECT_LT(waited, std::chrono::milliseconds(KeyReader::kEscapeWaitMs * 5));
}

TEST_F(Keys, SequencesAreWholeKeys) {
  KeyReader keys(fds_[0]);
  Send("\x1b[A\x1b[B\x1bOC\x1b[D\x1b[5~\x1b[6~\x1b[H\x1b[4~\x1b[Z\x1b[3~\t\r\x7f");
  std::vector<Key::Kind> expected = {Key::Up,       Key::Down,  Key::Right,    Key::Left,    Key::PageUp,
                                     Key::PageDown, Key::Home,  Key::End,      Key::BackTab, Key::Delete,
                                     Key::Tab,      Key::Enter, Key::Backspace};
  for (Key::Kind kind : expected) EXPECT_EQ(keys.ReadKey().kind, kind);
}

TEST_F(Keys, Utf8CharactersAndTheEndOfInput) {
  KeyReader keys(fds_[0]);
  Send("a中\xff");
  close(fds_[1]);
  fds_[1] = -1;
  Key a = keys.ReadKey();
  EXPECT_EQ(a.kind, Key::Char);
  EXPECT_EQ(a.ch, U'a');
  EXPECT_EQ(keys.ReadKey().ch, U'中');
  EXPECT_EQ(keys.ReadKey().ch, char32_t(0xFFFD));
  EXPECT_EQ(keys.ReadKey().kind, Key::EndOfInput);
  std::string text;
  AppendUtf8(&text, U'中');
  AppendUtf8(&text, U'é');
  EXPECT_EQ(text, "中é");
}

// --- the form ---------------------------------------------------------------------------------

TEST(TerminalForm, DialogLinesShowButtonsFocusDefaultAndAWindowOfRows) {
  FormView view;
  view.caption = "请选择地层名称";
  view.buttons = {{"确定", 1, true, true}, {"取消", 2, false, true}, {"连接数据库", 12000, false, false}};
  view.focus = 1;
  view.hasList = true;
  for (int i = 0; i < 10; ++i) view.rows.push_back("row" + std::to_string(i));
  view.current = 5;
  view.hint = "keys";
  std::vector<std::string> lines = TerminalForm::Lines(view, 3);
  std::vector<std::string> expected = {"┌─ 请选择地层名称",
                                       "│ 1 [确定]* 2 <取消> 3 [(连接数据库)]",
                                       "│ list: 10 rows",
                                       "│   ↑ 4 more",
                                       "│   4: row4",
                                       "│ > 5: row5",
                                       "│   6: row6",
                                       "│   ↓ 3 more",
                                       "└─ keys"};
  EXPECT_EQ(lines, expected);
}

TEST(TerminalForm, MessageBoxButtonsFollowTheType) {
  auto ids = [](UINT type) {
    std::vector<int> out;
    for (const FormButton& b : TerminalDesktop::MessageBoxButtons(type)) out.push_back(b.id);
    return out;
  };
  EXPECT_EQ(ids(MB_OK), std::vector<int>({IDOK}));
  EXPECT_EQ(ids(MB_YESNO | MB_ICONQUESTION), std::vector<int>({IDYES, IDNO}));
  EXPECT_EQ(ids(MB_YESNOCANCEL), std::vector<int>({IDYES, IDNO, IDCANCEL}));
  EXPECT_EQ(ids(MB_ABORTRETRYIGNORE), std::vector<int>({IDABORT, IDRETRY, IDIGNORE}));
  EXPECT_EQ(ids(MB_CANCELTRYCONTINUE), std::vector<int>({IDCANCEL, IDTRYAGAIN, IDCONTINUE}));
}

TEST(TerminalForm, DisplayWidthCountsWideCharactersTwice) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  EXPECT_EQ(TerminalForm::DisplayWidth("ab"), 2);
  EXPECT_EQ(TerminalForm::DisplayWidth("中文a"), 5);
  std::setlocale(LC_CTYPE, "C");
}

}  // namespace
}  // namespace sectionhost
