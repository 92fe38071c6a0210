// The desktop (kpdesktop.h) of the window: what the platform shows a person becomes Qt windows.
//   - Message boxes: a QMessageBox with the module's caption and text, the buttons of its type
//     captioned as on a Chinese Windows (TerminalDesktop::MessageBoxButtons, the same set the
//     terminal shows), its icon (MB_ICONERROR, MB_ICONWARNING, MB_ICONQUESTION,
//     MB_ICONINFORMATION) and its default button (MB_DEFBUTTONn); Escape (or the close button)
//     answers Cancel when the box has one, OK for an OK-only box.
//   - Modal dialogs: a TemplateDialog per open dialog, made when the platform opens it and
//     destroyed when it closes; NextDialogAction waits in it for the person.
//   - The cursor: IDC_WAIT shows the busy cursor over the whole application until another
//     cursor is set; while a person is asked something the arrow is shown.
// The transcript gets the lines the terminal host writes: "[message box] CAPTION: TEXT" and
// "[message box] answer: BUTTON", "[dialog] CAPTION" and "[dialog] closed: OK|Cancel".
// Before a person is asked (a box, a dialog's wait) the window is brought up to date through
// the refresh callback, so the marks a command has just made show behind the question.
#pragma once
#include <kp/kpdesktop.h>

#include <QMessageBox>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "TemplateDialog.h"
#include "sectionhost/session/Transcript.h"

namespace sectionhost {

class QtDesktop : public kp::Desktop {
 public:
  QtDesktop(QWidget* owner, Transcript& transcript) : owner_(owner), transcript_(transcript) {}
  ~QtDesktop() override;

  void SetRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }

  int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
  void DialogOpened(HWND dlg) override;
  kp::DialogAction NextDialogAction(HWND dlg) override;
  void DialogListChanged(HWND dlg, int listId) override;
  void DialogClosed(HWND dlg, int result) override;
  void CursorChanged(LPCSTR cursorId) override;

  // The dialog open innermost, or null.
  TemplateDialog* OpenDialog() const { return dialogs_.empty() ? nullptr : dialogs_.back().second.get(); }
  bool Busy() const { return busy_; }
  static QMessageBox::Icon IconOf(UINT type);

 private:
  TemplateDialog* Find(HWND dlg) const;
  void BeforeAsking();

  QWidget* owner_;
  Transcript& transcript_;
  std::function<void()> refresh_;
  std::vector<std::pair<HWND, std::unique_ptr<TemplateDialog>>> dialogs_;
  bool busy_ = false;
};

}  // namespace sectionhost
