// The writer: objects with their bones, then lights, then cameras, each with
// its parent line, and the line that ends a scene, in the version-5 form the
// host itself writes.
#include <algorithm>
#include <map>

#include "hostsim/scene/text.h"
#include "hostsim/scene_file/fixed_decimal.h"
#include "hostsim/scene_file/layer_naming.h"
#include "hostsim/scene_file/scene_file.h"
#include "hostsim/scene_file/scene_syntax.h"
#include "hostsim/scene_file/windows_path.h"

namespace hostsim {

namespace {

std::string FileId(std::uint32_t id) { return Hex(id, 8, HexCase::Lower); }

// The shortest text that reads back as the same number: 30 for 30.000000.
// Never an exponent, which the reader (like the host) does not take.
std::string RateText(double value) { return FixedDecimalText(value); }

// The host's own defaults for a new scene where the source said nothing.
std::string TimingLines(const SceneTiming& timing) {
  return "FirstFrame " + std::to_string(timing.firstFrame.value_or(1)) + "\nLastFrame " +
         std::to_string(timing.lastFrame.value_or(60)) + "\nFramesPerSecond " +
         RateText(timing.framesPerSecond.value_or(30)) + "\n";
}

void CheckWritable(const Item& item) {
  if (!std::all_of(item.name.begin(), item.name.end(), IsSceneTextByte))
    throw SceneError("the name of item " + IdText(item.id) + " holds a line break or control character");
  if (!std::all_of(item.fileName.begin(), item.fileName.end(), IsSceneTextByte))
    throw SceneError("the file name of object " + IdText(item.id) + " holds a line break or control character");
}

class Writer {
 public:
  Writer(const Scene& scene, const SceneFileOptions& options, std::vector<std::string>* warnings)
      : scene_(scene), content_(ContentDirectory(options)), warnings_(warnings) {}

  std::string Write() {
    NoteLayers();
    out_ = "LWSC\n5\n\n" + TimingLines(scene_.timing());
    for (std::size_t index = scene_.FirstOfKind(Kind::Object); index != kNoItem; index = scene_.At(index).nextOfKind)
      WriteObject(index);
    out_ += "\nAmbientColor 1 1 1\nAmbientIntensity 0.05\n";
    WriteAll(Kind::Light);
    WriteAll(Kind::Camera);
    // The reader takes a file without the settings that follow the cameras
    // for one cut short; these are the last of them, as a new scene has them.
    out_ += "\nCurrentObject 0\nCurrentLight 0\nCurrentCamera 0\n";
    return std::move(out_);
  }

 private:
  static std::string ContentDirectory(const SceneFileOptions& options) {
    std::string content = options.contentDirectory;
    std::replace(content.begin(), content.end(), '/', '\\');
    while (!content.empty() && content.back() == '\\') content.pop_back();
    return content;
  }

  void Warn(std::string text) {
    if (warnings_ != nullptr) warnings_->push_back(std::move(text));
  }

  // A loaded object keeps its name only when the reader derives the same one.
  void NoteLayers() {
    for (std::size_t index = scene_.FirstOfKind(Kind::Object); index != kNoItem; index = scene_.At(index).nextOfKind) {
      const Item& item = scene_.At(index);
      if (item.fileName.empty()) continue;
      layerOf_[index] = LayerInName(item.name, item.fileName);
      layers_.Add(item.fileName, layerOf_[index]);
    }
  }

  void WriteObject(std::size_t index) {
    const Item& item = scene_.At(index);
    CheckWritable(item);
    out_ += "\n";
    if (!item.fileName.empty())
      WriteLoadedObject(item, layerOf_[index]);
    else
      WriteNull(item);
    WriteParent(item);
    for (std::size_t bone = item.firstBone; bone != kNoItem; bone = scene_.At(bone).nextOfKind) WriteBone(bone);
  }

  void WriteLoadedObject(const Item& item, int layer) {
    const std::string written = ScenePath(item.fileName, content_);
    out_ += "LoadObjectLayer " + std::to_string(layer) + " " + FileId(item.id) + " " + written + "\n";
    if (WindowsPath(written, content_) != item.fileName)
      Warn("object " + IdText(item.id) + " has the file name '" + item.fileName + "', which will read back as '" +
           WindowsPath(written, content_) + "'");
    const std::string readBack = layers_.ObjectName(item.fileName, layer);
    if (readBack != item.name)
      Warn("object " + IdText(item.id) + " '" + item.name + "' will read back as '" + readBack +
           "': a scene file keeps only the object's file name");
    if (item.pointCount == 0)
      Warn("object " + IdText(item.id) + " has a file but no points; it will read back with points");
  }

  void WriteNull(const Item& item) {
    out_ += "AddNullObject " + FileId(item.id) + " " + item.name + "\n";
    if (item.pointCount != 0)
      Warn("object " + IdText(item.id) + " has points but no file; it will read back as a null");
  }

  void WriteBone(std::size_t index) {
    const Item& bone = scene_.At(index);
    CheckWritable(bone);
    WriteDeclaration(bone);
    WriteParent(bone);
    if (bone.parent == kNoItem)
      Warn("bone " + IdText(bone.id) + " '" + bone.name + "' is at the top level; it will read back under its object");
  }

  void WriteAll(Kind kind) {
    for (std::size_t index = scene_.FirstOfKind(kind); index != kNoItem; index = scene_.At(index).nextOfKind) {
      const Item& item = scene_.At(index);
      CheckWritable(item);
      out_ += "\n";
      WriteDeclaration(item);
      WriteParent(item);
    }
  }

  void WriteDeclaration(const Item& item) {
    const NamedItemLines& lines = LinesOf(item.kind);
    out_ += std::string(lines.declaration) + " " + FileId(item.id) + "\n" + std::string(lines.nameLine) + " " +
            item.name + "\n";
  }

  void WriteParent(const Item& item) {
    if (item.parent != kNoItem) out_ += "ParentItem " + FileId(scene_.At(item.parent).id) + "\n";
  }

  const Scene& scene_;
  const std::string content_;
  std::vector<std::string>* warnings_;
  std::map<std::size_t, int> layerOf_;
  FileLayers layers_;
  std::string out_;
};

}  // namespace

std::string WriteSceneText(const Scene& scene, const SceneFileOptions& options, std::vector<std::string>* warnings) {
  return Writer(scene, options, warnings).Write();
}

}  // namespace hostsim
