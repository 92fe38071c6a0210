// The plug-in in process under conditions a map file or a script cannot set up: scales that are
// not finite numbers, a null command-line text at the delete question, and a host whose
// VOIntArray class cannot be created. In every case no C++ exception leaves an export (the
// session's guard would report it), and a failed creation leaves the map as it was.
//
// Compiled with GBK narrow literals, as the module's texts are; the transcript is UTF-8.
#include <gtest/gtest.h>
#include <kp/kpdesktop.h>
#include <winnls.h>

#include <afxwin.h>
#include <cmath>
#include <limits>
#include <sstream>

#include "HostSession.h"
#include "sectionhost/automation/IntArrayObject.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/session/Session.h"
#include "host/kpBase.h"

namespace stratumtest {
namespace {

constexpr LONG kStatus = 1001;
constexpr LONG kAskDelete = 0x7FFFFFFF;
const char kBuildFailedText[] = "**创建剖面地层失败**";
const char kBuiltText[] = "**创建剖面地层成功**";
const char kUnrecognisedText[] = "不能识别的命令";

// A session of the host engine with the plug-in loaded, on kSectionMap changed by `edit`.
class Fault : public testing::Test {
 protected:
  void Open(const std::function<void(sectionhost::MapData&)>& edit = {}) {
    session_ = std::make_unique<sectionhost::Session>(transcript_);
    std::string error;
    ASSERT_TRUE(session_->Start(&error)) << error;
    sectionhost::MapData map;
    ASSERT_TRUE(sectionhost::MapFile::Parse(kSectionMap, &map, &error)) << error;
    if (edit) edit(map);
    ASSERT_TRUE(session_->LoadMap(map, &error)) << error;
    KpBaseSetConfigDirectory(folder_.Dir().c_str());
    std::vector<std::string> errors;
    ASSERT_TRUE(session_->LoadPlugin(HostSession::BinDir() + "libkpSect03StratumSel.so", &errors));
  }
  void TearDown() override { session_.reset(); }

  bool Shown(const char* gbk) const { return out_.str().find(kp::GbkToUtf8(gbk)) != std::string::npos; }
  size_t Strata() const {
    size_t n = 0;
    for (const auto& e : session_->CurrentMap().entities) n += e.type == 27 ? 1 : 0;
    return n;
  }
  bool Deleted(int32_t id) const {
    for (const auto& e : session_->CurrentMap().entities)
      if (e.id == id) return e.deleted;
    return false;
  }

  HostSession folder_;
  kp::ScriptedDesktop desktop_;  // dialogs close as cancel
  kp::DesktopScope scope_{&desktop_};
  std::ostringstream out_;
  sectionhost::Transcript transcript_{out_};
  std::unique_ptr<sectionhost::Session> session_;
};

// Scales that are not a positive finite number make the creation fail before anything is
// inserted: the failure text, the curves unmarked and kept, the command ended.
struct ScaleCase {
  const char* name;
  double mapScale;  // -1.0: take the current item's
  double scaleUnit;
  double itemScale;
};

class NonFiniteScale : public Fault, public testing::WithParamInterface<ScaleCase> {};

TEST_P(NonFiniteScale, FailsTheCreationAndLeavesTheMap) {
  const ScaleCase& c = GetParam();
  Open([&](sectionhost::MapData& map) {
    map.hasScale = true;
    map.scale = c.mapScale;
    map.scaleUnit = c.scaleUnit;
    map.itemScales = {c.itemScale};
    map.currentItem = 0;
  });
  std::string why;
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  ASSERT_TRUE(session_->Pick({1, 2}, &why)) << why;
  EXPECT_FALSE(session_->ExceptionSeen()) << out_.str();
  EXPECT_TRUE(Shown(kBuildFailedText)) << out_.str();
  EXPECT_FALSE(Shown(kBuiltText));
  EXPECT_EQ(Strata(), 0u);
  EXPECT_EQ(session_->CurrentMap().entities.size(), 5u);
  EXPECT_FALSE(session_->Control()->Modified());
  EXPECT_TRUE(session_->Control()->Highlighted().empty());
  EXPECT_EQ(session_->Control()->CommandCode(), 0);
  EXPECT_FALSE(Deleted(1));
  EXPECT_FALSE(Deleted(2));
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kMax = std::numeric_limits<double>::max();

INSTANTIATE_TEST_SUITE_P(
    Scale, NonFiniteScale,
    testing::Values(ScaleCase{"MapNaN", kNaN, 2, 1000}, ScaleCase{"MapInfinite", kInf, 2, 1000},
                    ScaleCase{"MapMinusInfinite", -kInf, 2, 1000}, ScaleCase{"UnitNaN", 5000, kNaN, 1000},
                    ScaleCase{"UnitInfinite", 5000, kInf, 1000}, ScaleCase{"ItemNaN", -1, 2, kNaN},
                    ScaleCase{"ItemInfinite", -1, 2, kInf},
                    // The largest double over a small unit overflows to infinity.
                    ScaleCase{"OverflowsToInfinity", kMax, 1e-3, 1000},
                    ScaleCase{"ItemOverflowsToInfinity", -1, 0.5, kMax}),
    [](const testing::TestParamInfo<ScaleCase>& info) { return info.param.name; });

TEST_F(Fault, TheLargestFiniteScaleStands) {
  Open([](sectionhost::MapData& map) {
    map.hasScale = true;
    map.scale = kMax;
    map.scaleUnit = 1.0;
  });
  std::string why;
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  ASSERT_TRUE(session_->Pick({1, 2}, &why)) << why;
  ASSERT_EQ(Strata(), 1u) << out_.str();
  for (const auto& e : session_->CurrentMap().entities) {
    if (e.type == 27) {
      EXPECT_EQ(e.scale, kMax / 1.0 / 1000.0);
    }
  }
}

// A null text where the delete question waits is not an empty line (which would delete by
// default): it is unrecognised, and the question stays open.
TEST_F(Fault, ANullTextAtTheDeleteQuestionIsUnrecognised) {
  Open();
  std::string why;
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  ASSERT_TRUE(session_->Pick({1, 2}, &why)) << why;
  ASSERT_EQ(session_->Control()->CommandStep(), kAskDelete) << out_.str();
  const auto& exports = session_->Plugins().front()->Exports();
  CString reply;
  exports.MouseStatus(21, 0, reinterpret_cast<LPARAM>(&reply));
  EXPECT_STREQ(static_cast<LPCTSTR>(reply), kUnrecognisedText);
  EXPECT_EQ(session_->Control()->CommandCode(), kStatus);
  EXPECT_EQ(session_->Control()->CommandStep(), kAskDelete);
  EXPECT_FALSE(Deleted(1));
  EXPECT_FALSE(Deleted(2));
  // While picking, too.
  ASSERT_TRUE(session_->Text("n", &why));
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  CString picking;
  exports.MouseStatus(21, 0, reinterpret_cast<LPARAM>(&picking));
  EXPECT_STREQ(static_cast<LPCTSTR>(picking), kUnrecognisedText);
  EXPECT_FALSE(session_->ExceptionSeen());
}

// The pick list cannot be created (the host has no VOIntArray class): no exception leaves the
// launch, the command ends, the map is unchanged; once the class is back, the command works.
TEST_F(Fault, APickListThatCannotBeCreatedEndsTheCommand) {
  Open();
  ASSERT_EQ(sectionhost::IntArrayObject::Revoke(), S_OK);
  std::string why;
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  EXPECT_FALSE(session_->ExceptionSeen()) << out_.str();
  EXPECT_EQ(session_->Control()->CommandCode(), 0);
  EXPECT_EQ(session_->Control()->CommandStep(), 0);
  EXPECT_EQ(session_->CurrentMap().entities.size(), 5u);
  EXPECT_FALSE(session_->Control()->Modified());

  ASSERT_EQ(sectionhost::IntArrayObject::Register(), S_OK);
  ASSERT_TRUE(session_->Launch("dsi", &why)) << why;
  ASSERT_TRUE(session_->Pick({1, 2}, &why)) << why;
  EXPECT_EQ(Strata(), 1u) << out_.str();
  EXPECT_FALSE(session_->ExceptionSeen()) << out_.str();
}

}  // namespace
}  // namespace stratumtest
