// The scripted desktop; see ScriptDesktop.h. Controls are found through the window API
// (GetWindow, GetClassNameA, GetWindowTextA, GetDlgCtrlID), rows read with LB_GETTEXT.
#include "ScriptDesktop.h"

#include <strings.h>
#include <winnls.h>

#include <string>
#include <vector>

namespace sectionhost {

namespace {

const char kConnectCaption[] = "连接数据库";  // GBK at run time

std::string WindowText(HWND hwnd) {
  char buffer[512] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string ClassName(HWND hwnd) {
  char buffer[64] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::vector<HWND> Children(HWND dlg) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::string WithoutAmpersands(const std::string& s) {
  std::string out;
  for (char ch : s) {
    if (ch != '&') out += ch;
  }
  return out;
}

}  // namespace

int ScriptDesktop::MessageBox(HWND, const char* text, const char* caption, UINT type) {
  transcript_.MessageBoxLine(caption ? caption : "Error", text ? text : "");
  return kp::MessageBoxDefaultAnswer(type);
}

void ScriptDesktop::DialogOpened(HWND dlg) {
  ++openDialogs_;
  endOfInputs_ = 0;
  transcript_.Dialog(kp::GbkToUtf8(WindowText(dlg)));
}

void ScriptDesktop::DialogListChanged(HWND dlg, int listId) {
  changedLists_.insert({dlg, listId});
}

void ScriptDesktop::FlushRows(HWND dlg) {
  for (auto it = changedLists_.begin(); it != changedLists_.end();) {
    if (it->first != dlg) {
      ++it;
      continue;
    }
    HWND list = GetDlgItem(dlg, it->second);
    LRESULT count = list ? SendMessageA(list, LB_GETCOUNT, 0, 0) : 0;
    for (LRESULT row = 0; row < count; ++row) {
      LRESULT length = SendMessageA(list, LB_GETTEXTLEN, row, 0);
      std::string text(length > 0 ? length : 0, '\0');
      std::vector<char> buffer(text.size() + 1, '\0');
      SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(buffer.data()));
      transcript_.Dialog(std::to_string(row) + ": " + kp::GbkToUtf8(buffer.data()));
    }
    it = changedLists_.erase(it);
  }
}

kp::DialogAction ScriptDesktop::NextDialogAction(HWND dlg) {
  FlushRows(dlg);
  ScriptLine line;
  ScriptCommand command;
  while (input_.Next(&line, &command)) {
    if (command.kind == ScriptCommand::Dialog) {
      transcript_.Dialog(ScriptParser::DialogText(command));
      return ToAction(dlg, command);
    }
    transcript_.Error("the dialog \"" + kp::GbkToUtf8(WindowText(dlg)) +
                      "\" is open; this line cannot run now");
  }
  // The script ended with the dialog open: Esc, and if that does not close it, end of input.
  if (endOfInputs_++ == 0) {
    transcript_.Dialog("esc");
    return kp::DialogAction::MakeEscape();
  }
  return kp::DialogAction::MakeEndOfInput();
}

kp::DialogAction ScriptDesktop::ToAction(HWND dlg, const ScriptCommand& command) {
  std::vector<HWND> children = Children(dlg);
  auto firstList = [&]() {
    for (HWND child : children) {
      if (strcasecmp(ClassName(child).c_str(), "LISTBOX") == 0) return GetDlgCtrlID(child);
    }
    return 0;
  };
  switch (command.dialog) {
    case ScriptCommand::DialogConnect: {
      int fallback = 0;
      for (HWND child : children) {
        if (strcasecmp(ClassName(child).c_str(), "BUTTON") != 0) continue;
        int id = GetDlgCtrlID(child);
        if (WithoutAmpersands(WindowText(child)) == kConnectCaption) return kp::DialogAction::MakeClick(id);
        if (!fallback && id != IDOK && id != IDCANCEL) fallback = id;
      }
      return kp::DialogAction::MakeClick(fallback);
    }
    case ScriptCommand::DialogSelect:
      return kp::DialogAction::MakeSelect(firstList(), command.row);
    case ScriptCommand::DialogDoubleClick:
      return kp::DialogAction::MakeDoubleClick(firstList(), command.row);
    case ScriptCommand::DialogOk:
      return kp::DialogAction::MakeClick(IDOK);
    case ScriptCommand::DialogCancel:
      return kp::DialogAction::MakeClick(IDCANCEL);
    case ScriptCommand::DialogEnter:
      return kp::DialogAction::MakeEnter();
    case ScriptCommand::DialogEsc:
      return kp::DialogAction::MakeEscape();
    case ScriptCommand::DialogClose:
      return kp::DialogAction::MakeClose();
  }
  return kp::DialogAction::MakeEscape();
}

void ScriptDesktop::DialogClosed(HWND dlg, int result) {
  FlushRows(dlg);
  if (openDialogs_ > 0) --openDialogs_;
  transcript_.Dialog(result == IDOK ? "closed: OK" : "closed: Cancel");
}

}  // namespace sectionhost
