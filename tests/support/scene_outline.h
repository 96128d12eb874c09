// Scenes written out as plain text, one item a line, so that tests compare a
// whole hierarchy with one literal.
#ifndef QZ_TESTS_SUPPORT_SCENE_OUTLINE_H
#define QZ_TESTS_SUPPORT_SCENE_OUTLINE_H

#include <string>

#include "hostsim/scene/scene.h"

namespace qztest {

// "10000000 null Rig" with two more spaces of indent per level, children in
// the host's order; loaded objects show as "object", nulls as "null".
std::string Outline(const hostsim::Scene& scene);

// Where the real scene files are: $QZ_SHARED_DIR/scenes, else the folder
// beside the checkout. Empty when neither exists.
std::string SharedScenesDirectory();

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_SCENE_OUTLINE_H
