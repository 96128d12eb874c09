#include "hostsim/scene_file/layer_naming.h"

#include <algorithm>

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

constexpr std::string_view kLayerSuffix = ":Layer";

}  // namespace

std::string ObjectNameFromPath(std::string_view windowsPath, int layer) {
  const std::size_t slash = windowsPath.find_last_of("\\/");
  std::string_view base = slash == std::string_view::npos ? windowsPath : windowsPath.substr(slash + 1);
  const std::size_t dot = base.rfind('.');
  if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
  std::string name(base);
  if (layer != 0) name += std::string(kLayerSuffix) + std::to_string(layer);
  return name;
}

int LayerInName(const std::string& name, std::string_view windowsPath) {
  const std::size_t suffix = name.rfind(kLayerSuffix);
  if (suffix == std::string::npos) return 1;
  const std::optional<std::uint32_t> layer = ParsePositive(std::string_view(name).substr(suffix + kLayerSuffix.size()));
  if (!layer || name != ObjectNameFromPath(windowsPath, static_cast<int>(*layer))) return 1;
  return static_cast<int>(*layer);
}

void FileLayers::Add(std::string_view windowsPath, int layer) {
  std::vector<int>& layers = layers_[Lowered(windowsPath)];
  if (std::find(layers.begin(), layers.end(), layer) == layers.end()) layers.push_back(layer);
}

std::string FileLayers::ObjectName(std::string_view windowsPath, int layer) const {
  const auto found = layers_.find(Lowered(windowsPath));
  const bool severalLayers = found != layers_.end() && found->second.size() > 1;
  return ObjectNameFromPath(windowsPath, severalLayers ? layer : 0);
}

}  // namespace hostsim
