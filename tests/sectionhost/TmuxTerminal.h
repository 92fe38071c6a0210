// A terminal for tests that play a person: a detached tmux session of its own (a private
// server socket) runs a program in a pseudo-terminal of a fixed size; the test types real keys
// into it (tmux send-keys: literal text, Enter, Escape, Up, Down, Tab, ...) and reads the
// screen back (capture-pane, with the scrollback). When the program ends, the pane stays and
// shows "[exit N]". Tests skip when tmux is not installed.
#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace sectionhost {

class TmuxTerminal {
 public:
  static bool Available();

  TmuxTerminal() = default;
  ~TmuxTerminal();
  TmuxTerminal(const TmuxTerminal&) = delete;
  TmuxTerminal& operator=(const TmuxTerminal&) = delete;

  // Starts `command` (a shell command line) in `directory`, on a terminal of columns x rows.
  bool Start(const std::string& command, const std::string& directory, int columns = 120, int rows = 50);
  // Types text literally (no key names).
  void Type(const std::string& text);
  // Presses keys by their tmux names ("Enter", "Escape", "Down", "Tab", "BTab", "Space", ...).
  void Press(const std::vector<std::string>& keys);
  // The screen and its scrollback as text, trailing blanks of each line removed (so a prompt
  // waiting for input ends in ">", without its blank).
  std::string Screen();
  // Waits until the screen holds `text` (after `after` occurrences of it); false on timeout.
  bool WaitFor(const std::string& text, int occurrences = 1,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(15000));
  // How often `text` appears on the screen.
  int Count(const std::string& text);

  // A shell word: the text in single quotes.
  static std::string Quote(const std::string& text);

 private:
  std::string Run(const std::string& arguments);

  std::string socket_;
  std::string socketPath_;
  bool started_ = false;
};

}  // namespace sectionhost
