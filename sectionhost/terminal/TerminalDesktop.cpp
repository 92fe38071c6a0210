// The terminal desktop; see TerminalDesktop.h. Dialog controls are read through the window API
// (GetWindow, GetClassNameA, GetWindowTextA, GetWindowLongPtrA, DM_GETDEFID, LB_GETCOUNT,
// LB_GETTEXT, LB_GETCURSEL); texts are GBK there and UTF-8 on the terminal. The form is erased
// before an action is handed back, so whatever the action prints lands below the last form and
// the next wait draws the form afresh.
#include "TerminalDesktop.h"

#include <strings.h>
#include <winnls.h>

#include <algorithm>

namespace sectionhost {

namespace {

constexpr int kPageRows = 10;  // rows moved by Page Up / Page Down

std::string WindowTextUtf8(HWND hwnd) {
  int length = GetWindowTextLengthA(hwnd);
  std::vector<char> buffer(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
  GetWindowTextA(hwnd, buffer.data(), static_cast<int>(buffer.size()));
  return kp::GbkToUtf8(buffer.data());
}

bool HasClass(HWND hwnd, const char* name) {
  char buffer[64] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return strcasecmp(buffer, name) == 0;
}

// The letter between "(" and ")" at the end of a caption such as "是(Y)", or 0.
char32_t HotLetter(const std::string& caption) {
  size_t n = caption.size();
  if (n >= 3 && caption[n - 1] == ')' && caption[n - 3] == '(') return static_cast<char32_t>(caption[n - 2]);
  return 0;
}

char32_t Upper(char32_t ch) {
  return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char ch : text) {
    if (ch == '\n') {
      lines.emplace_back();
    } else if (ch != '\r') {
      lines.back() += ch == '\t' ? ' ' : ch;
    }
  }
  return lines;
}

const char kDialogHint[] =
    "↑↓ row · Tab/←→ button · Space presses it · 1-9 a button · Enter: default · Esc: cancel";
const char kMessageHint[] = "Tab/←→ button · Enter presses it · a letter or 1-9 a button · Esc: cancel";

}  // namespace

std::vector<FormButton> TerminalDesktop::MessageBoxButtons(UINT type) {
  auto make = [](int id, const char* caption) {
    FormButton b;
    b.id = id;
    b.caption = caption;
    return b;
  };
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {make(IDOK, "确定"), make(IDCANCEL, "取消")};
    case MB_ABORTRETRYIGNORE:
      return {make(IDABORT, "中止(A)"), make(IDRETRY, "重试(R)"), make(IDIGNORE, "忽略(I)")};
    case MB_YESNOCANCEL:
      return {make(IDYES, "是(Y)"), make(IDNO, "否(N)"), make(IDCANCEL, "取消")};
    case MB_YESNO:
      return {make(IDYES, "是(Y)"), make(IDNO, "否(N)")};
    case MB_RETRYCANCEL:
      return {make(IDRETRY, "重试(R)"), make(IDCANCEL, "取消")};
    case MB_CANCELTRYCONTINUE:
      return {make(IDCANCEL, "取消"), make(IDTRYAGAIN, "重试(T)"), make(IDCONTINUE, "继续(C)")};
    default:
      return {make(IDOK, "确定")};
  }
}

int TerminalDesktop::MessageBox(HWND, const char* text, const char* caption, UINT type) {
  std::string gbkCaption = caption ? caption : "Error";
  std::string gbkText = text ? text : "";
  transcript_.MessageBoxLine(gbkCaption, gbkText);
  FormView view;
  view.caption = kp::GbkToUtf8(gbkCaption);
  view.textLines = SplitLines(kp::GbkToUtf8(gbkText));
  view.buttons = MessageBoxButtons(type);
  view.hint = kMessageHint;
  int defaultAnswer = kp::MessageBoxDefaultAnswer(type);
  int count = static_cast<int>(view.buttons.size());
  view.focus = 0;
  for (int i = 0; i < count; ++i) {
    if (view.buttons[i].id == defaultAnswer) view.focus = i;
    view.buttons[i].isDefault = view.buttons[i].id == defaultAnswer;
  }
  int cancel = 0;
  for (const FormButton& b : view.buttons) {
    if (b.id == IDCANCEL) cancel = IDCANCEL;
  }
  if (!cancel && count == 1) cancel = IDOK;

  RawMode raw(keys_.Fd());
  int answer = 0;
  while (!answer) {
    form_.Draw(view);
    Key key = keys_.ReadKey();
    switch (key.kind) {
      case Key::Enter:
        answer = view.buttons[view.focus].id;
        break;
      case Key::Escape:
        answer = cancel;
        break;
      case Key::EndOfInput:
        answer = defaultAnswer;
        break;
      case Key::Tab:
      case Key::Right:
        view.focus = (view.focus + 1) % count;
        break;
      case Key::BackTab:
      case Key::Left:
        view.focus = (view.focus + count - 1) % count;
        break;
      case Key::Char:
        if (key.ch >= '1' && key.ch < static_cast<char32_t>('1' + count)) {
          answer = view.buttons[key.ch - '1'].id;
          break;
        }
        for (const FormButton& b : view.buttons) {
          if (HotLetter(b.caption) && HotLetter(b.caption) == Upper(key.ch)) answer = b.id;
        }
        break;
      default:
        break;
    }
  }
  form_.Erase();
  for (const FormButton& b : view.buttons) {
    if (b.id == answer) transcript_.Line("[message box] answer: " + b.caption);
  }
  return answer;
}

std::string TerminalDesktop::WithoutAmpersands(const std::string& caption) {
  std::string out;
  for (char ch : caption) {
    if (ch != '&') out += ch;
  }
  return out;
}

HWND TerminalDesktop::FirstList(HWND dlg) {
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (HasClass(child, "LISTBOX")) return child;
  }
  return nullptr;
}

FormView TerminalDesktop::ReadDialog(HWND dlg, int focus) {
  FormView view;
  view.caption = WindowTextUtf8(dlg);
  view.hint = kDialogHint;
  LRESULT defId = SendMessageA(dlg, DM_GETDEFID, 0, 0);
  int defaultId = HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : IDOK;
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!HasClass(child, "BUTTON") || !IsWindowVisible(child)) continue;
    LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    if ((style & BS_TYPEMASK) > BS_DEFPUSHBUTTON) continue;  // check boxes, radio buttons, groups
    FormButton b;
    b.caption = WithoutAmpersands(WindowTextUtf8(child));
    b.id = GetDlgCtrlID(child);
    b.isDefault = b.id == defaultId;
    b.enabled = IsWindowEnabled(child) != FALSE;
    view.buttons.push_back(b);
  }
  view.focus = view.buttons.empty() ? -1 : std::clamp(focus, 0, static_cast<int>(view.buttons.size()) - 1);
  if (HWND list = FirstList(dlg)) {
    view.hasList = true;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
      LRESULT length = SendMessageA(list, LB_GETTEXTLEN, row, 0);
      std::vector<char> buffer(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
      SendMessageA(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(buffer.data()));
      view.rows.push_back(kp::GbkToUtf8(buffer.data()));
    }
    view.current = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
  }
  return view;
}

TerminalDesktop::OpenDialog* TerminalDesktop::Find(HWND dlg) {
  for (OpenDialog& d : open_) {
    if (d.dlg == dlg) return &d;
  }
  return nullptr;
}

void TerminalDesktop::DialogOpened(HWND dlg) {
  transcript_.Dialog(WindowTextUtf8(dlg));
  open_.push_back({dlg, 0, std::make_unique<RawMode>(keys_.Fd())});
}

kp::DialogAction TerminalDesktop::NextDialogAction(HWND dlg) {
  OpenDialog* open = Find(dlg);
  int focus = open ? open->focus : 0;
  RawMode raw(keys_.Fd());
  for (;;) {
    FormView view = ReadDialog(dlg, focus);
    if (open) open->focus = view.focus;
    form_.Draw(view);
    Key key = keys_.ReadKey();
    int buttons = static_cast<int>(view.buttons.size());
    int rows = static_cast<int>(view.rows.size());
    int row = view.current;
    switch (key.kind) {
      case Key::Enter:
        form_.Erase();
        return kp::DialogAction::MakeEnter();
      case Key::Escape:
        form_.Erase();
        return kp::DialogAction::MakeEscape();
      case Key::EndOfInput:
        form_.Erase();
        return kp::DialogAction::MakeEndOfInput();
      case Key::Tab:
      case Key::Right:
        if (buttons) focus = (view.focus + 1) % buttons;
        continue;
      case Key::BackTab:
      case Key::Left:
        if (buttons) focus = (view.focus + buttons - 1) % buttons;
        continue;
      case Key::Up:
        row = row < 0 ? 0 : row - 1;
        break;
      case Key::Down:
        row = row + 1;
        break;
      case Key::PageUp:
        row = std::max(0, row - kPageRows);
        break;
      case Key::PageDown:
        row = row < 0 ? 0 : row + kPageRows;
        break;
      case Key::Home:
        row = 0;
        break;
      case Key::End:
        row = rows - 1;
        break;
      case Key::Char:
        if (key.ch == ' ' && view.focus >= 0) {
          form_.Erase();
          return kp::DialogAction::MakeClick(view.buttons[view.focus].id);
        }
        if (key.ch >= '1' && key.ch < static_cast<char32_t>('1' + std::min(buttons, 9))) {
          if (open) open->focus = static_cast<int>(key.ch - '1');
          form_.Erase();
          return kp::DialogAction::MakeClick(view.buttons[key.ch - '1'].id);
        }
        continue;
      default:
        continue;
    }
    // A cursor key on the list: select the row it lands on.
    if (rows == 0) continue;
    row = std::clamp(row, 0, rows - 1);
    if (row != view.current) {
      form_.Erase();
      return kp::DialogAction::MakeSelect(GetDlgCtrlID(FirstList(dlg)), row);
    }
  }
}

void TerminalDesktop::DialogClosed(HWND dlg, int result) {
  form_.Erase();
  open_.erase(std::remove_if(open_.begin(), open_.end(), [&](const OpenDialog& d) { return d.dlg == dlg; }),
              open_.end());
  transcript_.Dialog(result == IDOK ? "closed: OK" : "closed: Cancel");
}

}  // namespace sectionhost
