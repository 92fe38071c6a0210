// The batch front end; see BatchRunner.h. The steps: read and check the script, start the
// session (COM), open the map, load the plug-ins, install the scripted desktop, run the lines,
// write the map and the picture, then shut the session down (plug-ins unloaded first).
#include "BatchRunner.h"

#include <fstream>
#include <sstream>

#include "MapFile.h"
#include "ScriptDesktop.h"
#include "SvgWriter.h"
#include "host/CVOIntArray.h"
#include "host/VantorDispids.h"
#include "host/CVantorObjects.h"
#include "host/kpBase.h"

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

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
  if (!options.configDir.empty()) KpBaseSetConfigDirectory(options.configDir.c_str());

  std::ofstream calls;
  if (!options.calls.empty()) {
    calls.open(options.calls, std::ios::trunc);
    if (!calls) {
      err << "sectionhost: cannot write " << options.calls << "\n";
      return 2;
    }
  }

  Session session(transcript);
  if (!session.Start(&error)) {
    err << "sectionhost: " << error << "\n";
    return 2;
  }
  if (calls.is_open()) session.SetCallLog(&calls);
  if (!session.OpenMap(options.map, &error)) {
    err << "sectionhost: cannot read the map: " << error << "\n";
    return 2;
  }
  for (const std::string& path : options.plugins) {
    std::vector<std::string> errors;
    if (!session.LoadPlugin(path, &errors)) {
      for (const std::string& e : errors) err << "sectionhost: " << e << "\n";
      return 2;
    }
  }

  RunLines(session, input);

  int status = session.ExceptionSeen() ? 3 : 0;
  MapData result = session.CurrentMap();
  if (!options.out.empty() && !MapFile::Write(options.out, result, &error)) {
    err << "sectionhost: " << error << "\n";
    status = 2;
  }
  if (!options.svg.empty() && !SvgWriter::Write(options.svg, result, BaseName(options.map), &error)) {
    err << "sectionhost: " << error << "\n";
    status = 2;
  }
  session.SetCallLog(nullptr);
  session.Shutdown();
  return status;
}

int BatchRunner::SelfCheck(const HostOptions& options, std::ostream& out, std::ostream& err) {
  std::ostringstream sink;
  Transcript transcript(sink);
  Session session(transcript);
  std::string error;
  std::vector<std::string> failures;
  auto check = [&](bool ok, const std::string& what) {
    if (!ok) failures.push_back(what);
  };
  if (!session.Start(&error)) {
    err << "sectionhost: self-check: " << error << "\n";
    return 1;
  }
  MapData map;
  if (!options.map.empty()) {
    check(MapFile::Read(options.map, &map, &error), "reading the map: " + error);
  }
  check(session.LoadMap(map, &error), "loading the map: " + error);
  try {
    CVantorObjects* wrapper = session.Wrapper();
    wrapper->SetCommandState(1001, 7);
    LONG code = 0, step = 0;
    wrapper->GetCommandState(&code, &step);
    check(code == 1001 && step == 7, "the command state pair");
    wrapper->ShowText("self-check");
    check(sink.str() == "self-check\n", "ShowText");
    check(wrapper->GetMapScale() == map.MapScale(), "MapScale");
    CVOIntArray array;
    check(array.CreateDispatch(VANTOR_INTARRAY_PROGID), "creating VantorObjects.VOIntArray");
    array.Add(5);
    array.Add(8);
    VARIANT data = array.GetData();
    check(data.vt == (VT_BYREF | VT_I4) && data.plVal && data.plVal[1] == 8, "VOIntArray.GetData");
    check(array.GetSize() == 2 && array.GetAt(0) == 5, "VOIntArray.GetSize / GetAt");
    wrapper->SendMessage(WM_SETCURSOR, 0, 0);
    check(session.Control()->CursorUpdates() == 1, "the map window's WM_SETCURSOR");
  } catch (CException* e) {
    char buffer[512] = {};
    e->GetErrorMessage(buffer, sizeof buffer);
    failures.push_back(std::string("an automation call failed: ") + buffer);
    e->Delete();
  }
  session.Shutdown();
  if (!failures.empty()) {
    for (const std::string& f : failures) err << "sectionhost: self-check failed: " << f << "\n";
    return 1;
  }
  out << "sectionhost: self-check OK (map control, VOIntArray, window, " << map.entities.size()
      << " entities)\n";
  return 0;
}

}  // namespace sectionhost
