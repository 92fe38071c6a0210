// One run of the host as the command line asks for it, the part every front end shares: the
// options applied (--config-dir, --calls), the session started with its map (--map) and its
// plug-ins (--plugin), and at the end the results written (--out, --svg) and the session shut
// down. A front end makes one, opens it, drives Engine() its own way and finishes it.
//
// With --timings, Finish writes "timing PHASE SECONDS" for read-map (the file into the kernel),
// run (the front end's part, between Open and Finish), write-map and write-picture, and
// "timing peak-memory-mb N" (the process's peak resident memory), to the error stream.
//
// Messages for the person go to the error stream as "sectionhost: WHY"; the exit status of a
// run that cannot open, or whose results cannot be written, is 2. A run that is not finished
// shuts its session down when it goes (the call log still attached).
#pragma once
#include <fstream>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "HostOptions.h"
#include "Session.h"
#include "Transcript.h"

namespace sectionhost {

class SessionRun {
 public:
  // What becomes of a plug-in that cannot be loaded.
  enum class PluginFailure {
    Fatal,     // its errors go to the error stream and Open fails
    Reported,  // its errors and "the plug-in PATH is not loaded" go to the transcript
  };
  // What Finish writes besides the picture (--svg).
  enum class Results {
    MapAndPicture,  // the map too (--out)
    PictureOnly,    // --out names where the front end saves, not a result
  };

  SessionRun(const HostOptions& options, Transcript& transcript, std::ostream& err);
  SessionRun(const SessionRun&) = delete;
  SessionRun& operator=(const SessionRun&) = delete;

  // In this order: --config-dir, the call log (--calls, truncated), the session, the map, the
  // plug-ins. False with its message on the error stream when the run cannot go on.
  bool Open(PluginFailure pluginFailure);
  Session& Engine() { return session_; }

  // Writes the results from the map as it is now (each that cannot be written reported), then
  // detaches the call log and shuts the session down. Answers `status`, or 2 when a result
  // could not be written.
  int Finish(int status, Results results);

 private:
  bool Fail(const std::string& message);
  // Ends the phase that began at the last lap (named: kept for --timings) and begins the next.
  void Lap(const std::string& phase = "");

  const HostOptions& options_;
  Transcript& transcript_;
  std::ostream& err_;
  std::ofstream calls_;  // outlives the session, which may log while it shuts down
  Session session_;
  double lapStart_ = 0;  // seconds of the monotonic clock (<chrono> does not build for GBK text)
  std::vector<std::pair<std::string, double>> laps_;
};

}  // namespace sectionhost
