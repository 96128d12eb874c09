#include "hostsim/scene_file/demo_scene.h"

#include "hostsim/scene/examples.h"

namespace hostsim {

Scene DemoScene(const SceneFileOptions& options) { return ReadSceneText(DemoSceneText(), kDemoSceneName, options); }

}  // namespace hostsim
