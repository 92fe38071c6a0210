// The desktop of a scripted session (kpdesktop.h): what the person would see of message boxes
// and modal dialogs is printed on the transcript, and the dialog's actions come from the script.
//   - A message box prints "[message box] CAPTION: TEXT" and answers its default button at
//     once; it reads no line.
//   - A dialog prints "[dialog] CAPTION" when it opens; then, whenever it waits for an action,
//     the rows of each list whose rows changed ("[dialog] ROW: NAME", ROW from 0), then the next
//     script line: a `dialog` line becomes the action (printed as "[dialog] VERB"); any other
//     line cannot run while the dialog is open and prints an "[error]" line. The end of the
//     script closes the dialog as Esc. "[dialog] closed: OK" or "[dialog] closed: Cancel" ends it.
// `connect` clicks the dialog's button captioned "连接数据库" (else its first push button other
// than OK and Cancel); `select` and `dblclick` act on the dialog's first list box.
#pragma once
#include <kp/kpdesktop.h>

#include <set>
#include <utility>

#include "ScriptInput.h"
#include "sectionhost/session/Transcript.h"

namespace sectionhost {

class ScriptDesktop : public kp::Desktop {
 public:
  ScriptDesktop(ScriptInput& input, Transcript& transcript) : input_(input), transcript_(transcript) {}

  int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
  void DialogOpened(HWND dlg) override;
  kp::DialogAction NextDialogAction(HWND dlg) override;
  void DialogListChanged(HWND dlg, int listId) override;
  void DialogClosed(HWND dlg, int result) override;

  bool DialogOpen() const { return openDialogs_ > 0; }

 private:
  void FlushRows(HWND dlg);
  kp::DialogAction ToAction(HWND dlg, const ScriptCommand& command);

  ScriptInput& input_;
  Transcript& transcript_;
  int openDialogs_ = 0;
  int endOfInputs_ = 0;
  std::set<std::pair<HWND, int>> changedLists_;
};

}  // namespace sectionhost
