// The small rigs the command tests walk: objects, nulls, lights and cameras
// parented across kinds, so every kind filter has something to skip, and
// objects with bones for the searches.
#ifndef QZ_TESTS_SUPPORT_RIG_SCENE_H
#define QZ_TESTS_SUPPORT_RIG_SCENE_H

#include <cstdint>

#include "hostsim/scene/scene.h"

namespace qztest {

// Body (object 10000000)
//   Arm.L (null 10000001)
//     Hand.L (null 10000002)
//   Key (light 20000000)
//   Arm.R (null 10000003)
//     Lamp (light 20000001)
//       Prop (object 10000004)
//   Leg (null 10000005)
// Camera (30000000), Side (camera 30000001)
hostsim::Scene Rig();

// Body (object 10000000; bones Arm1 40000000, Arm2 40010000 under Arm1, Leg
// 40020000), Head 10000001 and Head2 10000002 (a bone Arm1 each: 40000001,
// 40000002), a null Prop 10000003; lights Key and Fill; cameras Camera and Top.
hostsim::Scene BoneRig();

namespace rig {
constexpr std::uint32_t kBody = 0x10000000, kArmL = 0x10000001, kHandL = 0x10000002, kArmR = 0x10000003,
                        kProp = 0x10000004, kLeg = 0x10000005, kKey = 0x20000000, kLamp = 0x20000001,
                        kCamera = 0x30000000, kSide = 0x30000001;
}  // namespace rig

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_RIG_SCENE_H
