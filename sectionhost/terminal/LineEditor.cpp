// The command line through libedit; see LineEditor.h.
//
// libedit reads characters through our EL_GETCFN function. A lone Escape cannot be told from
// the start of a sequence by libedit itself (it would wait for the next key), so the function
// decides with KeyReader::LoneEscape and hands libedit a private control character instead,
// bound to "sectionhost-escape", which ends the read. That character is Ctrl-_ (0x1F), which has
// no binding of its own in libedit's emacs map; typing Ctrl-_ therefore also counts as Escape.
#include "LineEditor.h"

#include <histedit.h>

namespace sectionhost {

namespace {

constexpr wchar_t kEscapeStandIn = 0x1F;
constexpr int kHistorySize = 500;

}  // namespace

LineEditor::LineEditor(KeyReader& keys, FILE* in, FILE* out) : keys_(keys) {
  el_ = el_init("sectionhost", in, out, stderr);
  history_ = history_init();
  HistEvent event;
  history(history_, &event, H_SETSIZE, kHistorySize);
  history(history_, &event, H_SETUNIQUE, 1);
  el_set(el_, EL_CLIENTDATA, this);
  el_set(el_, EL_EDITOR, "emacs");
  el_set(el_, EL_SIGNAL, 1);
  el_set(el_, EL_HIST, history, history_);
  el_set(el_, EL_PROMPT, &LineEditor::Prompt);
  el_set(el_, EL_GETCFN, &LineEditor::GetChar);
  // The wide form: libedit keeps these (static) texts as they are. The narrow form copies them
  // with wcsdup and never frees the copies.
  el_wset(el_, EL_ADDFN, L"sectionhost-escape", L"Escape: sends the key to the running command",
          &LineEditor::OnEscape);
  el_wset(el_, EL_BIND, L"^_", L"sectionhost-escape", nullptr);
}

LineEditor::~LineEditor() {
  el_end(el_);
  history_end(history_);
}

LineEditor* LineEditor::Self(editline* el) {
  void* data = nullptr;
  el_get(el, EL_CLIENTDATA, &data);
  return static_cast<LineEditor*>(data);
}

char* LineEditor::Prompt(editline* el) {
  return Self(el)->prompt_.data();
}

// Answers 1 with a character, 0 at the end of the input (libedit's EL_GETCFN contract).
int LineEditor::GetChar(editline* el, wchar_t* ch) {
  KeyReader& keys = Self(el)->keys_;
  int byte = keys.ReadByte();
  if (byte < 0) return 0;
  if (byte == 0x1B && keys.LoneEscape()) {
    *ch = kEscapeStandIn;
  } else {
    *ch = static_cast<wchar_t>(keys.ReadUtf8(byte));
  }
  return 1;
}

unsigned char LineEditor::OnEscape(editline* el, int) {
  Self(el)->escaped_ = true;
  const LineInfo* line = el_line(el);
  el_cursor(el, static_cast<int>(line->lastchar - line->cursor));
  el_deletestr(el, static_cast<int>(line->lastchar - line->buffer));
  return CC_NEWLINE;
}

LineEditor::Result LineEditor::Read(const std::string& prompt, std::string* line) {
  prompt_ = prompt;
  escaped_ = false;
  int count = 0;
  const char* text = el_gets(el_, &count);
  if (escaped_) {
    line->clear();
    return Result::Escape;
  }
  if (!text) return Result::EndOfInput;
  *line = text;
  while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
  if (!line->empty()) {
    HistEvent event;
    history(history_, &event, H_ENTER, line->c_str());
  }
  return Result::Line;
}

}  // namespace sectionhost
