// The two pictures of the README (docs/images/sectionview-before.png and -after.png): the
// window on the sample section before the stratum command runs, and after it (the band J2 in
// its colour with the legend, the two curves deleted, the command line's transcript). Drawn
// in-process on the offscreen platform (QWidget::grab), in the folder that KP_SCREENSHOT_DIR
// names; without it the test is skipped. scripts/desktop-screenshots.sh runs it.
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <winuser.h>

#include "UiScript.h"
#include "WindowFixture.h"
#include "sectionhost/desktop/CommandDock.h"
#include "sectionhost/desktop/MapView.h"
#include "sectionhost/desktop/QtDesktop.h"
#include "sectionhost/desktop/TemplateDialog.h"

namespace sectionhost {
namespace {

using testing_support::UiScript;

class Screenshots : public testing_support::WindowFixture {};

TEST_F(Screenshots, BeforeAndAfterTheStratumCommand) {
  QString folder = qEnvironmentVariable("KP_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "KP_SCREENSHOT_DIR names no folder for the pictures";
  Open(dir_ + "section.geojson");
  window_->resize(1000, 700);
  window_->View()->FitToSection();
  window_->Dock()->Enter("dsi");
  QTest::mouseClick(window_->View(), Qt::LeftButton, {}, At(20, 55));
  QTest::qWait(50);
  ASSERT_TRUE(window_->grab().save(folder + "/sectionview-before.png"));

  auto dialog = [this] { return window_->Desktop()->OpenDialog(); };
  UiScript script({
      {"the dialog", [&] { return dialog() && dialog()->isVisible(); },
       [&] { QTest::mouseClick(dialog()->Button(12000), Qt::LeftButton); }},
      {"the rows", [&] { return dialog() && dialog()->List(12001)->count() > 15; },
       [&] {
         QListWidget* list = dialog()->List(12001);
         list->scrollToItem(list->item(15));
         QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->item(15)).center());
       }},
      {"row 15", [&] { return dialog() && dialog()->List(12001)->currentRow() == 15; },
       [&] {
         ASSERT_TRUE(dialog()->grab().save(folder + "/sectionview-dialog.png"));
         QTest::mouseClick(dialog()->Button(IDOK), Qt::LeftButton);
       }},
  });
  ASSERT_TRUE(
      script.Run([&] { QTest::mouseClick(window_->View(), Qt::LeftButton, {}, At(25, 41)); }, kTimeoutMs))
      << script.Failed();
  window_->Dock()->Enter("y");
  QTest::qWait(50);  // the prompt's new width laid out
  ASSERT_TRUE(window_->grab().save(folder + "/sectionview-after.png"));
}

}  // namespace
}  // namespace sectionhost
