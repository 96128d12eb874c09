#include "tests/support/scene_outline.h"

#include <cstdio>
#include <cstdlib>

namespace qztest {

namespace {

void OutlineBelow(const hostsim::Scene& scene, std::size_t parent, int depth, std::string& out) {
  for (std::size_t child = scene.At(parent).firstChild; child != hostsim::kNoItem;
       child = scene.At(child).nextSibling) {
    const hostsim::Item& item = scene.At(child);
    char id[16];
    std::snprintf(id, sizeof id, "%08X", item.id);
    const char* kind = item.kind == hostsim::Kind::Object && item.fileName.empty() ? "null" : KindName(item.kind);
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + id + " " + kind + " " + item.name + "\n";
    OutlineBelow(scene, child, depth + 1, out);
  }
}

bool IsFolder(const std::string& path) {
  std::FILE* probe = std::fopen((path + "/SOURCES.md").c_str(), "rb");
  if (probe == nullptr) return false;
  std::fclose(probe);
  return true;
}

}  // namespace

std::string Outline(const hostsim::Scene& scene) {
  std::string out;
  OutlineBelow(scene, hostsim::kNoItem, 0, out);
  return out;
}

std::string SharedScenesDirectory() {
  if (const char* shared = std::getenv("QZ_SHARED_DIR"); shared != nullptr && *shared != '\0') {
    if (IsFolder(std::string(shared) + "/scenes")) return std::string(shared) + "/scenes";
  }
  const std::string beside = std::string(QZ_SHARED_DIR) + "/scenes";
  return IsFolder(beside) ? beside : std::string();
}

}  // namespace qztest
