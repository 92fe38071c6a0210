// sectionview driven whole on the offscreen platform, as a person uses it: the sample section
// opened, the stratum command launched from its menu, the curves clicked where they are
// drawn, the stratum chosen in the dialog (a real modal window of Qt widgets), the delete
// question answered in the command line; the saved map compared with the batch demo's, undone
// and redone; Escape during a pick; message boxes and error dialogs; and the dialog's layout
// from its template.
#include <winuser.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <fstream>

#include "UiScript.h"
#include "WindowFixture.h"
#include "sectionhost/desktop/CommandDock.h"
#include "sectionhost/desktop/MapView.h"
#include "sectionhost/desktop/QtDesktop.h"
#include "sectionhost/desktop/TemplateDialog.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/map/MapFormat.h"
#include "sectionhost/session/Session.h"

namespace sectionhost {
namespace {

using testing_support::UiScript;
using testing_support::UiStep;
using testing_support::WaitUntil;

constexpr int kConnect = 12000, kNames = 12001;
constexpr int kMiddleJurassic = 15;  // row of 中侏罗统 (J2) in the lexicon

class SectionView : public testing_support::WindowFixture {
 protected:
  TemplateDialog* Dialog() const { return window_->Desktop()->OpenDialog(); }
  std::string MapText() { return MapFile::Format(window_->Engine().CurrentMap()); }
  int PlatformRow() const {
    return static_cast<int>(SendMessageA(GetDlgItem(Dialog()->Handle(), kNames), LB_GETCURSEL, 0, 0));
  }
  void Click(double x, double y) { QTest::mouseClick(window_->View(), Qt::LeftButton, {}, At(x, y)); }
  static QMessageBox* OpenBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

  // In the stratum dialog: connect, choose the Middle Jurassic row with the mouse, then OK
  // (or Enter, which presses the default button).
  std::vector<UiStep> ChooseMiddleJurassic(bool enter) {
    return {
        {"the stratum dialog", [this] { return Dialog() && Dialog()->isVisible(); },
         [this] { QTest::mouseClick(Dialog()->Button(kConnect), Qt::LeftButton); }},
        {"the lexicon's rows",
         [this] { return Dialog() && Dialog()->List(kNames)->count() > kMiddleJurassic; },
         [this] {
           QListWidget* list = Dialog()->List(kNames);
           list->scrollToItem(list->item(kMiddleJurassic));
           QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                             list->visualItemRect(list->item(kMiddleJurassic)).center());
         }},
        {"the row chosen in the platform's list box",
         [this] { return Dialog() && PlatformRow() == kMiddleJurassic; },
         [this, enter] {
           EXPECT_EQ(Dialog()->List(kNames)->currentItem()->text(), QString("中侏罗统"));
           if (enter) {
             QTest::keyClick(Dialog(), Qt::Key_Return);
           } else {
             QTest::mouseClick(Dialog()->Button(IDOK), Qt::LeftButton);
           }
         }},
    };
  }

  // Launches the command from its menu and clicks the label 4 (dropped: not a curve), the top
  // of the sandstone (1) and its bottom (2) on their drawn nodes.
  void BuildStratum(bool enter) {
    ASSERT_NE(window_->CommandAction("dsi"), nullptr);
    window_->CommandAction("dsi")->trigger();
    EXPECT_EQ(window_->Dock()->Prompt(), "dsi pick> ");
    EXPECT_EQ(window_->View()->cursor().shape(), Qt::CrossCursor);
    Click(8, 47);
    Click(20, 55);
    EXPECT_EQ(window_->View()->Style().picked, std::set<int32_t>{1});
    UiScript script(ChooseMiddleJurassic(enter));
    ASSERT_TRUE(script.Run([&] { Click(25, 41); }, kTimeoutMs)) << "waiting for " << script.Failed();
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_EQ(window_->Dock()->Prompt(), "dsi> ");
    window_->Dock()->Enter("y");
    EXPECT_EQ(window_->Dock()->Prompt(), "sectionview> ");
  }
};

// GDAL's formats open and save by their extension: the demo on the example as a GeoPackage
// saves a GeoPackage holding the batch demo's entities.
TEST_F(SectionView, OpensAndSavesAGeoPackage) {
  if (!MapFormat::HaveGdal()) GTEST_SKIP() << "the host is built without GDAL";
  MapData example;
  std::string error;
  ASSERT_TRUE(MapFile::Read(Examples() + "/section.geojson", &example, &error)) << error;
  ASSERT_TRUE(MapFormat::Write(dir_ + "section.gpkg", "", example, &error)) << error;
  Open(dir_ + "section.gpkg");
  BuildStratum(false);
  ASSERT_TRUE(window_->SaveTo(QString::fromStdString(dir_ + "desktop.gpkg")));
  EXPECT_FALSE(window_->Modified());
  MapData saved, batch;
  ASSERT_TRUE(MapFormat::Read(dir_ + "desktop.gpkg", "", &saved, nullptr, &error)) << error;
  ASSERT_TRUE(MapFile::Parse(BatchDemoMap(), &batch, &error)) << error;
  ASSERT_EQ(saved.entities.size(), batch.entities.size());
  EXPECT_EQ(saved.itemScales, batch.itemScales);
  for (size_t i = 0; i < batch.entities.size(); ++i) {
    const MapEntity &a = batch.entities[i], &b = saved.entities[i];
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.deleted, b.deleted) << a.id;
    EXPECT_EQ(a.code, b.code);
    ASSERT_EQ(a.samples.size(), b.samples.size());
    for (size_t k = 0; k < a.samples.size(); ++k) {
      EXPECT_EQ(double{a.samples[k].thickness}, double{b.samples[k].thickness});  // packed: copy
    }
  }
}

TEST_F(SectionView, StratumFromClickedCurvesIsTheBatchDemosMapAndUndoRedoWalkIt) {
  Open(dir_ + "section.geojson");
  std::string opened = MapText();
  BuildStratum(false);
  std::string log = window_->Dock()->Text().toStdString();
  for (const char* line : {"sectionview> dsi", "(8, 47): entity 4", "(20, 55): entity 1",
                           "(25, 41): entity 2", "[dialog] 请选择地层名称", "[dialog] closed: OK",
                           "**创建剖面地层成功**", "dsi> y", "删除了用于生成剖面地层的两条曲线"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " is not in\n" << log;
  }
  EXPECT_TRUE(window_->Modified());
  EXPECT_TRUE(window_->isWindowModified());
  ASSERT_TRUE(window_->SaveTo(QString::fromStdString(dir_ + "desktop.geojson")));
  EXPECT_FALSE(window_->Modified());
  EXPECT_EQ(Read(dir_ + "desktop.geojson"), BatchDemoMap());

  // The new band is drawn with its code in the legend; the deleted curves are hidden.
  EXPECT_EQ(window_->View()->Scene().codes, std::vector<std::string>{"J2"});
  std::string built = MapText();
  ASSERT_TRUE(window_->UndoAction()->isEnabled());
  window_->UndoAction()->trigger();
  EXPECT_EQ(MapText(), opened);
  EXPECT_TRUE(window_->View()->Scene().codes.empty());
  EXPECT_NE(window_->Dock()->Text().toStdString().find("undone: 创建剖面地层实体"), std::string::npos);
  EXPECT_FALSE(window_->UndoAction()->isEnabled());
  ASSERT_TRUE(window_->RedoAction()->isEnabled());
  window_->RedoAction()->trigger();
  EXPECT_EQ(MapText(), built);
  window_->UndoAction()->trigger();
  EXPECT_EQ(MapText(), opened);
}

TEST_F(SectionView, KeyboardShortcutsUndoAndRedo) {
  Open(dir_ + "section.geojson");
  std::string opened = MapText();
  BuildStratum(true);  // Enter in the dialog presses its default button, OK
  std::string built = MapText();
  EXPECT_NE(built, opened);
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  window_->View()->setFocus();
  QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(MapText(), opened);
  QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(MapText(), built);
}

TEST_F(SectionView, EscapeCancelsThePickAndUndoIsRefusedWhileACommandRuns) {
  Open(dir_ + "section.geojson");
  std::string opened = MapText();
  window_->Dock()->Enter("dsi");
  Click(20, 55);
  MapControl* control = window_->Engine().Control();
  ASSERT_TRUE(control->PickInProgress());
  EXPECT_EQ(control->Highlighted().count(1), 1u);
  window_->Dock()->Enter("undo");
  EXPECT_NE(window_->Dock()->Text().toStdString().find(
                "[error] a command is running; finish it or press Esc first"),
            std::string::npos);
  window_->View()->setFocus();
  QTest::keyClick(window_->View(), Qt::Key_Escape);
  EXPECT_EQ(control->CommandCode(), 0) << window_->Dock()->Text().toStdString();
  EXPECT_TRUE(control->Highlighted().empty());
  EXPECT_EQ(window_->View()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(window_->Dock()->Prompt(), "sectionview> ");
  EXPECT_NE(window_->Dock()->Text().toStdString().find("dsi pick> [Esc]"), std::string::npos);
  EXPECT_EQ(MapText(), opened);
}

TEST_F(SectionView, WheelZoomsAboutTheCursorDragPansAndFitShowsTheWholeSection) {
  Open(dir_ + "section.geojson");
  MapView* view = window_->View();
  const double fitted = view->View().Scale();
  // The status bar follows the cursor in map coordinates.
  QTest::mouseMove(view, At(20, 55));
  QLabel* coordinates = nullptr;
  for (QLabel* label : window_->statusBar()->findChildren<QLabel*>()) {
    if (label->text().startsWith("x ")) coordinates = label;
  }
  ASSERT_NE(coordinates, nullptr);
  EXPECT_EQ(coordinates->text().toStdString(), "x 20   y 55");  // to the tenth a pixel spans

  QPoint cursor = At(70, 54);
  QWheelEvent wheel(QPointF(cursor), QPointF(view->mapToGlobal(cursor)), QPoint(), QPoint(0, 240),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  EXPECT_NEAR(view->View().Scale(), fitted * 1.25 * 1.25, 1e-9);
  QPointF under = view->View().ToMap(QPointF(cursor));
  EXPECT_NEAR(under.x(), 70, 1 / fitted);  // the point under the cursor stays there
  EXPECT_NEAR(under.y(), 54, 1 / fitted);

  // A drag pans (and is no click: nothing is picked, no message).
  QPoint from = At(50, 30);
  QTest::mousePress(view, Qt::LeftButton, {}, from);
  QTest::mouseMove(view, from + QPoint(30, 20));
  QTest::mouseMove(view, from + QPoint(60, 40));
  QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(60, 40));
  QPointF moved = view->View().ToScreen(50, 30);
  EXPECT_NEAR(moved.x(), from.x() + 60, 1.0);
  EXPECT_NEAR(moved.y(), from.y() + 40, 1.0);

  view->FitToSection();
  EXPECT_NEAR(view->View().Scale(), fitted, 1e-9);
}

TEST_F(SectionView, AClickFarFromEveryEntityPicksNothingAndTypedPicksWorkToo) {
  Open(dir_ + "section.geojson");
  window_->Dock()->Enter("dsi");
  Click(50, 30);  // 7 units from the nearest curve (2): many pixels at this zoom
  EXPECT_NE(window_->Dock()->Text().toStdString().find("[error] no entity within 8 pixels of (50, 30)"),
            std::string::npos)
      << window_->Dock()->Text().toStdString();
  EXPECT_EQ(window_->Dock()->Prompt(), "dsi pick> ");
  window_->Dock()->Enter("20,55");
  EXPECT_NE(window_->Dock()->Text().toStdString().find("(20, 55): entity 1"), std::string::npos);
  EXPECT_EQ(window_->View()->Style().picked, std::set<int32_t>{1});
  // Zoomed far out, the same click lands within 8 pixels of a curve.
  window_->View()->MutableView().ZoomAbout(At(50, 30), 1e-3);
  EXPECT_EQ(window_->View()->PickAt(At(50, 30)), 2);
}

TEST_F(SectionView, DialogIsLaidOutFromItsTemplateInTheTemplatesFont) {
  Open(dir_ + "section.geojson");
  window_->Dock()->Enter("dsi");
  Click(20, 55);
  QSize base;
  QRect list, ok;
  QString title;
  bool okDefault = false;
  int dpi = 0;
  UiScript script({{"the stratum dialog", [this] { return Dialog() && Dialog()->isVisible(); },
                    [&] {
                      base = Dialog()->Base();
                      dpi = Dialog()->logicalDpiY();
                      list = Dialog()->List(kNames)->geometry();
                      ok = Dialog()->Button(IDOK)->geometry();
                      okDefault = Dialog()->Button(IDOK)->isDefault();
                      title = Dialog()->windowTitle();
                      EXPECT_EQ(Dialog()->size(),
                                QSize(MulDiv(187, base.width(), 4), MulDiv(263, base.height(), 8)));
                      QTest::keyClick(Dialog(), Qt::Key_Escape);
                    }}});
  ASSERT_TRUE(script.Run([&] { Click(25, 41); }, kTimeoutMs)) << script.Failed();
  EXPECT_EQ(title, "请选择地层名称");
  EXPECT_TRUE(okDefault);
  // Windows' base units of a 9 pt font: about 6 x 12 for a CJK face (half-width Latin letters).
  // The template's 9 pt: 12 pixels at 96 dpi, as 宋体's cell; half-width Latin letters.
  EXPECT_EQ(base.height(), static_cast<int>(std::lround(9.0 * dpi / 72)));
  EXPECT_GE(base.width(), base.height() / 2 - 1);
  EXPECT_LE(base.width(), base.height() / 2 + 2);
  EXPECT_EQ(list, QRect(MulDiv(14, base.width(), 4), MulDiv(34, base.height(), 8),
                        MulDiv(159, base.width(), 4), MulDiv(197, base.height(), 8)));
  EXPECT_EQ(ok.topLeft(), QPoint(MulDiv(23, base.width(), 4), MulDiv(235, base.height(), 8)));
  EXPECT_NE(window_->Dock()->Text().toStdString().find("[dialog] closed: Cancel"), std::string::npos);
}

TEST_F(SectionView, PlugInMessageBoxIsAQMessageBoxWithTheModulesCaptionTextAndButton) {
  // A configuration folder without isoDB.udl: connecting fails with the module's message box.
  Open(dir_ + "section.geojson", dir_);
  window_->Dock()->Enter("dsi");
  Click(20, 55);
  QString text, caption;
  QStringList buttons;
  UiScript script({
      {"the stratum dialog", [this] { return Dialog() && Dialog()->isVisible(); },
       [this] { QTest::mouseClick(Dialog()->Button(kConnect), Qt::LeftButton); }},
      {"the message box", [] { return OpenBox() != nullptr; },
       [&] {
         QMessageBox* box = OpenBox();
         text = box->text();
         caption = box->windowTitle();
         for (QAbstractButton* b : box->buttons()) buttons << b->text();
         QTest::keyClick(box, Qt::Key_Escape);  // an OK-only box: Escape answers OK
       }},
      {"the dialog again", [this] { return Dialog() && !OpenBox(); },
       [this] { QTest::keyClick(Dialog(), Qt::Key_Escape); }},
  });
  ASSERT_TRUE(script.Run([&] { Click(25, 41); }, kTimeoutMs)) << script.Failed();
  EXPECT_TRUE(text.startsWith("未成功连接数据库－UDL 数据库连接方式: 文件 ")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("isoDB.udl 不存在或配置不正确!")) << text.toStdString();
  EXPECT_FALSE(caption.isEmpty());
  EXPECT_EQ(buttons, QStringList{"确定"});
  std::string log = window_->Dock()->Text().toStdString();
  EXPECT_NE(log.find("[message box] " + caption.toStdString() + ": 未成功连接数据库"), std::string::npos)
      << log;
  EXPECT_NE(log.find("[message box] answer: 确定"), std::string::npos) << log;
  EXPECT_FALSE(window_->Desktop()->Busy());  // the wait cursor of the load has ended
}

TEST_F(SectionView, MalformedMapAndFailingPlugInShowAnErrorAndTheWindowKeepsItsMap) {
  Open(dir_ + "section.geojson");
  std::string opened = MapText();
  std::ofstream(dir_ + "broken.geojson") << R"({"type": "FeatureCollection", "features": [{"id": 1}]})";
  QString text;
  UiScript script({{"the error dialog", [] { return OpenBox() != nullptr; },
                    [&] {
                      text = OpenBox()->text();
                      EXPECT_EQ(OpenBox()->icon(), QMessageBox::Critical);
                      QTest::keyClick(OpenBox(), Qt::Key_Return);
                    }}});
  ASSERT_TRUE(
      script.Run([&] { EXPECT_FALSE(window_->OpenMapFile(QString::fromStdString(dir_ + "broken.geojson"))); },
                 kTimeoutMs));
  EXPECT_TRUE(text.startsWith("cannot read the map: ")) << text.toStdString();
  EXPECT_EQ(MapText(), opened);
  EXPECT_TRUE(window_->isVisible());

  std::string missing = BinDir() + "/libsectionhost_testplugin_missing.so";
  UiScript plugin({{"the error dialog", [] { return OpenBox() != nullptr; },
                    [&] {
                      text = OpenBox()->text();
                      QTest::keyClick(OpenBox(), Qt::Key_Return);
                    }}});
  ASSERT_TRUE(plugin.Run([&] { EXPECT_FALSE(window_->LoadPluginFile(QString::fromStdString(missing))); },
                         kTimeoutMs));
  EXPECT_NE(text.toStdString().find("missing export GetBmp"), std::string::npos) << text.toStdString();
  EXPECT_NE(text.toStdString().find("missing export MouseStatus"), std::string::npos) << text.toStdString();
  EXPECT_EQ(window_->Engine().Plugins().size(), 1u);
  // The loaded command still runs.
  window_->Dock()->Enter("dsi");
  EXPECT_EQ(window_->Dock()->Prompt(), "dsi pick> ");
}

TEST_F(SectionView, ClosingWithUnsavedChangesAsksAndCancelKeepsTheWindow) {
  Open(dir_ + "section.geojson");
  BuildStratum(false);
  ASSERT_TRUE(window_->Modified());
  auto closeAnswering = [&](QMessageBox::StandardButton answer) {
    QString text;
    UiScript script({{"the question", [] { return OpenBox() != nullptr; },
                      [&] {
                        text = OpenBox()->text();
                        QTest::mouseClick(OpenBox()->button(answer), Qt::LeftButton);
                      }}});
    EXPECT_TRUE(script.Run([&] { window_->close(); }, kTimeoutMs)) << script.Failed();
    return text;
  };
  EXPECT_EQ(closeAnswering(QMessageBox::Cancel),
            QString::fromStdString("The map has unsaved changes. Save them to " + dir_ + "section.geojson?"));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(Read(dir_ + "section.geojson"), Read(Examples() + "/section.geojson"));
  closeAnswering(QMessageBox::Save);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(Read(dir_ + "section.geojson"), BatchDemoMap());
}

TEST_F(SectionView, WaitCursorIsTheBusyCursorUntilTheCommandSetsAnother) {
  Open(dir_ + "section.geojson");
  QtDesktop* desktop = window_->Desktop();
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  EXPECT_TRUE(desktop->Busy());
  // A question while busy shows the arrow, and the busy cursor comes back after it.
  UiScript script({{"the message box", [] { return OpenBox() != nullptr; },
                    [] {
                      EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
                      QTest::keyClick(OpenBox(), Qt::Key_Return);
                    }}});
  ASSERT_TRUE(
      script.Run([] { MessageBoxA(nullptr, "text", "caption", MB_OK | MB_ICONWARNING); }, kTimeoutMs));
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(desktop->Busy());
  EXPECT_EQ(QtDesktop::IconOf(MB_OK | MB_ICONWARNING), QMessageBox::Warning);
  EXPECT_EQ(QtDesktop::IconOf(MB_YESNO | MB_ICONQUESTION), QMessageBox::Question);
  EXPECT_EQ(QtDesktop::IconOf(MB_ICONERROR), QMessageBox::Critical);
  EXPECT_EQ(QtDesktop::IconOf(MB_ICONINFORMATION), QMessageBox::Information);
  EXPECT_EQ(QtDesktop::IconOf(MB_OK), QMessageBox::NoIcon);
}

// The host's test plug-in: exceptions out of MouseStatus, its message box and its own dialog.
TEST_F(SectionView, PlugInErrorsLeaveTheWindowAndTheMapAndItsDialogWorksToo) {
  Open(dir_ + "section.geojson", "", BinDir() + "/libsectionhost_testplugin_full.so");
  std::string opened = MapText();
  CommandDock* dock = window_->Dock();
  dock->Enter("tst");
  EXPECT_EQ(dock->Prompt(), "tst pick> ");
  dock->Enter("boom");
  EXPECT_NE(dock->Text().toStdString().find("tst pick> boom\n[error] boom from the test plug-in"),
            std::string::npos)
      << dock->Text().toStdString();
  EXPECT_EQ(dock->Prompt(), "sectionview> ");
  dock->Enter("tst");
  dock->Enter("ole");
  EXPECT_NE(dock->Text().toStdString().find("[error] ole failure from the test plug-in"), std::string::npos);
  EXPECT_EQ(MapText(), opened);
  EXPECT_TRUE(window_->isVisible());

  dock->Enter("tst");
  QString caption, text;
  UiScript box({{"the message box", [] { return OpenBox() != nullptr; },
                 [&] {
                   caption = OpenBox()->windowTitle();
                   text = OpenBox()->text();
                   QTest::keyClick(OpenBox(), Qt::Key_Return);
                 }}});
  ASSERT_TRUE(box.Run([&] { dock->Enter("msg"); }, kTimeoutMs));
  EXPECT_EQ(caption, "TestPlugin");
  EXPECT_EQ(text, "first line\nsecond\tline");
  EXPECT_NE(dock->Text().toStdString().find("[message box] TestPlugin: first line\\nsecond\\tline\n"
                                            "[message box] answer: 确定\nmessage shown"),
            std::string::npos)
      << dock->Text().toStdString();

  // Its dialog: connect fills two rows; a double-click selects the second (the dialog has no
  // LBN_DBLCLK handler, so it stays open); OK.
  const int connect = 501, list = 502;
  UiScript dialog({
      {"the test dialog", [this] { return Dialog() && Dialog()->isVisible(); },
       [&] { QTest::mouseClick(Dialog()->Button(connect), Qt::LeftButton); }},
      {"its two rows", [&] { return Dialog() && Dialog()->List(list)->count() == 2; },
       [&] {
         QListWidget* rows = Dialog()->List(list);
         QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {},
                            rows->visualItemRect(rows->item(1)).center());
       }},
      {"the second row chosen, the dialog still open",
       [&] {
         return Dialog() && SendMessageA(GetDlgItem(Dialog()->Handle(), list), LB_GETCURSEL, 0, 0) == 1;
       },
       [&] {
         EXPECT_EQ(Dialog()->windowTitle(), "测试对话框");
         QTest::mouseClick(Dialog()->Button(IDOK), Qt::LeftButton);
       }},
  });
  ASSERT_TRUE(dialog.Run([&] { dock->Enter("dialog"); }, kTimeoutMs)) << dialog.Failed();
  EXPECT_NE(dock->Text().toStdString().find("[dialog] closed: OK\nchosen: 乙"), std::string::npos)
      << dock->Text().toStdString();
}

TEST_F(SectionView, CommandLineDockTakesHistoryAndRefusesUnknownWords) {
  Open(dir_ + "section.geojson");
  CommandDock* dock = window_->Dock();
  dock->Enter("nonsense");
  EXPECT_NE(dock->Text().toStdString().find("sectionview> nonsense\n[error] unknown command 'nonsense'"),
            std::string::npos)
      << dock->Text().toStdString();
  dock->Enter("help");
  dock->Input()->setFocus();
  QTest::keyClick(dock->Input(), Qt::Key_Up);
  EXPECT_EQ(dock->Input()->text(), "help");
  QTest::keyClick(dock->Input(), Qt::Key_Up);
  EXPECT_EQ(dock->Input()->text(), "nonsense");
  QTest::keyClick(dock->Input(), Qt::Key_Down);
  QTest::keyClick(dock->Input(), Qt::Key_Down);
  EXPECT_EQ(dock->Input()->text(), "");
  // Typed while the section has the focus, the text goes to the command line.
  window_->View()->setFocus();
  QTest::keyClicks(window_->View(), "ds");
  EXPECT_TRUE(dock->Input()->hasFocus());
  QTest::keyClicks(dock->Input(), "i");
  QTest::keyClick(dock->Input(), Qt::Key_Return);
  EXPECT_EQ(dock->Prompt(), "dsi pick> ");
  QTest::keyClick(dock->Input(), Qt::Key_Escape);
  EXPECT_EQ(dock->Prompt(), "sectionview> ");
}

}  // namespace
}  // namespace sectionhost
