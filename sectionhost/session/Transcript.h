// The command-line transcript of a session: what the person (or the script) sees, one line at a
// time, in UTF-8 on an output stream. Plug-in texts arrive in GBK and are converted here; script
// lines are UTF-8 already. The forms of the lines are fixed (docs/sectionhost.md):
//   "> LINE"                       each script line that is run or read by a dialog
//   TEXT                           each ShowText text and each non-empty reply, as given
//   "[message box] CAPTION: TEXT"  line breaks written as \n, tabs as \t
//   "[dialog] ..."                 the modal dialog: caption, actions, rows, the way it closed
//   "[error] WHY"                  a line that could not run, or an exception out of a plug-in
//   "[warning] WHAT"               the host changed something to hold it (a stratum code cut)
#pragma once
#include <ostream>
#include <string>

namespace sectionhost {

class Transcript {
 public:
  explicit Transcript(std::ostream& out) : out_(out) {}

  void Echo(const std::string& utf8Line) { Line("> " + utf8Line); }
  void CommandText(const std::string& gbk);  // ShowText and replies
  void MessageBoxLine(const std::string& gbkCaption, const std::string& gbkText);
  void Dialog(const std::string& utf8Text) { Line("[dialog] " + utf8Text); }
  void Error(const std::string& utf8Text) { Line("[error] " + utf8Text); }
  void Warning(const std::string& utf8Text) { Line("[warning] " + utf8Text); }
  // Writes one UTF-8 line and flushes it, so the transcript interleaves correctly with stderr.
  void Line(const std::string& utf8);

  // "\n" and "\t" for line breaks and tabs (CR too, as "\r"), so a message stays on one line.
  static std::string EscapeBreaks(const std::string& text);

 private:
  std::ostream& out_;
};

}  // namespace sectionhost
