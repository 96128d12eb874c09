// The bundled demo: a small character rig and a tour of the eleven commands
// over it (examples/ in the source tree, built into hostsim).
#ifndef QZ_HOSTSIM_EXAMPLES_H
#define QZ_HOSTSIM_EXAMPLES_H

#include <string_view>

namespace hostsim {

constexpr char kDemoSceneName[] = "demo_rig.lws";
constexpr char kDemoTourName[] = "tour.txt";

std::string_view DemoSceneText();
std::string_view DemoTourText();

}  // namespace hostsim

#endif  // QZ_HOSTSIM_EXAMPLES_H
