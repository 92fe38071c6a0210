// The command line of the terminal front end: one line at a time with line editing and a
// history, through libedit (emacs key bindings: cursor keys, Home/End, Ctrl-A/E/K/U/W, Up and
// Down walk the history). Characters come from a KeyReader, so a lone Escape (ESC with no
// further byte within KeyReader::kEscapeWaitMs) ends the read at once as Result::Escape,
// without waiting for another key; Escape sequences of other keys reach libedit whole.
//
// Input and output are the terminal (UTF-8; the process's LC_CTYPE must be a UTF-8 locale for
// libedit to show wide characters). When the input is not a terminal libedit reads plain lines.
#pragma once
#include <cstdio>
#include <string>

#include "KeyReader.h"

struct editline;
struct history;

namespace sectionhost {

class LineEditor {
 public:
  enum class Result { Line, Escape, EndOfInput };

  LineEditor(KeyReader& keys, FILE* in, FILE* out);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // Shows the prompt and reads a line (UTF-8, without its line break). Escape discards the
  // text typed so far. A non-empty line is added to the history.
  Result Read(const std::string& prompt, std::string* line);

 private:
  static int GetChar(editline* el, wchar_t* ch);
  static unsigned char OnEscape(editline* el, int ch);
  static char* Prompt(editline* el);
  static LineEditor* Self(editline* el);

  KeyReader& keys_;
  editline* el_ = nullptr;
  history* history_ = nullptr;
  std::string prompt_;
  bool escaped_ = false;
};

}  // namespace sectionhost
