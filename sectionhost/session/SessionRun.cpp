// One run of the host; see SessionRun.h.
#include "SessionRun.h"

#include <string>
#include <vector>

#include "host/kpBase.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/map/SvgWriter.h"

namespace sectionhost {

SessionRun::SessionRun(const HostOptions& options, Transcript& transcript, std::ostream& err)
    : options_(options), transcript_(transcript), err_(err), session_(transcript) {}

bool SessionRun::Fail(const std::string& message) {
  err_ << "sectionhost: " << message << "\n";
  return false;
}

bool SessionRun::Open(PluginFailure pluginFailure) {
  if (!options_.configDir.empty()) KpBaseSetConfigDirectory(options_.configDir.c_str());
  if (!options_.calls.empty()) {
    calls_.open(options_.calls, std::ios::trunc);
    if (!calls_) return Fail("cannot write " + options_.calls);
  }
  std::string error;
  if (!session_.Start(&error)) return Fail(error);
  if (calls_.is_open()) session_.SetCallLog(&calls_);
  // Without a map (a front end that opens one later) the session starts with an empty one.
  bool opened =
      options_.map.empty() ? session_.LoadMap(MapData(), &error) : session_.OpenMap(options_.map, &error);
  if (!opened) return Fail("cannot read the map: " + error);
  for (const std::string& path : options_.plugins) {
    std::vector<std::string> errors;
    if (session_.LoadPlugin(path, &errors)) continue;
    if (pluginFailure == PluginFailure::Fatal) {
      for (const std::string& e : errors) Fail(e);
      return false;
    }
    for (const std::string& e : errors) transcript_.Error(e);
    transcript_.Error("the plug-in " + path + " is not loaded");
  }
  return true;
}

int SessionRun::Finish(int status, Results results) {
  MapData map = session_.CurrentMap();
  std::string error;
  if (results == Results::MapAndPicture && !options_.out.empty() &&
      !MapFile::Write(options_.out, map, &error)) {
    Fail(error);
    status = 2;
  }
  if (!options_.svg.empty() && !SvgWriter::Write(options_.svg, map, options_.MapName(), &error)) {
    Fail(error);
    status = 2;
  }
  session_.SetCallLog(nullptr);
  session_.Shutdown();
  return status;
}

}  // namespace sectionhost
