// The script as a source of input lines, shared by whoever waits for input: the batch runner
// between commands and the desktop while a modal dialog is open (as a person's inputs go to
// whatever is waiting). Taking a line echoes it ("> LINE"); lines that are not run (empty, or
// starting with '#') are passed over without an echo.
#pragma once
#include <string>
#include <vector>

#include "ScriptParser.h"
#include "sectionhost/session/Transcript.h"

namespace sectionhost {

class ScriptInput {
 public:
  ScriptInput(std::vector<ScriptLine> lines, Transcript& transcript)
      : lines_(std::move(lines)), transcript_(transcript) {}

  // Parses every runnable line; false with "LINE: why" in *error for the first malformed one.
  bool Validate(std::string* error) const;
  // The next runnable line, echoed and parsed (Validate has vouched for it); false at the end.
  bool Next(ScriptLine* line, ScriptCommand* command);
  bool AtEnd() const;

 private:
  std::vector<ScriptLine> lines_;
  size_t next_ = 0;
  Transcript& transcript_;
};

}  // namespace sectionhost
