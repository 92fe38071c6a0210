// The batch script of sectionhost: splitting a script file into lines and parsing one line into
// a command. Pure text work, no host objects, so the batch and the terminal front ends share it.
//
// A line is the text up to LF, less one CR right before the LF; nothing else is trimmed. Lines
// that are empty or start with '#' are not run (and not echoed). Script files are UTF-8; the
// command's text (`text`, `launch`) stays UTF-8 here and is converted to GBK where it reaches a
// plug-in. Numbers are 32-bit: decimal with an optional sign, or 0x-hex (`key` also takes `esc`).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sectionhost {

struct ScriptLine {
  int number = 0;    // 1-based line number in the file
  std::string text;  // the line, without its LF and the one CR before it
};

struct ScriptCommand {
  enum Kind { Launch, Pick, Text, Key, Event, Status, State, Gate, Dialog };
  enum GateMode { GateOpen, GateClosed, GateBlocked };
  enum DialogVerb {
    DialogConnect,
    DialogSelect,
    DialogDoubleClick,
    DialogOk,
    DialogCancel,
    DialogEnter,
    DialogEsc,
    DialogClose
  };

  Kind kind = Launch;
  std::string text;          // Launch: the name; Text: the command-line text
  std::vector<int32_t> ids;  // Pick: the ids in order
  int32_t code = 0;          // Key, Event, Status, State, Gate (blocked) codes
  int32_t p1 = 0;            // Event parameter 1; State: the step
  int32_t p2 = 0;            // Event parameter 2
  GateMode gate = GateOpen;
  DialogVerb dialog = DialogOk;
  int32_t row = 0;  // Dialog select / dblclick: row from 0
};

class ScriptParser {
 public:
  // Splits file content into lines (see above). A last line without LF is a line; content
  // ending in LF has no empty line after it.
  static std::vector<ScriptLine> SplitLines(const std::string& content);
  // True for lines that are neither run nor echoed: empty, or starting with '#'.
  static bool IsSkipped(const std::string& line);
  // Parses one runnable line. Answers nullopt and sets *error to a reason for a malformed line.
  static std::optional<ScriptCommand> Parse(const std::string& line, std::string* error);
  // Parses a 32-bit integer: decimal with optional sign, or 0x / 0X hex (the bit pattern,
  // so 0xFFFFFFFF is -1). False for anything else, including overflow.
  static bool ParseInt32(const std::string& token, int32_t* value);
  // The dialog verb as the transcript names it: "connect", "select 2", "ok", ...
  static std::string DialogText(const ScriptCommand& command);
};

}  // namespace sectionhost
