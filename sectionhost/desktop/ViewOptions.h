// The command line of sectionview, the desktop front end:
//   sectionview [MAP] [--plugin LIB]... [--config-dir DIR] [--calls FILE]
//   sectionview --help
// MAP is the section to open (none: the window starts empty and File > Open asks); each
// --plugin names a command plug-in to load; --config-dir and --calls mean what they mean to
// sectionhost (docs/sectionhost.md). Qt's own options (-platform, -geometry, ...) are taken
// out by QApplication; this program's own are taken out before it (TakeOwnOptions).
#pragma once
#include <string>
#include <vector>

#include "sectionhost/session/HostOptions.h"

namespace sectionhost {

struct ViewOptions {
  std::string map;
  std::vector<std::string> plugins;
  std::string configDir, calls;
  bool help = false;

  // Takes this program's options with their values (--plugin, --config-dir, --calls) out of
  // argv (compacted in place, *argc lowered) and answers them in order, before QApplication
  // sees the command line: Qt would take "--plugin LIB" as its own -plugin option. Everything
  // else stays for QApplication, whose remaining arguments (the map, unknown options) follow.
  static std::vector<std::string> TakeOwnOptions(int* argc, char** argv);
  // False with a reason for an unknown option, a missing value or a second map.
  static bool Parse(const std::vector<std::string>& args, ViewOptions* options, std::string* error);
  static const char* Usage();
  // The options of the run the window starts: the map is opened by the window itself, and the
  // plug-ins are loaded by it, so that a failure becomes a dialog instead of the end.
  HostOptions RunOptions() const;
};

}  // namespace sectionhost
