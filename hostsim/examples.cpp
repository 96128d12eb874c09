#include "hostsim/examples.h"

#include "hostsim/scene_file.h"

namespace hostsim {

Scene DemoScene() { return ReadSceneText(DemoSceneText(), kDemoSceneName); }

}  // namespace hostsim
