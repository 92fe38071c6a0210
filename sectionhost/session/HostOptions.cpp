// Parsing sectionhost's command line; see HostOptions.h and docs/sectionhost.md.
#include "HostOptions.h"

namespace sectionhost {

const char* HostOptions::Usage() {
  return "usage: sectionhost --map MAP.geojson --script SCRIPT [--plugin LIB]... [--config-dir DIR]\n"
         "                   [--out OUT.geojson] [--svg OUT.svg] [--calls FILE] [--timings]\n"
         "                   [--map-format DRIVER] [--out-format DRIVER]\n"
         "       sectionhost --map MAP.geojson [--plugin LIB]... [--config-dir DIR] [--out OUT.geojson]\n"
         "       sectionhost --self-check [--map MAP.geojson]\n"
         "\n"
         "Loads the command plug-in(s), opens the section map and runs the script's lines as a\n"
         "person's inputs; the transcript goes to standard output (UTF-8). Without --script the\n"
         "session is interactive, on the terminal ('help' there lists its commands and keys).\n"
         "\n"
         "  --map FILE         the section map (GeoJSON FeatureCollection, UTF-8; .gpkg, .shp, .dxf,\n"
         "                     .fgb and the other vector formats of GDAL, chosen by the extension)\n"
         "  --map-format NAME  reads the map with the GDAL driver NAME (e.g. GPKG, \"ESRI Shapefile\")\n"
         "  --out-format NAME  writes --out with the GDAL driver NAME (DXF, FlatGeobuf, GeoJSON, ...)\n"
         "  --script FILE      the batch script (see below); without it the session is interactive\n"
         "  --plugin LIB       a command plug-in (shared library with the 13 exports); may repeat.\n"
         "                     The i-th gets status code 1001+i, action 2001+i, user command 3001+i\n"
         "  --config-dir DIR   the directory kpBase names (isoDB.udl is read there); taken as given,\n"
         "                     '/' added when missing. Default: the current directory (kpBase's\n"
         "                     default, which honours the variable KP_CONFIG_DIR)\n"
         "  --out FILE         writes the map after the script (input features first, in order);\n"
         "                     interactive: where 'save' writes (default: the map file itself)\n"
         "  --svg FILE         draws the section after the script\n"
         "  --calls FILE       writes one line per map-control call with its arguments\n"
         "  --timings          at the end, writes 'timing PHASE SECONDS' to the error stream for\n"
         "                     read-map, run, write-map and write-picture, and 'timing peak-memory-mb N'\n"
         "  --self-check       loads the host's own objects, exercises them and reports OK\n"
         "  --help             this text\n"
         "\n"
         "Script lines (text up to LF, less one CR; '#' lines and empty lines are skipped; every\n"
         "other line is echoed as '> LINE'):\n"
         "  launch NAME                   NAME: command-line name (\"dsi\" or the whole) or menu text\n"
         "  pick ID...                    appends the ids to the pick in progress, then event 0\n"
         "  text [TEXT]                   command-line text (event 21); a non-empty reply is printed\n"
         "  key esc | key CODE            event 7 (CODE decimal or 0x-hex)\n"
         "  event CODE [P1 P2]            any other raw event (not 21)\n"
         "  status CODE                   SetVoStatus\n"
         "  state CODE STEP               sets the host's command state\n"
         "  gate open|closed|blocked CODE the command gate's answers\n"
         "  dialog connect|select ROW|dblclick ROW|ok|cancel|enter|esc|close\n"
         "                                an action for the open modal dialog (ROW from 0)\n"
         "\n"
         "Exit status: 0; 3 after an exception left a plug-in; 2 for a bad command line, a\n"
         "malformed script line, an unreadable map or plug-in.\n";
}

std::string HostOptions::MapName() const {
  size_t slash = map.rfind('/');
  return slash == std::string::npos ? map : map.substr(slash + 1);
}

bool HostOptions::Parse(int argc, const char* const* argv, HostOptions* o, std::string* error) {
  *o = HostOptions();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o->help = true;
      continue;
    }
    if (arg == "--self-check") {
      o->selfCheck = true;
      continue;
    }
    if (arg == "--timings") {
      o->timings = true;
      continue;
    }
    std::string* slot = nullptr;
    if (arg == "--map") slot = &o->map;
    if (arg == "--script") slot = &o->script;
    if (arg == "--config-dir") slot = &o->configDir;
    if (arg == "--out") slot = &o->out;
    if (arg == "--svg") slot = &o->svg;
    if (arg == "--calls") slot = &o->calls;
    if (arg == "--map-format") slot = &o->mapFormat;
    if (arg == "--out-format") slot = &o->outFormat;
    bool plugin = arg == "--plugin";
    if (!slot && !plugin) {
      *error = "unknown option '" + arg + "'";
      return false;
    }
    if (i + 1 >= argc) {
      *error = "option " + arg + " needs a value";
      return false;
    }
    if (plugin) {
      o->plugins.push_back(argv[++i]);
    } else {
      *slot = argv[++i];
    }
  }
  if (o->help || o->selfCheck) return true;
  if (o->map.empty()) {
    *error = "--map is required";
    return false;
  }
  return true;
}

}  // namespace sectionhost
