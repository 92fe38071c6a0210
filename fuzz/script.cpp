// Script lines of the reference host's session engine, run against the stratum plug-in on the
// sample section (examples/section.geojson, lexicon examples/isoDB.udl). Every input is a
// script: a malformed one is refused with a reason before anything runs; a valid one runs to
// its end (libFuzzer's -timeout catches a hang) with the plug-in's exceptions contained. Before
// each input the command the last one left going is ended (launched afresh and cancelled) and
// the map is loaded anew. Property: curves are deleted
// only by runs that built a stratum, so no more curves are marked deleted than twice the number
// of strata the script made.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>
#include <string>

#include "sectionhost/script/BatchRunner.h"
#include "FuzzCheck.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/script/ScriptInput.h"
#include "sectionhost/script/ScriptParser.h"
#include "sectionhost/session/Session.h"
#include "kpBase.h"

using namespace sectionhost;

namespace {

std::string SourceDir() {
  const char* dir = std::getenv("KP_SOURCE_DIR");
  return dir ? dir : KP_FUZZ_SOURCE_DIR;
}

std::string BinDir() {
  char path[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string self(path, n > 0 ? static_cast<size_t>(n) : 0);
  return self.substr(0, self.rfind('/'));
}

struct Host {
  std::ostringstream sink;
  Transcript transcript{sink};
  Session session{transcript};
  MapData map;

  Host() {
    std::string error;
    KpBaseSetConfigDirectory((SourceDir() + "/examples").c_str());
    FUZZ_CHECK(MapFile::Read(SourceDir() + "/examples/section.geojson", &map, &error));
    FUZZ_CHECK(session.Start(&error));
    std::vector<std::string> errors;
    FUZZ_CHECK(session.LoadPlugin(BinDir() + "/libkpSect03StratumSel.so", &errors));
  }
};

int Count(const MapData& map, bool (*what)(const MapEntity&)) {
  int n = 0;
  for (const MapEntity& e : map.entities) n += what(e) ? 1 : 0;
  return n;
}

// Started before the first input (so the leak check does not count it against one) and kept to
// the end of the process, as a session is.
Host* TheHost() {
  static Host* host = new Host;
  return host;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  Host* host = TheHost();
  Transcript transcript(host->sink);
  ScriptInput input(ScriptParser::SplitLines(std::string(reinterpret_cast<const char*>(data), size)), transcript);
  std::string error;
  if (!input.Validate(&error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  // What the last input left going ends as a person would end it before opening another map:
  // the gate opened, the command launched afresh and cancelled with Escape. Then the map is
  // loaded anew, so each input is a session of its own on the same loaded plug-in.
  std::string why;
  host->session.SetGate(MapControl::GateMode::Open, 0);
  host->session.SetState(0, 0);
  host->session.Launch("dsi", &why);
  host->session.Key(0x1B, &why);
  host->session.SetState(0, 0);
  FUZZ_CHECK(host->session.LoadMap(host->map, &error));
  BatchRunner::RunLines(host->session, input);
  host->sink.str(std::string());

  const MapData after = host->session.CurrentMap();
  const int strata = Count(after, [](const MapEntity& e) { return e.type == EntitySectionStratum; }) -
                     Count(host->map, [](const MapEntity& e) { return e.type == EntitySectionStratum; });
  const int deleted = Count(after, [](const MapEntity& e) { return IsCurveType(e.type) && e.deleted; }) -
                      Count(host->map, [](const MapEntity& e) { return IsCurveType(e.type) && e.deleted; });
  FUZZ_CHECK(deleted <= 2 * strata);
  return 0;
}
