// The session engine; see Session.h.
#include "Session.h"

#include <utility>

#include <afx.h>
#include <objbase.h>
#include <winnls.h>

#include <exception>

#include "sectionhost/automation/IntArrayObject.h"
#include "sectionhost/map/MapFormat.h"
#include "host/CVantorObjects.h"

namespace sectionhost {

namespace {

constexpr int kFirstStatus = 1001, kFirstAction = 2001, kFirstUserCommand = 3001;
constexpr int kEventPick = 0, kEventKey = 7, kEventCommandText = 21;

std::string ExceptionText(CException* e) {
  char buffer[1024] = {};
  if (!e->GetErrorMessage(buffer, sizeof buffer)) return "an MFC exception with no message";
  return kp::GbkToUtf8(buffer);
}

}  // namespace

Session::Session(Transcript& transcript) : transcript_(transcript) {
  map_.SetWarningSink([this](const std::string& text) { transcript_.Warning(text); });
  control_ = new MapControl();
  control_->SetMap(&map_);
  control_->SetTextSink([this](const std::string& gbk) { transcript_.CommandText(gbk); });
}

Session::~Session() {
  Shutdown();
}

bool Session::Start(std::string* error) {
  HRESULT hr = CoInitialize(nullptr);
  if (FAILED(hr)) {
    if (error) *error = "CoInitialize failed";
    return false;
  }
  comStarted_ = true;
  classesRegistered_ = SUCCEEDED(IntArrayObject::Register());
  wrapper_ = std::make_unique<CVantorObjects>();
  if (!wrapper_->AttachControl(control_->Window(), control_)) {
    if (error) *error = "the map control's window could not be attached";
    return false;
  }
  return true;
}

void Session::Shutdown() {
  ForgetRedo();
  for (auto& plugin : plugins_) plugin->Unload();
  plugins_.clear();
  lastLaunched_ = nullptr;
  if (wrapper_) {
    wrapper_->DetachControl();
    wrapper_->Detach();
    wrapper_.reset();
  }
  if (control_) {
    control_->Close();
    control_->Release();
    control_ = nullptr;
  }
  if (classesRegistered_) IntArrayObject::Revoke();
  classesRegistered_ = false;
  if (comStarted_) CoUninitialize();
  comStarted_ = false;
}

bool Session::OpenMap(const std::string& path, std::string* error, const std::string& format) {
  MapData data;
  std::vector<std::string> notes;
  if (!MapFormat::Read(path, format, &data, &notes, error) || !LoadMap(std::move(data), error)) return false;
  for (const std::string& note : notes) transcript_.Warning(note);
  return true;
}

bool Session::LoadMap(MapData data, std::string* error) {
  if (!map_.Load(std::move(data), error)) return false;
  // The saved states belong to the store just replaced.
  ForgetRedo();
  control_->ForgetUndoGroups();
  return true;
}

std::string Session::Prompt(const std::string& idle) const {
  for (const auto& p : plugins_) {
    if (p->status != control_->CommandCode()) continue;
    std::string name = kp::GbkToUtf8(p->CommandLineName());
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    return control_->PickInProgress() ? name + " pick> " : name + "> ";
  }
  return idle;
}

void Session::ForgetRedo() {
  for (const RedoStep& step : redo_) KernelMap::ReleaseState(step.state);
  redo_.clear();
}

bool Session::CanUndo() const {
  return control_ && !control_->UndoGroups().empty();
}

bool Session::CanRedo() const {
  return control_ && !redo_.empty() && redo_.back().groupsLeft == control_->UndoGroups().size();
}

bool Session::Undo(std::string* name, std::string* why) {
  if (control_->CommandCode() != 0) {
    if (why) *why = "a command is running; finish it or press Esc first";
    return false;
  }
  if (control_->UndoGroups().empty()) {
    if (why) *why = "there is nothing to undo";
    return false;
  }
  std::string group = control_->UndoGroups().back().name;
  if (!CanRedo()) ForgetRedo();  // a command has opened a group since the last undo
  ZvHandle before = map_.SaveState();
  if (!control_->UndoLastGroup()) {
    KernelMap::ReleaseState(before);
    if (why) *why = "the map could not be put back before \"" + kp::GbkToUtf8(group) + "\"";
    return false;
  }
  if (before) redo_.push_back({group, before, control_->UndoGroups().size()});
  if (name) *name = kp::GbkToUtf8(group);
  return true;
}

bool Session::Redo(std::string* name, std::string* why) {
  if (control_->CommandCode() != 0) {
    if (why) *why = "a command is running; finish it or press Esc first";
    return false;
  }
  if (!CanRedo()) {
    ForgetRedo();
    if (why) *why = "there is nothing to redo";
    return false;
  }
  RedoStep step = redo_.back();
  ZvHandle before = map_.SaveState();
  if (!before || !map_.RestoreState(step.state)) {
    KernelMap::ReleaseState(before);
    if (why) *why = "the map could not be taken forward to \"" + kp::GbkToUtf8(step.name) + "\"";
    return false;
  }
  redo_.pop_back();
  KernelMap::ReleaseState(step.state);
  control_->PushUndoGroup({step.name, before});
  if (name) *name = kp::GbkToUtf8(step.name);
  return true;
}

bool Session::LoadPlugin(const std::string& path, std::vector<std::string>* errors) {
  std::unique_ptr<Plugin> plugin = Plugin::Load(path, errors);
  if (!plugin) return false;
  int index = static_cast<int>(plugins_.size());
  plugin->status = kFirstStatus + index;
  plugin->action = kFirstAction + index;
  plugin->userCommandId = kFirstUserCommand + index;
  Plugin* p = plugin.get();
  plugins_.push_back(std::move(plugin));
  Guarded([&] {
    p->Exports().AttachVoMap(wrapper_.get());
    p->Exports().SetVoStatus(p->status);
    p->Exports().SetVoAction(p->action);
    p->Exports().SetVoUserCmdID(p->userCommandId);
  });
  return true;
}

bool Session::Guarded(const std::function<void()>& fn) {
  std::string text;
  try {
    fn();
    return true;
  } catch (CException* e) {
    text = ExceptionText(e);
    e->Delete();
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
    text = "an unknown exception";
  }
  transcript_.Error(text);
  control_->SetCommandState(0, 0);
  control_->EndPick();
  exceptionSeen_ = true;
  return false;
}

Plugin* Session::Target() const {
  for (const auto& p : plugins_) {
    if (p->status == control_->CommandCode()) return p.get();
  }
  if (lastLaunched_) return lastLaunched_;
  return plugins_.empty() ? nullptr : plugins_.front().get();
}

bool Session::SendEvent(int code, LPARAM p1, LPARAM p2, std::string* why) {
  Plugin* target = Target();
  if (!target) {
    if (why) *why = "no plug-in is loaded";
    return false;
  }
  Guarded([&] { target->Exports().MouseStatus(code, p1, p2); });
  return true;
}

bool Session::Launch(const std::string& utf8Name, std::string* why) {
  std::string name = kp::Utf8ToGbk(utf8Name);
  for (const auto& p : plugins_) {
    if (!p->Matches(name)) continue;
    lastLaunched_ = p.get();
    Guarded([&] { p->Exports().LaunchCommand(); });
    return true;
  }
  if (why) *why = "no command is named '" + utf8Name + "'";
  return false;
}

bool Session::Pick(const std::vector<int32_t>& ids, std::string* why) {
  if (!control_->PickInProgress()) {
    if (why) *why = "no pick is in progress";
    return false;
  }
  IDispatch* list = control_->PickList();
  if (IntArrayObject* array = IntArrayObject::FromDispatch(list)) {
    for (int32_t id : ids) array->Append(id);
  } else {
    // Another implementation of the array: add through its own Add (DISPID 2).
    for (int32_t id : ids) {
      VARIANT arg;
      VariantInit(&arg);
      arg.vt = VT_I4;
      arg.lVal = id;
      DISPPARAMS params = {&arg, nullptr, 1, 0};
      list->Invoke(2, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
  }
  control_->EndPick();
  return SendEvent(kEventPick, 0, 0, why);
}

bool Session::Text(const std::string& utf8Text, std::string* why) {
  Plugin* target = Target();
  if (!target) {
    if (why) *why = "no plug-in is loaded";
    return false;
  }
  std::string text = kp::Utf8ToGbk(utf8Text);
  CString reply;
  bool ok = Guarded([&] {
    target->Exports().MouseStatus(kEventCommandText, reinterpret_cast<LPARAM>(text.c_str()),
                                  reinterpret_cast<LPARAM>(&reply));
  });
  if (ok && !reply.IsEmpty()) transcript_.CommandText(static_cast<LPCTSTR>(reply));
  return true;
}

bool Session::Key(int32_t code, std::string* why) {
  return SendEvent(kEventKey, code, 0, why);
}

bool Session::Event(int32_t code, int32_t p1, int32_t p2, std::string* why) {
  return SendEvent(code, p1, p2, why);
}

bool Session::SetStatus(int32_t code, std::string* why) {
  Plugin* target = lastLaunched_ ? lastLaunched_ : (plugins_.empty() ? nullptr : plugins_.front().get());
  if (!target) {
    if (why) *why = "no plug-in is loaded";
    return false;
  }
  target->status = code;
  Guarded([&] { target->Exports().SetVoStatus(code); });
  return true;
}

}  // namespace sectionhost
