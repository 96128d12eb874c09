// The lines a scene file declares and names its lights, cameras and bones
// with, for the reader and the writer alike.
#ifndef QZ_HOSTSIM_SCENE_FILE_SCENE_SYNTAX_H
#define QZ_HOSTSIM_SCENE_FILE_SCENE_SYNTAX_H

#include <string_view>

#include "hostsim/scene/scene.h"

namespace hostsim {

struct NamedItemLines {
  Kind kind;
  std::string_view declaration;  // followed by the id in versions 4 and 5
  std::string_view nameLine;     // followed by the name
};

inline constexpr NamedItemLines kNamedItemLines[] = {{Kind::Light, "AddLight", "LightName"},
                                                     {Kind::Camera, "AddCamera", "CameraName"},
                                                     {Kind::Bone, "AddBone", "BoneName"}};

// Lights, cameras and bones only.
constexpr const NamedItemLines& LinesOf(Kind kind) { return kNamedItemLines[static_cast<int>(kind) - 1]; }

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_FILE_SCENE_SYNTAX_H
