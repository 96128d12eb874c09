// The bundled demo scene, read as any scene file is.
#ifndef QZ_HOSTSIM_SCENE_FILE_DEMO_SCENE_H
#define QZ_HOSTSIM_SCENE_FILE_DEMO_SCENE_H

#include "hostsim/scene/scene.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

Scene DemoScene(const SceneFileOptions& options = {});

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_FILE_DEMO_SCENE_H
