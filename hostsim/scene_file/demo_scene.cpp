#include "hostsim/scene/examples.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

Scene DemoScene() { return ReadSceneText(DemoSceneText(), kDemoSceneName); }

}  // namespace hostsim
