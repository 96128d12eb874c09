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

hostsim::Scene BoneRig() {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");
  const auto arm = scene.AddBone(body, "Arm1");
  scene.AddBone(body, "Arm2", arm);
  scene.AddBone(body, "Leg");
  scene.AddBone(scene.AddObject("Head"), "Arm1");
  scene.AddBone(scene.AddObject("Head2"), "Arm1");
  scene.AddNull("Prop");
  scene.AddLight("Key");
  scene.AddLight("Fill");
  scene.AddCamera("Camera");
  scene.AddCamera("Top");
  return scene;
}

}  // namespace qztest
