// The window of sectionview; see MainWindow.h.
#include "MainWindow.h"

#include <winnls.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QToolBar>
#include <cmath>
#include <map>

#include "CjkFonts.h"
#include "CommandDock.h"
#include "MapDigest.h"
#include "MapView.h"
#include "QtDesktop.h"
#include "sectionhost/automation/IntArrayObject.h"
#include "sectionhost/map/MapFormat.h"
#include "sectionhost/map/PointPicker.h"
#include "sectionhost/session/PickLine.h"
#include "sectionhost/session/Session.h"

namespace sectionhost {

namespace {

constexpr int32_t kVirtualKeyEscape = 0x1B;
const char kIdlePrompt[] = "sectionview> ";
const char kNoToolBar[] = "Commands";

QString Utf8(const std::string& gbk) {
  return QString::fromStdString(kp::GbkToUtf8(gbk));
}

const char kHelp[] =
    "Commands of the window (the menus have them too):\n"
    "  NAME              runs a loaded command (its command-line name or its menu text)\n"
    "  undo, redo        takes back the last operation of a command, or takes it forward again\n"
    "  save [FILE]       writes the map (default: the file it was opened from or last saved to)\n"
    "  svg FILE, png FILE  draws the section into a picture\n"
    "  fit               shows the whole section\n"
    "  text [TEXT]       sends TEXT to the running command as it stands\n"
    "  pick ITEM...      picks entities by id or by a point x,y\n"
    "While a command runs, other lines go to it as command-line text (an empty line too).\n"
    "During a pick, click an entity (the nearest within 8 pixels) or type ids or points x,y.\n"
    "Mouse: the wheel zooms about the cursor, dragging pans. Keys: Esc sends Escape to the\n"
    "running command; Up/Down walk the history; Ctrl+Z undo, Ctrl+Shift+Z redo.";

}  // namespace

MainWindow::MainWindow()
    : lines_([this](const std::string& line) {
        if (dock_) dock_->AppendLine(QString::fromStdString(line));
      }),
      out_(&lines_),
      transcript_(out_) {
  setWindowTitle("sectionview");
  view_ = new MapView(this);
  view_->setObjectName("mapView");
  setCentralWidget(view_);
  dock_ = new CommandDock(this);
  addDockWidget(Qt::BottomDockWidgetArea, dock_);
  coordinates_ = new QLabel(this);
  coordinates_->setMinimumWidth(220);
  statusBar()->addPermanentWidget(coordinates_);
  connect(view_, &MapView::CursorMoved, this, [this](QPointF p) {
    const ViewTransform& v = view_->View();
    coordinates_->setText(QString::fromStdString("x " + PickLine::Number(v.RoundToPixel(p.x())) + "   y " +
                                                 PickLine::Number(v.RoundToPixel(p.y()))));
  });
  connect(view_, &MapView::Clicked, this, &MainWindow::Clicked);
  connect(dock_, &CommandDock::Entered, this, &MainWindow::Dispatch);
  connect(dock_, &CommandDock::EscapePressed, this, [this] {
    std::string why;
    if (!Engine().Key(kVirtualKeyEscape, &why)) Error(why);
    Refresh();
  });
  resize(1100, 760);
}

MainWindow::~MainWindow() {
  Finish();
}

Session& MainWindow::Engine() {
  return run_->Engine();
}

bool MainWindow::Start(const ViewOptions& options, std::string* error) {
  runOptions_ = options.RunOptions();
  run_ = std::make_unique<SessionRun>(runOptions_, transcript_, err_);
  if (!run_->Open(SessionRun::PluginFailure::Reported)) {
    *error = err_.str();
    return false;
  }
  desktop_ = std::make_unique<QtDesktop>(this, transcript_);
  desktop_->SetRefresh([this] { Refresh(); });
  desktopScope_ = std::make_unique<kp::DesktopScope>(desktop_.get());
  savedDigest_ = MapDigest::Of(Engine().CurrentMap());
  BuildMenus();
  if (!options.map.empty()) OpenMapFile(QString::fromStdString(options.map));
  for (const std::string& plugin : options.plugins) LoadPluginFile(QString::fromStdString(plugin));
  dock_->AppendLine(
      "sectionview: 'help' in the command line lists what you can type; the menus have the commands.");
  Refresh(true);
  return true;
}

void MainWindow::Finish() {
  if (finished_ || !run_) return;
  finished_ = true;
  desktopScope_.reset();
  run_->Finish(0, SessionRun::Results::PictureOnly);
  desktop_.reset();
}

void MainWindow::BuildMenus() {
  fileMenu_ = menuBar()->addMenu(tr("&File"));
  fileMenu_->addAction(tr("&Open..."), QKeySequence::Open, this, [this] {
    if (!AskToSave()) return;
    QString path = QFileDialog::getOpenFileName(this, tr("Open a section map"), QString(),
                                                MapFormat::HaveGdal() ? tr("Section maps (*.geojson *.json *.gpkg *.shp *.dxf *.fgb);;All files (*)")
                                                                     : tr("Section maps (*.geojson *.json);;All files (*)"));
    if (!path.isEmpty()) OpenMapFile(path);
  });
  fileMenu_->addAction(tr("&Save"), QKeySequence::Save, this, [this] {
    if (savePath_.isEmpty()) {
      SaveAs();
    } else {
      SaveTo(savePath_);
    }
  });
  fileMenu_->addAction(tr("Save &As..."), QKeySequence::SaveAs, this, &MainWindow::SaveAs);
  fileMenu_->addSeparator();
  fileMenu_->addAction(tr("Export as S&VG..."), this, [this] {
    QString path = QFileDialog::getSaveFileName(this, tr("Export as SVG"), QString(), tr("SVG (*.svg)"));
    if (!path.isEmpty()) ExportSvg(path);
  });
  fileMenu_->addAction(tr("Export as &PNG..."), this, [this] {
    QString path = QFileDialog::getSaveFileName(this, tr("Export as PNG"), QString(), tr("PNG (*.png)"));
    if (!path.isEmpty()) ExportPng(path);
  });
  fileMenu_->addSeparator();
  fileMenu_->addAction(tr("&Load a Plug-in..."), this, [this] {
    QString path = QFileDialog::getOpenFileName(this, tr("Load a command plug-in"), QString(),
                                                tr("Plug-ins (*.so);;All files (*)"));
    if (!path.isEmpty()) LoadPluginFile(path);
  });
  fileMenu_->addSeparator();
  fileMenu_->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  undoAction_ = edit->addAction(tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), this, &MainWindow::Undo);
  redoAction_ =
      edit->addAction(tr("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this, &MainWindow::Redo);

  QMenu* viewMenu = menuBar()->addMenu(tr("&View"));
  viewMenu->addAction(tr("&Fit to Section"), QKeySequence(Qt::CTRL | Qt::Key_0), view_,
                      &MapView::FitToSection);
  viewMenu->addAction(tr("Zoom &In"), QKeySequence::ZoomIn, this,
                      [this] { view_->Zoom(MapView::kWheelStep); });
  viewMenu->addAction(tr("Zoom &Out"), QKeySequence::ZoomOut, this,
                      [this] { view_->Zoom(1 / MapView::kWheelStep); });
  QAction* deleted = viewMenu->addAction(tr("Show &Deleted Entities"));
  deleted->setCheckable(true);
  connect(deleted, &QAction::toggled, view_, &MapView::SetShowDeleted);
  viewMenu->addAction(dock_->toggleViewAction());
}

void MainWindow::AddCommand(const Plugin& plugin) {
  QString group = Utf8(plugin.GroupName());
  QMenu* menu = nullptr;
  for (QAction* a : menuBar()->actions()) {
    if (a->menu() && a->text() == group) menu = a->menu();
  }
  if (!menu) menu = menuBar()->addMenu(group.isEmpty() ? tr("&Commands") : group);
  QString name = Utf8(plugin.CommandLineName());
  auto* action = new QAction(Utf8(plugin.MenuText()), this);
  action->setObjectName(name);
  action->setToolTip(name);
  action->setStatusTip(name);
  // GetBmp answers the id of a toolbar bitmap in the plug-in's resources, 0 for none; the
  // platform's resource tables hold no bitmaps, so a command is shown by its menu text.
  int bitmap = 0;
  Engine().Guarded([&] { bitmap = plugin.Exports().GetBmp(); });
  if (bitmap != 0) {
    dock_->AppendLine(QString("sectionview: %1 names toolbar bitmap %2, which its resources do not hold; the "
                              "toolbar shows its name")
                          .arg(name)
                          .arg(bitmap));
  }
  const Plugin* p = &plugin;
  connect(action, &QAction::triggered, this, [this, p] { Launch(*p); });
  menu->addAction(action);
  QString toolBarName = Utf8(plugin.ToolBarName());
  if (toolBarName.isEmpty()) toolBarName = kNoToolBar;
  QToolBar* bar = findChild<QToolBar*>(toolBarName);
  if (!bar) {
    bar = addToolBar(toolBarName);
    bar->setObjectName(toolBarName);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  }
  bar->addAction(action);
}

QAction* MainWindow::CommandAction(const QString& name) const {
  std::string gbk = kp::Utf8ToGbk(name.toStdString());
  for (const auto& p : run_->Engine().Plugins()) {
    if (!p->Matches(gbk)) continue;
    return findChild<QAction*>(Utf8(p->CommandLineName()));
  }
  return nullptr;
}

void MainWindow::Launch(const Plugin& plugin) {
  std::string name = kp::GbkToUtf8(plugin.CommandLineName());
  size_t slash = name.rfind('/');
  // Shown as if typed, so the dock reads as the terminal's screen would.
  dock_->AppendLine(dock_->Prompt() +
                    QString::fromStdString(slash == std::string::npos ? name : name.substr(slash + 1)));
  std::string why;
  if (!Engine().Launch(name, &why)) Error(why);
  Refresh();
}

bool MainWindow::OpenMapFile(const QString& path) {
  std::string error;
  if (Engine().Control()->CommandCode() != 0) {
    ErrorDialog(tr("Open"), tr("A command is running; finish it or press Esc first."));
    return false;
  }
  // The format is the file's extension's: our GeoJSON, or GDAL's formats; GDAL's notes on the
  // defaults it took go to the transcript.
  if (!Engine().OpenMap(path.toStdString(), &error)) {
    Error("cannot read the map: " + error);
    ErrorDialog(tr("Cannot open the map"), QString::fromStdString("cannot read the map: " + error));
    return false;
  }
  mapPath_ = savePath_ = path;
  savedDigest_ = MapDigest::Of(Engine().CurrentMap());
  dock_->AppendLine(
      QString("sectionview: %1, %2 entities").arg(path).arg(Engine().CurrentMap().entities.size()));
  Refresh(true);
  return true;
}

bool MainWindow::LoadPluginFile(const QString& path) {
  std::vector<std::string> errors;
  if (!Engine().LoadPlugin(path.toStdString(), &errors)) {
    QString text;
    for (const std::string& e : errors) {
      Error(e);
      text += QString::fromStdString(e) + "\n";
    }
    Error("the plug-in " + path.toStdString() + " is not loaded");
    ErrorDialog(tr("Cannot load the plug-in"), text + tr("The plug-in %1 is not loaded.").arg(path));
    return false;
  }
  AddCommand(*Engine().Plugins().back());
  Refresh();
  return true;
}

bool MainWindow::SaveTo(const QString& path) {
  MapData map = Engine().CurrentMap();
  std::string error;
  if (!MapFormat::Write(path.toStdString(), std::string(), map, &error)) {
    Error(error);
    ErrorDialog(tr("Cannot save the map"), QString::fromStdString(error));
    return false;
  }
  savedDigest_ = MapDigest::Of(map);
  savePath_ = path;
  dock_->AppendLine("saved " + path);
  Refresh();
  return true;
}

void MainWindow::SaveAs() {
  QString path = QFileDialog::getSaveFileName(this, tr("Save the map as"), savePath_,
                                              MapFormat::HaveGdal() ? tr("Section maps (*.geojson);;GeoPackage (*.gpkg);;ESRI Shapefile (*.shp);;"
                                                                     "DXF (*.dxf);;FlatGeobuf (*.fgb);;All files (*)")
                                                                  : tr("Section maps (*.geojson);;All files (*)"));
  if (!path.isEmpty()) SaveTo(path);
}

QImage MainWindow::Render(const QSize& size) const {
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  ViewTransform view;
  view.Fit(view_->Scene().extent, size, MapView::kFitMargin);
  QPainter painter(&image);
  SectionPainter::Paint(painter, view_->Scene(), view, size, view_->Style());
  return image;
}

bool MainWindow::ExportPng(const QString& path) {
  if (!Render(QSize(kExportWidth, kExportHeight)).save(path, "PNG")) {
    Error("cannot write " + path.toStdString());
    ErrorDialog(tr("Cannot export"), tr("cannot write %1").arg(path));
    return false;
  }
  dock_->AppendLine("drawn " + path);
  return true;
}

bool MainWindow::ExportSvg(const QString& path) {
  QSize size(kExportWidth, kExportHeight);
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(QFileInfo(mapPath_).fileName());
  ViewTransform view;
  view.Fit(view_->Scene().extent, size, MapView::kFitMargin);
  QPainter painter;
  if (!painter.begin(&svg)) {
    Error("cannot write " + path.toStdString());
    ErrorDialog(tr("Cannot export"), tr("cannot write %1").arg(path));
    return false;
  }
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  SectionPainter::Paint(painter, view_->Scene(), view, size, view_->Style());
  painter.end();
  dock_->AppendLine("drawn " + path);
  return true;
}

void MainWindow::Clicked(QPointF mapPoint, int32_t entity) {
  const ViewTransform& v = view_->View();
  std::string at = "(" + PickLine::Number(v.RoundToPixel(mapPoint.x())) + ", " +
                   PickLine::Number(v.RoundToPixel(mapPoint.y())) + ")";
  if (!Picking()) {
    statusBar()->showMessage(QString::fromStdString(entity ? at + ": entity " + std::to_string(entity) : at),
                             4000);
    return;
  }
  if (!entity) {
    Error("no entity within " + PickLine::Number(MapView::kPickPixels) + " pixels of " + at +
          "; nothing is picked");
    return;
  }
  dock_->AppendLine(QString::fromStdString(at + ": entity " + std::to_string(entity)));
  std::string why;
  if (!Engine().Pick({entity}, &why)) Error(why);
  Refresh();
}

void MainWindow::Dispatch(const QString& typed) {
  std::string line = typed.toStdString();
  std::string trimmed = PickLine::Trim(line);
  std::string word = trimmed.substr(0, trimmed.find_first_of(" \t"));
  std::string rest = PickLine::Trim(trimmed.substr(word.size()));
  Session& session = Engine();
  std::string why;
  std::vector<PickLine::Item> items;
  auto pick = [&](const std::vector<PickLine::Item>& list) {
    MapData map = session.CurrentMap();
    double distance = PointPicker::DefaultPickDistance(map);
    std::vector<int32_t> ids;
    std::vector<std::string> shown;
    bool named = PickLine::Resolve(map, list, distance, PickLine::Number(distance), &ids, &shown, &why);
    for (const std::string& l : shown) dock_->AppendLine(QString::fromStdString(l));
    if (!named) {
      Error(why);
    } else if (!session.Pick(ids, &why)) {
      Error(why);
    }
  };
  bool isCommand =
      !trimmed.empty() && std::any_of(session.Plugins().begin(), session.Plugins().end(),
                                      [&](const auto& p) { return p->Matches(kp::Utf8ToGbk(trimmed)); });
  if (word == "help" && rest.empty()) {
    for (const QString& l : QString(kHelp).split('\n')) dock_->AppendLine(l);
  } else if (word == "undo" && rest.empty()) {
    Undo();
  } else if (word == "redo" && rest.empty()) {
    Redo();
  } else if (word == "save") {
    if (rest.empty() && savePath_.isEmpty()) {
      Error("save needs a file name: this map has none yet");
    } else {
      SaveTo(rest.empty() ? savePath_ : QString::fromStdString(rest));
    }
  } else if ((word == "svg" || word == "png") && !rest.empty()) {
    if (word == "svg") {
      ExportSvg(QString::fromStdString(rest));
    } else {
      ExportPng(QString::fromStdString(rest));
    }
  } else if (word == "fit" && rest.empty()) {
    view_->FitToSection();
  } else if (word == "text") {
    size_t at = line.find("text");
    if (!session.Text(line.size() > at + 4 ? line.substr(at + 5) : "", &why)) Error(why);
  } else if (word == "pick") {
    if (PickLine::Parse(rest, &items, &why)) {
      pick(items);
    } else {
      Error(why);
    }
  } else if (session.Control()->PickInProgress() && PickLine::Parse(trimmed, &items, nullptr)) {
    pick(items);
  } else if (isCommand) {
    if (!session.Launch(trimmed, &why)) Error(why);
  } else if (session.Control()->CommandCode() != 0) {
    if (!session.Text(line, &why)) Error(why);
  } else if (!trimmed.empty()) {
    Error("unknown command '" + trimmed + "'; 'help' lists what you can type");
  }
  Refresh();
}

void MainWindow::Escape() {
  dock_->PressEscape();
}

void MainWindow::Undo() {
  std::string name, why;
  if (Engine().Undo(&name, &why)) {
    dock_->AppendLine(QString::fromStdString("undone: " + name));
  } else {
    Error(why);
  }
  Refresh();
}

void MainWindow::Redo() {
  std::string name, why;
  if (Engine().Redo(&name, &why)) {
    dock_->AppendLine(QString::fromStdString("redone: " + name));
  } else {
    Error(why);
  }
  Refresh();
}

bool MainWindow::Picking() const {
  MapControl* control = run_->Engine().Control();
  return control->PickInProgress() && control->CommandCode() != 0;
}

bool MainWindow::Modified() const {
  return run_ && MapDigest::Of(run_->Engine().CurrentMap()) != savedDigest_;
}

void MainWindow::Refresh(bool fit) {
  if (!run_ || finished_) return;
  Session& session = Engine();
  MapControl* control = session.Control();
  MapData map = session.CurrentMap();
  std::set<int32_t> highlighted(control->Highlighted().begin(), control->Highlighted().end());
  std::set<int32_t> picked;
  if (Picking()) {
    if (IntArrayObject* array = IntArrayObject::FromDispatch(control->PickList())) {
      for (LONG id : array->Values()) picked.insert(id);
    }
  }
  bool modified = MapDigest::Of(map) != savedDigest_;
  view_->SetMap(std::move(map), fit);
  view_->SetMarks(highlighted, picked);
  view_->SetPicking(Picking());
  dock_->SetPrompt(QString::fromStdString(session.Prompt(kIdlePrompt)));
  bool idle = control->CommandCode() == 0;
  undoAction_->setEnabled(idle && session.CanUndo());
  redoAction_->setEnabled(idle && session.CanRedo());
  QString name = mapPath_.isEmpty() ? tr("(no map)") : QFileInfo(mapPath_).fileName();
  setWindowTitle(name + "[*] - sectionview");
  setWindowModified(modified);
}

void MainWindow::Error(const std::string& utf8) {
  transcript_.Error(utf8);
}

void MainWindow::ErrorDialog(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
  box.exec();
}

bool MainWindow::AskToSave() {
  if (!Modified()) return true;
  QString target = savePath_.isEmpty() ? tr("a new file") : savePath_;
  QMessageBox box(QMessageBox::Warning, tr("Unsaved changes"),
                  tr("The map has unsaved changes. Save them to %1?").arg(target),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  int answer = box.exec();
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Discard) return true;
  if (savePath_.isEmpty()) {
    SaveAs();
    return !Modified();
  }
  return SaveTo(savePath_);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!AskToSave()) {
    event->ignore();
    return;
  }
  event->accept();
  Finish();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    Escape();
    return;
  }
  // Typing anywhere in the window goes to the command line, as in drawing programs: the text
  // starts a line there (Enter then takes it, as typed in the line itself).
  QString text = event->text();
  bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                   !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
  if (printable) {
    dock_->Input()->setFocus();
    dock_->Input()->insert(text);
    return;
  }
  QMainWindow::keyPressEvent(event);
}

}  // namespace sectionhost
