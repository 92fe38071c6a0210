// The desktop: what a person sees of the platform's windows and does with them. The host
// installs one (a terminal front end, a script runner); with none installed the platform is
// headless. The window manager calls it for message boxes, modal dialogs and cursor changes;
// everything else about a window (caption, controls, list rows) is read through the ordinary
// window API (GetWindowTextA, GetDlgItem, LB_GETTEXT, ...). Texts handed over are GBK.
//
// Two desktops come with the platform: HeadlessDesktop (message boxes to stderr in UTF-8,
// answering the default button; a modal dialog closes as cancel) and ScriptedDesktop, which
// plays a queue of actions and message-box answers and logs what it saw, for tests and batch
// runs. See docs/desktop.md.
#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "winuser.h"

namespace kp {

// One thing a person does in a modal dialog. The platform turns it into the messages a real
// dialog gets: Click(id) = the button's BN_CLICKED; Select(list, row) = LB_SETCURSEL then
// LBN_SELCHANGE; DoubleClick(list, row) = the selection then LBN_DBLCLK; Enter = WM_COMMAND
// of the default push button (BS_DEFPUSHBUTTON, else IDOK); Escape = WM_COMMAND IDCANCEL;
// Close = WM_CLOSE (which the dialog turns into IDCANCEL); EndOfInput = no more input will
// come: IDCANCEL, and the dialog is ended with IDCANCEL if it is still open after that.
struct DialogAction {
  enum Kind { Click, Select, DoubleClick, Enter, Escape, Close, EndOfInput } kind;
  int controlId;
  int row;

  static DialogAction MakeClick(int id) { return {Click, id, -1}; }
  static DialogAction MakeSelect(int listId, int row) { return {Select, listId, row}; }
  static DialogAction MakeDoubleClick(int listId, int row) { return {DoubleClick, listId, row}; }
  static DialogAction MakeEnter() { return {Enter, 0, -1}; }
  static DialogAction MakeEscape() { return {Escape, 0, -1}; }
  static DialogAction MakeClose() { return {Close, 0, -1}; }
  static DialogAction MakeEndOfInput() { return {EndOfInput, 0, -1}; }
};

class KPAPI Desktop {
 public:
  virtual ~Desktop();
  // A message box; text and caption are GBK. Answers IDOK, IDCANCEL, IDYES, ...
  virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
  // A modal dialog is shown; its caption and controls can be read through the window API.
  virtual void DialogOpened(HWND dlg) { (void)dlg; }
  // The next action of the person in the dialog. A desktop for people blocks here.
  virtual DialogAction NextDialogAction(HWND dlg) = 0;
  // Rows of a list box in an open dialog were added, removed or reset.
  virtual void DialogListChanged(HWND dlg, int listId) { (void)dlg, (void)listId; }
  // The modal dialog ended with this result; it still exists during the call.
  virtual void DialogClosed(HWND dlg, int result) { (void)dlg, (void)result; }
  // The cursor changed; cursorId is the IDC_ value (IDC_ARROW, IDC_WAIT, ...).
  virtual void CursorChanged(LPCSTR cursorId) { (void)cursorId; }
};

// Installs the desktop (not owned; null = headless) and answers the one installed.
KPAPI void SetDesktop(Desktop* desktop);
KPAPI Desktop* GetDesktop();

// No person: message boxes are written to stderr as "[message box] CAPTION: TEXT" (UTF-8) and
// answer the default button; every modal dialog gets EndOfInput, so it closes as cancel.
class KPAPI HeadlessDesktop : public Desktop {
 public:
  int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
  DialogAction NextDialogAction(HWND dlg) override;
};

// A script of actions and answers, with a record of what was shown. When the actions run out
// a dialog gets EndOfInput; when the answers run out a message box answers its default button.
class KPAPI ScriptedDesktop : public Desktop {
 public:
  struct MessageBoxSeen {
    std::string caption, text;  // GBK
    UINT type;
    int answer;
  };
  struct DialogSeen {
    std::string caption;                               // GBK
    std::map<int, std::vector<std::string>> listRows;  // list id -> rows at the last change
    int result = 0;                                    // EndDialog result, 0 while open
    bool closed = false;
  };

  void QueueAction(const DialogAction& action) { actions_.push_back(action); }
  void QueueAnswer(int messageBoxAnswer) { answers_.push_back(messageBoxAnswer); }
  size_t PendingActions() const { return actions_.size(); }

  const std::vector<MessageBoxSeen>& MessageBoxes() const { return messageBoxes_; }
  const std::vector<DialogSeen>& Dialogs() const { return dialogs_; }
  const std::vector<std::string>& Cursors() const { return cursors_; }  // "IDC_WAIT", ...
  // One line per event, in order: "open CAPTION", "action ...", "list ID N", "close RESULT",
  // "message CAPTION: TEXT", "cursor IDC_...".
  const std::vector<std::string>& Log() const { return log_; }

  int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
  void DialogOpened(HWND dlg) override;
  DialogAction NextDialogAction(HWND dlg) override;
  void DialogListChanged(HWND dlg, int listId) override;
  void DialogClosed(HWND dlg, int result) override;
  void CursorChanged(LPCSTR cursorId) override;

 private:
  DialogSeen* Current(HWND dlg);

  std::deque<DialogAction> actions_;
  std::deque<int> answers_;
  std::vector<MessageBoxSeen> messageBoxes_;
  std::vector<DialogSeen> dialogs_;
  std::map<HWND, size_t> open_;  // dialog window -> index in dialogs_
  std::vector<std::string> cursors_;
  std::vector<std::string> log_;
};

// Installs a desktop for the life of a scope and puts the previous one back.
class DesktopScope {
 public:
  explicit DesktopScope(Desktop* desktop) : previous_(GetDesktop()) { SetDesktop(desktop); }
  ~DesktopScope() { SetDesktop(previous_); }
  DesktopScope(const DesktopScope&) = delete;
  DesktopScope& operator=(const DesktopScope&) = delete;

 private:
  Desktop* previous_;
};

// The name of a system cursor id ("IDC_ARROW", ...), or "#n" for another id.
KPAPI std::string CursorName(LPCSTR cursorId);

}  // namespace kp
