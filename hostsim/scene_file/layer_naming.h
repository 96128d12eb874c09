// How the host names the objects a scene loads: after their file, without
// folder and extension ("Body" for "Objects/Body.lwo"). When a scene loads
// several different layers of one file, every object from that file gets its
// layer appended ("armA:Layer1", "armA:Layer2"); repeated loads of one layer
// keep one name.
#ifndef QZ_HOSTSIM_SCENE_FILE_LAYER_NAMING_H
#define QZ_HOSTSIM_SCENE_FILE_LAYER_NAMING_H

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim {

// The name of an object loaded from the file with one layer (or with several
// layers, when `layer` is not 0).
std::string ObjectNameFromPath(std::string_view windowsPath, int layer = 0);

// The layer that `name` shows when it is the name ObjectNameFromPath gives
// that layer of the file; 1, the layer a plain load takes, otherwise.
int LayerInName(const std::string& name, std::string_view windowsPath);

// The layers a scene loads of each of its files. Windows file names ignore
// case, so "Arm.lwo" and "ARM.LWO" are one file.
class FileLayers {
 public:
  void Add(std::string_view windowsPath, int layer);
  // The name the host gives an object loaded with this layer of the file.
  std::string ObjectName(std::string_view windowsPath, int layer) const;

 private:
  std::map<std::string, std::vector<int>> layers_;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_FILE_LAYER_NAMING_H
