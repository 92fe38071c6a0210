// The batch front end: runs a script against a session and writes the results, as the command
// line of sectionhost asks (HostOptions). Exit status: 0; 3 when an exception left a plug-in
// (the script still ran to its end); 2 with a message on the error stream for a malformed
// script line (nothing is run then), an unreadable script, map or plug-in, or an output file
// that cannot be written.
#pragma once
#include <ostream>

#include "sectionhost/session/HostOptions.h"
#include "ScriptInput.h"
#include "sectionhost/session/Session.h"

namespace sectionhost {

class BatchRunner {
 public:
  // Runs everything: the transcript goes to `out`, diagnostics to `err`.
  static int Run(const HostOptions& options, std::ostream& out, std::ostream& err);
  // Runs the script's lines on a started session until the script ends (a dialog still open
  // when it ends is closed as Esc by the desktop).
  static void RunLines(Session& session, ScriptInput& input);
};

}  // namespace sectionhost
