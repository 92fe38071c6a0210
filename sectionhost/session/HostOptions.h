// The command line of sectionhost:
//   sectionhost --map MAP.geojson --script SCRIPT [--plugin LIB]... [--config-dir DIR]
//               [--out OUT.geojson] [--svg OUT.svg] [--calls FILE] [--timings]
//               [--map-format DRIVER] [--out-format DRIVER]   (GDAL driver names; MapFormat.h)
//   sectionhost --map MAP.geojson [--plugin LIB]... [...]     (no script: interactive session)
//   sectionhost --self-check [--map MAP.geojson]
//   sectionhost --help
#pragma once
#include <string>
#include <vector>

namespace sectionhost {

struct HostOptions {
  std::string map, script, configDir, out, svg, calls;
  std::string mapFormat, outFormat;  // GDAL driver names; empty: chosen by the file's extension
  std::vector<std::string> plugins;
  bool help = false;
  bool selfCheck = false;
  bool timings = false;  // --timings: the phases' times and the peak memory on the error stream

  // False with a reason for an unknown option, a missing value or a missing --map. Without
  // --script the session is interactive (interactive() is true).
  static bool Parse(int argc, const char* const* argv, HostOptions* options, std::string* error);
  static const char* Usage();
  bool Interactive() const { return script.empty() && !help && !selfCheck; }
  // The map file's name without its folders: the title of the pictures drawn of it.
  std::string MapName() const;
};

}  // namespace sectionhost
