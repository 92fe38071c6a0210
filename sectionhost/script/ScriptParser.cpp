// Script lines and their commands: see ScriptParser.h for the rules. Arguments of the numeric
// commands are separated by one or more blanks; `launch` and `text` take everything after the
// one space that follows the keyword, exactly as written.
#include "ScriptParser.h"

#include <cerrno>
#include <cstdlib>

namespace sectionhost {

namespace {

std::vector<std::string> SplitBlanks(const std::string& s) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    if (i > start) tokens.push_back(s.substr(start, i - start));
  }
  return tokens;
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

std::nullopt_t Bad(std::string* error, const std::string& why) {
  Fail(error, why);
  return std::nullopt;
}

bool NumberArg(const std::vector<std::string>& args, size_t i, const char* what, int32_t* value,
               std::string* error) {
  if (!ScriptParser::ParseInt32(args[i], value)) {
    return Fail(error, std::string(what) + " '" + args[i] + "' is not a 32-bit integer");
  }
  return true;
}

bool ExpectCount(const std::vector<std::string>& args, size_t least, size_t most, const std::string& usage,
                 std::string* error) {
  if (args.size() < least || args.size() > most) return Fail(error, "usage: " + usage);
  return true;
}

}  // namespace

std::vector<ScriptLine> ScriptParser::SplitLines(const std::string& content) {
  std::vector<ScriptLine> lines;
  size_t start = 0;
  int number = 0;
  while (start < content.size()) {
    size_t lf = content.find('\n', start);
    size_t end = lf == std::string::npos ? content.size() : lf;
    size_t textEnd = end;
    if (lf != std::string::npos && textEnd > start && content[textEnd - 1] == '\r') --textEnd;
    lines.push_back({++number, content.substr(start, textEnd - start)});
    if (lf == std::string::npos) break;
    start = lf + 1;
  }
  return lines;
}

bool ScriptParser::IsSkipped(const std::string& line) {
  return line.empty() || line[0] == '#';
}

bool ScriptParser::ParseInt32(const std::string& token, int32_t* value) {
  if (token.empty()) return false;
  const char* s = token.c_str();
  char* end = nullptr;
  errno = 0;
  if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
    if (token.size() > 10 || token.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) {
      return false;
    }
    unsigned long long v = std::strtoull(s + 2, &end, 16);
    *value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  size_t digits = (token[0] == '-' || token[0] == '+') ? 1 : 0;
  if (digits == token.size() || token.find_first_not_of("0123456789", digits) != std::string::npos)
    return false;
  long long v = std::strtoll(s, &end, 10);
  if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

std::optional<ScriptCommand> ScriptParser::Parse(const std::string& line, std::string* error) {
  size_t space = line.find(' ');
  std::string keyword = line.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  std::vector<std::string> args = SplitBlanks(rest);
  ScriptCommand c;

  if (keyword == "launch") {
    if (rest.empty()) return Bad(error, "usage: launch NAME");
    c.kind = ScriptCommand::Launch;
    c.text = rest;
    return c;
  }
  if (keyword == "text") {
    c.kind = ScriptCommand::Text;
    c.text = rest;
    return c;
  }
  if (keyword == "pick") {
    if (args.empty()) return Bad(error, "usage: pick ID...");
    c.kind = ScriptCommand::Pick;
    for (size_t i = 0; i < args.size(); ++i) {
      int32_t id = 0;
      if (!NumberArg(args, i, "entity id", &id, error)) return std::nullopt;
      c.ids.push_back(id);
    }
    return c;
  }
  if (keyword == "key") {
    if (!ExpectCount(args, 1, 1, "key esc | key CODE", error)) return std::nullopt;
    c.kind = ScriptCommand::Key;
    if (args[0] == "esc") {
      c.code = 0x1B;
    } else if (!NumberArg(args, 0, "key code", &c.code, error)) {
      return std::nullopt;
    }
    return c;
  }
  if (keyword == "event") {
    if (!ExpectCount(args, 1, 3, "event CODE [P1 P2]", error)) return std::nullopt;
    c.kind = ScriptCommand::Event;
    if (!NumberArg(args, 0, "event code", &c.code, error)) return std::nullopt;
    if (c.code == 21) return Bad(error, "event 21 carries text: use 'text TEXT'");
    if (args.size() > 1 && !NumberArg(args, 1, "parameter", &c.p1, error)) return std::nullopt;
    if (args.size() > 2 && !NumberArg(args, 2, "parameter", &c.p2, error)) return std::nullopt;
    return c;
  }
  if (keyword == "status") {
    if (!ExpectCount(args, 1, 1, "status CODE", error)) return std::nullopt;
    c.kind = ScriptCommand::Status;
    if (!NumberArg(args, 0, "status code", &c.code, error)) return std::nullopt;
    return c;
  }
  if (keyword == "state") {
    if (!ExpectCount(args, 2, 2, "state CODE STEP", error)) return std::nullopt;
    c.kind = ScriptCommand::State;
    if (!NumberArg(args, 0, "command code", &c.code, error)) return std::nullopt;
    if (!NumberArg(args, 1, "step", &c.p1, error)) return std::nullopt;
    return c;
  }
  if (keyword == "gate") {
    const std::string usage = "gate open | gate closed | gate blocked CODE";
    if (args.empty()) return Bad(error, "usage: " + usage);
    c.kind = ScriptCommand::Gate;
    if (args[0] == "open" || args[0] == "closed") {
      if (!ExpectCount(args, 1, 1, usage, error)) return std::nullopt;
      c.gate = args[0] == "open" ? ScriptCommand::GateOpen : ScriptCommand::GateClosed;
      return c;
    }
    if (args[0] == "blocked") {
      if (!ExpectCount(args, 2, 2, usage, error)) return std::nullopt;
      c.gate = ScriptCommand::GateBlocked;
      if (!NumberArg(args, 1, "command code", &c.code, error)) return std::nullopt;
      return c;
    }
    return Bad(error, "usage: " + usage);
  }
  if (keyword == "dialog") {
    const std::string usage =
        "dialog connect | select ROW | dblclick ROW | ok | cancel | enter | esc | close";
    if (args.empty()) return Bad(error, "usage: " + usage);
    c.kind = ScriptCommand::Dialog;
    static const struct {
      const char* word;
      ScriptCommand::DialogVerb verb;
      bool row;
    } verbs[] = {{"connect", ScriptCommand::DialogConnect, false},
                 {"select", ScriptCommand::DialogSelect, true},
                 {"dblclick", ScriptCommand::DialogDoubleClick, true},
                 {"ok", ScriptCommand::DialogOk, false},
                 {"cancel", ScriptCommand::DialogCancel, false},
                 {"enter", ScriptCommand::DialogEnter, false},
                 {"esc", ScriptCommand::DialogEsc, false},
                 {"close", ScriptCommand::DialogClose, false}};
    for (const auto& v : verbs) {
      if (args[0] != v.word) continue;
      c.dialog = v.verb;
      if (!ExpectCount(args, v.row ? 2 : 1, v.row ? 2 : 1, usage, error)) return std::nullopt;
      if (v.row) {
        if (!NumberArg(args, 1, "row", &c.row, error)) return std::nullopt;
        if (c.row < 0) return Bad(error, "row " + args[1] + " is negative (rows count from 0)");
      }
      return c;
    }
    return Bad(error, "usage: " + usage);
  }
  return Bad(error, "unknown command '" + keyword + "'");
}

std::string ScriptParser::DialogText(const ScriptCommand& command) {
  switch (command.dialog) {
    case ScriptCommand::DialogConnect:
      return "connect";
    case ScriptCommand::DialogSelect:
      return "select " + std::to_string(command.row);
    case ScriptCommand::DialogDoubleClick:
      return "dblclick " + std::to_string(command.row);
    case ScriptCommand::DialogOk:
      return "ok";
    case ScriptCommand::DialogCancel:
      return "cancel";
    case ScriptCommand::DialogEnter:
      return "enter";
    case ScriptCommand::DialogEsc:
      return "esc";
    case ScriptCommand::DialogClose:
      return "close";
  }
  return "?";
}

}  // namespace sectionhost
