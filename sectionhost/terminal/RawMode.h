// Raw terminal input for the life of an object: keys arrive one at a time, unechoed, with CR
// not turned into LF and without flow control, so the forms of TerminalDesktop can read cursor
// keys and a lone Escape. Output processing (LF as CR LF) and signals (Ctrl-C) stay as they
// were. The previous settings are put back by the destructor. On a descriptor that is not a
// terminal nothing changes. Objects nest (each restores what it found).
#pragma once
#include <termios.h>

namespace sectionhost {

class RawMode {
 public:
  explicit RawMode(int fd);
  ~RawMode();
  RawMode(const RawMode&) = delete;
  RawMode& operator=(const RawMode&) = delete;

 private:
  int fd_;
  bool active_ = false;
  termios saved_{};
};

}  // namespace sectionhost
