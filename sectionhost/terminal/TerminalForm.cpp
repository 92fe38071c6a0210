// Drawing forms on the terminal; see TerminalForm.h.
#include "TerminalForm.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>

namespace sectionhost {

namespace {

constexpr int kDefaultColumns = 80, kDefaultRows = 24;
// Lines of the form besides the list rows (frame, buttons, list header, scroll marks, hint).
constexpr int kFormOverhead = 8;
constexpr int kMinListRows = 3;
constexpr int kMaxListRows = 12;

void TerminalSize(int fd, int* columns, int* rows) {
  winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    *columns = size.ws_col, *rows = size.ws_row;
  } else {
    *columns = kDefaultColumns, *rows = kDefaultRows;
  }
}

std::string ButtonText(const FormView& view, size_t i) {
  const FormButton& b = view.buttons[i];
  bool focused = static_cast<int>(i) == view.focus;
  std::string text = std::to_string(i + 1) + " ";
  std::string caption = b.enabled ? b.caption : "(" + b.caption + ")";
  text += focused ? "<" + caption + ">" : "[" + caption + "]";
  if (b.isDefault) text += "*";
  return text;
}

}  // namespace

std::vector<std::string> TerminalForm::Lines(const FormView& view, int maxRows) {
  std::vector<std::string> lines;
  lines.push_back("┌─ " + view.caption);
  for (const std::string& text : view.textLines) lines.push_back("│ " + text);
  if (!view.buttons.empty()) {
    std::string buttons = "│";
    for (size_t i = 0; i < view.buttons.size(); ++i) buttons += " " + ButtonText(view, i);
    lines.push_back(buttons);
  }
  if (view.hasList) {
    int count = static_cast<int>(view.rows.size());
    lines.push_back("│ list: " + std::to_string(count) + (count == 1 ? " row" : " rows"));
    int shown = std::max(1, std::min(maxRows, count));
    int top = std::clamp(view.current - shown / 2, 0, std::max(0, count - shown));
    if (top > 0) lines.push_back("│   ↑ " + std::to_string(top) + " more");
    for (int row = top; row < std::min(count, top + shown); ++row) {
      lines.push_back(std::string(row == view.current ? "│ > " : "│   ") + std::to_string(row) + ": " +
                      view.rows[row]);
    }
    int below = count - std::min(count, top + shown);
    if (below > 0) lines.push_back("│   ↓ " + std::to_string(below) + " more");
  }
  lines.push_back("└─ " + view.hint);
  return lines;
}

int TerminalForm::DisplayWidth(const std::string& utf8) {
  std::mbstate_t state{};
  int width = 0;
  const char* p = utf8.data();
  const char* end = p + utf8.size();
  while (p < end) {
    wchar_t ch = 0;
    size_t n = std::mbrtowc(&ch, p, static_cast<size_t>(end - p), &state);
    if (n == 0 || n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      state = {};
      ++p, ++width;
      continue;
    }
    int w = wcwidth(ch);
    width += w < 0 ? 1 : w;
    p += n;
  }
  return width;
}

void TerminalForm::Draw(const FormView& view) {
  int columns = 0, rows = 0;
  TerminalSize(fd_, &columns, &rows);
  std::vector<std::string> lines = Lines(view, std::clamp(rows - kFormOverhead, kMinListRows, kMaxListRows));
  Erase();
  for (const std::string& line : lines) {
    out_ << line << "\n";
    drawnRows_ += std::max(1, (DisplayWidth(line) + columns - 1) / columns);
  }
  out_.flush();
}

void TerminalForm::Erase() {
  if (drawnRows_ > 0) out_ << "\r\x1b[" << drawnRows_ << "A\x1b[J";
  out_.flush();
  drawnRows_ = 0;
}

}  // namespace sectionhost
