// The command line of sectionview; see ViewOptions.h.
#include "ViewOptions.h"

namespace sectionhost {

const char* ViewOptions::Usage() {
  return "usage: sectionview [MAP.geojson] [--plugin LIB]... [--config-dir DIR] [--calls FILE]\n"
         "       sectionview --help\n"
         "Shows the section map MAP in a window and runs the commands of the plug-ins on it:\n"
         "pick curves with the mouse, answer the commands' dialogs and questions, undo, save\n"
         "and export the section as SVG or PNG.\n";
}

std::vector<std::string> ViewOptions::TakeOwnOptions(int* argc, char** argv) {
  std::vector<std::string> own;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    std::string a = argv[i];
    bool withValue = a == "--plugin" || a == "--config-dir" || a == "--calls";
    if (withValue && i + 1 < *argc) {
      own.push_back(a);
      own.push_back(argv[++i]);
    } else {
      argv[kept++] = argv[i];
    }
  }
  for (int i = kept; i < *argc; ++i) argv[i] = nullptr;
  *argc = kept;
  return own;
}

bool ViewOptions::Parse(const std::vector<std::string>& args, ViewOptions* options, std::string* error) {
  *options = ViewOptions();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      options->help = true;
    } else if (a == "--plugin") {
      std::string path;
      if (!value(&path)) return false;
      options->plugins.push_back(path);
    } else if (a == "--config-dir") {
      if (!value(&options->configDir)) return false;
    } else if (a == "--calls") {
      if (!value(&options->calls)) return false;
    } else if (!a.empty() && a[0] == '-') {
      *error = "unknown option " + a;
      return false;
    } else if (!options->map.empty()) {
      *error = "one map at a time: " + options->map + " and " + a;
      return false;
    } else {
      options->map = a;
    }
  }
  return true;
}

HostOptions ViewOptions::RunOptions() const {
  HostOptions run;
  run.configDir = configDir;
  run.calls = calls;
  return run;
}

}  // namespace sectionhost
