// One run of the host; see SessionRun.h.
#include "SessionRun.h"

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/kpBase.h"
#include "sectionhost/map/MapFormat.h"
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
  Lap();
  bool opened =
      options_.map.empty() ? session_.LoadMap(MapData(), &error) : session_.OpenMap(options_.map, &error, options_.mapFormat);
  if (!opened) return Fail("cannot read the map: " + error);
  Lap("read-map");
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
  Lap("run");
  // The kernel's entities one at a time: the map is not copied whole for writing.
  const KernelMap& map = session_.Map();
  std::string error;
  if (results == Results::MapAndPicture && !options_.out.empty()) {
    if (!MapFormat::Write(options_.out, options_.outFormat, map.Loaded(), map.Entities(false), &error)) {
      Fail(error);
      status = 2;
    }
    Lap("write-map");
  }
  if (!options_.svg.empty()) {
    if (!SvgWriter::Write(options_.svg, map.Entities(), options_.MapName(), &error)) {
      Fail(error);
      status = 2;
    }
    Lap("write-picture");
  }
  session_.SetCallLog(nullptr);
  session_.Shutdown();
  if (options_.timings) {
    for (const auto& [phase, seconds] : laps_) {
      char line[96];
      std::snprintf(line, sizeof line, "timing %s %.3f\n", phase.c_str(), seconds);
      err_ << line;
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    char line[64];
    std::snprintf(line, sizeof line, "timing peak-memory-mb %.1f\n", usage.ru_maxrss / 1024.0);
    err_ << line;
  }
  return status;
}

void SessionRun::Lap(const std::string& phase) {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  double now = static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
  if (!phase.empty()) laps_.emplace_back(phase, now - lapStart_);
  lapStart_ = now;
}

}  // namespace sectionhost
