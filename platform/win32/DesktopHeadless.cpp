// The headless desktop: nobody looks and nobody answers. A message box is written to stderr as
// "[message box] CAPTION: TEXT" in UTF-8 (the terminal's encoding; the texts arrive as GBK) and
// answers its default button; a modal dialog is told EndOfInput at once, so it closes as cancel.
#include <cstdio>

#include "kp/kpdesktop.h"
#include "winnls.h"

namespace kp {

int HeadlessDesktop::MessageBox(HWND, const char* text, const char* caption, UINT type) {
  std::string line =
      "[message box] " + GbkToUtf8(caption ? caption : "") + ": " + GbkToUtf8(text ? text : "") + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  return MessageBoxDefaultAnswer(type);
}

DialogAction HeadlessDesktop::NextDialogAction(HWND) {
  return DialogAction::MakeEndOfInput();
}

}  // namespace kp
