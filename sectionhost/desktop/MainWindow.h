// The window of sectionview: the section (MapView) with the command-line dock (CommandDock)
// over one run of the host's session engine (SessionRun, Session), the same engine, host
// objects and plug-in loader as sectionhost's batch and terminal front ends. The window turns
// the person's input into the engine's calls and shows what the engine reports:
//   - menus: File (open, save, save as, export SVG and PNG, load a plug-in, quit), Edit (undo,
//     redo of the commands' operation groups), View (fit, zoom, deleted entities, the dock),
//     and one menu per plug-in menu group with its commands; a toolbar per plug-in toolbar
//     (GetToolBarName; "Commands" for none) with each command;
//   - the mouse: during a pick a click names the nearest entity (MapView::PickAt) and the pick
//     goes to the command as a typed id would; Escape sends the key event (7, VK_ESCAPE);
//   - the dock: typed lines as the terminal host takes them (see Dispatch); text typed while
//     the section has the focus starts a line in the dock;
//   - dialogs and message boxes through QtDesktop; the transcript in the dock.
// After every call into the engine the view is brought up to date (Refresh): the map, the
// highlighted and picked entities, the prompt, the cursor, the undo state and the title.
//
// A map that cannot be read and a plug-in that cannot be loaded are reported in an error
// dialog (and in the transcript); the window keeps the map it has. An exception out of a
// plug-in is caught by the engine, as for the terminal: "[error] ..." and the command state
// reset. Closing the window with unsaved changes asks first (save, discard, cancel).
#pragma once
#include <QMainWindow>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "LineStreamBuf.h"
#include "ViewOptions.h"
#include "sectionhost/session/HostOptions.h"
#include "sectionhost/session/SessionRun.h"
#include "sectionhost/session/Transcript.h"

class QAction;
class QLabel;

namespace kp {
class DesktopScope;
}

namespace sectionhost {

class CommandDock;
class MapView;
class Plugin;
class QtDesktop;
class Session;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kExportWidth = 1600;
  static constexpr int kExportHeight = 1000;

  MainWindow();
  ~MainWindow() override;

  // Starts the session (options, the desktop), then opens the map and loads the plug-ins of
  // `options`, each failure shown in a dialog. False (with *error) when the session itself
  // cannot start.
  bool Start(const ViewOptions& options, std::string* error);

  bool OpenMapFile(const QString& path);
  bool LoadPluginFile(const QString& path);
  bool SaveTo(const QString& path);
  bool ExportSvg(const QString& path);
  bool ExportPng(const QString& path);
  // Draws the whole section into an image of `size` pixels.
  QImage Render(const QSize& size) const;

  // A typed line, as the dock hands it on.
  void Dispatch(const QString& line);
  void Escape();
  void Undo();
  void Redo();
  bool Modified() const;
  // A pick of a current command is in progress: a command that ended (Escape) may leave its
  // pick open in the control, but no click goes to it then.
  bool Picking() const;
  QString SavePath() const { return savePath_; }
  void Refresh(bool fit = false);

  Session& Engine();
  MapView* View() const { return view_; }
  CommandDock* Dock() const { return dock_; }
  QtDesktop* Desktop() const { return desktop_.get(); }
  QAction* UndoAction() const { return undoAction_; }
  QAction* RedoAction() const { return redoAction_; }
  // The action of the plug-in command with this command-line name (or menu text), or null.
  QAction* CommandAction(const QString& name) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildMenus();
  void AddCommand(const Plugin& plugin);
  void Launch(const Plugin& plugin);
  void Clicked(QPointF mapPoint, int32_t entity);
  void Error(const std::string& utf8);
  void ErrorDialog(const QString& title, const QString& text);
  bool AskToSave();
  void SaveAs();
  void Finish();

  LineStreamBuf lines_;
  std::ostream out_;
  Transcript transcript_;
  std::ostringstream err_;
  HostOptions runOptions_;
  std::unique_ptr<SessionRun> run_;
  std::unique_ptr<QtDesktop> desktop_;
  std::unique_ptr<kp::DesktopScope> desktopScope_;
  MapView* view_ = nullptr;
  CommandDock* dock_ = nullptr;
  QLabel* coordinates_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QString mapPath_, savePath_;
  uint64_t savedDigest_ = 0;  // of the map as last saved or opened (MapDigest)
  bool finished_ = false;
};

}  // namespace sectionhost
