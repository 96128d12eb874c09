// Any bytes given to the scene reader end in a scene or a SceneFileError,
// never a crash or hang; and every scene it accepts survives being written out
// and read back. Each input is read twice: as it is, and with the line that
// ends a whole scene added, so that inputs which stop early (most of the seeds
// do) still take the reader through parents, cycles and the round trip.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/scene_file/scene_file.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "scene_file_fuzz: %s\n", what);
    std::abort();
  }
}

void Check(std::string_view text) {
  hostsim::Scene scene;
  try {
    scene = hostsim::ReadSceneText(text, "fuzz.lws");
  } catch (const hostsim::SceneFileError& error) {
    Require(error.what()[0] != '\0', "an error without a message");
    return;
  }
  std::vector<std::string> warnings;
  const std::string written = hostsim::WriteSceneText(scene, {}, &warnings);
  Require(warnings.empty(), "a scene the reader made cannot be written as it is");
  hostsim::Scene copy;
  try {
    copy = hostsim::ReadSceneText(written, "copy.lws");
  } catch (const hostsim::SceneFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    Require(false, "a written scene does not read back");
  }
  Require(copy.size() == scene.size(), "the copy has another number of items");
  for (const hostsim::Item& item : scene.items()) {
    if (item.id == 0) continue;
    Require(copy.Contains(item.id), "an item is missing from the copy");
    const hostsim::Item& twin = copy.Get(item.id);
    Require(twin.kind == item.kind && twin.name == item.name && twin.fileName == item.fileName,
            "an item reads back differently");
    Require(copy.At(twin.parent).id == scene.At(item.parent).id, "an item reads back under another parent");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Check(text);
  Check(std::string(text) + "\nCurrentObject 0\n");
  return 0;
}
