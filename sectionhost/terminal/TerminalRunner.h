// The interactive front end: a person at a terminal drives the same session engine (Session)
// as the batch runner, so commands behave alike in both. It reads command lines through
// LineEditor (libedit: editing, history), shows dialogs and message boxes through
// TerminalDesktop, and prints the command line's messages through the Transcript (UTF-8).
//
// A line is, in this order of precedence:
//   - a host command: help, menu, list, save [FILE], svg FILE, png FILE, undo, redo, pickdist [D],
//     text [TEXT] (sent to the running command as it stands), pick ITEM..., quit (or exit);
//   - during a pick, a pick line: entity ids and points "x,y" separated by blanks; a point
//     names the nearest entity that is not deleted within the pick distance;
//   - the name of a loaded command (command-line name or menu text): launches it;
//   - anything else (an empty line too) while a command is current: command-line text for it
//     (event 21); its reply is shown. With no command current it is refused.
// A lone Escape sends event 7 with VK_ESCAPE (0x1B) at once. The end of the input (Ctrl-D on
// an empty line) quits like `quit`; quitting asks first when the map differs from the last
// saved (or opened) one. An exception out of a plug-in is shown by the engine, which resets the
// command state; the session goes on.
#pragma once
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "sectionhost/session/HostOptions.h"
#include "sectionhost/session/PickLine.h"

namespace sectionhost {

class LineEditor;
class Session;
class Transcript;

class TerminalRunner {
 public:
  // One item of a pick line (PickLine, shared with the desktop's command line).
  using PickItem = PickLine::Item;

  // Runs the session on the terminal: keys from `inFd` (the same as `in`), output on `out` /
  // `outFile` (the same terminal), diagnostics before the session starts on `err`. Exit status
  // 0; 2 when the session cannot start or the map cannot be read.
  static int Run(const HostOptions& options, int inFd, FILE* in, FILE* outFile, std::ostream& out,
                 std::ostream& err);

  // Splits a pick line into ids and "x,y" points; false (with *why) when it is not one (an
  // empty line is not one).
  static bool ParsePickLine(const std::string& line, std::vector<PickItem>* items, std::string* why);
  // The help text, with the pick distance in force and the loaded commands.
  static std::string HelpText(double pickDistance);

 private:
  TerminalRunner(const HostOptions& options, Session& session, LineEditor& editor, std::ostream& out);
  void Loop();
  // Carries out one line; false when the session is to end.
  bool Dispatch(const std::string& line);
  std::string Prompt() const;
  bool Quit();
  void Menu();
  void List();
  bool Save(const std::string& path);
  void Picture(const std::string& path, bool png);
  void Undo();
  void Redo();
  void Pick(const std::vector<PickItem>& items);
  void PickDistance(const std::string& argument);
  bool Modified() const;
  void Error(const std::string& utf8);

  const HostOptions& options_;
  Session& session_;
  LineEditor& editor_;
  std::ostream& out_;
  double pickDistance_ = 1.0;
  std::string savePath_;
  std::string savedText_;  // the map as last saved or opened (MapFile::Format)
};

}  // namespace sectionhost
