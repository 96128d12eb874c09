#include "tests/support/rig_scene.h"

namespace qztest {

hostsim::Scene Rig() {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");
  const auto armL = scene.AddNull("Arm.L", body);
  scene.AddNull("Hand.L", armL);
  scene.AddLight("Key", body);
  const auto armR = scene.AddNull("Arm.R", body);
  const auto lamp = scene.AddLight("Lamp", armR);
  scene.AddObject("Prop", lamp);
  scene.AddNull("Leg", body);
  scene.AddCamera("Camera");
  scene.AddCamera("Side");
  return scene;
}

}  // namespace qztest
