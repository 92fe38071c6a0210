// The script's input lines; see ScriptInput.h.
#include "ScriptInput.h"

namespace sectionhost {

bool ScriptInput::Validate(std::string* error) const {
  for (const ScriptLine& line : lines_) {
    if (ScriptParser::IsSkipped(line.text)) continue;
    std::string why;
    if (!ScriptParser::Parse(line.text, &why)) {
      if (error) *error = "line " + std::to_string(line.number) + ": " + why + " ('" + line.text + "')";
      return false;
    }
  }
  return true;
}

bool ScriptInput::Next(ScriptLine* line, ScriptCommand* command) {
  while (next_ < lines_.size()) {
    const ScriptLine& candidate = lines_[next_++];
    if (ScriptParser::IsSkipped(candidate.text)) continue;
    std::string why;
    auto parsed = ScriptParser::Parse(candidate.text, &why);
    if (!parsed) continue;  // not reached after Validate
    transcript_.Echo(candidate.text);
    *line = candidate;
    *command = *parsed;
    return true;
  }
  return false;
}

bool ScriptInput::AtEnd() const {
  for (size_t i = next_; i < lines_.size(); ++i) {
    if (!ScriptParser::IsSkipped(lines_[i].text)) return false;
  }
  return true;
}

}  // namespace sectionhost
