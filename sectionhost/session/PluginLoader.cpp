// The plug-in loader; see PluginLoader.h. Each export is looked up by name with dlsym; a
// missing one is reported by name rather than failing at the first call.
#include "PluginLoader.h"

#include <dlfcn.h>

#include <cstring>

namespace sectionhost {

namespace {

constexpr size_t kTextBuffer = 260;

template <class F>
bool Resolve(void* handle, const char* name, F* slot) {
  dlerror();
  void* symbol = dlsym(handle, name);
  if (!symbol) return false;
  *slot = reinterpret_cast<F>(symbol);
  return true;
}

std::string ReadText(void(WINAPI* fn)(char*)) {
  char buffer[kTextBuffer] = {};
  fn(buffer);
  buffer[kTextBuffer - 1] = '\0';
  return buffer;
}

}  // namespace

const std::vector<std::string>& Plugin::ExportNames() {
  static const std::vector<std::string> names = {
      "GetCommandName", "LaunchCommand",           "AttachVoMap",   "SetVoAction", "SetVoStatus",
      "MouseStatus",    "GetCommandTranslateName", "GetGroupName",  "GetTheApp",   "SetVoUserCmdID",
      "GetBmp",         "GetToolBarName",          "GetCommandType"};
  return names;
}

std::unique_ptr<Plugin> Plugin::Load(const std::string& path, std::vector<std::string>* errors) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    errors->push_back(path + ": cannot load the plug-in: " + (why ? why : "unknown error"));
    return nullptr;
  }
  std::unique_ptr<Plugin> plugin(new Plugin());
  plugin->handle_ = handle;
  plugin->path_ = path;
  PluginExports& e = plugin->exports_;
  const auto& names = ExportNames();
  bool found[13] = {Resolve(handle, names[0].c_str(), &e.GetCommandName),
                    Resolve(handle, names[1].c_str(), &e.LaunchCommand),
                    Resolve(handle, names[2].c_str(), &e.AttachVoMap),
                    Resolve(handle, names[3].c_str(), &e.SetVoAction),
                    Resolve(handle, names[4].c_str(), &e.SetVoStatus),
                    Resolve(handle, names[5].c_str(), &e.MouseStatus),
                    Resolve(handle, names[6].c_str(), &e.GetCommandTranslateName),
                    Resolve(handle, names[7].c_str(), &e.GetGroupName),
                    Resolve(handle, names[8].c_str(), &e.GetTheApp),
                    Resolve(handle, names[9].c_str(), &e.SetVoUserCmdID),
                    Resolve(handle, names[10].c_str(), &e.GetBmp),
                    Resolve(handle, names[11].c_str(), &e.GetToolBarName),
                    Resolve(handle, names[12].c_str(), &e.GetCommandType)};
  size_t before = errors->size();
  for (size_t i = 0; i < names.size(); ++i) {
    if (!found[i]) errors->push_back(path + ": missing export " + names[i]);
  }
  if (errors->size() != before) return nullptr;  // the destructor closes the library
  plugin->ReadTexts();
  return plugin;
}

Plugin::~Plugin() {
  Unload();
}

void Plugin::Unload() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
  exports_ = PluginExports();
}

void Plugin::ReadTexts() {
  menuText_ = ReadText(exports_.GetCommandName);
  commandLineName_ = ReadText(exports_.GetCommandTranslateName);
  groupName_ = ReadText(exports_.GetGroupName);
  toolBarName_ = ReadText(exports_.GetToolBarName);
  commandType_ = exports_.GetCommandType();
}

bool Plugin::Matches(const std::string& gbkName) const {
  if (gbkName.empty()) return false;
  if (gbkName == commandLineName_ || gbkName == menuText_) return true;
  size_t slash = commandLineName_.rfind('/');
  if (slash != std::string::npos &&
      (gbkName == commandLineName_.substr(slash + 1) || gbkName == commandLineName_.substr(0, slash))) {
    return true;
  }
  std::string noAmpersand;
  for (char ch : menuText_) {
    if (ch != '&') noAmpersand += ch;
  }
  if (gbkName == noAmpersand) return true;
  size_t open = menuText_.rfind("(&");
  return open != std::string::npos && menuText_.back() == ')' && gbkName == menuText_.substr(0, open);
}

}  // namespace sectionhost
