// The desktop (kpdesktop.h) of a person at a terminal. Message boxes and the modal dialog are
// drawn as terminal forms (TerminalForm) and wait for keys (KeyReader, input in raw mode):
//   - Dialog: caption, push buttons by their captions, the rows of the first list box.
//     Up/Down/Page Up/Page Down/Home/End choose the list's row (LB_SETCURSEL + LBN_SELCHANGE);
//     Tab, Shift-Tab, Left and Right move the focus between the buttons and Space presses the
//     focused one; the digit n presses the n-th button; Enter presses the default button;
//     Esc cancels; the end of the input closes the dialog as EndOfInput.
//   - Message box: caption, text, the buttons of its type with the default one focused;
//     Enter presses the focused button, the letters of the captions (Y, N, A, R, I, T, C) and
//     the digits press theirs, Esc answers Cancel when the box has one (OK for an OK-only box).
// When the dialog opens, "[dialog] CAPTION" goes to the transcript; when it closes the form is
// erased and "[dialog] closed: OK" (or Cancel) follows; a message box leaves
// "[message box] CAPTION: TEXT" and "[message box] answer: BUTTON".
#pragma once
#include <kp/kpdesktop.h>

#include <memory>
#include <vector>

#include "KeyReader.h"
#include "RawMode.h"
#include "TerminalForm.h"
#include "sectionhost/session/Transcript.h"

namespace sectionhost {

class TerminalDesktop : public kp::Desktop {
 public:
  TerminalDesktop(KeyReader& keys, std::ostream& out, int outFd, Transcript& transcript)
      : keys_(keys), form_(out, outFd), transcript_(transcript) {}

  int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
  void DialogOpened(HWND dlg) override;
  kp::DialogAction NextDialogAction(HWND dlg) override;
  void DialogClosed(HWND dlg, int result) override;

  // The buttons of a message box type, in order (captions as a Chinese Windows shows them).
  static std::vector<FormButton> MessageBoxButtons(UINT type);
  // The form of a dialog as the window API shows it; `focus` indexes its push buttons.
  static FormView ReadDialog(HWND dlg, int focus);
  // The first list box of a dialog, or null.
  static HWND FirstList(HWND dlg);
  // A caption without its accelerator marks ("连接数据库(&C)" -> "连接数据库(C)").
  static std::string WithoutAmpersands(const std::string& caption);

 private:
  struct OpenDialog {
    HWND dlg;
    int focus;  // index of the focused push button
    std::unique_ptr<RawMode> raw;
  };
  OpenDialog* Find(HWND dlg);

  KeyReader& keys_;
  TerminalForm form_;
  Transcript& transcript_;
  std::vector<OpenDialog> open_;
};

}  // namespace sectionhost
