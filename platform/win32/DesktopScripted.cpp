// The scripted desktop: plays queued dialog actions and message-box answers, and records what
// the platform showed (dialog captions, list rows after each change, results, message boxes,
// cursor changes) for tests and batch runs. When the script runs out, a dialog gets EndOfInput
// and a message box answers its default button, as the headless desktop does.
#include "kp/kpdesktop.h"

namespace kp {
namespace {

std::string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), length + 1)));
  return text;
}

std::vector<std::string> ListRows(HWND list) {
  std::vector<std::string> rows;
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::string row(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    LRESULT copied =
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row.data()));
    row.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    rows.push_back(row);
  }
  return rows;
}

std::string Describe(const DialogAction& a) {
  switch (a.kind) {
    case DialogAction::Click:
      return "click " + std::to_string(a.controlId);
    case DialogAction::Select:
      return "select " + std::to_string(a.controlId) + " " + std::to_string(a.row);
    case DialogAction::DoubleClick:
      return "double-click " + std::to_string(a.controlId) + " " + std::to_string(a.row);
    case DialogAction::Enter:
      return "enter";
    case DialogAction::Escape:
      return "escape";
    case DialogAction::Close:
      return "close-box";
    case DialogAction::EndOfInput:
      break;
  }
  return "end-of-input";
}

}  // namespace

ScriptedDesktop::DialogSeen* ScriptedDesktop::Current(HWND dlg) {
  auto it = open_.find(dlg);
  return it == open_.end() ? nullptr : &dialogs_[it->second];
}

int ScriptedDesktop::MessageBox(HWND, const char* text, const char* caption, UINT type) {
  int answer = MessageBoxDefaultAnswer(type);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  messageBoxes_.push_back({caption ? caption : "", text ? text : "", type, answer});
  log_.push_back("message " + messageBoxes_.back().caption + ": " + messageBoxes_.back().text);
  return answer;
}

void ScriptedDesktop::DialogOpened(HWND dlg) {
  DialogSeen seen;
  seen.caption = WindowText(dlg);
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[16];
    GetClassNameA(child, cls, sizeof cls);
    if (std::string(cls) == "ListBox") seen.listRows[GetDlgCtrlID(child)] = ListRows(child);
  }
  open_[dlg] = dialogs_.size();
  dialogs_.push_back(std::move(seen));
  log_.push_back("open " + dialogs_.back().caption);
}

DialogAction ScriptedDesktop::NextDialogAction(HWND) {
  DialogAction action = DialogAction::MakeEndOfInput();
  if (!actions_.empty()) {
    action = actions_.front();
    actions_.pop_front();
  }
  log_.push_back("action " + Describe(action));
  return action;
}

void ScriptedDesktop::DialogListChanged(HWND dlg, int listId) {
  DialogSeen* seen = Current(dlg);
  if (!seen) return;
  seen->listRows[listId] = ListRows(GetDlgItem(dlg, listId));
  log_.push_back("list " + std::to_string(listId) + " " + std::to_string(seen->listRows[listId].size()));
}

void ScriptedDesktop::DialogClosed(HWND dlg, int result) {
  if (DialogSeen* seen = Current(dlg)) {
    seen->result = result;
    seen->closed = true;
  }
  open_.erase(dlg);
  log_.push_back("close " + std::to_string(result));
}

void ScriptedDesktop::CursorChanged(LPCSTR cursorId) {
  cursors_.push_back(CursorName(cursorId));
  log_.push_back("cursor " + cursors_.back());
}

}  // namespace kp
