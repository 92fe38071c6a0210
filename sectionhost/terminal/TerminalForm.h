// A form drawn on the terminal below the command line: the modal dialog (caption, buttons by
// their captions, the rows of its list with the current one marked) or a message box (caption,
// text, buttons). Drawing again replaces the previous drawing in place (cursor up, clear to the
// end of the screen), so the form stays one block while the person moves through it; Erase
// takes it away. The terminal is assumed to understand the ANSI cursor-up and erase-down codes;
// long lines wrap and are counted by display width (wide CJK characters take two columns).
//
// The layout, in UTF-8:
//   ┌─ CAPTION
//   │ TEXT LINE                        (message boxes)
//   │ 1 [确定]*  2 [取消]  3 <连接数据库>  (<...> has the focus; * marks the default button)
//   │ list: N rows                     (dialogs with a list box)
//   │   ↑ K more
//   │ > 15: 中侏罗统                    (the current row)
//   │   16: 上侏罗统
//   │   ↓ K more
//   └─ HINT
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace sectionhost {

struct FormButton {
  std::string caption;  // UTF-8, without '&'
  int id = 0;
  bool isDefault = false;
  bool enabled = true;
};

struct FormView {
  std::string caption;                 // UTF-8
  std::vector<std::string> textLines;  // message box text
  bool hasList = false;
  std::vector<std::string> rows;  // list rows, UTF-8
  int current = -1;               // the list's current (selected) row, -1 for none
  std::vector<FormButton> buttons;
  int focus = -1;  // index into buttons
  std::string hint;
};

class TerminalForm {
 public:
  // Output goes to `out`; the terminal's size is read from `fd` (80 x 24 when it is not one).
  TerminalForm(std::ostream& out, int fd) : out_(out), fd_(fd) {}

  void Draw(const FormView& view);
  void Erase();

  // The form's lines, showing at most `maxRows` list rows around the current one (Draw shows up to
  // 12, fewer on a small terminal).
  static std::vector<std::string> Lines(const FormView& view, int maxRows);
  // Columns a UTF-8 text takes on the terminal (wcwidth; 1 for what it does not know).
  static int DisplayWidth(const std::string& utf8);

 private:
  std::ostream& out_;
  int fd_;
  int drawnRows_ = 0;  // terminal rows taken by the last drawing
};

}  // namespace sectionhost
