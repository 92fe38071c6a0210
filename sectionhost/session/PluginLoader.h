// Loading a command plug-in by its 13 plain-C exports, defensively: dlopen, then dlsym for each
// export, with a distinct error naming every export that is missing (the library is closed
// again then). A loaded plug-in keeps its library open until Unload (or destruction), which
// calls dlclose; the host unloads every plug-in before it releases its own objects and COM.
//
// Signatures are those of sect/kpStratumInteractive/kpStratumInteractive.h: text functions
// fill a host buffer with NUL-terminated GBK (the host's buffers hold 260 bytes, zeroed, and
// the last byte is forced to NUL); the two parameters of MouseStatus are pointer-sized.
#pragma once
#include <windef.h>

#include <memory>
#include <string>
#include <vector>

class CVantorObjects;
class CWinApp;

namespace sectionhost {

struct PluginExports {
  void(WINAPI* GetCommandName)(char*) = nullptr;
  int(WINAPI* LaunchCommand)() = nullptr;
  void(WINAPI* AttachVoMap)(CVantorObjects*) = nullptr;
  void(WINAPI* SetVoAction)(int) = nullptr;
  void(WINAPI* SetVoStatus)(int) = nullptr;
  void(WINAPI* MouseStatus)(int, LPARAM, LPARAM) = nullptr;
  void(WINAPI* GetCommandTranslateName)(char*) = nullptr;
  void(WINAPI* GetGroupName)(char*) = nullptr;
  CWinApp*(WINAPI* GetTheApp)() = nullptr;
  void(WINAPI* SetVoUserCmdID)(int) = nullptr;
  int(WINAPI* GetBmp)() = nullptr;
  void(WINAPI* GetToolBarName)(char*) = nullptr;
  int(WINAPI* GetCommandType)() = nullptr;
};

class Plugin {
 public:
  // The export names, in ordinal order (1..13).
  static const std::vector<std::string>& ExportNames();

  // Loads the library at `path` (a bare name is searched as dlopen does). On failure answers
  // null and fills *errors with one line per problem: the dlopen message, or
  // "PATH: missing export NAME" for each missing export.
  static std::unique_ptr<Plugin> Load(const std::string& path, std::vector<std::string>* errors);

  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // dlclose; the exports are unusable afterwards. Safe to call twice.
  void Unload();
  bool Loaded() const { return handle_ != nullptr; }

  const std::string& Path() const { return path_; }
  const PluginExports& Exports() const { return exports_; }

  // The command's texts (GBK), read once at load: menu text, command-line name, group, toolbar.
  const std::string& MenuText() const { return menuText_; }
  const std::string& CommandLineName() const { return commandLineName_; }
  const std::string& GroupName() const { return groupName_; }
  const std::string& ToolBarName() const { return toolBarName_; }
  int CommandType() const { return commandType_; }

  // True when `gbkName` names this command: its command-line name, either part of it around
  // the last '/', or its menu text (with or without the "&" accelerator, or without a
  // trailing "(&X)").
  bool Matches(const std::string& gbkName) const;

  // The codes the host assigned (0 until it does).
  int status = 0, action = 0, userCommandId = 0;

 private:
  Plugin() = default;
  void ReadTexts();

  void* handle_ = nullptr;
  std::string path_;
  PluginExports exports_;
  std::string menuText_, commandLineName_, groupName_, toolBarName_;
  int commandType_ = 0;
};

}  // namespace sectionhost
