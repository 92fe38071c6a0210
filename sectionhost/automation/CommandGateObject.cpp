// The command gate object; see CommandGateObject.h.
#include "CommandGateObject.h"

#include "sectionhost/map/MapControl.h"
#include "host/VantorDispids.h"

namespace sectionhost {

using namespace VantorDispid;

const kp::DispTable<CommandGateObject>& CommandGateObject::Dispatch() {
  static const kp::DispTable<CommandGateObject> table(
      "VantorObjects.CommandGate",
      {
          {GatePrepareLaunch, "PrepareLaunch", kp::kMethod, {}, VT_EMPTY, &CommandGateObject::PrepareLaunch},
          {GateIsBlocked, "IsBlocked", kp::kMethod, {VT_I4}, VT_BOOL, &CommandGateObject::IsBlocked},
          {GateCanLaunch, "CanLaunch", kp::kMethod, {}, VT_BOOL, &CommandGateObject::CanLaunch},
      });
  return table;
}

CommandGateObject::CommandGateObject(MapControl* control) : control_(control) {
  control_->AddRef();
}
CommandGateObject::~CommandGateObject() {
  control_->Release();
}

HRESULT CommandGateObject::PrepareLaunch(kp::DispCall&) {
  control_->LogCall("CommandGate.PrepareLaunch");
  control_->PrepareLaunch();
  return S_OK;
}

HRESULT CommandGateObject::IsBlocked(kp::DispCall& call) {
  bool blocked = control_->GateIsBlocked(call.Long(0));
  control_->LogCall("CommandGate.IsBlocked " + std::to_string(call.Long(0)) + " -> " + (blocked ? "1" : "0"));
  call.Return(blocked);
  return S_OK;
}

HRESULT CommandGateObject::CanLaunch(kp::DispCall& call) {
  bool can = control_->GateCanLaunch();
  control_->LogCall(std::string("CommandGate.CanLaunch -> ") + (can ? "1" : "0"));
  call.Return(can);
  return S_OK;
}

}  // namespace sectionhost
