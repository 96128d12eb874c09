# Writes OUTPUT, a C++ source holding the bundled demo scene and tour, so that
# hostsim shows them from wherever it is run, Wine included.
file(READ ${SCENE} scene_hex HEX)
file(READ ${TOUR} tour_hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," scene_bytes "${scene_hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," tour_bytes "${tour_hex}")
file(WRITE ${OUTPUT}.tmp "// Generated from examples/ by hostsim/scene/embed_examples.cmake.
#include \"hostsim/scene/examples.h\"

namespace hostsim {
namespace {
const char kScene[] = {${scene_bytes} 0};
const char kTour[] = {${tour_bytes} 0};
}  // namespace
std::string_view DemoSceneText() { return std::string_view(kScene, sizeof kScene - 1); }
std::string_view DemoTourText() { return std::string_view(kTour, sizeof kTour - 1); }
}  // namespace hostsim
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
