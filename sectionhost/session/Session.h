// The session engine: one open map, its map control, the loaded command plug-ins with their
// codes, the command-line transcript and the pick in progress. Front ends (the batch script
// runner, the terminal, the desktop) turn their input into the calls below; the engine turns them into
// export calls and prints what the person would see.
//
// Lifetime: Start calls CoInitialize and registers the host's classes (VOIntArray); Shutdown
// (also run by the destructor) unloads every plug-in with dlclose first, then releases the map
// control, its window and the wrapper, revokes the classes and calls CoUninitialize.
//
// Every call into a plug-in is guarded: a CException* (its GetErrorMessage text; then Delete())
// or a std::exception (its what()) that leaves an export is printed as "[error] TEXT", the
// command state is reset to (0, 0), the pick ended, and ExceptionSeen() turns true.
//
// Events go to the plug-in whose status code is the current command code; with none, to the
// plug-in launched last, else to the first one loaded. Codes: the i-th plug-in loaded (from 0)
// gets status 1001 + i, action 2001 + i and user command id 3001 + i.
#pragma once
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sectionhost/map/KernelMap.h"
#include "sectionhost/map/MapControl.h"
#include "PluginLoader.h"
#include "Transcript.h"

class CVantorObjects;

namespace sectionhost {

class Session {
 public:
  explicit Session(Transcript& transcript);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // CoInitialize, the host's classes, the map control, its window and the wrapper.
  bool Start(std::string* error);
  void Shutdown();

  // Reads the map (MapFormat: our GeoJSON, or GDAL's driver `format` or the one for the file's
  // extension); each default a GDAL read took is a "[warning]" line of the transcript.
  bool OpenMap(const std::string& path, std::string* error, const std::string& format = std::string());
  bool LoadMap(MapData data, std::string* error);
  // Loads, attaches the map control and assigns the codes. On failure *errors has one line
  // per problem (each missing export named).
  bool LoadPlugin(const std::string& path, std::vector<std::string>* errors);
  void SetCallLog(std::ostream* log) { control_->SetCallLog(log); }

  // Actions. Those answering bool answer false (with *why) when the action cannot run now.
  bool Launch(const std::string& utf8Name, std::string* why);
  bool Pick(const std::vector<int32_t>& ids, std::string* why);
  // Text, Key and Event answer false only when no plug-in is loaded.
  bool Text(const std::string& utf8Text, std::string* why);
  bool Key(int32_t code, std::string* why);
  bool Event(int32_t code, int32_t p1, int32_t p2, std::string* why);
  bool SetStatus(int32_t code, std::string* why);
  void SetState(int32_t code, int32_t step) { control_->SetCommandState(code, step); }
  void SetGate(MapControl::GateMode mode, int32_t code) { control_->SetGate(mode, code); }

  // The command line's prompt: `idle` with no command current, "NAME> " while the command NAME
  // (its command-line name after the last '/', UTF-8) is current, "NAME pick> " during its pick.
  std::string Prompt(const std::string& idle) const;

  // Undo and redo of the operation groups the commands opened (BeginOperation). Undo puts the
  // map back to its state before the last group; Redo takes the last undone group forward
  // again (the map as it was before that undo), until a command opens a new group or a map is
  // loaded. Both are refused while a command is current. *name gets the group's name (UTF-8);
  // false with *why when nothing can be done.
  bool Undo(std::string* name, std::string* why);
  bool Redo(std::string* name, std::string* why);
  bool CanUndo() const;
  bool CanRedo() const;

  bool ExceptionSeen() const { return exceptionSeen_; }
  MapData CurrentMap() const { return map_.Read(); }
  KernelMap& Map() { return map_; }
  MapControl* Control() const { return control_; }
  CVantorObjects* Wrapper() const { return wrapper_.get(); }
  const std::vector<std::unique_ptr<Plugin>>& Plugins() const { return plugins_; }
  Transcript& Output() { return transcript_; }

  // Runs fn (a call into `plugin`) with the exception guard described above; false when an
  // exception left it.
  bool Guarded(const std::function<void()>& fn);

 private:
  Plugin* Target() const;
  bool SendEvent(int code, LPARAM p1, LPARAM p2, std::string* why);
  void ForgetRedo();

  // An undone group: the map as it was before the undo, and how many groups were left then
  // (a different count later means a command has opened a new group since).
  struct RedoStep {
    std::string name;  // GBK
    ZvHandle state;
    size_t groupsLeft;
  };

  Transcript& transcript_;
  bool comStarted_ = false;
  bool classesRegistered_ = false;
  KernelMap map_;
  MapControl* control_ = nullptr;  // one reference held
  std::unique_ptr<CVantorObjects> wrapper_;
  std::vector<std::unique_ptr<Plugin>> plugins_;
  Plugin* lastLaunched_ = nullptr;
  bool exceptionSeen_ = false;
  std::vector<RedoStep> redo_;
};

}  // namespace sectionhost
