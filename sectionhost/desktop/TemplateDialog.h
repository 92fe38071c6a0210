// A modal dialog of a plug-in as a real window. The platform creates the dialog from its
// template (controls as platform windows) and asks the desktop for the person's actions
// (kp::Desktop::NextDialogAction); this window shows the dialog with Qt widgets and turns what
// the person does into those actions:
//   - a push button clicked: Click(id); a row chosen in a list box: Select(list, row); a row
//     double-clicked: DoubleClick(list, row) (the selection, then LBN_DBLCLK, which the
//     dialog's code handles or not, as on Windows);
//   - Enter: Enter (the platform presses the default button, DM_GETDEFID); Escape: Escape;
//     the window's close button: Close.
// Layout: the template, found in the resource table of the dialog's module (GWLP_HINSTANCE)
// by its caption and control ids, gives each control's rectangle in dialog units; they are
// converted with the base units of the template's font (its face when installed, else the
// nearest CJK font: CjkFonts::DialogFont) measured as Windows measures them: the average width
// of the 52 Latin letters and the font's height (its em, as 宋体's). Without the template the controls'
// platform rectangles are converted back to dialog units.
//
// The widgets mirror the platform's windows and never hold state of their own: before each
// wait (Sync) captions, enabled and visible states and each list's current row are read again
// through the window API, and a list's rows are read whenever the platform reports a change
// (ReloadList). Changes made while mirroring do not count as the person's actions.
#pragma once
#include <kp/kpdesktop.h>
#include <kp/kpresource.h>

#include <QDialog>
#include <QFont>
#include <QSize>
#include <deque>
#include <map>

class QEventLoop;
class QListWidget;
class QPushButton;

namespace sectionhost {

class TemplateDialog : public QDialog {
  Q_OBJECT

 public:
  TemplateDialog(HWND dlg, QWidget* parent);
  ~TemplateDialog() override;

  // The template the platform made `dlg` from; null when its module's table has none that
  // matches (caption and control ids).
  static const KpDialogTemplate* FindTemplate(HWND dlg);
  // Windows' dialog base units of a font: ((width of "A..Za..z" / 26 + 1) / 2, height), the
  // height being the font's em in pixels (see the .cpp).
  static QSize BaseUnits(const QFont& font);

  // Shows the dialog (the first time), mirrors the platform's state and waits for the person's
  // next action.
  kp::DialogAction NextAction();
  void ReloadList(int listId);
  void Sync();

  HWND Handle() const { return dlg_; }
  QWidget* Control(int id) const;
  QListWidget* List(int id) const;
  QPushButton* Button(int id) const;
  QSize Base() const { return base_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Build();
  void Queue(const kp::DialogAction& action);

  HWND dlg_;
  QSize base_;
  std::map<int, QWidget*> controls_;
  std::deque<kp::DialogAction> pending_;
  QEventLoop* loop_ = nullptr;
  bool mirroring_ = false;
};

}  // namespace sectionhost
