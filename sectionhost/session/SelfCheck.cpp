// The host's check of itself; see SelfCheck.h.
#include "SelfCheck.h"

#include <sstream>
#include <string>
#include <vector>

#include "Session.h"
#include "Transcript.h"
#include "host/CVOIntArray.h"
#include "host/CVantorObjects.h"
#include "host/VantorDispids.h"
#include "sectionhost/map/MapFile.h"

namespace sectionhost {

int SelfCheck::Run(const HostOptions& options, std::ostream& out, std::ostream& err) {
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
