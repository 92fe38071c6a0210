// The batch front end; see BatchRunner.h. The steps: read and check the script, open the run
// (SessionRun: options, session, map, plug-ins), install the scripted desktop, run the lines,
// then finish the run (the map and the picture written, plug-ins unloaded first).
#include "BatchRunner.h"

#include <fstream>
#include <sstream>

#include "ScriptDesktop.h"
#include "sectionhost/session/SessionRun.h"

namespace sectionhost {

namespace {

bool ReadFile(const std::string& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream buffer;
  buffer << in.rdbuf();
  *content = buffer.str();
  return true;
}

// A `dialog` line read here has no dialog to go to: dialogs read their lines themselves.
void RunLine(Session& session, const ScriptCommand& c) {
  std::string why;
  bool ok = true;
  switch (c.kind) {
    case ScriptCommand::Launch:
      ok = session.Launch(c.text, &why);
      break;
    case ScriptCommand::Pick:
      ok = session.Pick(c.ids, &why);
      break;
    case ScriptCommand::Text:
      ok = session.Text(c.text, &why);
      break;
    case ScriptCommand::Key:
      ok = session.Key(c.code, &why);
      break;
    case ScriptCommand::Event:
      ok = session.Event(c.code, c.p1, c.p2, &why);
      break;
    case ScriptCommand::Status:
      ok = session.SetStatus(c.code, &why);
      break;
    case ScriptCommand::State:
      session.SetState(c.code, c.p1);
      break;
    case ScriptCommand::Gate:
      session.SetGate(c.gate == ScriptCommand::GateOpen     ? MapControl::GateMode::Open
                      : c.gate == ScriptCommand::GateClosed ? MapControl::GateMode::Closed
                                                            : MapControl::GateMode::Blocked,
                      c.code);
      break;
    case ScriptCommand::Dialog:
      ok = false;
      why = "no dialog is open";
      break;
  }
  if (!ok) session.Output().Error(why);
}

}  // namespace

void BatchRunner::RunLines(Session& session, ScriptInput& input) {
  ScriptDesktop desktop(input, session.Output());
  kp::DesktopScope scope(&desktop);
  ScriptLine line;
  ScriptCommand command;
  while (input.Next(&line, &command)) RunLine(session, command);
}

int BatchRunner::Run(const HostOptions& options, std::ostream& out, std::ostream& err) {
  std::string content;
  if (!ReadFile(options.script, &content)) {
    err << "sectionhost: cannot read the script " << options.script << "\n";
    return 2;
  }
  Transcript transcript(out);
  ScriptInput input(ScriptParser::SplitLines(content), transcript);
  std::string error;
  if (!input.Validate(&error)) {
    err << "sectionhost: " << options.script << ": " << error << "\n";
    return 2;
  }
  SessionRun run(options, transcript, err);
  if (!run.Open(SessionRun::PluginFailure::Fatal)) return 2;
  RunLines(run.Engine(), input);
  return run.Finish(run.Engine().ExceptionSeen() ? 3 : 0, SessionRun::Results::MapAndPicture);
}

}  // namespace sectionhost
