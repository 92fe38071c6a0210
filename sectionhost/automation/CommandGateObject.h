// The command gate (the map control's CommandGate, DISPID 25): CanLaunch (5) is false only while the host
// keeps the gate closed; IsBlocked (4) is true for the one code the host blocked; PrepareLaunch (3) ends a
// pick still in progress (the new command takes the input over) and counts the launch.
#pragma once
#include <kp/kpdispatch.h>

namespace sectionhost {

class MapControl;

class CommandGateObject : public kp::DispatchObject<CommandGateObject> {
 public:
  static const kp::DispTable<CommandGateObject>& Dispatch();
  // Keeps a reference to the map control whose state it reads and changes.
  explicit CommandGateObject(MapControl* control);

  HRESULT PrepareLaunch(kp::DispCall& call);
  HRESULT IsBlocked(kp::DispCall& call);
  HRESULT CanLaunch(kp::DispCall& call);

 private:
  ~CommandGateObject() override;
  MapControl* control_;
};

}  // namespace sectionhost
