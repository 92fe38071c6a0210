// sectionview under a real X server (xvfb-run, Debian xvfb) driven by real input events: the
// pointer moved and its button pressed, keys typed, all through the X server by xdotool
// (Debian xdotool), so the events take the way a person's do (the server, Qt's xcb platform,
// focus and grabs) instead of being handed to the widgets. The session is the sample's: the
// command typed into the command line, the two curves clicked, the lexicon connected, row 15
// clicked, Enter for the dialog's default button, "y" typed for the delete question; the map
// saved must be the batch demo's.
//
// Run by CTest as `xvfb-run -a test_sectionview_x11` with QT_QPA_PLATFORM=xcb; elsewhere (no
// display, another platform, no xdotool) the test is skipped with the reason.
#include <winuser.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <unistd.h>

#include <cstdlib>

#include "UiScript.h"
#include "WindowFixture.h"
#include "sectionhost/desktop/CommandDock.h"
#include "sectionhost/desktop/MapView.h"
#include "sectionhost/desktop/QtDesktop.h"
#include "sectionhost/desktop/TemplateDialog.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/session/Session.h"

namespace sectionhost {
namespace {

using testing_support::UiScript;
using testing_support::WaitUntil;

constexpr int kConnect = 12000, kNames = 12001, kMiddleJurassic = 15;

void Xdotool(const std::string& arguments) {
  std::string command = "xdotool " + arguments;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A real click at the centre of `widget` or at `point` of it.
void ClickAt(QWidget* widget, QPoint point) {
  QPoint global = widget->mapToGlobal(point);
  Xdotool("mousemove --sync " + std::to_string(global.x()) + " " + std::to_string(global.y()) + " click 1");
}
void ClickOn(QWidget* widget) {
  ClickAt(widget, widget->rect().center());
}

class RealX : public testing_support::WindowFixture {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != "xcb" || qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
    if (std::system("command -v xdotool > /dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    WindowFixture::SetUp();
  }
  TemplateDialog* Dialog() const { return window_->Desktop()->OpenDialog(); }
};

TEST_F(RealX, StratumBuiltWithTheMouseAndTheKeyboardIsTheBatchDemosMap) {
  Open(dir_ + "section.geojson");
  QApplication::setActiveWindow(window_.get());
  CommandDock* dock = window_->Dock();
  MapView* view = window_->View();

  ClickOn(dock->Input());
  ASSERT_TRUE(WaitUntil([&] { return dock->Input()->hasFocus(); }, kTimeoutMs));
  Xdotool("type --delay 20 dsi");
  Xdotool("key Return");
  ASSERT_TRUE(WaitUntil([&] { return dock->Prompt() == "dsi pick> "; }, kTimeoutMs))
      << dock->Text().toStdString();
  EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);

  ClickAt(view, At(8, 47));
  ClickAt(view, At(20, 55));
  ASSERT_TRUE(WaitUntil([&] { return view->Style().picked == std::set<int32_t>{1}; }, kTimeoutMs))
      << dock->Text().toStdString();

  UiScript script({
      {"the stratum dialog on the screen",
       [&] { return Dialog() && Dialog()->windowHandle() && Dialog()->windowHandle()->isExposed(); },
       [&] { ClickOn(Dialog()->Button(kConnect)); }},
      {"the lexicon's rows", [&] { return Dialog() && Dialog()->List(kNames)->count() > kMiddleJurassic; },
       [&] {
         QListWidget* list = Dialog()->List(kNames);
         list->scrollToItem(list->item(kMiddleJurassic));
         QTest::qWait(50);
         ClickAt(list->viewport(), list->visualItemRect(list->item(kMiddleJurassic)).center());
       }},
      {"row 15 in the platform's list box",
       [&] {
         return Dialog() &&
                SendMessageA(GetDlgItem(Dialog()->Handle(), kNames), LB_GETCURSEL, 0, 0) == kMiddleJurassic;
       },
       [&] { Xdotool("key Return"); }},
  });
  ASSERT_TRUE(script.Run([&] { ClickAt(view, At(25, 41)); }, kTimeoutMs))
      << "waiting for " << script.Failed() << "\n"
      << dock->Text().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return Dialog() == nullptr && dock->Prompt() == "dsi> "; }, kTimeoutMs))
      << dock->Text().toStdString();

  ClickOn(dock->Input());
  ASSERT_TRUE(WaitUntil([&] { return dock->Input()->hasFocus(); }, kTimeoutMs));
  Xdotool("type y");
  Xdotool("key Return");
  ASSERT_TRUE(WaitUntil([&] { return dock->Prompt() == "sectionview> "; }, kTimeoutMs))
      << dock->Text().toStdString();

  ASSERT_TRUE(window_->SaveTo(QString::fromStdString(dir_ + "desktop.geojson")));
  EXPECT_EQ(Read(dir_ + "desktop.geojson"), BatchDemoMap());
  EXPECT_NE(dock->Text().toStdString().find("[dialog] closed: OK"), std::string::npos);
}

// The program itself, from its command line: its own options reach it (not Qt's -plugin), the
// map opens, the plug-in loads, keys typed over the section launch the command, Escape ends it
// and Ctrl+Q quits with exit status 0. The plug-in's calls of the map control (--calls) show
// that the command ran.
TEST_F(RealX, TheProgramTakesItsCommandLineAndQuitsOnCtrlQ) {
  std::string plugin = BinDir() + "/libkpSect03StratumSel.so";
  if (access(plugin.c_str(), R_OK) != 0) GTEST_SKIP() << "the plug-in is not built";
  QProcess program;
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(QString::fromStdString(BinDir() + "/sectionview"),
                {"-geometry", "900x700+0+0", QString::fromStdString(dir_ + "section.geojson"), "--plugin",
                 QString::fromStdString(plugin), "--config-dir", QString::fromStdString(Examples()),
                 "--calls", QString::fromStdString(dir_ + "calls.txt")});
  ASSERT_TRUE(program.waitForStarted(kTimeoutMs));
  Xdotool("search --sync --onlyvisible --name 'section.geojson - sectionview' > /dev/null");
  Xdotool("mousemove --sync 450 350 click 1");  // on the section: the window gets the keys
  Xdotool("type --delay 20 dsi");
  Xdotool("key Return");
  EXPECT_TRUE(
      WaitUntil([&] { return Read(dir_ + "calls.txt").find("BeginPick") != std::string::npos; }, kTimeoutMs))
      << Read(dir_ + "calls.txt");
  Xdotool("key Escape");
  EXPECT_TRUE(WaitUntil(
      [&] { return Read(dir_ + "calls.txt").find("SetCommandState 0 0") != std::string::npos; }, kTimeoutMs))
      << Read(dir_ + "calls.txt");
  Xdotool("key ctrl+q");
  if (!program.waitForFinished(kTimeoutMs)) {
    program.kill();
    program.waitForFinished();
    FAIL() << "sectionview did not quit on Ctrl+Q";
  }
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_EQ(Read(dir_ + "section.geojson"), Read(Examples() + "/section.geojson"));  // nothing to save
}

}  // namespace
}  // namespace sectionhost
