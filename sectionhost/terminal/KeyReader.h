// Keys from a terminal: bytes read from a file descriptor (normally standard input, in raw
// mode while a form waits), decoded into the keys a person pressed. Used by the command line
// (LineEditor hands libedit one character at a time through it) and by the dialog and
// message-box forms (TerminalDesktop), so type-ahead goes to whoever reads next.
//
// The Escape key and the escape sequences of other keys (cursor keys, Home, Page Down, ...)
// both start with the byte ESC. An ESC followed by no other byte within kEscapeWaitMs is the
// Escape key itself; it is reported at once then, without waiting for another key. Sequences
// understood: CSI and SS3 forms of the cursor keys, Home/End (H, F, 1~, 4~, 7~, 8~), Delete
// (3~), Page Up/Down (5~, 6~) and Shift-Tab (CSI Z). Text is UTF-8.
#pragma once
#include <deque>
#include <string>

namespace sectionhost {

struct Key {
  enum Kind {
    Char,  // a character: `ch` (a Unicode code point)
    Enter,
    Escape,
    Tab,
    BackTab,
    Up,
    Down,
    Left,
    Right,
    Home,
    End,
    PageUp,
    PageDown,
    Backspace,
    Delete,
    Other,      // a control character or a sequence that is not understood
    EndOfInput  // the input is closed (or failed)
  } kind = Other;
  char32_t ch = 0;
};

class KeyReader {
 public:
  // How long a lone ESC waits for a following byte before it counts as the Escape key.
  static constexpr int kEscapeWaitMs = 100;
  // Results of ReadByte besides a byte value.
  static constexpr int kEndOfInput = -1;
  static constexpr int kTimeout = -2;

  explicit KeyReader(int fd) : fd_(fd) {}

  int Fd() const { return fd_; }
  // The next byte (0-255); waits at most timeoutMs (negative: without limit). Answers kTimeout
  // when nothing came in time and kEndOfInput at the end of the input or on a read error.
  int ReadByte(int timeoutMs = -1);
  // Puts a byte back; it is read again before anything else.
  void Unread(unsigned char byte) { pending_.push_front(byte); }
  // True when the byte just read was ESC and nothing followed it within kEscapeWaitMs.
  bool LoneEscape();

  // One whole key.
  Key ReadKey();
  // The rest of a UTF-8 character whose first byte is `lead`; U+FFFD for a malformed one.
  char32_t ReadUtf8(int lead);

 private:
  Key ReadSequence();

  int fd_;
  std::deque<unsigned char> pending_;
};

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string* out, char32_t ch);

}  // namespace sectionhost
